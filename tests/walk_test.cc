#include "walk/metropolis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "random/ecuyer.h"
#include "random/lcg.h"
#include "walk/accepted_mean.h"
#include "walk/proposals.h"
#include "walk/start_configuration.h"

// The Metropolis walk with a scripted generator and a trial function whose
// psi is set per configuration, so that every ratio is known exactly.

namespace vmc::testing {
namespace {

// Hands out the given deviates in order and counts the draws.
struct scripted {
  std::vector<float> u;
  std::size_t drawn = 0;
  float next() { return u.at(drawn++); }
  void fill(std::span<float> v) {
    for (float& x : v) x = next();
  }
};

// A trial function whose psi is x1 of the configuration and whose local
// energy is 10 x1.
struct psi_is_x1 {};
evaluation evaluate(const coords& r, const psi_is_x1&) { return {10.0f * r[0], r[0]}; }

// Moves x1 to the first of the six deviates drawn and leaves the rest.
struct set_x1 {
  void operator()(scripted& g, const coords& r, coords& trial) const {
    float u[6];
    g.fill(u);
    trial = r;
    trial[0] = u[0];
  }
};

struct seen {
  float trial_psi;
  bool accepted;
  float now_x1;
  float now_eloc;
};

std::vector<seen> walk(float start_psi, std::vector<float> u, acceptance rule) {
  scripted g{std::move(u)};
  walker w = walker_at(coords{start_psi, 0, 0, 0, 0, 0}, psi_is_x1{});
  std::vector<seen> steps;
  const std::int64_t n = static_cast<std::int64_t>(g.u.size() / 7);
  metropolis_walk(w, g, set_x1{}, psi_is_x1{}, rule, n, [&](const walk_step& s) {
    steps.push_back({s.trial_at.psi, s.accepted, s.now.r[0], s.now.at.eloc});
  });
  EXPECT_EQ(g.drawn, g.u.size()) << "seven deviates a step";
  return steps;
}

TEST(MetropolisWalk, ComparesTheRatioOfSquaresWithTheSeventhDeviate) {
  // psi 0.5 -> 0.25: ratio 0.25 against the deviates 0.25 and 0.2.
  const std::vector<float> equal = {0.25f, 0, 0, 0, 0, 0, 0.25f};
  const std::vector<float> below = {0.25f, 0, 0, 0, 0, 0, 0.2f};
  EXPECT_FALSE(walk(0.5f, equal, acceptance::above_deviate)[0].accepted);
  EXPECT_TRUE(walk(0.5f, equal, acceptance::at_least_deviate)[0].accepted);
  EXPECT_TRUE(walk(0.5f, below, acceptance::above_deviate)[0].accepted);
  // A ratio of 1 or more accepts against the largest deviate below 1.
  const float top = std::nextafter(1.0f, 0.0f);
  EXPECT_TRUE(walk(0.5f, {0.5f, 0, 0, 0, 0, 0, top}, acceptance::above_deviate)[0].accepted);
  EXPECT_TRUE(walk(0.5f, {-0.7f, 0, 0, 0, 0, 0, top}, acceptance::above_deviate)[0].accepted);
}

TEST(MetropolisWalk, RejectsARatioThatIsNotANumberUnderEitherRule) {
  // From psi 0 to psi 0 the ratio is 0/0.
  for (acceptance rule : {acceptance::above_deviate, acceptance::at_least_deviate}) {
    const auto s = walk(0.0f, {0.0f, 0, 0, 0, 0, 0, 0x1p-31f}, rule);
    EXPECT_FALSE(s[0].accepted);
    EXPECT_EQ(s[0].now_x1, 0.0f);
  }
  // From psi 0 anywhere else the ratio is infinite, and the walk moves.
  EXPECT_TRUE(walk(0.0f, {0.3f, 0, 0, 0, 0, 0, 0.9f}, acceptance::above_deviate)[0].accepted);
}

TEST(MetropolisWalk, ShowsEveryStepAndMovesOnlyOnAcceptance) {
  // Accepted (ratio 4 > 0.9), rejected (0.01 < 0.5), accepted (1 > 0.99).
  const auto s = walk(0.5f,
                      {1.0f, 0, 0, 0, 0, 0, 0.9f, 0.1f, 0, 0, 0, 0, 0, 0.5f,
                       1.0f, 0, 0, 0, 0, 0, 0.99f},
                      acceptance::above_deviate);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_TRUE(s[0].accepted);
  EXPECT_EQ(s[0].now_x1, 1.0f);
  EXPECT_EQ(s[0].now_eloc, 10.0f);
  EXPECT_FALSE(s[1].accepted);
  EXPECT_EQ(s[1].trial_psi, 0.1f);  // the rejected trial is shown too
  EXPECT_EQ(s[1].now_x1, 1.0f);
  EXPECT_EQ(s[1].now_eloc, 10.0f);
  EXPECT_TRUE(s[2].accepted);
}

TEST(AcceptedMean, AveragesTheAcceptedTrialsOnly) {
  accepted_mean m;
  const coords r{};
  walker w{r, {0, 1}};
  for (auto [eloc, accepted] : {std::pair{-30.0f, true}, {99.0f, false}, {-20.0f, true}}) {
    m(walk_step{r, {eloc, 1}, accepted, w});
  }
  EXPECT_EQ(m.count, 2);
  EXPECT_EQ(m.mean(), -25.0f);
  EXPECT_TRUE(std::isnan(accepted_mean{}.mean())) << "no accepted move: 0/0";
}

TEST(AcceptedMean, CountsBeyondTheLastIntegerAFloatCanCount) {
  accepted_mean m;
  const coords r{};
  walker w{r, {0, 1}};
  const std::int64_t n = (std::int64_t{1} << 24) + 10;
  for (std::int64_t i = 0; i < n; ++i) m(walk_step{r, {0.0f, 1}, true, w});
  EXPECT_EQ(m.count, n);
}

TEST(StartConfiguration, PlacesEachElectronInTheCubeAroundItsProton) {
  // The first six deviates of the seeded combined generator.
  ecuyer g;
  rne2in(g, 5465, 9675);
  const coords r = start_configuration(g, 0.8f, offset_rounding::per_operation);
  const float expected[6] = {0.8370012f, 0.1725191f, 0.403345f, -0.5211502f, 0.8212987f, 0.6097924f};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(r[i], expected[i], 1e-7f) << i;
  EXPECT_EQ(g.ix1, ecuyer_advance(ecuyer{5465, 9675}, 6).ix1);

  // The demonstration's generator, z rounded once: (-0.9967115, 0.3652048,
  // -0.8522549 - s/2) and (-0.3928099, -0.5508669, -0.7959695 + s/2).
  lcg d;
  const coords e = start_configuration(d, 1.0f, offset_rounding::once);
  const float demo[6] = {-0.9967115f, 0.3652048f, -1.3522549f, -0.3928099f, -0.5508669f, -0.2959695f};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(e[i], demo[i], 1e-7f) << i;
}

TEST(StartConfiguration, RoundingTheOffsetOnceOrPerOperationDiffersInTheLastBit) {
  // The demonstration's z2 at s = 0.3 A: 2u - 1 is not exact in float for
  // this u, and rounding it before s/2 is added lands one float away from
  // one rounding of the whole sum.
  const float u = 0x1.a1dab6p-4f;
  scripted a{{0.5f, 0.5f, 0.5f, 0.5f, 0.5f, u}}, b = a;
  const coords per_operation = start_configuration(a, 0.3f, offset_rounding::per_operation);
  const coords once = start_configuration(b, 0.3f, offset_rounding::once);
  EXPECT_EQ(per_operation[5], -0x1.4abc84p-1f);
  EXPECT_EQ(once[5], -0x1.4abc86p-1f);
  EXPECT_EQ(once[2], per_operation[2]) << "2u - 1 = 0 is exact either way";
}

TEST(Proposals, MoveEveryCoordinateWithinTheirStep) {
  const coords r{1, 2, 3, 4, 5, 6};
  coords t;
  scripted lo{{0x1p-31f, 0x1p-31f, 0x1p-31f, 0x1p-31f, 0x1p-31f, 0x1p-31f}};
  scaled_step{0.40125f}(lo, r, t);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(t[i] - r[i], -0.40125f, 1e-6f);
  scripted hi{std::vector<float>(6, 0.75f)};
  shifted_step{0.5f}(hi, r, t);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(t[i], (2.0f * 0.5f * 0.75f - 0.5f) + r[i]);
  scripted mid{std::vector<float>(6, 0.75f)};
  unit_step{}(mid, r, t);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(t[i], r[i] + 0.25f);
}

}  // namespace
}  // namespace vmc::testing
