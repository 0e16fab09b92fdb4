#pragma once

#include "output/text_stream.h"

namespace vmc {

// The interactive demonstration: asks for the proton separation on console
// and reads it from descriptor input, writes generator.dat in the working
// directory and a 20-step Metropolis walk to console. Throws when the input
// holds no usable separation, before any file is touched.
void run_elektron(text_stream& console, int input);

}  // namespace vmc
