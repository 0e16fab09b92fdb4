#pragma once

#include <CLI/CLI.hpp>

#include <functional>

#include "vmc/ranks.h"

namespace vmc {

// Adds the subcommand "dmc" to app; after a successful parse, the returned
// function checks the options and runs diffusion Monte Carlo.
std::function<int()> add_dmc_command(CLI::App& app, const ranks& job);

}  // namespace vmc
