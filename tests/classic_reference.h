#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The two classic programs written out a second time, as plain loops in the
// order of their definitions: elocal and phi called separately, the counters
// and sums as the definitions keep them, one thread, every record formatted
// as it is produced. They share only the model, the generators and the
// record format with the programs; nothing of the walk, the observers, the
// scan's threads or the output files. Their output is pinned by the
// confirmed hashes, so where a program differs from them the reference
// points at the first wrong record.

namespace vmc::testing {

// What one run writes, file by file.
struct classic_outputs {
  std::string console;
  std::string energ;
  std::string elektrony1;
  std::string elektrony2;
  std::string pociatok;                    // molekula only
  std::string jadra;                       // molekula only
  std::vector<std::size_t> pass_first;     // vodik: first electron record of each pass (0-based)
};

// The whole 45-pass scan.
classic_outputs reference_vodik();

// The whole 1000-step run at 10 A.
classic_outputs reference_molekula();

// The 20-step demonstration at separation s as it answers the input "s":
// console and generator.dat (in pociatok).
classic_outputs reference_elektron(float s);

}  // namespace vmc::testing
