#pragma once

#include <atomic>
#include <stdexcept>
#include <string>

namespace vmc {

// A request to stop a run early, set from anywhere (a signal handler, another
// thread, a binding's interrupt check): a lock-free flag the run reads.
using stop_request = std::atomic<bool>;

// Thrown by a run that saw its stop request set: it has stopped every thread
// and, when it keeps a checkpoint, written it first, so that the same run
// asked again continues from there.
struct run_stopped : std::runtime_error {
  run_stopped() : std::runtime_error("the run was stopped on request") {}
  explicit run_stopped(const std::string& what) : std::runtime_error(what) {}
};

// Whether stop is given and set.
inline bool stop_requested(const stop_request* stop) {
  return stop != nullptr && stop->load(std::memory_order_relaxed);
}

}  // namespace vmc
