// libFuzzer target for the checkpoint reader: whatever the bytes, read as a
// whole checkpoint file or as the state inside a sound envelope, the reader
// either gives walks that write back to bytes it reads again to the same
// walks, or refuses with checkpoint_error; it never crashes, hangs or throws
// anything else.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vmc/checkpoint.h"

namespace {

[[noreturn]] void broken(const char* what) {
  std::fprintf(stderr, "contract broken: %s\n", what);
  std::abort();
}

const vmc::scan_settings& settings() {
  static const vmc::scan_settings s = [] {
    vmc::scan_settings x;
    x.separations = {0.74f, 1.5f};
    x.walkers = 2;
    x.steps = 2000;
    x.equilibration = 100;
    return x;
  }();
  return s;
}

void read_state(const std::string& state) {
  std::int64_t steps = 0;
  try {
    const auto walks = vmc::scan_state_of(state, settings(), steps);
    const std::string again = vmc::scan_state_bytes(steps, walks);
    std::int64_t steps2 = 0;
    const auto walks2 = vmc::scan_state_of(again, settings(), steps2);
    if (steps2 != steps || walks2.size() != walks.size()) broken("a state read back differs");
    if (vmc::scan_state_bytes(steps2, walks2) != again) broken("a state written twice differs");
  } catch (const vmc::checkpoint_error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const vmc::identity id = vmc::scan_identity("1.0", settings());
  try {
    read_state(vmc::checkpoint_state(bytes, id));
  } catch (const vmc::checkpoint_error&) {
  }
  // The same bytes as the state of a sound file: past the checksum.
  try {
    read_state(vmc::checkpoint_state(vmc::checkpoint_bytes(id, bytes), id));
  } catch (const vmc::checkpoint_error&) {
    broken("a sound envelope refused");
  }
  return 0;
}
