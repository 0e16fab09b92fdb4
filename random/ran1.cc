#include "random/ran1.h"

namespace vmc {

float ran1::next() {
  if (state <= 0 || iy == 0) {
    // -state, kept in 1 ... 2^31 - 2 (a positive state on the first call
    // becomes 1); widened so that the most negative state cannot overflow.
    const std::int64_t start = -static_cast<std::int64_t>(state);
    state = start < 1 ? 1 : start > 2147483646 ? 2147483646 : static_cast<std::int32_t>(start);
    // Eight warm-up steps are discarded, then slots 32 down to 1 are filled.
    for (int j = 40; j >= 1; --j) {
      state = minimal_standard_step(state);
      if (j <= 32) iv[static_cast<std::size_t>(j - 1)] = state;
    }
    iy = iv[0];
  }
  state = minimal_standard_step(state);
  // The value handed out last picks the slot; the slot's old value goes out
  // and the newest congruential value takes its place.
  const std::size_t slot = static_cast<std::size_t>(iy / 67108864);
  iy = iv[slot];
  iv[slot] = state;
  const float x = static_cast<float>(iy) * 4.656613e-10f;
  // Values of iy above 2147483456 round to 0.99999994 or to 1; the cap keeps
  // every deviate below 1.
  return x <= 0.99999988f ? x : 0.99999988f;
}

}  // namespace vmc
