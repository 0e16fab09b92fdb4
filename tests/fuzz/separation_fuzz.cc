// libFuzzer target for the separation reader: whatever the bytes, it either
// gives a finite, non-negative float that the text really holds, or refuses
// with a one-line reason; it never crashes, hangs or throws.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <string_view>

#include "elektron/separation.h"

namespace {

[[noreturn]] void broken(const char* what, std::string_view input) {
  std::fprintf(stderr, "contract broken: %s for input of %zu bytes\n", what, input.size());
  std::abort();
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// The number the reader should have taken, found independently: the first
// token of the first line that is not blank, read by strtod.
double number_in(std::string_view input) {
  std::size_t pos = 0;
  for (;;) {
    const std::size_t end = std::min(input.find('\n', pos), input.size());
    std::string_view line = input.substr(pos, end - pos);
    std::size_t i = 0;
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i < line.size()) {
      std::string token;
      while (i < line.size() && !is_blank(line[i]) && line[i] != ',' && line[i] != '/') {
        token += (line[i] == 'd' || line[i] == 'D') ? 'e' : line[i];
        ++i;
      }
      return std::strtod(token.c_str(), nullptr);
    }
    pos = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t taken = 0;
  vmc::separation_reading r;
  try {
    r = vmc::read_separation([&]() -> int {
      return taken < input.size() ? static_cast<unsigned char>(input[taken++]) : -1;
    });
  } catch (...) {
    broken("an exception escaped", input);
  }
  if (r.value) {
    const float s = *r.value;
    if (!std::isfinite(s) || s < 0.0f || std::signbit(s) || s > vmc::largest_separation) {
      broken("a value out of range", input);
    }
    if (!r.problem.empty()) broken("a value with a problem", input);
    const float expected = static_cast<float>(number_in(input));
    // strtod then rounding to float can differ from the direct float reading
    // by one unit in the last place (double rounding); anything more is wrong.
    if (!(std::fabs(expected - s) <= std::fabs(s) * 1.2e-7f) && !(s == 0.0f && expected < 1.0f)) {
      broken("a value that the text does not hold", input);
    }
  } else {
    if (r.problem.empty()) broken("a refusal without a reason", input);
    if (r.problem.find('\n') != std::string::npos) broken("a reason over several lines", input);
    if (r.problem.size() > 300) broken("a reason that is too long", input);
  }
  return 0;
}
