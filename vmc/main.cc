// vmc: the variational Monte Carlo program a physicist runs, with chosen
// parameters and honest error bars.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>

#include "output/text_stream.h"
#include "vmc/command.h"
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
  // The command as far as it was read: "vmc" or "vmc scan".
  auto where = [&app] {
    std::string w = "vmc";
    for (const CLI::App* sub : app.get_subcommands()) w += " " + sub->get_name();
    return w;
  };
  // Help and version on standard output, every write checked: a text that
  // could not be shown is a failure, as for every other output.
  auto show = [&](const CLI::Error& e) {
    std::ostringstream out, err;
    const int status = app.exit(e, out, err);
    try {
      ::signal(SIGPIPE, SIG_IGN);
      vmc::write_all(1, out.str(), "standard output");
    } catch (const std::exception& failure) {
      say(where() + ": " + failure.what());
      return 1;
    }
    return status;
  };
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return show(e);
  } catch (const CLI::CallForAllHelp& e) {
    return show(e);
  } catch (const CLI::CallForVersion& e) {
    return show(e);
  } catch (const CLI::ParseError& e) {
    // One line naming what was wrong, and where to look.
    const std::string at = where();
    // CLI11's sentences start with a capital; the rest of our messages do not.
    std::string what = e.what();
    if (!what.empty()) what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
    say(at + ": " + what + " (see " + at + " --help)");
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
  vmc::set_provenance(vmc::provenance_lines(VMC_VERSION, argc, argv));
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
