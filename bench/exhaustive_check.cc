// Checks the pieces written by hand that stand in for library or scalar code
// over their whole input range: the lane exponential against
// (float) exp((double) x) on all 2^32 float bit patterns and each generator
// component's step against Schrage's on all of its states 0 ... m - 1, on
// every vector target this machine runs; and shortest_float against
// std::to_chars on all 2^32 floats. Prints the mismatches (the first ten in
// full) and exits 1 if there are any.
#include <omp.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "lanes/lane_walk.h"
#include "output/float_text.h"

namespace {

constexpr std::uint64_t patterns = std::uint64_t{1} << 32;
constexpr std::uint64_t chunk = std::uint64_t{1} << 16;

struct tally {
  std::atomic<std::uint64_t> mismatches{0};
  void report(std::uint32_t bits, const char* expected, const char* got) {
    if (mismatches++ < 10) {
#pragma omp critical(report)
      std::printf("  %08x: expected %s, got %s\n", bits, expected, got);
    }
  }
};

bool same(float a, float b) {
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b) ||
         (std::isnan(a) && std::isnan(b));
}

std::uint64_t check_exp() {
  tally t;
#pragma omp parallel
  {
    std::vector<float> x(chunk), y(chunk);
#pragma omp for schedule(dynamic)
    for (std::uint64_t first = 0; first < patterns; first += chunk) {
      for (std::uint64_t i = 0; i < chunk; ++i) {
        x[i] = std::bit_cast<float>(static_cast<std::uint32_t>(first + i));
      }
      vmc::exp_lanes(x.data(), y.data(), chunk);
      for (std::uint64_t i = 0; i < chunk; ++i) {
        const float e = static_cast<float>(std::exp(static_cast<double>(x[i])));
        if (!same(e, y[i])) {
          char a[32], b[32];
          std::snprintf(a, sizeof a, "%.9g", static_cast<double>(e));
          std::snprintf(b, sizeof b, "%.9g", static_cast<double>(y[i]));
          t.report(static_cast<std::uint32_t>(first + i), a, b);
        }
      }
    }
  }
  return t.mismatches;
}

// The exact residue a x mod m, which Schrage's decomposition computes for
// every state in 0 ... m - 1.
std::uint64_t check_component(int which) {
  const std::uint64_t a = which == 1 ? 40014 : 40692;
  const std::uint64_t m = which == 1 ? 2147483563 : 2147483399;
  tally t;
#pragma omp parallel
  {
    std::vector<double> x(chunk), y(chunk);
#pragma omp for schedule(dynamic)
    for (std::uint64_t first = 0; first < m; first += chunk) {
      const std::size_t n = static_cast<std::size_t>(std::min(chunk, m - first));
      for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<double>(first + i);
      vmc::step_component_lanes(x.data(), y.data(), n, which);
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t expected = a * (first + i) % m;
        if (y[i] != static_cast<double>(expected)) {
          char e[32], g[32];
          std::snprintf(e, sizeof e, "%llu", static_cast<unsigned long long>(expected));
          std::snprintf(g, sizeof g, "%.17g", y[i]);
          t.report(static_cast<std::uint32_t>(first + i), e, g);
        }
      }
    }
  }
  return t.mismatches;
}

std::uint64_t check_shortest() {
  tally t;
#pragma omp parallel for schedule(dynamic)
  for (std::uint64_t first = 0; first < patterns; first += chunk) {
    for (std::uint64_t i = first; i < first + chunk; ++i) {
      const float x = std::bit_cast<float>(static_cast<std::uint32_t>(i));
      char expected[64], got[64];
      char* e = std::to_chars(expected, expected + sizeof expected, x).ptr;
      char* g = vmc::shortest_float(got, x);
      if (e - expected != g - got ||
          std::memcmp(expected, got, static_cast<std::size_t>(e - expected)) != 0) {
        *e = 0;
        *g = 0;
        t.report(static_cast<std::uint32_t>(i), expected, got);
      }
    }
  }
  return t.mismatches;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  std::uint64_t total = 0;
  for (const std::int64_t target : vmc::lane_targets()) {
    vmc::restrict_lane_target(target);
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t bad = check_exp();
    std::printf("exp on %s: %llu of 4294967296 floats differ (%.0f s, %d threads)\n",
                vmc::lane_target_name(target), static_cast<unsigned long long>(bad),
                seconds_since(start), omp_get_max_threads());
    std::fflush(stdout);
    total += bad;
    for (int which : {1, 2}) {
      const auto begun = std::chrono::steady_clock::now();
      const std::uint64_t wrong = check_component(which);
      std::printf("generator component %d on %s: %llu of its states step differently (%.0f s)\n",
                  which, vmc::lane_target_name(target), static_cast<unsigned long long>(wrong),
                  seconds_since(begun));
      std::fflush(stdout);
      total += wrong;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  const std::uint64_t bad = check_shortest();
  std::printf("shortest_float: %llu of 4294967296 floats differ from std::to_chars (%.0f s)\n",
              static_cast<unsigned long long>(bad), seconds_since(start));
  total += bad;
  return total == 0 ? 0 : 1;
}
