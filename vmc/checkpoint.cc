#include "vmc/checkpoint.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>

#include "output/io_error.h"
#include "vmc/options.h"
#include "vmc/stream_plan.h"

namespace vmc {
namespace {

constexpr std::string_view magic = "vmc checkpoint 1\n";

std::uint64_t fnv1a(std::string_view bytes) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (const char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ull;
  }
  return h;
}

std::string identity_text(const identity& id) {
  std::string text;
  for (const auto& [name, value] : id) text += name + "=" + value + "\n";
  return text;
}

}  // namespace

std::uint64_t byte_reader::u64() {
  if (bytes_.size() - at_ < 8) throw checkpoint_error("it is truncated");
  std::uint64_t x = 0;
  for (int k = 0; k < 8; ++k) {
    x |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes_[at_ + k])) << (8 * k);
  }
  at_ += 8;
  return x;
}

double byte_reader::f64() {
  const std::uint64_t b = u64();
  double x;
  std::memcpy(&x, &b, 8);
  return x;
}

float byte_reader::f32() {
  if (bytes_.size() - at_ < 4) throw checkpoint_error("it is truncated");
  std::uint32_t b32 = 0;
  for (int k = 0; k < 4; ++k) {
    b32 |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[at_ + k])) << (8 * k);
  }
  at_ += 4;
  float x;
  std::memcpy(&x, &b32, 4);
  return x;
}

std::string byte_reader::text() {
  const std::uint64_t n = count(1);
  std::string s(bytes_.substr(at_, n));
  at_ += n;
  return s;
}

std::uint64_t byte_reader::count(std::uint64_t record_bytes) {
  const std::uint64_t n = u64();
  if (record_bytes > 0 && n > (bytes_.size() - at_) / record_bytes) {
    throw checkpoint_error("it is truncated or corrupt (a count beyond its end)");
  }
  return n;
}

void write_blocking(byte_writer& w, const blocking& b) {
  w.f64(b.shift);
  int used = 0;
  while (used < blocking::max_levels && b.levels[used].n > 0) ++used;
  w.u64(static_cast<std::uint64_t>(used));
  for (int l = 0; l < used; ++l) {
    const block_level& x = b.levels[l];
    w.i64(x.n);
    w.f64(x.sum);
    w.f64(x.sum_squares);
    w.f64(x.sum_products);
    w.f64(x.first);
    w.f64(x.last);
    w.u64(x.pending ? 1 : 0);
    w.i64(x.other_series);
    w.f64(x.other_ends);
  }
}

blocking read_blocking(byte_reader& r) {
  blocking b;
  b.shift = r.f64();
  const std::uint64_t used = r.count(9 * 8);
  if (used > blocking::max_levels) throw checkpoint_error("it is corrupt (too many blocking levels)");
  for (std::uint64_t l = 0; l < used; ++l) {
    block_level& x = b.levels[l];
    x.n = r.i64();
    x.sum = r.f64();
    x.sum_squares = r.f64();
    x.sum_products = r.f64();
    x.first = r.f64();
    x.last = r.f64();
    const std::uint64_t pending = r.u64();
    if (pending > 1) throw checkpoint_error("it is corrupt (a flag that is neither 0 nor 1)");
    x.pending = pending == 1;
    x.other_series = r.i64();
    x.other_ends = r.f64();
    // Each level holds half the values of the one below, rounded down, and
    // at least one.
    if (x.n <= 0 || (l > 0 && x.n != b.levels[l - 1].n / 2)) {
      throw checkpoint_error("it is corrupt (inconsistent blocking counts)");
    }
  }
  if (used < blocking::max_levels && used > 0 && b.levels[used - 1].n >= 2) {
    throw checkpoint_error("it is corrupt (a blocking level missing)");
  }
  return b;
}

void write_statistics(byte_writer& w, const energy_statistics& s) {
  write_blocking(w, s.series);
  w.i64(s.accepted);
  w.f64(s.sum_accepted);
}

energy_statistics read_statistics(byte_reader& r) {
  energy_statistics s;
  s.series = read_blocking(r);
  s.accepted = r.i64();
  s.sum_accepted = r.f64();
  if (s.accepted < 0 || s.accepted > s.series.count()) {
    throw checkpoint_error("it is corrupt (more accepted moves than steps)");
  }
  return s;
}

void write_generator(byte_writer& w, const ecuyer& g) {
  w.u64(static_cast<std::uint32_t>(g.ix1));
  w.u64(static_cast<std::uint32_t>(g.ix2));
}

