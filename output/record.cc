#include "output/record.h"

#include <charconv>
#include <cmath>

namespace vmc {

void put_text(std::string& out, std::string_view text) {
  out.push_back(' ');
  out.append(text);
}

void put_real(std::string& out, float x) {
  out.push_back(' ');
  if (std::isnan(x)) {
    out.append("NaN");
    return;
  }
  if (std::isinf(x)) {
    out.append(x > 0 ? "Infinity" : "-Infinity");
    return;
  }
  char text[32];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, x);
  const std::string_view digits(text, static_cast<std::size_t>(r.ptr - text));
  out.append(digits);
  // A whole number in fixed notation would read as an integer: 421 -> 421.0.
  if (digits.find_first_of(".e") == std::string_view::npos) out.append(".0");
}

void put_int(std::string& out, std::int64_t n) {
  char text[24];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, n);
  out.push_back(' ');
  out.append(text, r.ptr);
}

}  // namespace vmc
