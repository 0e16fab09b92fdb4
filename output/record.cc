#include "output/record.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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
  // The text shows it: the shortest text of any other float has a point or
  // an exponent.
  bool marked = false;
  for (const char* c = start; c != p; ++c) marked = marked || *c == '.' || *c == 'e';
  if (!marked) {
    *p++ = '.';
    *p++ = '0';
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
