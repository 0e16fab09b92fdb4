#include <mpi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "vmc/ranks.h"

namespace vmc {
namespace {

// Whether a launcher (mpirun, mpiexec, srun) started this process as part of
// a job. A process started on its own stays a single rank and does not pay
// for MPI's start-up.
bool launched_as_job() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"}) {
    if (std::getenv(name) != nullptr) return true;
  }
  return false;
}

bool started = false;

}  // namespace

ranks start_ranks(int& argc, char**& argv) {
  ranks r;
  if (!launched_as_job()) return r;
  // OpenMP threads run inside each rank, but only the main thread calls MPI.
  int provided = MPI_THREAD_SINGLE;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
  started = true;
  if (provided < MPI_THREAD_FUNNELED) {
    std::fputs("vmc: this MPI library cannot run beside threads (no MPI_THREAD_FUNNELED)\n", stderr);
    MPI_Abort(MPI_COMM_WORLD, 1);
  }
  MPI_Comm_rank(MPI_COMM_WORLD, &r.rank);
  MPI_Comm_size(MPI_COMM_WORLD, &r.size);
  return r;
}

void end_ranks() {
  if (started) MPI_Finalize();
}

std::vector<std::string> gather_at_root(const ranks& r, const std::string& mine) {
  if (!started) return {mine};
  if (mine.size() > static_cast<std::size_t>(INT32_MAX)) {
    throw std::runtime_error("the results of one rank exceed 2 GB");
  }
  const int size = static_cast<int>(mine.size());
  std::vector<int> sizes(static_cast<std::size_t>(r.size));
  MPI_Gather(&size, 1, MPI_INT, sizes.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
  std::vector<int> offsets(static_cast<std::size_t>(r.size));
  std::string all;
  if (r.root()) {
    long long total = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      offsets[i] = static_cast<int>(total);
      total += sizes[i];
    }
    if (total > INT32_MAX) throw std::runtime_error("the results of all ranks exceed 2 GB");
    all.resize(static_cast<std::size_t>(total));
  }
  MPI_Gatherv(mine.data(), size, MPI_CHAR, all.data(), sizes.data(), offsets.data(), MPI_CHAR, 0,
              MPI_COMM_WORLD);
  std::vector<std::string> pieces;
  if (r.root()) {
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      pieces.push_back(all.substr(static_cast<std::size_t>(offsets[i]),
                                  static_cast<std::size_t>(sizes[i])));
    }
  }
  return pieces;
}

std::string from_root(const ranks& r, const std::string& text) {
  if (!started) return text;
  std::uint64_t size = text.size();
  MPI_Bcast(&size, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD);
  std::string out = r.root() ? text : std::string(static_cast<std::size_t>(size), '\0');
  // In pieces below 2^31 bytes, the most one call can carry.
  for (std::uint64_t at = 0; at < size; at += std::uint64_t{1} << 30) {
    const int n = static_cast<int>(std::min<std::uint64_t>(size - at, std::uint64_t{1} << 30));
    MPI_Bcast(out.data() + at, n, MPI_CHAR, 0, MPI_COMM_WORLD);
  }
  return out;
}

void abort_job(const ranks& r, int status) {
  if (started && r.size > 1) MPI_Abort(MPI_COMM_WORLD, status);
}

}  // namespace vmc
