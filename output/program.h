#pragma once

#include <functional>
#include <span>
#include <string_view>

namespace vmc {

// Runs a program's body: prepares the standard streams and signal handling,
// and turns any error that reaches here into one line "program: reason" on
// standard error and exit status 1. Returns the exit status.
int run_program(std::string_view program, const std::function<void()>& body);

// The same for a program that takes no arguments: "--help" or "-h" anywhere
// on the command line prints usage to standard output and returns 0; any
// other argument is reported as one line on standard error and returns 2.
// Either way nothing else runs and no file is touched.
int run_program(std::string_view program, std::string_view usage, std::span<char* const> args,
                const std::function<void()>& body);

}  // namespace vmc
