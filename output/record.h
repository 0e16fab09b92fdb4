#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

// List-directed records: one leading blank, the items separated by one blank,
// a line break at the end. Text is written exactly as given (its own blanks
// included); a float as the shortest decimal text that reads back to the
// same float, always with a decimal point or an exponent; an integer in plain
// decimal.

namespace vmc {

// The most characters put_real can write: a blank, a sign, nine digits, a
// point, an exponent "e-45" and a margin.
inline constexpr std::size_t real_width = 20;
// The room put_real needs at p: it may use bytes past its text as scratch.
inline constexpr std::size_t real_room = 48;

// Writes " " and the shortest round-trip form of x at p, which has room for
// real_room characters; returns the end of what it wrote (at most
// real_width characters on from p).
char* put_real(char* p, float x);

// Appends " text".
void put_text(std::string& out, std::string_view text);
// Appends " " and the shortest round-trip form of x ("NaN", "Infinity" and
// "-Infinity" for the special values).
void put_real(std::string& out, float x);
// Appends " " and n in decimal.
void put_int(std::string& out, std::int64_t n);

namespace detail {
inline void put_item(std::string& out, std::string_view text) { put_text(out, text); }
inline void put_item(std::string& out, const char* text) { put_text(out, text); }
inline void put_item(std::string& out, float x) { put_real(out, x); }
template <std::integral T>
void put_item(std::string& out, T n) {
  static_assert(!std::is_same_v<T, bool> && !std::is_same_v<T, char>);
  put_int(out, static_cast<std::int64_t>(n));
}
void put_item(std::string& out, double) = delete;  // every real of a record is a float
}  // namespace detail

// Appends one whole record made of the given items.
template <class... Items>
void append_record(std::string& out, const Items&... items) {
  (detail::put_item(out, items), ...);
  out.push_back('\n');
}

// One record as a string.
template <class... Items>
std::string record(const Items&... items) {
  std::string out;
  append_record(out, items...);
  return out;
}

}  // namespace vmc
