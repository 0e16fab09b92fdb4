#include "vmc/dmc_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "output/quoted.h"
#include "output/io_error.h"
#include "output/table.h"
#include "vmc/checkpoint.h"
#include "vmc/checkpoint_job.h"
#include "vmc/command.h"
#include "vmc/dmc.h"
#include "vmc/options.h"
#include "vmc/stream_plan.h"
#include "vmc/trial_parameters.h"

namespace vmc {
namespace {

// The options as typed; checked only once the command line is complete.
struct dmc_texts {
  std::string separations = "0.74";
  std::string time_step = "1e-4";
  std::string walkers = "2000";
  std::string steps = "1e5";
  std::string equilibration = "5000";
  std::string trial = "optimised";
  std::string beta;
  std::string ionic_weight;
  std::string orbital_length;
  std::string parameters;
  bool parameters_given = false;
  bool separations_given = false;
  std::string seed = "5465";
  std::string output = "vmc-dmc.tsv";
  std::string checkpoint;
  std::string checkpoint_every = "1m";
};

// A --parameters file is a vmc optimize table: a few hundred bytes a row and
// at most 10^4 rows. Anything larger (/dev/zero, a wrong file) is refused
// before it can take the memory.
constexpr std::size_t longest_line = 4096;
constexpr std::size_t largest_file = std::size_t{16} << 20;

[[noreturn]] void refuse_table(const std::string& name, const std::string& why) {
  throw usage_error("--parameters: " + name + ": " + why);
}

// The whole text of file, or the reason it cannot be had.
std::string text_of_file(const std::string& file) {
  const std::string name = vmc::quoted(file);
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw usage_error("--parameters: cannot read " + name + ": " + std::strerror(errno));
  std::string text;
  char block[65536];
  for (;;) {
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      throw usage_error("--parameters: cannot read " + name + ": " + std::strerror(err));
    }
    if (n == 0) break;
    text.append(block, static_cast<std::size_t>(n));
    // A line without end (/dev/zero) is refused as soon as it is too long.
    const std::size_t newline = text.rfind('\n');
    const std::size_t open_line = newline == std::string::npos ? text.size() : text.size() - newline - 1;
    if (open_line > longest_line + 1) {
      ::close(fd);
      const std::size_t number = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
      refuse_table(name, "line " + std::to_string(number) + " is longer than " +
                             std::to_string(longest_line) + " bytes; expected a vmc optimize table");
    }
    if (text.size() > largest_file) {
      ::close(fd);
      refuse_table(name, "larger than 16 MB; expected a vmc optimize table");
    }
  }
  ::close(fd);
  return text;
}

// The text of the --parameters file as rank 0 read it, at every rank: a rank
// that could not read the file itself (another directory, another machine)
// cannot fail alone and leave the job waiting for it.
std::string parameters_text(const std::string& file, const ranks& job) {
  std::string outcome;
  if (job.root()) {
    try {
      outcome = "+" + text_of_file(file);
    } catch (const usage_error& e) {
      outcome = std::string("-") + e.what();
    }
  }
  outcome = from_root(job, outcome);
  if (outcome.empty() || outcome.front() != '+') {
    throw usage_error(outcome.empty() ? "--parameters: nothing was read" : outcome.substr(1));
  }
  return outcome.substr(1);
}

// A row of a vmc optimize table.
struct parameter_row {
  float s;
  trial_parameters p;
  std::size_t line;
};

// The rows of a vmc optimize table. Its columns are found by name in the
// header (others, such as acceptance or flag, are passed over); lines that
// start with '#' and blank lines are comments; a line may end in CRLF.
std::vector<parameter_row> parameter_rows(const std::string& text, const std::string& file) {
  const std::string name = vmc::quoted(file);
  const std::vector<std::string> wanted = {"s", "beta", "ionic_weight", "a"};
  std::vector<std::size_t> column;  // of each wanted one, once the header is read
  std::vector<parameter_row> rows;
  std::size_t number = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + at, end - at);
    at = end + 1;
    ++number;
    const std::string where = "line " + std::to_string(number);
    if (line.size() > longest_line) {
      refuse_table(name, where + " is longer than " + std::to_string(longest_line) +
                             " bytes; expected a vmc optimize table");
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') continue;
    std::vector<std::string_view> cells;
    for (std::size_t c = 0;;) {
      const std::size_t tab = line.find('\t', c);
      std::string_view cell = line.substr(c, tab == std::string_view::npos ? line.npos : tab - c);
      while (!cell.empty() && cell.front() == ' ') cell.remove_prefix(1);
      while (!cell.empty() && cell.back() == ' ') cell.remove_suffix(1);
      cells.push_back(cell);
      if (tab == std::string_view::npos) break;
      c = tab + 1;
    }
    if (column.empty()) {
      for (const std::string& w : wanted) {
        const auto found = std::find(cells.begin(), cells.end(), w);
        if (found == cells.end()) {
          refuse_table(name, "is not a vmc optimize table: " + where + ", its header, has no column " +
                                 w + " (expected s, beta, ionic_weight and a, tab-separated)");
        }
        column.push_back(static_cast<std::size_t>(found - cells.begin()));
      }
      continue;
    }
    float v[4];
    for (std::size_t k = 0; k < wanted.size(); ++k) {
      const std::string_view cell = column[k] < cells.size() ? cells[column[k]] : std::string_view();
      const bool read = [&] {
        if (cell.empty()) return false;
        const std::string_view digits = cell.front() == '+' ? cell.substr(1) : cell;
        const std::from_chars_result r =
            std::from_chars(digits.data(), digits.data() + digits.size(), v[k]);
        return r.ec == std::errc() && r.ptr == digits.data() + digits.size() && std::isfinite(v[k]);
      }();
      // The same bounds as the options.
      const float x = v[k];
      const char* expected =
          k == 0   ? (read && separation_in_range(x) ? nullptr : "a separation from 0.01 to 1000")
          : k == 1 ? (read && x >= 0 && x <= largest_beta ? nullptr : "a number from 0 to 1000")
          : k == 2 ? (read && x >= 0 && x <= largest_ionic_weight ? nullptr : "a number from 0 to 1e6")
                   : (read && x >= smallest_orbital_length && x <= largest_orbital_length
                          ? nullptr
                          : "a number from 0.1 to 1000");
      if (expected != nullptr) {
        refuse_table(name, where + ", column " + wanted[k] + ": expected " + expected + "; got " +
                               vmc::quoted(cell));
      }
    }
    if (rows.size() == most_separations) {
      refuse_table(name, "more than " + std::to_string(most_separations) + " rows");
    }
    rows.push_back({v[0], {v[1], v[2], v[3]}, number});
  }
  if (column.empty()) refuse_table(name, "is empty; expected a vmc optimize table");
  if (rows.empty()) refuse_table(name, "has no rows");
  return rows;
}

