#include "output/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "output/interrupt_cleanup.h"
#include "output/io_error.h"

namespace vmc {

output_file::opened output_file::open_for_output(const std::string& name) {
  struct stat st;
  const bool exists = ::stat(name.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe cannot be replaced by renaming; write through it.
    const int fd = ::open(name.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) throw io_error(name, errno);
    return {fd, name, ""};
  }

  // A file its owner made read-only is not replaced behind their back.
  if (exists && ::access(name.c_str(), W_OK) != 0) throw io_error(name, errno);

  std::string target = name;
  struct stat lst;
  if (exists && ::lstat(name.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    // Keep the link and replace the file it points to.
    char resolved[PATH_MAX];
    if (::realpath(name.c_str(), resolved) == nullptr) throw io_error(name, errno);
    target = resolved;
  }

  const std::size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string temp = dir + "." + base + "." + std::to_string(::getpid()) + ".tmp";

  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) {
    // Left by an earlier process with our pid that was killed outright.
    ::unlink(temp.c_str());
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  }
  if (fd < 0) throw io_error(name, errno);
  // The new file keeps the permissions of the one it replaces.
  if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) {
    const int err = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    throw io_error(name, err);
  }
  return {fd, target, temp};
}

output_file::output_file(std::string name) : output_file(open_for_output(name), name) {}

output_file::output_file(opened o, std::string name)
    : target_(std::move(o.target)),
      temp_(std::move(o.temp)),
      fd_(o.fd),
      stream_(o.fd, std::move(name)) {
  if (!temp_.empty()) cleanup_slot_ = register_temporary(temp_.c_str());
}

output_file::~output_file() { abandon(); }

void output_file::abandon() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
  unregister_temporary(cleanup_slot_);
  cleanup_slot_ = -1;
}

void output_file::finish() {
  if (fd_ < 0) return;
  stream_.flush();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw io_error(name(), errno);
}

void output_file::publish() {
  if (!temp_.empty()) {
    if (::rename(temp_.c_str(), target_.c_str()) != 0) throw io_error(name(), errno);
    temp_.clear();
  }
  unregister_temporary(cleanup_slot_);
  cleanup_slot_ = -1;
}

void output_file::close() {
  finish();
  publish();
}

void close_together(std::initializer_list<std::reference_wrapper<output_file>> files) {
  for (output_file& f : files) f.finish();
  for (output_file& f : files) f.publish();
}

}  // namespace vmc
