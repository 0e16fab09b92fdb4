#include "elektron/separation.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "output/quoted.h"

namespace vmc {
namespace {

constexpr std::string_view expected =
    "expected the proton separation in angstrom, a number of 0 or more such as 0.74";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

separation_reading refuse(std::string_view token, std::string_view why) {
  return {std::nullopt, quoted(token) + " " + std::string(why) + "; " + std::string(expected)};
}

// Length of the decimal real at the start of t (sign, digits with at most one
// point and at least one digit, optional exponent), or 0 when there is none.
std::size_t decimal_length(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && is_digit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && is_digit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
    std::size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    const std::size_t exponent_start = j;
    while (j < t.size() && is_digit(t[j])) ++j;
    if (j == exponent_start) return 0;
    i = j;
  }
  return i;
}

bool names_a_special_value(std::string_view token) {
  if (!token.empty() && (token[0] == '+' || token[0] == '-')) token.remove_prefix(1);
  std::string lower;
  for (char c : token) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower == "nan" || lower == "inf" || lower == "infinity" || lower.rfind("nan(", 0) == 0;
}

}  // namespace

separation_reading parse_separation(std::string_view line) {
  std::size_t start = 0;
  while (start < line.size() && is_blank(line[start])) ++start;
  std::size_t end = start;
  while (end < line.size() && !is_blank(line[end]) && line[end] != ',' && line[end] != '/' &&
         line[end] != '\n') {
    ++end;
  }
  const std::string_view token = line.substr(start, end - start);
  if (token.empty()) return {std::nullopt, "no number before the end of the line; " + std::string(expected)};
  if (names_a_special_value(token)) return refuse(token, "is not a finite number");
  if (decimal_length(token) != token.size()) return refuse(token, "is not a number");

  std::string text(token);
  for (char& c : text) {
    if (c == 'd' || c == 'D') c = 'e';
  }
  const char* first = text.data() + (text[0] == '+' ? 1 : 0);  // from_chars takes no '+'
  float value = 0.0f;
  const std::from_chars_result r = std::from_chars(first, text.data() + text.size(), value);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow is refused; a value too small for a float is zero.
    const double wide = std::strtod(text.c_str(), nullptr);
    if (std::fabs(wide) >= 1.0) return refuse(token, "is beyond the single-precision range");
    value = 0.0f;
  } else if (r.ec != std::errc() || r.ptr != text.data() + text.size()) {
    return refuse(token, "is not a number");
  }
  if (!std::isfinite(value)) return refuse(token, "is beyond the single-precision range");
  if (value < 0.0f) return refuse(token, "is negative");
  // Beyond this the float positions around each proton are coarser than a
  // step of the walk, and the walk is no longer the walk it shows.
  if (value > largest_separation) {
    return {std::nullopt, quoted(token) + " is too large; expected at most 1000"};
  }
  // "-0" is a separation of zero.
  return {value == 0.0f ? 0.0f : value, ""};
}

separation_reading read_separation(const byte_source& next) {
  // A line longer than this cannot be a separation; its start decides.
  constexpr std::size_t longest = 1 << 16;
  std::string line;
  for (;;) {
    const int c = next();
    if (c < 0 || c == '\n' || line.size() >= longest) {
      bool blank = true;
      for (char b : line) blank = blank && is_blank(b);
      if (!blank) return parse_separation(line);
      if (c < 0) {
        return {std::nullopt,
                "the input ended before a separation was given; " + std::string(expected)};
      }
      line.clear();
      continue;
    }
    line += static_cast<char>(c);
  }
}

}  // namespace vmc