ecuyer read_generator(byte_reader& r) {
  const std::uint64_t a = r.u64(), b = r.u64();
  // Both components stay in 1 ... m - 1 once seeded.
  if (a < 1 || a >= 2147483563u || b < 1 || b >= 2147483399u) {
    throw checkpoint_error("it is corrupt (a generator state out of range)");
  }
  return {static_cast<std::int32_t>(a), static_cast<std::int32_t>(b)};
}

std::string checkpoint_bytes(const identity& id, const std::string& state) {
  byte_writer w;
  w.text(identity_text(id));
  w.text(state);
  std::string bytes = std::string(magic) + w.bytes();
  byte_writer sum;
  sum.u64(fnv1a(bytes));
  return bytes + sum.bytes();
}

std::string checkpoint_state(std::string_view bytes, const identity& expected) {
  if (bytes.substr(0, magic.size()) != magic) {
    if (bytes.substr(0, 15) == magic.substr(0, 15)) {
      throw checkpoint_error("it was written in another format (" +
                             std::string(bytes.substr(15, bytes.find('\n') - 15).substr(0, 10)) + ")");
    }
    throw checkpoint_error("it is not a vmc checkpoint");
  }
  if (bytes.size() < magic.size() + 24) throw checkpoint_error("it is truncated");
  byte_reader tail(bytes.substr(bytes.size() - 8));
  if (tail.u64() != fnv1a(bytes.substr(0, bytes.size() - 8))) {
    throw checkpoint_error("it is truncated or corrupt (its checksum differs)");
  }
  byte_reader r(bytes.substr(magic.size(), bytes.size() - 8 - magic.size()));
  const std::string id = r.text();
  std::string state = r.text();
  if (!r.at_end()) throw checkpoint_error("it is corrupt (bytes after its state)");
  // The first option that differs, by name.
  std::size_t at = 0;
  for (const auto& [name, value] : expected) {
    const std::size_t end = id.find('\n', at);
    const std::string line = id.substr(at, end == std::string::npos ? std::string::npos : end - at);
    const std::string want = name + "=" + value;
    if (line != want) {
      const std::size_t eq = line.find('=');
      const std::string was = line.substr(0, eq) == name ? line.substr(eq + 1) : "(none)";
      const std::string what = name == "version" || name == "program" || name == "command" ||
                                       name == "walk"
                                   ? name
                               : name == "parameters" ? std::string("the trial parameters (beta lambda a)")
                                                      : "--" + name;
      throw checkpoint_error("it was written with " + what + " " + was + ", not " + value);
    }
    at = end == std::string::npos ? id.size() : end + 1;
  }
  if (at != id.size()) throw checkpoint_error("it was written with options this run does not have");
  return state;
}

void write_checkpoint(const std::string& path, const identity& id, const std::string& state) {
  const std::string bytes = checkpoint_bytes(id, state);
  const std::string temp = path + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw io_error(temp, errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      throw io_error(temp, err);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    throw io_error(temp, err);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    throw io_error(path, err);
  }
}

bool read_checkpoint(const std::string& path, const identity& expected, std::string& state,
                     const checkpoint_source& source) {
  std::string bytes;
  if (!(source ? source(path, bytes) : checkpoint_file_bytes(path, bytes))) return false;
  try {
    state = checkpoint_state(bytes, expected);
  } catch (const checkpoint_error& e) {
    throw checkpoint_error("--checkpoint: " + path + ": " + e.what() +
                           "; refused (remove it to start afresh)");
  }
  return true;
}

bool checkpoint_file_bytes(const std::string& path, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return false;
    throw io_error(path, errno);
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      throw io_error(path, err);
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

std::chrono::milliseconds parse_interval(const std::string& option, const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), end, value);
  const std::string unit(p, end);
  double scale = -1;
  if (unit == "s") scale = 1e3;
  if (unit == "m") scale = 60e3;
  if (unit == "h") scale = 3600e3;
  if (unit.empty() && ec == std::errc() && value == 0) scale = 0;
  if (ec != std::errc() || scale < 0 || !std::isfinite(value) || value < 0 ||
      value * scale > 1e12) {
    throw usage_error(option + ": expected a time such as 30s, 10m or 1h (0: only when a "
                      "separation ends and when stopped); got \"" + text + "\"");
  }
  return std::chrono::milliseconds(static_cast<std::int64_t>(std::llround(value * scale)));
}

}  // namespace vmc

