#pragma once

#include <CLI/CLI.hpp>

#include <functional>

#include "vmc/ranks.h"

namespace vmc {

// Adds the subcommand "scan" to app; after a successful parse, the returned
// function checks the options (throwing usage_error) and runs the scan.
std::function<int()> add_scan_command(CLI::App& app, const ranks& job);

}  // namespace vmc
