#pragma once

#include <cstddef>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

namespace vmc {

// The tasks 0 ... n - 1: every one, as a single process runs them.
inline std::vector<std::size_t> all_tasks(std::size_t n) {
  std::vector<std::size_t> tasks(n);
  for (std::size_t i = 0; i < n; ++i) tasks[i] = i;
  return tasks;
}

// Throws invalid_argument when a task is no index of the n separations.
inline void check_tasks(const std::vector<std::size_t>& tasks, std::size_t n) {
  for (const std::size_t task : tasks) {
    if (task >= n) {
      throw std::invalid_argument("task " + std::to_string(task) + ": there are " +
                                  std::to_string(n) + " separations");
    }
  }
}

// rows[k] = run(tasks[k]) for every k, the tasks shared among OpenMP threads
// as they come free. A row depends on its task alone, so neither the number
// of threads nor the order of completion can change a bit of it. The first
// failure is thrown again once every thread has stopped.
template <class Row, class Run>
std::vector<Row> rows_in_parallel(const std::vector<std::size_t>& tasks, const Run& run) {
  const std::size_t n = tasks.size();
  std::vector<Row> rows(n);
  std::exception_ptr failure;
#pragma omp parallel for schedule(dynamic, 1)
  for (std::size_t k = 0; k < n; ++k) {
    try {
      rows[k] = run(tasks[k]);
    } catch (...) {
#pragma omp critical(rows_in_parallel_failure)
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
  return rows;
}

}  // namespace vmc
