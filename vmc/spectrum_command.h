#pragma once

#include <CLI/CLI.hpp>

#include <functional>

#include "vmc/ranks.h"

namespace vmc {

// Adds the subcommand "spectrum" to app; after a successful parse, the
// returned function checks the options (throwing usage_error) and runs it.
std::function<int()> add_spectrum_command(CLI::App& app, const ranks& job);

}  // namespace vmc
