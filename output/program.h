#pragma once

#include <functional>
#include <string_view>

namespace vmc {

// Runs a program's body: prepares the standard streams and signal handling,
// and turns any error that reaches here into one line "program: reason" on
// standard error and exit status 1. Returns the exit status.
int run_program(std::string_view program, const std::function<void()>& body);

}  // namespace vmc
