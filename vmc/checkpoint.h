#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "random/ecuyer.h"
#include "stats/energy_statistics.h"
#include "walk/metropolis.h"

// Checkpoints: the state of a run, so that the same command continues it.
//
// A checkpoint file is
//   "vmc checkpoint 1\n"                      magic and format version
//   u64 n, then n bytes: the run's identity    "name=value" lines: program
//                                              version, subcommand and every
//                                              option that decides the result
//   u64 n, then n bytes: the state             the subcommand's own layout
//   u64 FNV-1a 64 of every byte before it
// integers little-endian, doubles and floats as their IEEE bits. It is
// written to a temporary beside it, flushed to the disk (fsync) and renamed
// over the old one, so a run killed at any moment leaves either the old
// checkpoint or the new one, whole.

namespace vmc {

// A checkpoint that cannot be used: corrupt, truncated, another version, or
// written by a run with other options. what() is one line.
struct checkpoint_error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The bytes of a state, appended in order.
class byte_writer {
 public:
  void u64(std::uint64_t x) {
    for (int k = 0; k < 8; ++k) bytes_.push_back(static_cast<char>((x >> (8 * k)) & 0xff));
  }
  void i64(std::int64_t x) { u64(static_cast<std::uint64_t>(x)); }
  void f64(double x) {
    std::uint64_t b;
    std::memcpy(&b, &x, 8);
    u64(b);
  }
  void f32(float x) {
    std::uint32_t b;
    std::memcpy(&b, &x, 4);
    for (int k = 0; k < 4; ++k) bytes_.push_back(static_cast<char>((b >> (8 * k)) & 0xff));
  }
  void text(const std::string& s) {
    u64(s.size());
    bytes_ += s;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// Reads what byte_writer wrote; any read past the end throws checkpoint_error.
class byte_reader {
 public:
  explicit byte_reader(std::string_view bytes) : bytes_(bytes) {}
  std::uint64_t u64();
  std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
  double f64();
  float f32();
  std::string text();
  // A count of records of at least `record_bytes` bytes each: refused when the
  // rest of the state cannot hold them (a corrupt count, not a huge allocation).
  std::uint64_t count(std::uint64_t record_bytes);
  bool at_end() const { return at_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

void write_statistics(byte_writer& w, const energy_statistics& s);
energy_statistics read_statistics(byte_reader& r);
void write_blocking(byte_writer& w, const blocking& b);
blocking read_blocking(byte_reader& r);
void write_generator(byte_writer& w, const ecuyer& g);
ecuyer read_generator(byte_reader& r);

// A run's identity: ordered (name, value) pairs.
using identity = std::vector<std::pair<std::string, std::string>>;

// The whole file for an identity and a state.
std::string checkpoint_bytes(const identity& id, const std::string& state);

// The state of a checkpoint file's bytes, after checking its format, its
// checksum and that its identity is `expected` (else checkpoint_error
// naming the first option that differs, as "--name").
std::string checkpoint_state(std::string_view bytes, const identity& expected);

// Writes the file atomically (temporary, fsync, rename); throws io_error.
void write_checkpoint(const std::string& path, const identity& id, const std::string& state);

// The bytes of the file, or false when there is no such file; throws io_error.
bool checkpoint_file_bytes(const std::string& path, std::string& bytes);

// How a keeper obtains the file's bytes (checkpoint_file_bytes when empty).
// A job of several processes has rank 0 read the file and send its bytes to
// every rank, which then checks them alike.
using checkpoint_source = std::function<bool(const std::string& path, std::string& bytes)>;

// Which separations' records are this process's own (a job of several
// processes keeps its checkpoint by gathering every rank's own records).
using checkpoint_owner = std::function<bool(std::size_t index)>;

// The file's state, or nothing when there is no such file.
bool read_checkpoint(const std::string& path, const identity& expected, std::string& state,
                     const checkpoint_source& source = {});

// "30s", "10m", "1h", "2.5s", "0" (checkpoints only at the end of a
// separation and on a stop): the interval, or usage_error naming option.
std::chrono::milliseconds parse_interval(const std::string& option, const std::string& text);

}  // namespace vmc

#include <map>
#include <mutex>

#include "vmc/scan.h"

namespace vmc {

// The identity of a scan: what decides its numbers, --steps aside (a run of
// more steps continues a shorter one).
identity scan_identity(const std::string& version, const scan_settings& settings);

// A scan's state as bytes, and back (checked against the settings: walks of
// the run, steps not beyond its own, statistics as long as the steps).
std::string scan_state_bytes(std::int64_t steps, const std::map<std::uint64_t, scan_walk_state>& walks);
std::map<std::uint64_t, scan_walk_state> scan_state_of(const std::string& bytes,
                                                       const scan_settings& settings,
                                                       std::int64_t& steps);

// Keeps a scan's walks in a checkpoint file: read when the run starts,
// written at most every `every` (0: never by time), when a separation
// finishes, when the run stops and when it ends.
class scan_checkpoint final : public scan_keeper {
 public:
  scan_checkpoint(std::string path, std::chrono::milliseconds every, identity id,
                  const scan_settings& settings, const checkpoint_source& source = {});
  bool find(std::uint64_t walk, scan_walk_state& st) override;
  void keep(std::uint64_t walk, const scan_walk_state& st) override;
  void separation_done() override;
  void stopped() override { write(); }
  void finished() override { write(); }
  // The measured steps the checkpoint held when the run started, over every
  // walk, and how many of the run's separations were then done.
  std::int64_t resumed_steps() const { return resumed_steps_; }
  bool resumed() const { return resumed_; }
  // In a job of several processes: the keeper writes nothing itself; each
  // rank hands over part() (the state of its own separations) and rank 0
  // writes the file of every rank's parts with write_parts().
  void gather_instead() { gathered_ = true; }
  std::string part(const checkpoint_owner& mine);
  void write_parts(const std::vector<std::string>& parts);

 private:
  void write();
  void write_locked();
  bool gathered_ = false;
  std::string path_;
  std::chrono::milliseconds every_;
  identity id_;
  scan_settings settings_;
  std::mutex mutex_;
  std::map<std::uint64_t, scan_walk_state> walks_;
  std::chrono::steady_clock::time_point last_;
  std::int64_t resumed_steps_ = 0;
  bool resumed_ = false;
};

}  // namespace vmc

#include "vmc/dmc.h"

namespace vmc {

// The identity of a dmc run: what decides its numbers, --steps aside.
identity dmc_identity(const std::string& version, const dmc_settings& settings);

// A dmc run's states as bytes, and back (checked against the settings).
std::string dmc_state_bytes(std::int64_t steps, const std::map<std::size_t, dmc_state>& states);
std::map<std::size_t, dmc_state> dmc_state_of(const std::string& bytes, const dmc_settings& settings,
                                              std::int64_t& steps);

// Keeps a dmc run's separations in a checkpoint file: written at most every
// `every` (0: never by time), when a separation ends and when the run stops.
class dmc_checkpoint final : public dmc_keeper {
 public:
  dmc_checkpoint(std::string path, std::chrono::milliseconds every, identity id,
                 const dmc_settings& settings, const checkpoint_source& source = {});
  bool find(std::size_t index, dmc_state& st) override;
  void keep(std::size_t index, const dmc_state& st, bool done) override;
  bool due(bool done) const override;
  void stopped(std::size_t index, const dmc_state& st) override;
  bool resumed() const { return resumed_; }
  // The steps the checkpoint held when the run started, over every separation.
  std::int64_t resumed_steps() const { return resumed_steps_; }
  // In a job of several processes: the keeper writes nothing itself; each
  // rank hands over part() (the state of its own separations) and rank 0
  // writes the file of every rank's parts with write_parts().
  void gather_instead() { gathered_ = true; }
  std::string part(const checkpoint_owner& mine);
  void write_parts(const std::vector<std::string>& parts);

 private:
  void write();
  bool gathered_ = false;
  std::string path_;
  std::chrono::milliseconds every_;
  identity id_;
  dmc_settings settings_;
  std::map<std::size_t, dmc_state> states_;
  std::chrono::steady_clock::time_point last_;
  bool resumed_ = false;
  std::int64_t resumed_steps_ = 0;
};

}  // namespace vmc

#include "vmc/optimize.h"

namespace vmc {

// The identity of an optimisation: what decides its rounds and its final
// walk, --steps aside (a run of more steps walks only the final walks again).
identity optimize_identity(const std::string& version, const optimize_settings& settings);

std::string optimize_state_bytes(const std::map<std::size_t, optimize_state>& states);
std::map<std::size_t, optimize_state> optimize_state_of(const std::string& bytes,
                                                        const optimize_settings& settings);

// Keeps an optimisation's finished rounds in a checkpoint file: written at
// most every `every` after a round, when a separation's search ends, and by
// write() (on a stop and at the end).
class optimize_checkpoint final : public optimize_keeper {
 public:
  optimize_checkpoint(std::string path, std::chrono::milliseconds every, identity id,
                      const optimize_settings& settings, const checkpoint_source& source = {});
  bool find(std::size_t index, optimize_state& st) override;
  void keep(std::size_t index, const optimize_state& st, bool force) override;
  void write();
  bool resumed() const { return resumed_; }
  int resumed_rounds() const { return resumed_rounds_; }
  // In a job of several processes: the keeper writes nothing itself; each
  // rank hands over part() (the state of its own separations) and rank 0
  // writes the file of every rank's parts with write_parts().
  void gather_instead() { gathered_ = true; }
  std::string part(const checkpoint_owner& mine);
  void write_parts(const std::vector<std::string>& parts);

 private:
  void write_locked();
  bool gathered_ = false;
  std::string path_;
  std::chrono::milliseconds every_;
  identity id_;
  optimize_settings settings_;
  std::mutex mutex_;
  std::map<std::size_t, optimize_state> states_;
  std::chrono::steady_clock::time_point last_;
  bool resumed_ = false;
  int resumed_rounds_ = 0;
};

}  // namespace vmc
