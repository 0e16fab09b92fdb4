#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

// The processes of a run. Built with MPI, vmc runs as one MPI job: every
// rank reads the same command line, runs its share of the walks (task i
// belongs to rank i mod size, with OpenMP threads inside), and hands its
// results to rank 0, which alone prints and writes the table. Built without
// MPI, or started without mpirun, there is one rank.

namespace vmc {

struct ranks {
  int rank = 0;  // this process, 0 ... size - 1
  int size = 1;  // processes of the job
  bool root() const { return rank == 0; }
  bool mine(std::size_t task) const { return static_cast<int>(task % static_cast<std::size_t>(size)) == rank; }
};

// Starts the job's communication (MPI_Init when built with MPI and started by
// a launcher such as mpirun or srun) and says which rank this is.
ranks start_ranks(int& argc, char**& argv);

// Ends it (MPI_Finalize). Every rank calls it before returning from main.
void end_ranks();

// Collects one piece of data from every rank at rank 0: there the result
// holds every rank's piece in rank order; elsewhere it is empty.
std::vector<std::string> gather_at_root(const ranks& r, const std::string& mine);

// Rank 0's text at every rank (MPI_Bcast); every rank calls it. What rank 0
// alone reads, every rank then checks alike, so that all reach one verdict.
std::string from_root(const ranks& r, const std::string& text);

// Ends every process of the job with status `status` (MPI_Abort): a rank
// that fails cannot leave the others waiting for its results. Without a job
// of several processes it does nothing.
void abort_job(const ranks& r, int status);

// The tasks of 0 ... n - 1 that belong to this rank, in order.
inline std::vector<std::size_t> tasks_of(const ranks& r, std::size_t n) {
  std::vector<std::size_t> t;
  for (std::size_t i = 0; i < n; ++i) {
    if (r.mine(i)) t.push_back(i);
  }
  return t;
}

// Every rank's rows (rows[k] the result of tasks[k]) collected at rank 0 in
// task order 0 ... n - 1; empty elsewhere. Rows travel as their bytes: the
// ranks of a job run the same program on machines of the same kind.
template <class Row>
std::vector<Row> rows_at_root(const ranks& r, std::size_t n, const std::vector<std::size_t>& tasks,
                              const std::vector<Row>& rows) {
  static_assert(std::is_trivially_copyable_v<Row>);
  std::string mine;
  for (std::size_t k = 0; k < tasks.size(); ++k) {
    const std::uint64_t index = tasks[k];
    mine.append(reinterpret_cast<const char*>(&index), sizeof index);
    mine.append(reinterpret_cast<const char*>(&rows[k]), sizeof(Row));
  }
  const std::vector<std::string> pieces = gather_at_root(r, mine);
  if (!r.root()) return {};
  std::vector<Row> all(n);
  std::vector<bool> seen(n, false);
  for (const std::string& piece : pieces) {
    for (std::size_t at = 0; at + sizeof(std::uint64_t) + sizeof(Row) <= piece.size();
         at += sizeof(std::uint64_t) + sizeof(Row)) {
      std::uint64_t index = 0;
      std::memcpy(&index, piece.data() + at, sizeof index);
      if (index >= n) throw std::runtime_error("a rank handed over a result of no task");
      std::memcpy(&all[index], piece.data() + at + sizeof index, sizeof(Row));
      seen[index] = true;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!seen[i]) throw std::runtime_error("no rank handed over the result of task " + std::to_string(i));
  }
  return all;
}

}  // namespace vmc
