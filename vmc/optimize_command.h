#pragma once

#include <CLI/CLI.hpp>

#include <functional>

#include "vmc/ranks.h"

namespace vmc {

// Adds the subcommand "optimize" to app; after a successful parse, the
// returned function checks the options and runs the optimisation.
std::function<int()> add_optimize_command(CLI::App& app, const ranks& job);

}  // namespace vmc
