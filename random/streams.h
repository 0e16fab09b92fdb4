#pragma once

#include <cstdint>

#include "random/ecuyer.h"

namespace vmc {

// The second seed of every run's stream; the first is the run's seed.
inline constexpr std::int32_t stream_seed2 = 9675;

// The stream of walk number `walk` of a run: the run's combined generator,
// seeded with (seed, stream_seed2), jumped ahead by walk x draws_per_walk
// deviates. Walks never share a deviate as long as each draws at most
// draws_per_walk, and the period (about 2.3e18) is far beyond any run, so
// every walk's numbers are fixed by the seed and its index alone, whichever
// thread or process runs it.
inline ecuyer walk_stream(std::int32_t seed, std::uint64_t walk, std::uint64_t draws_per_walk) {
  ecuyer g;
  rne2in(g, seed, stream_seed2);
  return ecuyer_advance(g, walk * draws_per_walk);
}

}  // namespace vmc
