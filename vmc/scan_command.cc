#include "vmc/scan_command.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "output/table.h"
#include "vmc/command.h"
#include "vmc/options.h"
#include "vmc/scan.h"

namespace vmc {
namespace {

// The options as typed; checked only once the command line is complete.
struct scan_texts {
  std::string separations = "0.3:2.5:0.05";
  std::string steps = "1000000";
  std::string equilibration = "10000";
  std::string beta = "0.25";
  std::string ionic_weight = "1";
  std::string orbital_length;
  std::string step_size = "0.40125";
  std::string seed = "5465";
  std::string output = "vmc-scan.tsv";
};

scan_settings checked(const scan_texts& t) {
  scan_settings s;
  s.separations = parse_separations("--separations", t.separations);
  s.steps = parse_count("--steps", t.steps, 2);
  s.equilibration = parse_count("--equilibration", t.equilibration, 0);
  s.beta = parse_real("--beta", t.beta, 0.0f, false);
  s.ionic_weight = parse_real("--ionic-weight", t.ionic_weight, 0.0f, false);
  if (!t.orbital_length.empty()) {
    s.orbital_length = parse_real("--orbital-length", t.orbital_length, 0.0f, true);
  }
  s.step_size = parse_real("--step-size", t.step_size, 0.0f, true);
  s.seed = parse_seed("--seed", t.seed);
  if (t.output.empty()) throw usage_error("--output: expected a file name; got \"\"");
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
  return run_command(
      "vmc scan", job, texts.output, [&] { settings = checked(texts); },
      [&](bool terminal) -> std::optional<finished_table> {
        const std::size_t n = settings.separations.size();
        const std::vector<std::size_t> tasks = tasks_of(job, n);
        const std::vector<scan_row> rows = rows_at_root(
            job, n, tasks,
            run_scan(settings, tasks,
                     terminal ? show_progress : std::function<void(std::size_t, std::size_t)>{}));
        if (!job.root()) return std::nullopt;
        for (const scan_row& r : rows) {
          if (!r.converged) warn_not_converged("vmc scan", r.s);
        }
        return finished_table{scan_table(rows), scan_table_for_people(rows)};
      });
}

}  // namespace

std::function<int()> add_scan_command(CLI::App& app, const ranks& job) {
  CLI::App* scan = app.add_subcommand(
      "scan", "energies with error bars along a list of separations");
  scan->footer(
      "One Metropolis walk per separation with the trial function of the classic programs.\n"
      "energy is the mean local energy over every measured step, error its standard error\n"
      "from a blocking analysis, tau = steps error^2 / variance; energy_accepted is the mean\n"
      "over the accepted moves only, as the classic programs define E (it is biased).\n"
      "The table goes to --output, tab-separated, and to standard output, aligned.");
  auto texts = std::make_shared<scan_texts>();
  scan->add_option("--separations", texts->separations,
                   "START:STOP:STEP (inclusive) or a comma list, angstrom, each in (0, 1000]")
      ->type_name("LIST")
      ->capture_default_str();
  scan->add_option("--steps", texts->steps, "measured steps per walk (1e6 form accepted)")
      ->type_name("N")
      ->capture_default_str();
  scan->add_option("--equilibration", texts->equilibration, "steps discarded before measuring")
      ->type_name("N")
      ->capture_default_str();
  scan->add_option("--beta", texts->beta, "the correlation parameter, 1/angstrom")
      ->type_name("B")
      ->capture_default_str();
  scan->add_option("--ionic-weight", texts->ionic_weight,
                   "lambda, the weight of the ionic products (1: the classic product, 0: "
                   "covalent)")
      ->type_name("L")
      ->capture_default_str();
  scan->add_option("--orbital-length", texts->orbital_length,
                   "a, angstrom (default: the cusp value)")
      ->type_name("A");
  scan->add_option("--step-size", texts->step_size,
                   "largest displacement of one coordinate, angstrom")
      ->type_name("G")
      ->capture_default_str();
  scan->add_option("--seed", texts->seed, "seed of the run, 1 to 2147483562")
      ->type_name("N")
      ->capture_default_str();
  scan->add_option("--output", texts->output, "the table, tab-separated")
      ->type_name("FILE")
      ->capture_default_str();
  return [texts, &job] { return run(*texts, job); };
}

}  // namespace vmc