namespace vmc {
namespace {

std::string exact(float x) { return shortest(x); }

}  // namespace

identity scan_identity(const std::string& version, const scan_settings& s) {
  std::string separations;
  for (const float x : s.separations) separations += (separations.empty() ? "" : ",") + exact(x);
  return {{"version", version},
          {"command", "scan"},
          {"separations", separations},
          {"walkers", std::to_string(s.walkers)},
          {"equilibration", std::to_string(s.equilibration)},
          {"beta", exact(s.beta)},
          {"ionic-weight", exact(s.ionic_weight)},
          {"orbital-length", exact(s.orbital_length)},
          {"step-size", exact(s.step_size)},
          {"seed", std::to_string(s.seed)},
          {"no-reflections", s.reflections ? "no" : "yes"}};
}

std::string scan_state_bytes(std::int64_t steps, const std::map<std::uint64_t, scan_walk_state>& walks) {
  byte_writer w;
  w.i64(steps);
  w.u64(walks.size());
  for (const auto& [number, st] : walks) {
    w.u64(number);
    w.i64(st.done);
    for (const float x : st.at.r) w.f32(x);
    w.f32(st.at.at.eloc);
    w.f32(st.at.at.psi);
    write_generator(w, st.g);
    write_statistics(w, st.stats);
  }
  return w.bytes();
}

std::map<std::uint64_t, scan_walk_state> scan_state_of(const std::string& bytes,
                                                       const scan_settings& settings,
                                                       std::int64_t& steps) {
  byte_reader r(bytes);
  steps = r.i64();
  if (steps < 1) throw checkpoint_error("it is corrupt (its steps)");
  const std::uint64_t n = r.count(96);
  const std::uint64_t walks =
      settings.separations.size() * static_cast<std::uint64_t>(settings.walkers);
  scan_settings then = settings;
  then.steps = steps;
  const std::int64_t most = common_steps(then);
  std::map<std::uint64_t, scan_walk_state> states;
  for (std::uint64_t k = 0; k < n; ++k) {
    const std::uint64_t number = r.u64();
    if (number >= walks || states.count(number) != 0) {
      throw checkpoint_error("it is corrupt (a walk that is not the run's)");
    }
    scan_walk_state st;
    st.done = r.i64();
    for (float& x : st.at.r) x = r.f32();
    st.at.at.eloc = r.f32();
    st.at.at.psi = r.f32();
    st.g = read_generator(r);
    st.stats = read_statistics(r);
    if (st.done < 0 || st.done > most ||
        st.stats.series.count() != std::max<std::int64_t>(0, st.done - settings.equilibration)) {
      throw checkpoint_error("it is corrupt (a walk's steps)");
    }
    states.emplace(number, st);
  }
  if (!r.at_end()) throw checkpoint_error("it is corrupt (bytes after its walks)");
  return states;
}

scan_checkpoint::scan_checkpoint(std::string path, std::chrono::milliseconds every, identity id,
                                 const scan_settings& settings, const checkpoint_source& source)
    : path_(std::move(path)), every_(every), id_(std::move(id)), settings_(settings),
      last_(std::chrono::steady_clock::now()) {
  std::string state;
  if (!read_checkpoint(path_, id_, state, source)) return;
  std::int64_t steps = 0;
  try {
    walks_ = scan_state_of(state, settings_, steps);
  } catch (const checkpoint_error& e) {
    throw checkpoint_error("--checkpoint: " + path_ + ": " + e.what() +
                           "; refused (remove it to start afresh)");
  }
  if (steps > settings_.steps) {
    throw checkpoint_error("--checkpoint: " + path_ + ": it holds a run of --steps " +
                           std::to_string(steps) + ", more than " + std::to_string(settings_.steps) +
                           "; refused (a run continues only with as many steps or more)");
  }
  resumed_ = true;
  for (const auto& [number, st] : walks_) resumed_steps_ += st.stats.series.count();
}

bool scan_checkpoint::find(std::uint64_t walk, scan_walk_state& st) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto it = walks_.find(walk);
  if (it == walks_.end()) return false;
  st = it->second;
  return true;
}

void scan_checkpoint::keep(std::uint64_t walk, const scan_walk_state& st) {
  const std::lock_guard<std::mutex> lock(mutex_);
  walks_[walk] = st;
  if (every_.count() > 0 && std::chrono::steady_clock::now() - last_ >= every_) write_locked();
}

void scan_checkpoint::separation_done() { write(); }

void scan_checkpoint::write() {
  const std::lock_guard<std::mutex> lock(mutex_);
  write_locked();
}

