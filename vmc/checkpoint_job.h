#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "output/io_error.h"
#include "vmc/checkpoint.h"
#include "vmc/options.h"
#include "vmc/ranks.h"

// A checkpoint kept by a job of several processes. Rank 0 alone reads the
// file and sends its bytes to every rank, which checks them alike and
// continues its own share of the separations from them, so the job may have
// another number of ranks than the run that wrote it. While walking no rank
// writes; once every rank has stopped or finished its share, each hands over
// the records of its own separations and rank 0 writes the one file.

namespace vmc {

// The checkpoint's bytes as rank 0 read them, at every rank (collective).
inline checkpoint_source shared_checkpoint_source(const ranks& job) {
  return [&job](const std::string& path, std::string& bytes) {
    std::string outcome;
    if (job.root()) {
      try {
        outcome = checkpoint_file_bytes(path, bytes) ? "+" + bytes : "0";
      } catch (const io_error& e) {
        outcome = std::string("---checkpoint: ") + e.what();
      }
    }
    outcome = from_root(job, outcome);
    if (outcome.empty() || outcome.front() == '-') {
      throw usage_error(outcome.empty() ? "--checkpoint: nothing was read" : outcome.substr(1));
    }
    if (outcome.front() == '0') return false;
    bytes = outcome.substr(1);
    return true;
  };
}

// How a job goes on once its checkpoint is gathered.
enum class after_gather {
  go_on,    // every rank finished its share: on to the table
  stopped,  // some rank was stopped by a signal: the checkpoint holds the run
  quiet,    // rank 0 failed to write it and says why; this rank ends quietly
};

// Every rank calls it once its share is finished or stopped (`stopped`):
// rank 0 writes the records of every rank, and every rank learns whether
// any was stopped. A failure to write is thrown at rank 0.
template <class Keeper>
after_gather gather_checkpoint(const ranks& job, Keeper& keeper, bool stopped) {
  const std::string mine =
      (stopped ? "1" : "0") + keeper.part([&job](std::size_t index) { return job.mine(index); });
  const std::vector<std::string> pieces = gather_at_root(job, mine);
  std::string verdict;
  if (job.root()) {
    bool any = false;
    std::vector<std::string> parts;
    for (const std::string& p : pieces) {
      any = any || p.front() == '1';
      parts.push_back(p.substr(1));
    }
    try {
      keeper.write_parts(parts);
      verdict = any ? "1" : "0";
    } catch (const std::exception& e) {
      verdict = std::string("-") + e.what();
    }
  }
  verdict = from_root(job, verdict);
  if (verdict.front() == '-') {
    if (job.root()) throw std::runtime_error(verdict.substr(1));
    return after_gather::quiet;
  }
  return verdict == "1" ? after_gather::stopped : after_gather::go_on;
}

}  // namespace vmc
