#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The standard error of the mean of a correlated series by blocking
// (Flyvbjerg and Petersen 1989): the series is averaged in pairs again and
// again, and once the block means are longer than the correlation, they are
// independent and their plain standard error is the error of the mean.
// The series is blocked on the fly, in O(log N) memory, so a walk of 10^9 or
// more steps needs no storage of its own.

namespace vmc {

// The sums of one blocking level: the means y_1 ... y_n of its blocks (2^k
// values each at level k), less the series' first value, which keeps the
// sums of squares free of cancellation.
struct block_level {
  std::int64_t n = 0;
  double sum = 0;           // sum of y_i
  double sum_squares = 0;   // sum of y_i^2
  double sum_products = 0;  // sum of y_i y_(i+1)
  double first = 0;         // y_1
  double last = 0;          // y_n
  bool pending = false;     // y_n waits for its partner to make a block of the level above
  // Independent series merged into this one (see merge): how many, and the
  // sum of their first and last values. Their pairs are in sum_products;
  // no pair spans two series.
  std::int64_t other_series = 0;
  double other_ends = 0;
};

// A series blocked as it is added. Sums are double, counts 64-bit.
struct blocking {
  static constexpr int max_levels = 64;
  double shift = 0;  // the first value added
  std::array<block_level, max_levels> levels{};

  // Adds the next value of the series.
  void add(double x) {
    if (levels[0].n == 0) shift = x;
    double y = x - shift;
    for (block_level& l : levels) {
      if (l.n == 0) {
        l.first = y;
      } else {
        l.sum_products += l.last * y;
      }
      ++l.n;
      l.sum += y;
      l.sum_squares += y * y;
      const double previous = l.last;
      l.last = y;
      if (!l.pending) {
        l.pending = true;
        return;
      }
      // The value before this one and this one make one block of the level above.
      l.pending = false;
      y = 0.5 * (previous + y);
    }
  }

  std::int64_t count() const { return levels[0].n; }
};

// Adds an independent series (another walk of the same quantity) to b, level
// by level: its block means join b's, and its neighbours stay neighbours
// only of each other. b is then complete: add no more values to it. A
// blocking with nothing merged into it is analysed exactly as before.
void merge(blocking& b, const blocking& other);

// What one blocking level says.
struct level_estimate {
  int level;             // blocks of 2^level values
  std::int64_t blocks;   // complete blocks
  double variance;       // of the block means, (1/n) sum (y - mean)^2
  double lag1;           // autocorrelation of neighbouring block means
  double error;          // sqrt(variance / (blocks - 1)), the error of the mean if blocks are independent
};

// The mean of a series with its error.
struct blocking_result {
  std::int64_t count = 0;
  double mean = 0;
  double variance = 0;  // of the values, (1/N) sum (x - mean)^2
  double error = 0;     // standard error of the mean
  double tau = 0;       // N error^2 / variance: 1 for independent values
  int level = 0;        // the first level the error was fitted to
  bool converged = false;  // false when the series is too short: error is then a lower bound
  std::vector<level_estimate> levels;  // every level with at least min_blocks blocks
};

// The fewest blocks a level needs to be listed, or to bound a short series' error.
inline constexpr std::int64_t min_blocks = 16;

// Mean, variance and error of the series. The error is that of the
// long-run variance fitted to the levels whose blocks outlast the series'
// correlation, with the 1/L bias such blocks still carry taken out (see
// blocking.cc); level is the first level fitted. A series too short for any
// level to outlast its correlation has converged false, and its error, the
// largest of the plain level errors, is only a lower bound; so has a series
// of fewer than 20 tau values, whose error may lie in a tail of its
// correlation that it is too short to show.
blocking_result analyse(const blocking& b);

}  // namespace vmc