dmc_settings settings_of(const dmc_texts& t, const ranks& job) {
  dmc_settings s;
  // With a table of parameters and no --separations, the table's rows are the
  // separations; otherwise the option (or its default) names them.
  const bool from_option = !t.parameters_given || t.separations_given;
  if (from_option) s.separations = parse_separations("--separations", t.separations);
  s.time_steps = parse_time_steps(t.time_step);
  s.walkers = parse_count("--walkers", t.walkers, 10, 1000000, "such as 2000");
  s.steps = parse_count("--steps", t.steps, 2);
  s.equilibration = parse_count("--equilibration", t.equilibration, 0);
  s.seed = parse_seed("--seed", t.seed);
  if (t.output.empty()) throw usage_error("--output: expected a file name; got \"\"");
  if (t.parameters_given) {
    const std::vector<parameter_row> rows =
        parameter_rows(parameters_text(t.parameters, job), t.parameters);
    if (!from_option) {
      s.separations.clear();
      for (const parameter_row& r : rows) {
        s.separations.push_back(r.s);
        s.parameters.push_back(r.p);
      }
      return s;
    }
    for (const float sep : s.separations) {
      const auto row = std::find_if(rows.begin(), rows.end(),
                                    [sep](const parameter_row& r) { return r.s == sep; });
      if (row == rows.end()) {
        throw usage_error("--parameters: " + vmc::quoted(t.parameters) +
                          " has no row for the separation " + shortest(sep) +
                          " (without --separations, every row of the table is run)");
      }
      s.parameters.push_back(row->p);
    }
    return s;
  }
  const trial_request trial = parse_trial_request(t.trial, t.beta, t.ionic_weight, t.orbital_length);
  for (const float sep : s.separations) s.parameters.push_back(trial_at(trial, sep));
  return s;
}

