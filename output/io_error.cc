#include "output/io_error.h"

#include <cerrno>
#include <cstring>

namespace vmc {

io_error::io_error(const std::string& what, int err)
    : std::runtime_error(what + ": " + std::strerror(err)) {}

io_error::io_error(const std::string& what, const std::string& reason)
    : std::runtime_error(what + ": " + reason) {}

namespace {
std::string& name_of_program() {
  static std::string name = program_invocation_short_name;
  return name;
}
}  // namespace

const std::string& program_name() { return name_of_program(); }
void set_program_name(const std::string& name) { name_of_program() = name; }

}  // namespace vmc
