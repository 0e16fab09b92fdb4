#pragma once

#include <string>
#include <string_view>

namespace vmc {

// Text a person typed, quoted for a one-line message: control bytes shown
// as '?', and cut after 40 characters with "..." ("abc" -> "\"abc\"").
std::string quoted(std::string_view text);

}  // namespace vmc
