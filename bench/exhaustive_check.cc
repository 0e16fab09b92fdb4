// Checks the lane exponential against the scalar one it stands in for,
// (float) exp((double) x), on all 2^32 float bit patterns and on every vector
// target this machine runs. Prints the mismatches (the first ten in full)
// and exits 1 if there are any.
#include <omp.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "lanes/lane_walk.h"

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
  }
  return total == 0 ? 0 : 1;
}
