#pragma once

#include <stdexcept>
#include <string>

namespace vmc {

// A failed input or output operation: the file or stream it concerned and
// the system's reason, ready to be printed after the program's name.
class io_error : public std::runtime_error {
 public:
  // An error for `what` (a file name or "standard output") with errno value err.
  io_error(const std::string& what, int err);
  // An error for `what` with a reason in words.
  io_error(const std::string& what, const std::string& reason);
};

// The name that begins the lines the library writes on standard error itself
// (a notice that a temporary was removed): the program's own name until
// run_program sets the one its messages carry, such as "vmc scan".
const std::string& program_name();
void set_program_name(const std::string& name);

}  // namespace vmc