void scan_checkpoint::write_locked() {
  if (gathered_) return;
  write_checkpoint(path_, id_, scan_state_bytes(settings_.steps, walks_));
  last_ = std::chrono::steady_clock::now();
}

}  // namespace vmc

namespace vmc {

identity dmc_identity(const std::string& version, const dmc_settings& s) {
  std::string separations, parameters, time_steps;
  for (const float tau : s.time_steps) time_steps += (time_steps.empty() ? "" : ",") + shortest(tau);
  for (std::size_t i = 0; i < s.separations.size(); ++i) {
    separations += (i == 0 ? "" : ",") + shortest(s.separations[i]);
    const trial_parameters& p = s.parameters[i];
    parameters += (i == 0 ? "" : ",") + shortest(p.beta) + " " + shortest(p.lambda) + " " + shortest(p.a);
  }
  return {{"version", version},
          {"command", "dmc"},
          // The diffusion step's own revision: 2 draws its normal deviates
          // in float, 3 moves and tests in float too and takes tau_eff from
          // the steps before each one. A checkpoint of another
          // would continue with other numbers than a fresh run gives.
          {"walk", "3"},
          {"separations", separations},
          {"parameters", parameters},
          {"time-step", time_steps},
          {"walkers", std::to_string(s.walkers)},
          {"equilibration", std::to_string(s.equilibration)},
          {"seed", std::to_string(s.seed)},
          {"vmc-steps", std::to_string(s.vmc_steps)}};
}

std::string dmc_state_bytes(std::int64_t steps, const std::map<std::size_t, dmc_state>& states) {
  byte_writer w;
  w.i64(steps);
  w.u64(states.size());
  for (const auto& [index, st] : states) {
    w.u64(index);
    w.i64(st.step);
    w.f64(st.energy_vmc);
    w.u64(st.streams);
    w.f64(st.e_average);
    w.f64(st.e_trial);
    w.i64(st.moves);
    w.i64(st.accepted);
    write_blocking(w, st.series);
    w.f64(st.population_sum);
    w.f64(st.population_squares);
    w.f64(st.unweighted_sum);
    w.u64(st.walkers.size());
    for (const diffusion_walker& x : st.walkers) {
      for (const float v : x.r) w.f32(v);
      w.f32(x.eloc);
      w.f32(x.psi);
      for (const float v : x.drift) w.f32(v);
      write_generator(w, x.g);
    }
    w.u64(st.idle.size());
    for (const ecuyer& g : st.idle) write_generator(w, g);
  }
  return w.bytes();
}

std::map<std::size_t, dmc_state> dmc_state_of(const std::string& bytes, const dmc_settings& settings,
                                              std::int64_t& steps) {
  byte_reader r(bytes);
  steps = r.i64();
  if (steps < 1) throw checkpoint_error("it is corrupt (its steps)");
  const std::uint64_t n = r.count(18 * 8);
  const std::uint64_t most_streams = stream_plan::of(settings).streams_per_separation;
  const auto target = static_cast<std::uint64_t>(settings.walkers);
  std::map<std::size_t, dmc_state> states;
  for (std::uint64_t k = 0; k < n; ++k) {
    const std::uint64_t index = r.u64();
    if (index >= dmc_runs(settings) || states.count(index) != 0) {
      throw checkpoint_error("it is corrupt (a separation that is not the run's)");
    }
    dmc_state st;
    st.step = r.i64();
    st.energy_vmc = r.f64();
    st.streams = r.u64();
    st.e_average = r.f64();
    st.e_trial = r.f64();
    st.moves = r.i64();
    st.accepted = r.i64();
    st.series = read_blocking(r);
    st.population_sum = r.f64();
    st.population_squares = r.f64();
    st.unweighted_sum = r.f64();
    const std::uint64_t walkers = r.count(72);
    for (std::uint64_t w = 0; w < walkers; ++w) {
      diffusion_walker x{};
      for (float& v : x.r) v = r.f32();
      x.eloc = r.f32();
      x.psi = r.f32();
      for (float& v : x.drift) v = r.f32();
      x.g = read_generator(r);
      st.walkers.push_back(x);
    }
    const std::uint64_t idle = r.count(16);
    for (std::uint64_t g = 0; g < idle; ++g) st.idle.push_back(read_generator(r));
    if (st.step < 0 || st.step > settings.equilibration + steps ||
        st.series.count() != std::max<std::int64_t>(0, st.step - settings.equilibration) ||
        st.accepted < 0 || st.accepted > st.moves || st.streams < 2 + target ||
        st.streams > most_streams || 4 * walkers < target || walkers > 4 * target ||
        idle > most_streams) {
      throw checkpoint_error("it is corrupt (a separation's state)");
    }
    states.emplace(index, std::move(st));
  }
  if (!r.at_end()) throw checkpoint_error("it is corrupt (bytes after its separations)");
  return states;
}

dmc_checkpoint::dmc_checkpoint(std::string path, std::chrono::milliseconds every, identity id,
                               const dmc_settings& settings, const checkpoint_source& source)
    : path_(std::move(path)), every_(every), id_(std::move(id)), settings_(settings),
      last_(std::chrono::steady_clock::now()) {
  std::string state;
  if (!read_checkpoint(path_, id_, state, source)) return;
  std::int64_t steps = 0;
  try {
    states_ = dmc_state_of(state, settings_, steps);
  } catch (const checkpoint_error& e) {
    throw checkpoint_error("--checkpoint: " + path_ + ": " + e.what() +
                           "; refused (remove it to start afresh)");
  }
  if (steps > settings_.steps) {
    throw checkpoint_error("--checkpoint: " + path_ + ": it holds a run of --steps " +
                           std::to_string(steps) + ", more than " + std::to_string(settings_.steps) +
                           "; refused (a run continues only with as many steps or more)");
  }
  resumed_ = true;
  for (const auto& [index, st] : states_) resumed_steps_ += st.step;
}

bool dmc_checkpoint::find(std::size_t index, dmc_state& st) {
  const auto it = states_.find(index);
  if (it == states_.end()) return false;
  st = it->second;
  return true;
}

bool dmc_checkpoint::due(bool done) const {
  return done || (every_.count() != 0 && std::chrono::steady_clock::now() - last_ >= every_);
}

void dmc_checkpoint::keep(std::size_t index, const dmc_state& st, bool done) {
  if (!due(done)) return;
  states_[index] = st;
  write();
}

void dmc_checkpoint::stopped(std::size_t index, const dmc_state& st) {
  states_[index] = st;
  write();
}

void dmc_checkpoint::write() {
  if (gathered_) return;
  write_checkpoint(path_, id_, dmc_state_bytes(settings_.steps, states_));
  last_ = std::chrono::steady_clock::now();
}

}  // namespace vmc

