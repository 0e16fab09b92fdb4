#include "output/record.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "output/float_text.h"

namespace vmc {

void put_text(std::string& out, std::string_view text) {
  out.push_back(' ');
  out.append(text);
}

char* put_real(char* p, float x) {
  *p++ = ' ';
  if (!std::isfinite(x)) {
    const std::string_view name = std::isnan(x) ? "NaN" : x > 0 ? "Infinity" : "-Infinity";
    return std::copy(name.begin(), name.end(), p);
  }
  char* const start = p;
  p = shortest_float(p, x);
  // A whole number in fixed notation would read as an integer: 421 -> 421.0.
  // Only a whole number can be written so (any other float's shortest text
  // has a point or an exponent), and its bits say whether it is one: no
  // fraction bits below the binary point.
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
  const int exponent = static_cast<int>((bits >> 23) & 0xff) - 127;
  const bool whole = exponent >= 23 || (bits << 1) == 0 ||
                     (exponent >= 0 && (bits & ((std::uint32_t{1} << (23 - exponent)) - 1)) == 0);
  if (whole) {
    bool marked = false;
    for (const char* c = start; c != p; ++c) marked = marked || *c == '.' || *c == 'e';
    if (!marked) {
      *p++ = '.';
      *p++ = '0';
    }
  }
  return p;
}

void put_real(std::string& out, float x) {
  char text[real_room];
  out.append(text, put_real(text, x));
}

void put_int(std::string& out, std::int64_t n) {
  char text[24];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, n);
  out.push_back(' ');
  out.append(text, r.ptr);
}

}  // namespace vmc
