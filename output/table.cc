#include "output/table.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vmc {
namespace {

bool special(double x, std::string& out) {
  if (std::isnan(x)) {
    out = "NaN";
  } else if (std::isinf(x)) {
    out = x > 0 ? "Infinity" : "-Infinity";
  } else {
    return false;
  }
  return true;
}

template <class Real, class... Format>
std::string to_text(Real x, Format... format) {
  std::string out;
  if (special(static_cast<double>(x), out)) return out;
  char text[64];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, x, format...);
  return std::string(text, r.ptr);
}

}  // namespace

std::string shortest(float x) { return to_text(x); }
std::string shortest(double x) { return to_text(x); }
std::string fixed(double x, int digits) {
  // Thirty digits before the point would break a console's columns; from a
  // billion on, the value is shown with its exponent.
  if (std::fabs(x) >= 1e9) return to_text(x, std::chars_format::scientific, digits);
  return to_text(x, std::chars_format::fixed, digits);
}

std::string tab_separated(const table& t) {
  std::string out;
  auto row = [&out](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += '\t';
      out += cells[i];
    }
    out += '\n';
  };
  row(t.header);
  for (const auto& r : t.rows) row(r);
  return out;
}

std::string aligned(const table& t) {
  std::vector<std::size_t> width(t.header.size());
  for (std::size_t i = 0; i < width.size(); ++i) {
    width[i] = t.header[i].size();
    for (const auto& r : t.rows) width[i] = std::max(width[i], r[i].size());
  }
  std::string out;
  auto row = [&](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += "  ";
      out.append(width[i] - cells[i].size(), ' ');
      out += cells[i];
    }
    out += '\n';
  };
  row(t.header);
  for (const auto& r : t.rows) row(r);
  return out;
}

}  // namespace vmc
