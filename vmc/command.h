#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>

#include "output/table.h"
#include "vmc/ranks.h"
#include "vmc/stop_request.h"

namespace vmc {

// A finished table: exact numbers for the file, rounded ones for people.
struct finished_table {
  table exact;
  table for_people;
};

// What every subcommand does around its work, as one process of the job:
// - check() reads the options and throws usage_error: rank 0 prints
//   "<name>: <reason>" and every rank returns 2, before any file is touched;
// - rank 0 opens `output` before the work, so that an unwritable place fails
//   first, and says on a signal that the file is as it was;
// - work(terminal) runs this rank's share and returns the table at rank 0
//   (nothing elsewhere); terminal is true on rank 0 when standard error is a
//   terminal, for progress;
// - rank 0 prints the table aligned and then replaces `output` with it.
// A failure is one line "<name>: <reason>" and status 1, as for every program.
int run_command(const std::string& name, const ranks& job, const std::string& output,
                const std::function<void()>& check,
                const std::function<std::optional<finished_table>(bool terminal)>& work);

// The lines that start every table file: "# vmc VERSION" and "# vmc ARGS",
// the command line as typed, each argument quoted as a POSIX shell would need
// it ($'...' for control bytes), so that pasting it runs the same command.
// No date, no host: the same command gives the same bytes.
std::string provenance_lines(const std::string& version, int argc, const char* const* argv);

// The provenance lines every table file of this process starts with; empty
// until set (a table then starts with its header).
void set_provenance(std::string lines);
const std::string& provenance();

// From now on SIGINT, SIGTERM and SIGHUP (but those ignored when the program
// started) set the returned stop request instead of ending the program: a
// run that keeps a checkpoint writes it and stops. stop_signal() is the
// signal that came, 0 before one.
const stop_request* stop_on_signals();
int stop_signal();

// What a run stopped by a signal says: that its state is in `checkpoint`,
// that the same command continues it, and that `output` is as it was.
std::string stopped_message(const std::string& checkpoint, const std::string& output);

// --checkpoint FILE and --checkpoint-every TIME, for the subcommands that keep one.
void add_checkpoint_options(CLI::App& cmd, std::string& checkpoint, std::string& every);

// Refuses an option given with an empty value (--parameters ''), which would
// otherwise read as the option not given.
CLI::Validator not_empty();

// Adds an option read as text (checked later, with the others), shown in the
// help with its type and its default.
CLI::Option* add_text_option(CLI::App& cmd, const std::string& name, std::string& text,
                             const std::string& help, const std::string& type);

// The options every subcommand shares: --separations, --seed and --output.
void add_run_options(CLI::App& cmd, std::string& separations, std::string& seed,
                     std::string& output);

// The options that choose the trial function: --beta, --ionic-weight and
// --orbital-length, the last with no default of its own (its help names
// `orbital_default`); given `others_default`, the first two have none
// either and their help names it. None takes an empty value.
struct trial_options {
  CLI::Option* beta;
  CLI::Option* ionic_weight;
  CLI::Option* orbital_length;
};
trial_options add_trial_options(CLI::App& cmd, std::string& beta, std::string& ionic_weight,
                                std::string& orbital_length, const std::string& orbital_default,
                                const std::string& others_default = "");

}  // namespace vmc
