#include "program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vmc::testing {

outcome run(const std::string& program, const std::filesystem::path& dir, const launch& how) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(err[1], 2);
    if (!how.stdout_path.empty()) {
      const int fd = open(how.stdout_path.c_str(), O_WRONLY);
      dup2(fd, 1);
      close(fd);
    } else {
      dup2(out[1], 1);
    }
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (how.close_stdout) close(1);
    if (how.close_stdin) close(0);
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (how.remove_dir) {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
    for (const auto& [k, v] : how.env) setenv(k.c_str(), v.c_str(), 1);
    if (how.unprivileged && geteuid() == 0) {
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
    }
    signal(SIGPIPE, SIG_DFL);
    for (const int sig : how.ignored_signals) signal(sig, SIG_IGN);
    if (how.stdout_size_limit > 0) {
      // A write beyond the limit then fails with EFBIG, as on a full disk.
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(how.stdout_size_limit),
                         static_cast<rlim_t>(how.stdout_size_limit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : how.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // Feed the input (at once, or when the awaited output has appeared), then
  // read both outputs until the program closes them.
  signal(SIGPIPE, SIG_IGN);
  int input_fd = in[1];
  auto feed = [&] {
    [[maybe_unused]] ssize_t w = write(input_fd, how.input.data(), how.input.size());
    close(input_fd);
    input_fd = -1;
  };
  if (how.input_after.empty()) feed();

  outcome result;
  // Once stdout shows how.mid_run_after, the mid-run event happens: a signal
  // or the removal of the working directory.
  bool event_due = !how.mid_run_after.empty() || !how.mid_run_open_file.empty();
  // Whether the program holds a file open whose path holds the awaited text.
  auto holds_open = [&] {
    std::error_code ec;
    for (const auto& fd : std::filesystem::directory_iterator(
             "/proc/" + std::to_string(pid) + "/fd", ec)) {
      const std::filesystem::path to = std::filesystem::read_symlink(fd.path(), ec);
      if (!ec && to.string().find(how.mid_run_open_file) != std::string::npos) return true;
    }
    return false;
  };
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open_fds = 2;
  auto mid_run_event = [&] {
    event_due = false;

    if (how.interrupt_signal > 0) kill(pid, how.interrupt_signal);
    if (how.remove_dir_mid_run) {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
  };
  // Output that is awaited must come within this time, or the program is
  // taken to wait without having said so.
  constexpr int patience_ms = 10000;
  int watched_ms = 0;
  while (open_fds > 0) {
    const bool awaiting = input_fd >= 0 || event_due;
    // An open file is looked for every few milliseconds, within the same patience.
    const bool watching = event_due && !how.mid_run_open_file.empty();
    if (watching) {
      if (holds_open()) {
        mid_run_event();
        continue;
      }
      if (watched_ms >= patience_ms) {
        kill(pid, SIGKILL);
        event_due = false;
        continue;
      }
      watched_ms += 5;
    }
    if (poll(fds, 2, watching ? 5 : awaiting ? patience_ms : -1) == 0) {
      if (watching) continue;
      result.input_withheld = input_fd >= 0;
      kill(pid, SIGKILL);
      if (input_fd >= 0) close(input_fd);
      input_fd = -1;
      event_due = false;
      continue;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
        char buf[65536];
        const ssize_t got = read(fds[i].fd, buf, sizeof buf);
        if (got <= 0) {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open_fds;
        } else {
          (i == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(got));
          if (event_due && !how.mid_run_after.empty() &&
              result.out.find(how.mid_run_after) != std::string::npos) {
            mid_run_event();
          }
          if (input_fd >= 0 && result.out.find(how.input_after) != std::string::npos) feed();
        }
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  result.killed = WIFSIGNALED(status);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

temp_dir::temp_dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vmc-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
  // Open to every user, so that a program run as nobody can work here.
  std::filesystem::permissions(path_, std::filesystem::perms::all);
}

temp_dir::~temp_dir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + p.string());
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void write_file(const std::filesystem::path& p, const std::string& text) {
  std::ofstream f(p, std::ios::binary);
  f << text;
  if (!f) throw std::runtime_error("cannot write " + p.string());
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> v;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      v.push_back(text.substr(start));
      break;
    }
    v.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return v;
}

std::vector<std::string> items(const std::string& record) {
  std::vector<std::string> v;
  std::istringstream s(record);
  std::string item;
  while (s >> item) v.push_back(item);
  return v;
}

std::vector<std::string> entries(const std::filesystem::path& dir) {
  std::vector<std::string> v;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    v.push_back(e.path().filename().string());
  }
  std::sort(v.begin(), v.end());
  return v;
}

std::string table_body(const std::string& text) {
  std::size_t at = 0;
  for (const char* start : {"# vmc ", "# vmc "}) {
    if (text.compare(at, std::string(start).size(), start) != 0) return "(no provenance line)\n" + text;
    at = text.find('\n', at);
    if (at == std::string::npos) return "(no provenance line)\n" + text;
    ++at;
  }
  return text.substr(at);
}

}  // namespace vmc::testing
