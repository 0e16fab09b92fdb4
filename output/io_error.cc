#include "output/io_error.h"

#include <cstring>

namespace vmc {

io_error::io_error(const std::string& what, int err)
    : std::runtime_error(what + ": " + std::strerror(err)) {}

io_error::io_error(const std::string& what, const std::string& reason)
    : std::runtime_error(what + ": " + reason) {}

}  // namespace vmc
