#include "vmc/optimize_command.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "output/io_error.h"
#include "output/table.h"
#include "vmc/checkpoint.h"
#include "vmc/checkpoint_job.h"
#include "vmc/command.h"
#include "vmc/optimize.h"
#include "vmc/options.h"
#include "vmc/stream_plan.h"

namespace vmc {
namespace {

// The options as typed; checked only once the command line is complete.
struct optimize_texts {
  std::string separations = "0.3:2.5:0.05";
  std::string steps = "1e7";
  std::string equilibration = "10000";
  std::string sample_steps = "1e5";
  std::string max_rounds = "10";
  std::string step_size = "0.40125";
  std::string seed = "5465";
  std::string output = "vmc-optimize.tsv";
  std::string checkpoint;
  std::string checkpoint_every = "1m";
  const CLI::Option* step_size_option = nullptr;  // given: the walks keep that step
};

optimize_settings checked(const optimize_texts& t) {
  optimize_settings s;
  s.separations = parse_separations("--separations", t.separations);
  s.steps = parse_count("--steps", t.steps, 2);
  s.equilibration = parse_count("--equilibration", t.equilibration, 0);
  s.sample_steps = parse_count("--sample-steps", t.sample_steps, 1000, most_sample_steps,
                               "such as 100000 or 1e5");
  s.max_rounds = static_cast<int>(parse_count("--max-rounds", t.max_rounds, 1, 100, "such as 10"));
  s.step_size = parse_real("--step-size", t.step_size, smallest_step_size, false, largest_step_size);
  s.tune_step = t.step_size_option == nullptr || t.step_size_option->count() == 0;
  s.seed = parse_seed("--seed", t.seed);
  if (t.output.empty()) throw usage_error("--output: expected a file name; got \"\"");
  validate(s);
  return s;
}

// One line per round, while standard error is a terminal.
void show_round(const optimize_round& r) {
  std::fprintf(stderr,
               "vmc optimize: s = %s round %d: beta %.3f ionic_weight %.3f a %.4f, "
               "estimated %.4f eV (%.4f eV lower)\n",
               shortest(r.s).c_str(), r.round, r.p.beta, r.p.lambda, r.p.a, r.predicted, r.gain);
}

int run(const optimize_texts& texts, const ranks& job) {
  optimize_settings settings;
  std::unique_ptr<optimize_checkpoint> keeper;
  return run_command(
      "vmc optimize", job, texts.output,
      [&] {
        settings = checked(texts);
        if (texts.checkpoint.empty()) return;
        const auto every = parse_interval("--checkpoint-every", texts.checkpoint_every);
        try {
          keeper = std::make_unique<optimize_checkpoint>(
              texts.checkpoint, every, optimize_identity(VMC_VERSION, settings), settings,
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
          std::fprintf(stderr, "vmc optimize: resumed after %d rounds\n", keeper->resumed_rounds());
        }
        std::vector<optimize_row> mine;
        bool stopped = false;
        try {
          mine = run_optimize_keeping(
              settings, tasks, terminal ? show_round : std::function<void(const optimize_round&)>{},
              stop, keeper.get());
        } catch (const run_stopped&) {
          stopped = true;
        }
        if (keeper && job.size > 1) {
          const after_gather next = gather_checkpoint(job, *keeper, stopped);
          if (next == after_gather::quiet) return std::nullopt;
          stopped = next == after_gather::stopped;
        } else if (keeper) {
          keeper->write();
        }
        if (stopped) {
          if (!job.root()) return std::nullopt;
          throw std::runtime_error(stopped_message(texts.checkpoint, texts.output));
        }
        const std::vector<optimize_row> rows = rows_at_root(job, n, tasks, mine);
        if (!job.root()) return std::nullopt;
        for (const optimize_row& r : rows) warn_flags("vmc optimize", r.s, flags_of(r));
        return finished_table{optimize_table(rows), optimize_table_for_people(rows)};
      });
}

}  // namespace

std::function<int()> add_optimize_command(CLI::App& app, const ranks& job) {
  CLI::App* cmd = app.add_subcommand("optimize", "the best beta, ionic weight and orbital length");
  cmd->footer(
      "For each separation, finds the beta, ionic weight lambda and orbital length a of the\n"
      "covalent-ionic trial function that minimise the energy: rounds of correlated sampling\n"
      "(one walk, the energy of nearby parameters by reweighting its configurations) and the\n"
      "Nelder-Mead simplex, until a round gains less than 0.005 eV. Then a fresh walk of\n"
      "--steps steps measures the energy at the result. Columns: s, beta, ionic_weight, a,\n"
      "energy, error, variance, acceptance, flag. The search keeps beta in 0-5 /A, the ionic\n"
      "weight in 0-1 and a in 0.2-1 A; flag is empty for a sound row (see the README).");
  auto texts = std::make_shared<optimize_texts>();
  add_run_options(*cmd, texts->separations, texts->seed, texts->output);
  add_checkpoint_options(*cmd, texts->checkpoint, texts->checkpoint_every);
  add_text_option(*cmd, "--steps", texts->steps,
                  "steps of the final walk that measures the energy", "N");
  add_text_option(*cmd, "--equilibration", texts->equilibration,
                  "steps discarded before every walk", "N");
  add_text_option(*cmd, "--sample-steps", texts->sample_steps,
                  "walk steps of the first round's sample (doubled each round, up to 8x), at "
                  "most 1e8: the sample is kept in memory, 3.5 GB per thread at 1e8",
                  "N");
  add_text_option(*cmd, "--max-rounds", texts->max_rounds, "the most optimisation rounds", "N");
  texts->step_size_option = add_text_option(
      *cmd, "--step-size", texts->step_size,
      "largest displacement of one coordinate, angstrom, 1e-4 to 10 (a smaller step hardly moves "
      "a float coordinate, a larger one is never accepted); given, every walk keeps it, "
      "otherwise each walk tunes it from this value to an acceptance near one half",
      "G");
  return [texts, &job] { return run(*texts, job); };
}

}  // namespace vmc
