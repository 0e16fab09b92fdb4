#include "output/interrupt_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>

namespace vmc {
namespace {

// Fixed storage only: the signal handler may touch nothing that allocates.
constexpr int slots = 16;
char paths[slots][PATH_MAX];
std::atomic<bool> used[slots];
char message[256];
std::atomic<std::size_t> message_length{0};

extern "C" void on_interrupt(int sig) {
  for (int i = 0; i < slots; ++i) {
    if (used[i].load()) ::unlink(paths[i]);
  }
  if (const std::size_t n = message_length.load(); n > 0) {
    [[maybe_unused]] const ssize_t w = ::write(2, message, n);
  }
  ::_exit(128 + sig);
}

}  // namespace

void remove_temporaries_on_interrupt() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = on_interrupt;
  sigfillset(&sa.sa_mask);  // one handler at a time
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal the parent asked to be ignored stays ignored, as nohup and a
    // shell's trap '' expect: the run goes on after a logout.
    struct sigaction was;
    if (::sigaction(sig, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &sa, nullptr);
  }
}

void set_interrupt_message(const char* line) noexcept {
  message_length.store(0);
  const std::size_t n = std::min<std::size_t>(std::strlen(line), sizeof message - 1);
  std::memcpy(message, line, n);
  message[n] = '\n';
  message_length.store(n + 1);
}

int register_temporary(const char* path) noexcept {
  if (std::strlen(path) >= PATH_MAX) return -1;
  // Slots are taken and given back by the program's main thread only.
  for (int i = 0; i < slots; ++i) {
    if (!used[i].load()) {
      std::strcpy(paths[i], path);
      used[i].store(true);
      return i;
    }
  }
  return -1;
}

void unregister_temporary(int slot) noexcept {
  if (slot >= 0) used[slot].store(false);
}

}  // namespace vmc
