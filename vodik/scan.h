#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/text_stream.h"
#include "random/ecuyer.h"

namespace vmc {

// What one pass of the scan reports.
struct pass_report {
  float s;      // separation, A
  float e;      // mean local energy over the accepted moves, eV
  float ratio;  // accepted moves / steps
};

struct scan_settings {
  std::int64_t steps = 100000;     // Metropolis steps per separation
  std::vector<float> separations;  // one pass each, in this order
};

// The separations of a run: s_k = 0.3 + 0.05 k A for k = 0 ... 44, each
// computed in double and rounded to float once (0.3, 0.35, ..., 2.5).
std::vector<float> scan_separations();

// The walk of one pass at separation s, drawing from g: 6 deviates for the
// start configuration and 7 per step. Appends the record (y, z) of electron
// 1 to e1 and of electron 2 to e2 after every accepted move.
pass_report run_pass(ecuyer& g, float s, std::int64_t steps, std::string& e1, std::string& e2);

// The whole scan: seeds the generator, writes one console record per pass and
// the files energ.dat, elektrony1.dat and elektrony2.dat in the working
// directory. Each pass starts from the generator state that the passes
// before it leave. Passes are walked eight at a time in vector lanes (each
// lane exactly run_pass's walk), one group per thread, then formatted in
// parallel; only the finished text is handed over in pass order, so the
// output is the same whatever the number of threads or the vector unit.
void run_scan(text_stream& console, const scan_settings& settings);

}  // namespace vmc
