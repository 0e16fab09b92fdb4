#pragma once

// The shortest decimal text of a float that reads back to the same float,
// exactly as std::to_chars(first, last, x) writes it: the fewest significant
// digits that round-trip (the nearest such decimal, ties to even), in fixed
// notation unless scientific ("1e-05", "1.5e+07") is shorter.
//
// The usual values, normal floats of magnitude 2^-14 ... 2^24, take a short
// exact path in 64-bit integers, about 1.6 times as fast as the library's;
// every other float is handed to std::to_chars itself. bench/exhaustive-check
// compares the two texts on all 2^32 bit patterns; the tests compare a
// sample of millions.

namespace vmc {

// The most characters shortest_float writes ("-1.17549435e-38").
inline constexpr int float_text_width = 15;
// The room it needs at first: it moves whole 16-byte blocks and may write
// past the end of its text (only [first, returned end) is the text).
inline constexpr int float_text_room = 32;

// Writes the text of x at first and returns its end.
char* shortest_float(char* first, float x);

}  // namespace vmc
