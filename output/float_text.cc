#include "output/float_text.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace vmc {
namespace {

constexpr std::uint64_t pow10(int k) {
  std::uint64_t p = 1;
  for (int i = 0; i < k; ++i) p *= 10;
  return p;
}

constexpr std::uint64_t powers_of_ten[] = {
    pow10(0), pow10(1), pow10(2),  pow10(3),  pow10(4),  pow10(5),  pow10(6),  pow10(7),
    pow10(8), pow10(9), pow10(10), pow10(11), pow10(12), pow10(13), pow10(14), pow10(15)};

constexpr std::uint64_t pow5(int k) {
  std::uint64_t p = 1;
  for (int i = 0; i < k; ++i) p *= 5;
  return p;
}

constexpr std::uint64_t powers_of_five[] = {pow5(0), pow5(1), pow5(2),  pow5(3),  pow5(4),
                                            pow5(5), pow5(6), pow5(7),  pow5(8),  pow5(9),
                                            pow5(10), pow5(11), pow5(12), pow5(13)};

constexpr char two_digits[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The ten digits of d < 10^10 at p: the first two, then eight from one
// product. f = ((lo ceil(2^48 / 10^6)) >> 16) + 1 is lo / 10^6 in 32.32 fixed
// point, never below it and less than 10^-7 above it for every lo < 10^8 (the
// product errs by less than 443 / 2^32), so the integer parts of f, then of
// 100 times its fraction, again and again, are the digit pairs.
inline void put_ten_digits(char* p, std::uint64_t d) {
  const std::uint64_t top = d / 100000000;
  const std::uint64_t lo = d - top * 100000000;
  std::memcpy(p, two_digits + 2 * top, 2);
  std::uint64_t f = ((lo * 281474977) >> 16) + 1;
  for (int i = 0; i < 4; ++i) {
    std::memcpy(p + 2 + 2 * i, two_digits + 2 * (f >> 32), 2);
    f = (f & 0xffffffff) * 100;
  }
}

}  // namespace

char* shortest_float(char* p, float x) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
  const std::uint32_t biased = (bits >> 23) & 0xff;
  const std::uint32_t fraction = bits & 0x7fffff;
  // Outside 2^-14 <= |x| < 2^24 (zero, subnormals, infinities and NaN
  // included) the library's own printer answers.
  if (biased < 127 - 14 || biased >= 127 + 24) {
    return std::to_chars(p, p + float_text_width, x).ptr;
  }
  *p = '-';
  p += bits >> 31;

  // |x| = m 2^e exactly. In units of 2^(e - 2) the value is v = 4m and the
  // floats either side are 4 units away, or 2 below the bottom of a binade;
  // every decimal strictly between the midpoints reads back as x, and the
  // midpoints themselves do when m is even (ties round to even).
  const std::uint64_t m = fraction | 0x800000;
  const int e = static_cast<int>(biased) - 150;  // -37 ... 0
  const int shift = 2 - e;                       // value = units / 2^shift
  const std::uint64_t v = 4 * m;
  const std::uint64_t open = m & 1;  // 1 when the midpoints do not read back

  // Decimals d 10^q with 10^q <= 2^e < 10^(q + 1): the interval between the
  // midpoints is 1 to 10 of them wide (3/4 of that at the bottom of a
  // binade), so it holds at most one multiple of 10. With 10^-q = 5^-q 2^-q,
  // a bound u (in units) is u 5^-q / 2^(shift + q) decimals, in 64 bits.
  int q = (e * 78913) >> 18;  // floor(e log10 2), -12 ... 0
  std::uint64_t dlow, dhigh, r;
  int sq;
  const auto level = [&](int at) {
    const std::uint64_t five = powers_of_five[-at];
    sq = shift + at;
    const std::uint64_t below = (std::uint64_t{1} << sq) - 1;
    const std::uint64_t a = (fraction == 0 ? v - 1 : v - 2) * five, b = (v + 2) * five;
    dlow = ((a + below) >> sq) + (open & ((a & below) == 0));
    dhigh = (b >> sq) - (open & ((b & below) == 0));
    r = v * five;
  };
  level(q);
  std::uint64_t d;
  const std::uint64_t tens = dhigh / 10;
  if (tens * 10 >= dlow) {
    // A multiple of 10 reads back, the only one: fewer digits, as few as its
    // trailing zeros allow.
    d = tens;
    ++q;
    while (d % 10 == 0) {
      d /= 10;
      ++q;
    }
  } else {
    // No multiple of 10: the decimals of this level, or of the next finer one
    // when this one has none, and the nearest to x of them, ties to even.
    if (dlow > dhigh) level(--q);
    d = r >> sq;
    const std::uint64_t rest = r & ((std::uint64_t{1} << sq) - 1);
    const std::uint64_t half = std::uint64_t{1} << (sq - 1);
    d += (rest > half) | ((rest == half) & d);
    // The nearest is always one that reads back: the comparison with
    // std::to_chars over every float shows it (a clamp into [dlow, dhigh]
    // here never fires).
  }

  // Its digits: about log10 of its bit width, corrected once.
  int n = (std::bit_width(d) * 1233) >> 12;
  n += d >= powers_of_ten[n];
  const int x10 = q + n - 1;  // the decimal exponent of the first digit

  // The digits at the end of ten, in a block with room to move 16 bytes from.
  char block[32] = {};
  put_ten_digits(block, d);
  const char* const digits = block + 10 - n;

  const int fixed_length = q >= 0 ? n + q : x10 >= 0 ? n + 1 : n + 1 - x10;
  const int scientific_length = n + (n > 1) + 4;  // exponents here have two digits
  if (fixed_length <= scientific_length) {
    if (q < 0 && x10 >= 0) {
      // ddd.ddd: the whole part, the point, then the rest.
      std::memcpy(p, digits, 16);
      p[x10 + 1] = '.';
      std::memcpy(p + x10 + 2, digits + x10 + 1, 16);
    } else if (q < 0) {
      // 0.000ddd (at most four zeros at these magnitudes)
      std::memcpy(p, "0.0000", 6);
      std::memcpy(p + 1 - x10, digits, 16);
    } else {
      // ddd000
      std::memcpy(p, digits, 16);
      std::memset(p + n, '0', static_cast<std::size_t>(q));
    }
    return p + fixed_length;
  }
  // d.ddde+XX or de-XX
  p[0] = digits[0];
  p[1] = '.';
  std::memcpy(p + 2, digits + 1, 16);
  p += n > 1 ? n + 1 : 1;
  const int magnitude = x10 < 0 ? -x10 : x10;
  p[0] = 'e';
  p[1] = x10 < 0 ? '-' : '+';
  p[2] = static_cast<char>('0' + magnitude / 10);
  p[3] = static_cast<char>('0' + magnitude % 10);
  return p + 4;
}

}  // namespace vmc
