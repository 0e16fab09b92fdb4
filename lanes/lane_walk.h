#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/covalent_ionic.h"
#include "model/trial_function.h"
#include "random/ecuyer.h"
#include "stats/energy_statistics.h"
#include "walk/metropolis.h"

// The Metropolis walk in vector lanes: lane_width walks advance together, one
// walk per lane, each with its own generator, configuration and trial
// function. It is the scalar walk of metropolis_walk with the scaled step (or
// the reflecting step), the classic or the covalent-ionic trial function and
// the strict acceptance test (q > u), and equals it to the bit, lane by
// lane: every lane draws its six proposal
// deviates and its test deviate every step whatever happens, the acceptance
// is a mask, and every float operation is the scalar one in the same order
// (IEEE division and square root are exactly rounded in vector units too).
// Which walks share a group never changes a walk's numbers; it only changes
// how fast they come.

namespace vmc {

// Walks in one group. Fixed here, not by the machine's vector width, which
// only decides how many of them one instruction carries.
inline constexpr std::size_t lane_width = 8;

// The trial function every lane of a group walks: the classic one
// (model/trial_function.h) or the covalent-ionic one (model/covalent_ionic.h).
enum class lane_trial_kind { classic, covalent_ionic };

// The state of a group, one array entry per lane. Generator states are held
// as exact integers in double, the form the vector generator steps them in.
struct lane_walkers {
  alignas(64) float r[6][lane_width];  // x1, y1, z1, x2, y2, z2
  alignas(64) float eloc[lane_width];
  alignas(64) float psi[lane_width];
  alignas(64) double ix1[lane_width];
  alignas(64) double ix2[lane_width];
  // Trial function and largest displacement of each lane.
  alignas(64) float s[lane_width];
  alignas(64) float a[lane_width];
  alignas(64) float alfa[lane_width];
  alignas(64) float beta[lane_width];
  alignas(64) float e2[lane_width];
  alignas(64) float hbm[lane_width];
  alignas(64) float step[lane_width];
  alignas(64) float lambda[lane_width];  // the ionic weight, covalent-ionic lanes only
  // Set by set_lane; every lane of a group holds the same kind.
  lane_trial_kind trial = lane_trial_kind::classic;
  // With reflect, every tenth step of the group reflects one electron through
  // the plane between the protons instead of drawing a move, electron 1 and 2
  // in turn, as reflecting_step does; steps_done counts the group's steps so
  // far, whatever pieces they were walked in.
  bool reflect = false;
  std::int64_t steps_done = 0;
};

// Puts walker w, its generator g (whose state must lie in 0 ... m - 1 of
// each component, as after any one draw) and its trial function into lane k.
void set_lane(lane_walkers& group, std::size_t k, const walker& w, const ecuyer& g,
              const trial_function<exp_double>& t, float step);
// The same with the covalent-ionic trial function, which the whole group
// then walks: every lane must be set with one.
void set_lane(lane_walkers& group, std::size_t k, const walker& w, const ecuyer& g,
              const covalent_ionic_trial<float>& t, float step);
// The walker and the generator of lane k.
walker walker_in_lane(const lane_walkers& group, std::size_t k);
ecuyer generator_in_lane(const lane_walkers& group, std::size_t k);

// What the steps of a group leave, step by step, lane by lane: entry
// [j * lane_width + k] is step j of lane k; for the positions,
// [(j * 4 + c) * lane_width + k] with c = y1, z1, y2, z2 after the step; for
// the configurations, [(j * 7 + c) * lane_width + k] with c = x1, y1, z1, x2,
// y2, z2 and psi (6) where the walk stands after the step.
struct lane_steps {
  std::vector<float> eloc;      // local energy where the walk stands after the step
  std::vector<std::uint8_t> accepted;
  std::vector<float> position;  // filled only when asked for
  std::vector<float> configuration;  // filled only when asked for
  explicit lane_steps(std::size_t capacity, bool positions, bool configurations = false)
      : eloc(capacity * lane_width),
        accepted(capacity * lane_width),
        position(positions ? capacity * 4 * lane_width : 0),
        configuration(configurations ? capacity * 7 * lane_width : 0) {}
  std::size_t capacity() const { return eloc.size() / lane_width; }
};

// The statistics of every lane's measured steps, as energy_statistics keeps
// them, side by side: the lanes of a group always hold the same number of
// values, so their blocking levels fill together and each level's sums of
// all lanes are one vector. Start from a value-initialised one ({}).
struct lane_statistics {
  static constexpr std::size_t levels = blocking::max_levels;
  alignas(64) double shift[lane_width];
  alignas(64) double sum[levels][lane_width];
  alignas(64) double sum_squares[levels][lane_width];
  alignas(64) double sum_products[levels][lane_width];
  alignas(64) double first[levels][lane_width];
  alignas(64) double last[levels][lane_width];
  alignas(64) double accepted[lane_width];  // a count, exact in double
  alignas(64) double sum_accepted[lane_width];
  // Counts and pairing per level, the same for every lane of a vector, so
  // kept at the vector's first lane only.
  std::int64_t n[levels][lane_width];
  bool pending[levels][lane_width];
  std::size_t vector_lanes;  // lanes of the vectors that filled it
};

// Lane k's statistics, to the bit those of energy_statistics fed the same steps.
energy_statistics statistics_in_lane(const lane_statistics& s, std::size_t k);
// Puts e into lane k, to continue it: every lane of s must then be given
// statistics of as many values (a group's walks have walked alike).
void set_statistics_in_lane(lane_statistics& s, std::size_t k, const energy_statistics& e);

// Runs `steps` steps of every lane of the group; with out, records them
// (steps must then be at most out->capacity()); with stats, adds each step to
// them, as energy_statistics does.
void walk_lanes(lane_walkers& group, std::int64_t steps, lane_steps* out,
                lane_statistics* stats = nullptr);

// Walks the group `steps` recorded steps in pieces of out.capacity() steps,
// handing each piece to consume(out, first, n): the steps first ... first + n - 1.
template <class Consume>
void walk_lanes_in_pieces(lane_walkers& group, std::int64_t steps, lane_steps& out,
                          Consume&& consume) {
  const auto piece = static_cast<std::int64_t>(out.capacity());
  for (std::int64_t first = 0; first < steps; first += piece) {
    const std::int64_t n = std::min(piece, steps - first);
    walk_lanes(group, n, &out);
    consume(static_cast<const lane_steps&>(out), first, n);
  }
}

// (float) exp((double) x) of each of the n values of x, in lanes.
void exp_lanes(const float* x, float* y, std::size_t n);

// One step x -> a x mod m of component `which` (1 or 2) of L'Ecuyer's
// generator, as the lanes take it, for each of the n states x (exact integers
// in 0 ... m - 1).
void step_component_lanes(const double* x, double* y, std::size_t n, int which);

// The Highway targets this program was compiled for that the machine can
// run, as Highway's bit values, and their names; restricting the dispatch to
// one of them (0 lifts the restriction) lets tests compare every target.
std::vector<std::int64_t> lane_targets();
const char* lane_target_name(std::int64_t target);
void restrict_lane_target(std::int64_t target);
// Applies VMC_LANE_TARGET from the environment, once; every dispatch to the
// lanes calls it first.
void lane_target_from_environment();

}  // namespace vmc
