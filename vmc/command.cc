#include "vmc/command.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>
#include <exception>

#include "output/interrupt_cleanup.h"
#include "output/output_file.h"
#include "output/program.h"
#include "output/text_stream.h"
#include "vmc/options.h"

namespace vmc {

int run_command(const std::string& name, const ranks& job, const std::string& output,
                const std::function<void()>& check,
                const std::function<std::optional<finished_table>(bool terminal)>& work) {
  try {
    check();
  } catch (const usage_error& e) {
    // Every rank reads the same command line; one says what is wrong.
    if (job.root()) std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
    return 2;
  }
  const int status = run_program(name, [&] {
    // The table replaces the file only when the whole run has succeeded.
    std::optional<output_file> file;
    if (job.root()) {
      file.emplace(output);
      set_interrupt_message((name + ": stopped by a signal; " + output + " is as it was").c_str());
    }
    const std::optional<finished_table> t = work(job.root() && ::isatty(2) == 1);
    if (!job.root() || !t) return;
    file->write(provenance() + tab_separated(t->exact));
    // The finished table is kept even when the console cannot show it (a
    // reader that went away): the file is published, then the console's
    // failure reported. With --output - the table itself is the console's.
    std::exception_ptr console_failure;
    if (output != "-") {
      try {
        text_stream console(1, "standard output");
        console.write(aligned(t->for_people));
        console.flush();
      } catch (...) {
        console_failure = std::current_exception();
      }
    }
    file->close();
    if (console_failure) std::rethrow_exception(console_failure);
  });
  // The failing rank has said why; the others are waiting for its results.
  if (status != 0 && stop_signal() != 0) return 128 + stop_signal();
  if (status != 0) abort_job(job, status);
  return status;
}

namespace {

std::string& provenance_text() {
  static std::string text;
  return text;
}

// One argument as a POSIX shell reads it back.
std::string shell_word(const std::string& word) {
  const auto plain = [](unsigned char c) {
    return std::isalnum(c) != 0 || std::string_view("@%+=:,./_-").find(static_cast<char>(c)) !=
                                       std::string_view::npos;
  };
  if (!word.empty() && std::all_of(word.begin(), word.end(), plain)) return word;
  const bool control = std::any_of(word.begin(), word.end(), [](unsigned char c) {
    return c < 0x20 || c == 0x7f;
  });
  if (!control) {
    std::string out = "'";
    for (const char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
  }
  std::string out = "$'";
  for (const char c : word) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\'' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      out += hex;
    } else {
      out += c;
    }
  }
  return out + "'";
}

}  // namespace

std::string provenance_lines(const std::string& version, int argc, const char* const* argv) {
  std::string command = "vmc";
  for (int k = 1; k < argc; ++k) command += " " + shell_word(argv[k]);
  return "# vmc " + version + "\n# " + command + "\n";
}

namespace {

stop_request signal_stop{false};
std::atomic<int> stopping_signal{0};

extern "C" void on_stop_signal(int sig) {
  stopping_signal.store(sig);
  signal_stop.store(true);
}

}  // namespace

const stop_request* stop_on_signals() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = on_stop_signal;
  sigfillset(&sa.sa_mask);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction was;
    if (::sigaction(sig, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &sa, nullptr);
  }
  return &signal_stop;
}

int stop_signal() { return stopping_signal.load(); }

std::string stopped_message(const std::string& checkpoint, const std::string& output) {
  return "stopped by signal " + std::to_string(stop_signal()) + "; the run so far is in " +
         checkpoint + " (the same command continues it); " + output + " is as it was";
}

void add_checkpoint_options(CLI::App& cmd, std::string& checkpoint, std::string& every) {
  cmd.add_option("--checkpoint", checkpoint,
                 "keep the run's state in FILE: written atomically every --checkpoint-every, "
                 "when a separation ends and on SIGINT, SIGTERM or SIGHUP; the same command "
                 "continues it, to the same table, and one with more --steps extends it; "
                 "a job of several MPI processes writes it only once every rank has finished "
                 "or stopped")
      ->type_name("FILE")
      ->check(not_empty());
  add_text_option(cmd, "--checkpoint-every", every,
                  "time between checkpoints, such as 30s, 10m or 1h; 0 for only when a "
                  "separation ends and when stopped",
                  "TIME");
}

void set_provenance(std::string lines) { provenance_text() = std::move(lines); }

const std::string& provenance() { return provenance_text(); }

CLI::Validator not_empty() {
  return CLI::Validator(
      [](const std::string& value) {
        return value.empty() ? std::string("expected a value; got \"\"") : std::string();
      },
      "", "not empty");
}

CLI::Option* add_text_option(CLI::App& cmd, const std::string& name, std::string& text,
                             const std::string& help, const std::string& type) {
  return cmd.add_option(name, text, help)->type_name(type)->capture_default_str();
}

void add_run_options(CLI::App& cmd, std::string& separations, std::string& seed,
                     std::string& output) {
  add_text_option(cmd, "--separations", separations,
                  "START:STOP:STEP (inclusive) or a comma list, angstrom, each from 0.01 to 1000 "
                  "(below 0.01 the protons' repulsion, 14.4/s eV, drowns the electrons' energy in "
                  "float)",
                  "LIST");
  add_text_option(cmd, "--seed", seed, "seed of the run, 1 to 2147483562", "N");
  add_text_option(cmd, "--output", output,
                  "the table, tab-separated; - for standard output (the aligned copy is then not "
                  "shown)",
                  "FILE");
}

trial_options add_trial_options(CLI::App& cmd, std::string& beta, std::string& ionic_weight,
                                std::string& orbital_length, const std::string& orbital_default,
                                const std::string& others_default) {
  const std::string note = others_default.empty() ? "" : "; default: " + others_default;
  return {add_text_option(cmd, "--beta", beta,
                          "the correlation parameter, 1/angstrom, 0 to 1000 (beyond, the "
                          "correlation factor is 1 in float" + note + ")",
                          "B")
              ->check(not_empty()),
          add_text_option(cmd, "--ionic-weight", ionic_weight,
                          "lambda, the weight of the ionic products (1: the classic product, "
                          "0: covalent), 0 to 1e6 (beyond, psi^2 leaves float's range" + note + ")",
                          "L")
              ->check(not_empty()),
          cmd.add_option("--orbital-length", orbital_length,
                         "a, angstrom, 0.1 to 1000 (below 0.1, exp(-r/a) of the start underflows "
                         "in float; default: " + orbital_default + ")")
              ->type_name("A")
              ->check(not_empty())};
}

}  // namespace vmc
