#include "output/quoted.h"

namespace vmc {

std::string quoted(std::string_view text) {
  constexpr std::size_t longest = 40;
  std::string q = "\"";
  for (std::size_t i = 0; i < text.size() && i < longest; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    q += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
  }
  if (text.size() > longest) q += "...";
  q += '"';
  return q;
}

}  // namespace vmc
