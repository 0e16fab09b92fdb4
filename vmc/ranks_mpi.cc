#include <mpi.h>

#include <cstdint>
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
  MPI_Init(&argc, &argv);
  started = true;
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

void abort_job(const ranks& r, int status) {
  if (started && r.size > 1) MPI_Abort(MPI_COMM_WORLD, status);
}

}  // namespace vmc
