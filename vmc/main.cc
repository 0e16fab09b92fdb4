// vmc: the variational Monte Carlo program a physicist runs, with chosen
// parameters and honest error bars.
#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdio>
#include <string>

#include "vmc/dmc_command.h"
#include "vmc/optimize_command.h"
#include "vmc/ranks.h"
#include "vmc/scan_command.h"
#include "vmc/spectrum_command.h"

namespace {

// The command line read and run by one process of the job.
int run(int argc, char** argv, const vmc::ranks& job) {
  CLI::App app{"Variational Monte Carlo for the hydrogen molecule: energies with error bars.",
               "vmc"};
  app.set_version_flag("--version", "vmc " VMC_VERSION);
  app.require_subcommand(1);
  const auto scan = vmc::add_scan_command(app, job);
  const auto optimize = vmc::add_optimize_command(app, job);
  const auto dmc = vmc::add_dmc_command(app, job);
  const auto spectrum = vmc::add_spectrum_command(app, job);
  // Every rank reads the same command line; rank 0 alone says what is wrong.
  auto say = [&job](const std::string& line) {
    if (job.root()) std::fprintf(stderr, "%s\n", line.c_str());
  };
  // A first word that is no option must name a subcommand.
  bool known = false;
  for (const CLI::App* sub : app.get_subcommands({})) {
    known = known || (argc > 1 && sub->check_name(argv[1]));
  }
  if (argc > 1 && argv[1][0] != '-' && !known) {
    say(std::string("vmc: unknown subcommand \"") + argv[1] +
        "\"; expected scan, optimize, dmc or spectrum (see vmc --help)");
    return 2;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // One line naming what was wrong, and where to look.
    std::string where = "vmc";
    for (const CLI::App* sub : app.get_subcommands()) where += " " + sub->get_name();
    // CLI11's sentences start with a capital; the rest of our messages do not.
    std::string what = e.what();
    if (!what.empty()) what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
    say(where + ": " + what + " (see " + where + " --help)");
    return 2;
  }
  if (app.got_subcommand("scan")) return scan();
  if (app.got_subcommand("optimize")) return optimize();
  if (app.got_subcommand("dmc")) return dmc();
  if (app.got_subcommand("spectrum")) return spectrum();
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const vmc::ranks job = vmc::start_ranks(argc, argv);
  if (!job.root()) {
    // Help, version and tables come from rank 0 only.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, 1);
      ::close(null);
    }
  }
  const int status = run(argc, argv, job);
  vmc::end_ranks();
  return status;
}
