#include "output/program.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string>

#include "output/interrupt_cleanup.h"
#include "output/io_error.h"
#include "output/quoted.h"
#include "output/text_stream.h"

namespace vmc {
namespace {

bool is_open(int fd) { return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

void report(std::string_view program, std::string_view message) {
  std::string line(program);
  line += ": ";
  line += message;
  line += '\n';
  // Nothing more can be done if standard error itself fails.
  [[maybe_unused]] const ssize_t n = ::write(2, line.data(), line.size());
}

// A closed standard error would let the next opened data file take its
// descriptor, and an error message would then land in the data.
void keep_standard_error_open() {
  if (!is_open(2)) {
    // If standard input or output is closed too, the lowest free descriptor
    // is theirs; moving it to 2 leaves them closed, to be reported as such.
    const int fd = ::open("/dev/null", O_WRONLY);
    if (fd >= 0 && fd != 2) {
      ::dup2(fd, 2);
      ::close(fd);
    }
  }
}

}  // namespace

int run_program(std::string_view program, std::string_view usage, std::span<char* const> args,
                const std::function<void()>& body) {
  if (args.size() <= 1) return run_program(program, body);
  keep_standard_error_open();
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      try {
        if (!is_open(1)) throw io_error("standard output", EBADF);
        ::signal(SIGPIPE, SIG_IGN);
        write_all(1, usage, "standard output");
        return 0;
      } catch (const std::exception& e) {
        report(program, e.what());
        return 1;
      }
    }
  }
  const std::string p(program);
  report(program, "unexpected argument " + quoted(args[1]) + "; " + p +
                      " takes no arguments (see " + p + " --help)");
  return 2;
}

int run_program(std::string_view program, const std::function<void()>& body) {
  keep_standard_error_open();
  set_program_name(std::string(program));
  try {
    if (!is_open(1)) throw io_error("standard output", EBADF);
    // A vanished reader shows up as a failed write with a reason, not as a
    // silent death by SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    remove_temporaries_on_interrupt();
    body();
    return 0;
  } catch (const std::exception& e) {
    report(program, e.what());
  } catch (...) {
    report(program, "unexpected failure");
  }
  return 1;
}

}  // namespace vmc
