#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "random/ecuyer.h"

namespace vmc {

struct scan_settings;
struct optimize_settings;
struct dmc_settings;

// How a run lays out its random streams. The first 2e18 deviates of the
// generator's period (about 2.3e18) after the run's seed are cut into the
// run's streams, all of one length: the largest power of two that gives
// every stream its share, 2^floor(log2(2e18 / streams)). Stream k starts
// k lengths after the seed (walk_stream). The length depends on the number
// of streams alone, never on how long the walks are, so a run asked for
// more --steps walks the same streams as a shorter one, further along, and
// can continue it. (A scan of 45 separations: 2^55 deviates a stream; a dmc
// run of two separations of 2000 walkers: 2^45, 5e12 diffusion steps.)
//
// Every separation has the same number of streams, numbered from
// index x streams_per_separation:
//   scan      walker w: stream w (walkers a separation);
//   optimize  round r: streams r L ... r L + L - 1, one a lane of its walk
//             (L = lane_width), the final walk's from max_rounds L
//             ((max_rounds + 1) L a separation);
//   dmc       the variational walk's lanes 0 ... 7, the first sample's
//             8 ... 15, the walkers and their copies from 16 (16 + 12 W a
//             separation; see dmc.cc).
// The layout depends on the options that choose the streams (the seed,
// --walkers, --max-rounds, the separations) and never on --steps or
// --equilibration, which only decide how far along each stream a walk goes.
struct stream_plan {
  // The deviates the run may use at the most: a margin below the period.
  static constexpr double usable_draws = 2e18;

  std::int32_t seed = 0;
  std::uint64_t separations = 0;
  std::uint64_t streams_per_separation = 0;
  // The most deviates any one stream of the run draws.
  std::uint64_t most_draws = 0;
  // The option that sets most_draws, and the one that sets the number of
  // streams, for the message of a run that does not fit.
  std::string length_option, streams_option;

  static stream_plan of(const scan_settings& settings);
  static stream_plan of(const optimize_settings& settings);
  static stream_plan of(const dmc_settings& settings);

  std::uint64_t streams() const { return separations * streams_per_separation; }
  // The length of every stream, in deviates; 0 when the streams are too many
  // for the period.
  std::uint64_t draws_per_stream() const;

  // Stream k of separations[index], at its start.
  ecuyer stream(std::size_t index, std::uint64_t k) const;

  // Why the run does not fit in the generator's period, as one line naming
  // the option ("--steps: ..."); nothing when it fits.
  std::optional<std::string> misfit() const;
  bool fits() const { return !misfit(); }
};

}  // namespace vmc