namespace vmc {

identity optimize_identity(const std::string& version, const optimize_settings& s) {
  std::string separations;
  for (const float x : s.separations) separations += (separations.empty() ? "" : ",") + shortest(x);
  return {{"version", version},
          {"command", "optimize"},
          {"separations", separations},
          {"equilibration", std::to_string(s.equilibration)},
          {"sample-steps", std::to_string(s.sample_steps)},
          {"max-rounds", std::to_string(s.max_rounds)},
          {"step-size", s.tune_step ? "tuned from " + shortest(s.step_size) : shortest(s.step_size)},
          {"seed", std::to_string(s.seed)}};
}

std::string optimize_state_bytes(const std::map<std::size_t, optimize_state>& states) {
  byte_writer w;
  w.u64(states.size());
  for (const auto& [index, st] : states) {
    w.u64(index);
    w.i64(st.rounds);
    w.f64(st.p.beta);
    w.f64(st.p.lambda);
    w.f64(st.p.a);
    w.i64(st.steps);
    w.f64(st.predicted);
    w.f64(st.predicted_error);
    w.u64(st.converged ? 1 : 0);
    w.u64(st.searched ? 1 : 0);
  }
  return w.bytes();
}

std::map<std::size_t, optimize_state> optimize_state_of(const std::string& bytes,
                                                        const optimize_settings& settings) {
  byte_reader r(bytes);
  const std::uint64_t n = r.count(10 * 8);
  std::map<std::size_t, optimize_state> states;
  for (std::uint64_t k = 0; k < n; ++k) {
    const std::uint64_t index = r.u64();
    if (index >= settings.separations.size() || states.count(index) != 0) {
      throw checkpoint_error("it is corrupt (a separation that is not the run's)");
    }
    optimize_state st;
    const std::int64_t rounds = r.i64();
    st.p = {r.f64(), r.f64(), r.f64()};
    st.steps = r.i64();
    st.predicted = r.f64();
    st.predicted_error = r.f64();
    const std::uint64_t converged = r.u64(), searched = r.u64();
    if (rounds < 1 || rounds > settings.max_rounds || converged > 1 || searched > 1 ||
        st.steps < settings.sample_steps || st.steps > 8 * settings.sample_steps ||
        !std::isfinite(st.p.beta) || !std::isfinite(st.p.lambda) || !std::isfinite(st.p.a)) {
      throw checkpoint_error("it is corrupt (a separation's rounds)");
    }
    st.rounds = static_cast<int>(rounds);
    st.converged = converged == 1;
    st.searched = searched == 1;
    states.emplace(index, st);
  }
  if (!r.at_end()) throw checkpoint_error("it is corrupt (bytes after its separations)");
  return states;
}

optimize_checkpoint::optimize_checkpoint(std::string path, std::chrono::milliseconds every,
                                         identity id, const optimize_settings& settings,
                                         const checkpoint_source& source)
    : path_(std::move(path)), every_(every), id_(std::move(id)), settings_(settings),
      last_(std::chrono::steady_clock::now()) {
  std::string state;
  if (!read_checkpoint(path_, id_, state, source)) return;
  try {
    states_ = optimize_state_of(state, settings_);
  } catch (const checkpoint_error& e) {
    throw checkpoint_error("--checkpoint: " + path_ + ": " + e.what() +
                           "; refused (remove it to start afresh)");
  }
  resumed_ = true;
  for (const auto& [index, st] : states_) resumed_rounds_ += st.rounds;
}

bool optimize_checkpoint::find(std::size_t index, optimize_state& st) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto it = states_.find(index);
  if (it == states_.end()) return false;
  st = it->second;
  return true;
}

