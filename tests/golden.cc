#include "golden.h"

#include <openssl/evp.h>

#include <algorithm>
#include <stdexcept>

namespace vmc::testing {

std::string sha256_hex(std::string_view data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(data.data(), data.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 failed");
  }
  static const char hex[] = "0123456789abcdef";
  std::string text;
  for (unsigned int i = 0; i < size; ++i) {
    text += hex[digest[i] >> 4];
    text += hex[digest[i] & 15];
  }
  return text;
}

namespace {

std::string_view line_at(std::string_view text, std::size_t start) {
  const std::size_t end = text.find('\n', start);
  return text.substr(start, end == std::string_view::npos ? text.size() - start : end - start);
}

std::string shown(std::string_view line) {
  constexpr std::size_t longest = 120;
  std::string q(1, '"');
  q.append(line.substr(0, longest));
  q += '"';
  if (line.size() > longest) q += "...";
  return q;
}

}  // namespace

std::string first_difference(std::string_view expected, std::string_view actual,
                             const std::vector<std::size_t>& pass_first) {
  if (expected == actual) return "";
  // The first differing byte, moved back to the start of its record.
  const std::size_t at = static_cast<std::size_t>(
      std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
      expected.begin());
  std::size_t start = 0;
  if (at > 0) {
    const std::size_t newline = expected.rfind('\n', at - 1);
    if (newline != std::string_view::npos) start = newline + 1;
  }
  const std::size_t record = static_cast<std::size_t>(
      std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(start), '\n'));
  std::string where = "record " + std::to_string(record + 1);
  if (!pass_first.empty()) {
    const auto pass = std::upper_bound(pass_first.begin(), pass_first.end(), record) - 1;
    where += " (pass " + std::to_string(pass - pass_first.begin() + 1) + ", accepted move " +
             std::to_string(record - *pass + 1) + ")";
  }
  if (start >= expected.size()) return where + ": expected the end, got " + shown(line_at(actual, start));
  if (start >= actual.size()) return where + ": expected " + shown(line_at(expected, start)) + ", got the end";
  return where + ": expected " + shown(line_at(expected, start)) + ", got " +
         shown(line_at(actual, start));
}

}  // namespace vmc::testing
