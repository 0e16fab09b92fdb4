#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vmc::testing {

// How a program is started for a whole-program test.
struct launch {
  std::vector<std::string> args;        // command-line arguments after the program's name
  std::string input;                    // fed to standard input
  std::string input_after;              // input is held back until stdout shows this
  std::string stdout_path;              // standard output goes here instead of a pipe
  long stdout_size_limit = 0;           // a file grows no further (RLIMIT_FSIZE), when above 0
  bool close_stdout = false;            // start with descriptor 1 closed
  bool close_stdin = false;             // start with descriptor 0 closed
  bool unprivileged = false;            // run as nobody when started as root
  bool remove_dir = false;              // the working directory is removed as the program starts
  std::map<std::string, std::string> env;  // added to the environment
  // Mid-run events, once standard output shows mid_run_after, or once one of
  // the program's open descriptors names a file whose path holds
  // mid_run_open_file (as /proc/<pid>/fd shows it):
  std::string mid_run_after;
  std::string mid_run_open_file;
  int interrupt_signal = 0;             // send this signal
  bool remove_dir_mid_run = false;      // remove the working directory
  std::vector<int> ignored_signals;     // ignored when the program starts, as nohup leaves SIGHUP
};

struct outcome {
  int status = -1;  // exit status, or 128 + signal when killed
  bool killed = false;  // ended by a signal rather than by exiting
  bool input_withheld = false;  // input_after never appeared; the program was killed
  std::string out;
  std::string err;
};

// Runs program in dir and waits for it.
outcome run(const std::string& program, const std::filesystem::path& dir, const launch& how = {});

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes.
class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& p);
void write_file(const std::filesystem::path& p, const std::string& text);
std::vector<std::string> lines(const std::string& text);
// The blank-separated items of one record (the leading blank dropped).
std::vector<std::string> items(const std::string& record);
// A vmc table file without its leading comment lines ('#'), which name the
// program and the command; expects exactly two of them, the first
// "# vmc VERSION", the second "# vmc " and the arguments.
std::string table_body(const std::string& text);
// Names of the entries of dir, sorted.
std::vector<std::string> entries(const std::filesystem::path& dir);

}  // namespace vmc::testing
