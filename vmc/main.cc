// vmc: the variational Monte Carlo program a physicist runs, with chosen
// parameters and honest error bars.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "vmc/dmc_command.h"
#include "vmc/optimize_command.h"
#include "vmc/scan_command.h"

int main(int argc, char** argv) {
  CLI::App app{"Variational Monte Carlo for the hydrogen molecule: energies with error bars.",
               "vmc"};
  app.set_version_flag("--version", "vmc " VMC_VERSION);
  app.require_subcommand(1);
  const auto scan = vmc::add_scan_command(app);
  const auto optimize = vmc::add_optimize_command(app);
  const auto dmc = vmc::add_dmc_command(app);
  // A first word that is no option must name a subcommand.
  bool known = false;
  for (const CLI::App* sub : app.get_subcommands({})) {
    known = known || (argc > 1 && sub->check_name(argv[1]));
  }
  if (argc > 1 && argv[1][0] != '-' && !known) {
    std::fprintf(stderr, "vmc: unknown subcommand \"%s\"; expected scan, optimize or dmc (see vmc --help)\n",
                 argv[1]);
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
    std::fprintf(stderr, "%s: %s (see %s --help)\n", where.c_str(), e.what(), where.c_str());
    return 2;
  }
  if (app.got_subcommand("scan")) return scan();
  if (app.got_subcommand("optimize")) return optimize();
  if (app.got_subcommand("dmc")) return dmc();
  return 2;
}
