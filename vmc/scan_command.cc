#include "vmc/scan_command.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "output/io_error.h"
#include "output/table.h"
#include "vmc/checkpoint.h"
#include "vmc/checkpoint_job.h"
#include "vmc/command.h"
#include "vmc/options.h"
#include "vmc/stream_plan.h"
#include "vmc/scan.h"

namespace vmc {
namespace {

// The options as typed; checked only once the command line is complete.
struct scan_texts {
  std::string separations = "0.3:2.5:0.05";
  std::string steps = "1000000";
  std::string equilibration = "10000";
  std::string walkers = "1";
  std::string beta = "0.25";
  std::string ionic_weight = "1";
  std::string orbital_length;
  std::string step_size = "0.40125";
  std::string seed = "5465";
  std::string output = "vmc-scan.tsv";
  bool no_reflections = false;
  std::string checkpoint;
  std::string checkpoint_every = "1m";
};

scan_settings checked(const scan_texts& t) {
  scan_settings s;
  s.separations = parse_separations("--separations", t.separations);
  s.steps = parse_count("--steps", t.steps, 2);
  s.equilibration = parse_count("--equilibration", t.equilibration, 0);
  s.walkers = parse_count("--walkers", t.walkers, 1);
  // What compares the counts, before the options that follow them.
  const typed_options typed{{"--walkers", t.walkers}, {"--steps", t.steps}};
  validate(s, typed);
  const trial_choice trial = parse_trial(t.beta, t.ionic_weight, t.orbital_length);
  s.beta = trial.beta;
  s.ionic_weight = trial.ionic_weight;
  s.orbital_length = trial.orbital_length;
  s.step_size = parse_real("--step-size", t.step_size, smallest_step_size, false, largest_step_size);
  s.seed = parse_seed("--seed", t.seed);
  s.reflections = !t.no_reflections;
  if (t.output.empty()) throw usage_error("--output: expected a file name; got \"\"");
  validate(s, typed);
  return s;
}

// "k of n separations done", rewritten in place, while standard error is a terminal.
void show_progress(std::size_t k, std::size_t n) {
  std::fprintf(stderr, "\rvmc scan: %zu of %zu separations done", k, n);
  if (k == n) std::fputc('\n', stderr);
  std::fflush(stderr);
}

int run(const scan_texts& texts, const ranks& job) {
  scan_settings settings;
  std::unique_ptr<scan_checkpoint> keeper;
  return run_command(
      "vmc scan", job, texts.output,
      [&] {
        settings = checked(texts);
        if (texts.checkpoint.empty()) return;
        const auto every = parse_interval("--checkpoint-every", texts.checkpoint_every);
        try {
          keeper = std::make_unique<scan_checkpoint>(texts.checkpoint, every,
                                                     scan_identity(VMC_VERSION, settings), settings,
              job.size > 1 ? shared_checkpoint_source(job) : checkpoint_source{});
          if (job.size > 1) keeper->gather_instead();
        } catch (const checkpoint_error& e) {
          throw usage_error(e.what());
        } catch (const io_error& e) {
          throw usage_error(std::string("--checkpoint: ") + e.what());
        }
      },
      [&](bool terminal) -> std::optional<finished_table> {
        const std::size_t n = settings.separations.size();
        const std::vector<std::size_t> tasks = tasks_of(job, n);
        const stop_request* stop = keeper ? stop_on_signals() : nullptr;
        if (keeper && keeper->resumed() && terminal) {
          std::fprintf(stderr, "vmc scan: resumed at step %lld of %lld\n",
                       static_cast<long long>(keeper->resumed_steps()),
                       static_cast<long long>(settings.steps) * static_cast<long long>(n));
        }
        std::vector<scan_row> mine;
        bool stopped = false;
        try {
          mine = run_scan_keeping(
              settings, tasks, terminal ? show_progress : std::function<void(std::size_t, std::size_t)>{},
              stop, keeper.get());
        } catch (const run_stopped&) {
          if (terminal) std::fputc('\n', stderr);
          stopped = true;
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
        const std::vector<scan_row> rows = rows_at_root(job, n, tasks, mine);
        if (!job.root()) return std::nullopt;
        for (const scan_row& r : rows) warn_flags("vmc scan", r.s, flags_of(r));
        return finished_table{scan_table(rows), scan_table_for_people(rows)};
      });
}

}  // namespace

std::function<int()> add_scan_command(CLI::App& app, const ranks& job) {
  CLI::App* scan = app.add_subcommand(
      "scan", "energies with error bars along a list of separations");
  scan->footer(
      "Metropolis walks with the trial function of the classic programs: --walkers per\n"
      "separation (each on its own stream, eight walks at a time in vector lanes), their\n"
      "steps merged into one row. The table depends on the options alone, never on the\n"
      "threads, the processes or the processor.\n"
      "energy is the mean local energy over every measured step, error its standard error\n"
      "from a blocking analysis, tau = steps error^2 / variance; energy_accepted is the mean\n"
      "over the accepted moves only, as the classic programs define E (it is biased).\n"
      "flag is empty for a sound row; otherwise it names what is wrong (see the README).\n"
      "The table goes to --output, tab-separated, and to standard output, aligned.");
  auto texts = std::make_shared<scan_texts>();
  add_run_options(*scan, texts->separations, texts->seed, texts->output);
  add_text_option(*scan, "--steps", texts->steps,
                  "measured steps per separation, all walkers together (1e6 form accepted)", "N");
  add_text_option(*scan, "--equilibration", texts->equilibration,
                  "steps each walker discards before measuring", "N");
  add_text_option(*scan, "--walkers", texts->walkers,
                  "independent walks per separation, their steps merged into one row", "W");
  add_trial_options(*scan, texts->beta, texts->ionic_weight, texts->orbital_length,
                    "the cusp value");
  add_text_option(*scan, "--step-size", texts->step_size,
                  "largest displacement of one coordinate, angstrom, 1e-4 to 10 (a smaller step "
                  "hardly moves a float coordinate, a larger one is never accepted)",
                  "G");
  add_checkpoint_options(*scan, texts->checkpoint, texts->checkpoint_every);
  scan->add_flag("--no-reflections", texts->no_reflections,
                 "no reflection of an electron between the protons every tenth step: the "
                 "classic programs' walk, which far apart keeps the arrangement it starts in");
  return [texts, &job] { return run(*texts, job); };
}

}  // namespace vmc