// The settings, checked once the separations are known.
dmc_settings checked(const dmc_texts& t, const ranks& job) {
  const dmc_settings s = settings_of(t, job);
  validate(s);
  return s;
}

// "vmc dmc: s = 0.74: step 3000 of 105000, about 4 min left", rewritten in
// place on a terminal. The line is always ended, whatever the step count and
// however the run ends, so nothing is glued to it.
class progress_line {
 public:
  progress_line(std::string s, std::int64_t total)
      : s_(std::move(s)), total_(total), start_(std::chrono::steady_clock::now()) {}
  progress_line(const progress_line&) = delete;
  progress_line& operator=(const progress_line&) = delete;
  ~progress_line() {
    if (width_ > 0) std::fputc('\n', stderr);
  }

  void show(std::int64_t step) {
    std::string text = "vmc dmc: s = " + s_ + ": step " + std::to_string(step) + " of " +
                       std::to_string(total_);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    // Once the run has gone on a while, the rate is steady enough to tell.
    if (step < total_ && elapsed >= 5.0) {
      const double left = elapsed * static_cast<double>(total_ - step) / static_cast<double>(step);
      char when[48];
      if (left < 90) std::snprintf(when, sizeof when, ", about %.0f s left", left);
      else if (left < 5400) std::snprintf(when, sizeof when, ", about %.0f min left", left / 60);
      else std::snprintf(when, sizeof when, ", about %.1f h left", left / 3600);
      text += when;
    }
    // Blanks over what a longer line before left behind.
    const std::size_t width = text.size();
    if (width < width_) text.append(width_ - width, ' ');
    width_ = std::max(width_, width);
    std::fprintf(stderr, "\r%s", text.c_str());
    std::fflush(stderr);
  }
  // Shows the last step and ends the line.
  void finish() {
    if (width_ == 0) return;
    show(total_);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    width_ = 0;
  }

 private:
  std::string s_;
  std::int64_t total_;
  std::chrono::steady_clock::time_point start_;
  std::size_t width_ = 0;  // of the longest line shown; 0 while none is
};

int run(const dmc_texts& texts, const ranks& job) {
  dmc_settings settings;
  std::unique_ptr<dmc_checkpoint> keeper;
  return run_command(
      "vmc dmc", job, texts.output,
      [&] {
        settings = checked(texts, job);
        if (texts.checkpoint.empty()) return;
        const auto every = parse_interval("--checkpoint-every", texts.checkpoint_every);
        try {
          keeper = std::make_unique<dmc_checkpoint>(texts.checkpoint, every,
                                                    dmc_identity(VMC_VERSION, settings), settings,
              job.size > 1 ? shared_checkpoint_source(job) : checkpoint_source{});
          if (job.size > 1) keeper->gather_instead();
        } catch (const checkpoint_error& e) {
          throw usage_error(e.what());
        } catch (const io_error& e) {
          throw usage_error(std::string("--checkpoint: ") + e.what());
        }
      },
      [&](bool terminal) -> std::optional<finished_table> {
        const std::size_t n = dmc_runs(settings);
        const std::size_t taus = settings.time_steps.size();
        const std::vector<std::size_t> tasks = tasks_of(job, n);
        const stop_request* stop = keeper ? stop_on_signals() : nullptr;
        if (keeper && keeper->resumed() && terminal) {
          std::fprintf(stderr, "vmc dmc: resumed at step %lld of %lld\n",
                       static_cast<long long>(keeper->resumed_steps()),
                       static_cast<long long>(settings.equilibration + settings.steps) *
                           static_cast<long long>(n));
        }
        std::vector<dmc_row> mine;
        bool stopped = false;
        for (const std::size_t i : tasks) {
          progress_line line(shortest(settings.separations[i / taus]) +
                                 (taus > 1 ? ", tau = " + shortest(settings.time_steps[i % taus]) : ""),
                             settings.equilibration + settings.steps);
          try {
            mine.push_back(run_dmc_keeping(
                settings, i,
                terminal ? std::function<void(std::int64_t, std::int64_t)>(
                               [&line](std::int64_t step, std::int64_t) { line.show(step); })
                         : std::function<void(std::int64_t, std::int64_t)>{},
                stop, keeper.get()));
          } catch (const run_stopped&) {
            line.finish();
            stopped = true;
            break;
          }
          line.finish();
        }
        if (keeper && job.size > 1) {
          const after_gather next = gather_checkpoint(job, *keeper, stopped);
          if (next == after_gather::quiet) return std::nullopt;
          stopped = next == after_gather::stopped;
        }
        if (stopped) {
          if (!job.root()) return std::nullopt;
          throw std::runtime_error(stopped_message(texts.checkpoint, texts.output));
        }
        const std::vector<dmc_row> runs = rows_at_root(job, n, tasks, mine);
        if (!job.root()) return std::nullopt;
        const std::vector<dmc_row> rows = with_time_step_limits(settings, runs);
        for (const dmc_row& r : rows) {
          const std::string tau = r.extrapolated ? "tau -> 0" : "tau = " + shortest(r.time_step);
          warn_flags("vmc dmc", "s = " + shortest(r.s) + (taus > 1 ? ", " + tau : ""), flags_of(r));
        }
        return finished_table{dmc_table(rows), dmc_table_for_people(rows)};
      });
}

}  // namespace

