#pragma once

#include "output/text_stream.h"

namespace vmc {

// The fixed-separation run: one Metropolis walk of 1000 steps with the
// protons 10 A apart. Writes six records to console and the files
// pociatok.dat, jadra.dat, energ.dat, elektrony1.dat and elektrony2.dat in
// the working directory.
void run_molekula(text_stream& console);

}  // namespace vmc