void optimize_checkpoint::keep(std::size_t index, const optimize_state& st, bool force) {
  const std::lock_guard<std::mutex> lock(mutex_);
  states_[index] = st;
  if (force || (every_.count() > 0 && std::chrono::steady_clock::now() - last_ >= every_)) {
    write_locked();
  }
}

void optimize_checkpoint::write() {
  const std::lock_guard<std::mutex> lock(mutex_);
  write_locked();
}

void optimize_checkpoint::write_locked() {
  if (gathered_) return;
  write_checkpoint(path_, id_, optimize_state_bytes(states_));
  last_ = std::chrono::steady_clock::now();
}

}  // namespace vmc

namespace vmc {

std::string scan_checkpoint::part(const checkpoint_owner& mine) {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::uint64_t, scan_walk_state> own;
  const auto walkers = static_cast<std::uint64_t>(settings_.walkers);
  for (const auto& [number, st] : walks_) {
    if (mine(static_cast<std::size_t>(number / walkers))) own.emplace(number, st);
  }
  return scan_state_bytes(settings_.steps, own);
}

void scan_checkpoint::write_parts(const std::vector<std::string>& parts) {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::uint64_t, scan_walk_state> all;
  for (const std::string& p : parts) {
    std::int64_t steps = 0;
    for (auto& [number, st] : scan_state_of(p, settings_, steps)) all.insert_or_assign(number, st);
  }
  walks_ = std::move(all);
  write_checkpoint(path_, id_, scan_state_bytes(settings_.steps, walks_));
  last_ = std::chrono::steady_clock::now();
}

std::string dmc_checkpoint::part(const checkpoint_owner& mine) {
  std::map<std::size_t, dmc_state> own;
  for (const auto& [index, st] : states_) {
    if (mine(index)) own.emplace(index, st);
  }
  return dmc_state_bytes(settings_.steps, own);
}

void dmc_checkpoint::write_parts(const std::vector<std::string>& parts) {
  std::map<std::size_t, dmc_state> all;
  for (const std::string& p : parts) {
    std::int64_t steps = 0;
    for (auto& [index, st] : dmc_state_of(p, settings_, steps)) all.insert_or_assign(index, std::move(st));
  }
  states_ = std::move(all);
  write_checkpoint(path_, id_, dmc_state_bytes(settings_.steps, states_));
  last_ = std::chrono::steady_clock::now();
}

std::string optimize_checkpoint::part(const checkpoint_owner& mine) {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::size_t, optimize_state> own;
  for (const auto& [index, st] : states_) {
    if (mine(index)) own.emplace(index, st);
  }
  return optimize_state_bytes(own);
}

void optimize_checkpoint::write_parts(const std::vector<std::string>& parts) {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::size_t, optimize_state> all;
  for (const std::string& p : parts) {
    for (auto& [index, st] : optimize_state_of(p, settings_)) all.insert_or_assign(index, st);
  }
  states_ = std::move(all);
  write_checkpoint(path_, id_, optimize_state_bytes(states_));
  last_ = std::chrono::steady_clock::now();
}

}  // namespace vmc
