#include "vmc/dmc_command.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "model/constants.h"
#include "model/orbital_length.h"
#include "output/quoted.h"
#include "output/table.h"
#include "vmc/command.h"
#include "vmc/dmc.h"
#include "vmc/options.h"

namespace vmc {
namespace {

// The options as typed; checked only once the command line is complete.
struct dmc_texts {
  std::string separations = "0.74";
  std::string time_step = "2e-4";
  std::string walkers = "2000";
  std::string steps = "1e5";
  std::string equilibration = "5000";
  std::string beta = "0.25";
  std::string ionic_weight = "1";
  std::string orbital_length;
  std::string parameters;
  std::string seed = "5465";
  std::string output = "vmc-dmc.tsv";
};

// The parameters of each separation from a vmc optimize table.
std::vector<trial_parameters> parameters_from(const std::string& file,
                                              const std::vector<float>& separations) {
  const std::string name = vmc::quoted(file);
  std::ifstream in(file);
  if (!in) throw usage_error("--parameters: cannot read " + name + ": " + std::strerror(errno));
  std::string line;
  std::getline(in, line);
  if (line.rfind("s\tbeta\tionic_weight\ta\tenergy\terror\tvariance", 0) != 0) {
    throw usage_error("--parameters: " + name + " is not a vmc optimize table");
  }
  std::vector<std::pair<float, trial_parameters>> rows;
  while (std::getline(in, line)) {
    std::istringstream cells(line);
    float s = 0, beta = 0, lambda = 0, a = 0;
    // The same bounds as the options: beta and lambda 0 or more, a above 0.
    if (!(cells >> s >> beta >> lambda >> a) || !std::isfinite(beta) || !std::isfinite(lambda) ||
        !std::isfinite(a) || beta < 0 || lambda < 0 || !(a > 0)) {
      throw usage_error("--parameters: " + name + " has a row that is not s, beta >= 0, " +
                        "ionic_weight >= 0 and a > 0");
    }
    rows.push_back({s, {beta, lambda, a}});
  }
  std::vector<trial_parameters> out;
  for (const float s : separations) {
    bool found = false;
    for (const auto& [rs, p] : rows) {
      if (rs == s) {
        out.push_back(p);
        found = true;
        break;
      }
    }
    if (!found) {
      throw usage_error("--parameters: " + name + " has no row for the separation " + shortest(s));
    }
  }
  return out;
}

dmc_settings checked(const dmc_texts& t) {
  dmc_settings s;
  s.separations = parse_separations("--separations", t.separations);
  s.time_step = parse_real("--time-step", t.time_step, 0.0f, true);
  if (s.time_step > 0.01) {
    throw usage_error("--time-step: expected a time step above 0 and at most 0.01 /eV; got \"" +
                      t.time_step + "\"");
  }
  s.walkers = parse_count("--walkers", t.walkers, 10, 1000000, "such as 2000");
  s.steps = parse_count("--steps", t.steps, 2);
  s.equilibration = parse_count("--equilibration", t.equilibration, 0);
  s.seed = parse_seed("--seed", t.seed);
  if (!dmc_fits_period(s)) {
    throw usage_error("--steps: with --walkers, --equilibration and the separations, the run's "
                      "streams would need more deviates than the generator's period (about "
                      "2.3e18) holds");
  }
  if (t.output.empty()) throw usage_error("--output: expected a file name; got \"\"");
  if (!t.parameters.empty()) {
    s.parameters = parameters_from(t.parameters, s.separations);
    return s;
  }
  const trial_choice trial = parse_trial(t.beta, t.ionic_weight, t.orbital_length);
  constexpr model_constants c = make_constants();
  for (const float sep : s.separations) {
    const double a = trial.orbital_length > 0.0f ? trial.orbital_length
                                                 : apar<exp_double>(c.abohr, sep, apar_start::abohr);
    s.parameters.push_back({trial.beta, trial.ionic_weight, a});
  }
  return s;
}

int run(const dmc_texts& texts, const ranks& job) {
  dmc_settings settings;
  return run_command(
      "vmc dmc", job, texts.output, [&] { settings = checked(texts); },
      [&](bool terminal) -> std::optional<finished_table> {
        const std::size_t n = settings.separations.size();
        const std::vector<std::size_t> tasks = tasks_of(job, n);
        std::vector<dmc_row> mine;
        for (const std::size_t i : tasks) {
          const std::string s = shortest(settings.separations[i]);
          auto progress = [&s](std::int64_t step, std::int64_t total) {
            std::fprintf(stderr, "\rvmc dmc: s = %s: step %lld of %lld", s.c_str(),
                         static_cast<long long>(step), static_cast<long long>(total));
            if (step == total) std::fputc('\n', stderr);
            std::fflush(stderr);
          };
          mine.push_back(run_dmc(settings, i,
                                 terminal ? std::function<void(std::int64_t, std::int64_t)>(progress)
                                          : std::function<void(std::int64_t, std::int64_t)>{}));
        }
        const std::vector<dmc_row> rows = rows_at_root(job, n, tasks, mine);
        if (!job.root()) return std::nullopt;
        for (const dmc_row& r : rows) warn_flags("vmc dmc", r.s, flags_of(r));
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
  add_text_option(*cmd, "--time-step", texts->time_step, "tau, 1/eV (2e-4 /eV = 0.0054 /hartree)",
                  "T");
  add_text_option(*cmd, "--walkers", texts->walkers, "target population", "N");
  add_text_option(*cmd, "--steps", texts->steps, "measured steps", "N");
  add_text_option(*cmd, "--equilibration", texts->equilibration, "steps before measuring", "N");
  const trial_options trial =
      add_trial_options(*cmd, texts->beta, texts->ionic_weight, texts->orbital_length);
  // A table of parameters and parameters of one's own would contradict each other.
  cmd->add_option("--parameters", texts->parameters,
                  "a vmc optimize table: beta, ionic weight and a of each separation from it")
      ->type_name("FILE")
      ->excludes(trial.beta)
      ->excludes(trial.ionic_weight)
      ->excludes(trial.orbital_length);
  return [texts, &job] { return run(*texts, job); };
}

}  // namespace vmc