std::function<int()> add_dmc_command(CLI::App& app, const ranks& job) {
  CLI::App* cmd = app.add_subcommand("dmc", "diffusion Monte Carlo: the ground-state energy");
  cmd->footer(
      "Importance-sampled diffusion Monte Carlo with the covalent-ionic trial function:\n"
      "walkers drift along grad ln psi, diffuse, pass a Metropolis test, and multiply or die\n"
      "by their local energy, so that the population projects out the ground state. energy\n"
      "is the mixed estimator over the measured steps with its blocking error; energy_vmc\n"
      "the trial function's own variational energy. Time steps are in 1/eV (hbar = 1).");
  auto texts = std::make_shared<dmc_texts>();
  add_run_options(*cmd, texts->separations, texts->seed, texts->output);
  add_checkpoint_options(*cmd, texts->checkpoint, texts->checkpoint_every);
  add_text_option(*cmd, "--time-step", texts->time_step, "tau, 1/eV (1e-4 /eV = 0.0027 /hartree); a list such as 1e-4,2e-4,4e-4,8e-4 runs each "
                  "and adds the limit tau -> 0 (time_step 0)",
                  "T");
  add_text_option(*cmd, "--walkers", texts->walkers, "target population", "N");
  add_text_option(*cmd, "--steps", texts->steps, "measured steps", "N");
  add_text_option(*cmd, "--equilibration", texts->equilibration, "steps before measuring", "N");
  CLI::Option* trial_name =
      add_text_option(*cmd, "--trial", texts->trial,
                      "the trial function whose parameters --beta, --ionic-weight and "
                      "--orbital-length replace: optimised (vmc optimize's parameters for the "
                      "separation, built in for 0.2 to 4 angstrom, the end values beyond) or "
                      "classic (beta 0.25, ionic weight 1, a the cusp value)",
                      "NAME")
          ->check(not_empty());
  const trial_options trial =
      add_trial_options(*cmd, texts->beta, texts->ionic_weight, texts->orbital_length,
                        "the --trial function's", "the --trial function's");
  // A table of parameters and parameters of one's own would contradict each other.
  CLI::Option* parameters =
      cmd->add_option("--parameters", texts->parameters,
                      "a vmc optimize table: beta, ionic weight and a of each separation from it "
                      "(columns found by name; # comment lines and CRLF endings accepted); "
                      "without --separations, every row of the table is run")
          ->type_name("FILE")
          ->check(not_empty())
          ->excludes(trial.beta)
          ->excludes(trial.ionic_weight)
          ->excludes(trial.orbital_length)
          ->excludes(trial_name);
  CLI::Option* separations = cmd->get_option("--separations");
  return [texts, parameters, separations, &job] {
    texts->parameters_given = parameters->count() > 0;
    texts->separations_given = separations->count() > 0;
    return run(*texts, job);
  };
}

}  // namespace vmc
