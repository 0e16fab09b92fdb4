#include "output/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "output/interrupt_cleanup.h"
#include "output/io_error.h"

namespace vmc {
namespace {

// The directory part of path with its closing slash ("" for a bare name), so
// that directory + name is a path again.
std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string base_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* as_directory(const std::string& dir) { return dir.empty() ? "." : dir.c_str(); }

// Whether the kernel's protected_symlinks guard lets this process follow a
// link (as lstat shows it) that lies in directory dir: in a directory that is
// both sticky and world-writable, only a link that belongs to the user
// running the program or to the directory's owner. Anyone may put a link into
// such a directory, and following theirs would let them choose which file
// this program replaces.
bool may_follow(const struct stat& link, const std::string& dir, const std::string& name) {
  struct stat d;
  if (::stat(as_directory(dir), &d) != 0) throw io_error(name, errno);
  const bool shared = (d.st_mode & S_ISVTX) && (d.st_mode & S_IWOTH);
  return !shared || link.st_uid == ::geteuid() || link.st_uid == d.st_uid;
}

struct resolved {
  std::string path;  // the name with every link in it followed
  bool exists = false;
  struct stat st {};  // of path, when it exists
  // path is a link of /proc to a file this process (or another) holds open,
  // such as /dev/stdout or /dev/fd/3: it is written through as it stands.
  bool open_file = false;
  int descriptor = -1;  // the descriptor of this process that path stands for
};

// The descriptor of this process that the link part of directory done
// (/proc/<pid>/fd/ or /proc/<pid>/task/<tid>/fd/) stands for, or -1.
int own_descriptor(const std::string& done, const std::string& part) {
  const std::string mine = "/proc/" + std::to_string(::getpid()) + "/";
  if (!done.starts_with(mine) || !done.ends_with("/fd/") || part.size() > 9 ||
      part.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  return std::stoi(part);
}

// Whether directory dir lies in /proc, whose links (/proc/self/fd/1) name
// open files, pipes and sockets rather than paths.
bool in_proc(const std::string& dir) {
  struct statfs fs;
  return ::statfs(as_directory(dir), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// The directory above resolved, a path without links that is "" (the working
// directory), ends with '/' or is made of "../" steps.
std::string parent_of(const std::string& done) {
  if (done == "/") return done;
  if (done.empty() || done.ends_with("../") || done == "..") return done + "../";
  const std::size_t slash = done.rfind('/', done.size() - 2);
  return slash == std::string::npos ? "" : done.substr(0, slash + 1);
}

// Follows every link in name, in every component and one at a time, so that
// each is judged by may_follow in the directory that holds it, as the
// kernel's own guard judges every component. A link at the end whose
// destination is missing resolves to the link itself, which the new file then
// replaces.
resolved follow_links(const std::string& name) {
  // The components still to walk, the next one last.
  std::vector<std::string> pending;
  auto push = [&pending](const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
      std::size_t slash = path.find('/', start);
      if (slash == std::string::npos) slash = path.size();
      if (slash > start) parts.push_back(path.substr(start, slash - start));
      start = slash + 1;
    }
    pending.insert(pending.end(), parts.rbegin(), parts.rend());
  };
  push(name);
  std::string done = !name.empty() && name.front() == '/' ? "/" : "";
  std::string dangling;  // the link at the end that the user named, once seen
  int links = 0;
  while (!pending.empty()) {
    const std::string part = pending.back();
    pending.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      done = parent_of(done);
      continue;
    }
    const std::string path = done + part;
    const bool last = pending.empty();
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
      if (last && errno == ENOENT) return {dangling.empty() ? path : dangling, false, {}};
      throw io_error(name, errno);
    }
    if (!S_ISLNK(st.st_mode)) {
      if (last) return {path, true, st};
      // "file/../x" names nothing, as the kernel says.
      if (!S_ISDIR(st.st_mode)) throw io_error(name, ENOTDIR);
      done = path + "/";
      continue;
    }
    if (++links > 40) throw io_error(name, ELOOP);
    if (!may_follow(st, done, name)) {
      throw io_error(name, "a symbolic link owned by another user; not followed");
    }
    if (last && in_proc(done)) {
      struct stat to;
      if (::stat(path.c_str(), &to) != 0) throw io_error(name, errno);
      return {path, true, to, true, own_descriptor(done, part)};
    }
    if (last && dangling.empty()) dangling = path;
    char to[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), to, sizeof to);
    if (n < 0) throw io_error(name, errno);
    if (n == static_cast<ssize_t>(sizeof to)) throw io_error(name, ENAMETOOLONG);
    const std::string link(to, static_cast<std::size_t>(n));
    if (link.front() == '/') done.assign(1, '/');
    push(link);
  }
  // A name of directories only ("/", "..") is no file to replace.
  struct stat st;
  const std::string path = done.empty() ? "." : done;
  if (::stat(path.c_str(), &st) != 0) throw io_error(name, errno);
  return {path, true, st};
}

// The longest name the directory takes (255 on Linux's file systems).
std::size_t longest_name(const std::string& dir) {
  const long n = ::pathconf(as_directory(dir), _PC_NAME_MAX);
  return n > 0 ? static_cast<std::size_t>(n) : NAME_MAX;
}

// The part of a temporary's name ".stem.<pid>.tmp" that stands for base. A
// base too long to leave room for the rest keeps its beginning (cut where a
// UTF-8 character starts) and a hash of the whole, so that every legal name
// gets a legal temporary and two long names of one directory get two.
std::string temporary_stem(const std::string& dir, const std::string& base) {
  const std::size_t room = longest_name(dir) - std::string_view("...4294967295tmp").size();
  if (base.size() <= room) return base;
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const char c : base) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  char tail[16];
  std::snprintf(tail, sizeof tail, "~%08x", static_cast<unsigned>(hash));
  std::size_t keep = room - std::strlen(tail);
  while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
  return base.substr(0, keep) + tail;
}

std::string temporary_name(const std::string& dir, const std::string& base, pid_t pid) {
  return dir + "." + temporary_stem(dir, base) + "." + std::to_string(pid) + ".tmp";
}

// A temporary ".base.<pid>.tmp" is abandoned when its process no longer
// exists here and no one holds the lock its writer keeps on it: a process of
// another machine or container that shares the directory has a pid that means
// nothing here, but its lock is seen. Such temporaries are left by runs killed
// outright; each one removed is reported on standard error.
void remove_abandoned_temporaries(const std::string& dir, const std::string& base) {
  DIR* d = ::opendir(as_directory(dir));
  if (d == nullptr) return;  // the open that follows reports a real problem
  std::string prefix(1, '.');
  prefix += temporary_stem(dir, base);
  prefix += '.';
  const std::string suffix = ".tmp";
  while (const dirent* e = ::readdir(d)) {
    const std::string entry = e->d_name;
    if (entry.size() <= prefix.size() + suffix.size() ||
        entry.compare(0, prefix.size(), prefix) != 0 ||
        entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    const std::string digits =
        entry.substr(prefix.size(), entry.size() - prefix.size() - suffix.size());
    if (digits.size() > 9 || digits.front() == '0' ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;

    const int fd = ::openat(::dirfd(d), entry.c_str(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held, now;
    const bool same = ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
                      ::fstatat(::dirfd(d), entry.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                      held.st_dev == now.st_dev && held.st_ino == now.st_ino;
    // A shared lock is refused while the writer holds its exclusive one. A
    // file system without locks leaves the process check as the proof.
    const bool unlocked = ::flock(fd, LOCK_SH | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    if (same && unlocked && ::unlinkat(::dirfd(d), entry.c_str(), 0) == 0) {
      const std::string line = program_name() + ": removed " + dir +
                               entry + ", left by process " + digits + " that no longer runs\n";
      // A notice that cannot be shown changes nothing about the run.
      [[maybe_unused]] const ssize_t w = ::write(2, line.data(), line.size());
    }
    ::close(fd);
  }
  ::closedir(d);
}

// An unnamed file in dir, or -1 where the file system refuses one or it
// could not be given a name later through /proc/self/fd.
int open_unnamed(const std::string& dir) {
  const char* hook = std::getenv("VMC_OUTPUT_NO_TMPFILE");
  if (hook != nullptr && std::strcmp(hook, "1") == 0) return -1;
  const int fd = ::open(as_directory(dir), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  struct stat via_proc, direct;
  if (::stat(self.c_str(), &via_proc) != 0 || ::fstat(fd, &direct) != 0 ||
      via_proc.st_ino != direct.st_ino || via_proc.st_dev != direct.st_dev) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

output_file::opened output_file::open_for_output(const std::string& name) {
  if (name == "-") {
    // Standard output, written through a descriptor of its own that closing
    // the file does not take from the rest of the program.
    const int fd = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
    if (fd < 0) throw io_error("standard output", errno);
    return {fd, name, "", false};
  }
  const resolved r = follow_links(name);
  if (r.open_file) {
    // /dev/stdout, /dev/fd/N, a shell's >(...): a file held open, the pipe,
    // socket or terminal someone reads. One of this process's descriptors
    // is written as it is, sharing its place in the file, even where the
    // file itself could not be opened again (a socket, another user's pipe).
    // Another process's is opened and written after what it holds.
    const int fd = r.descriptor >= 0
                       ? ::fcntl(r.descriptor, F_DUPFD_CLOEXEC, 3)
                       : ::open(r.path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw io_error(name, errno);
    return {fd, name, "", false};
  }
  if (r.exists && !S_ISREG(r.st.st_mode)) {
    // A device or a pipe cannot be replaced by renaming; write through it.
    const int fd = ::open(r.path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw io_error(name, errno);
    return {fd, name, "", false};
  }

  // A file its owner made read-only is not replaced behind their back, not
  // even by root, whom access() lets write anything: as rm and cp, the mode
  // bits are asked.
  if (r.exists && ::access(r.path.c_str(), W_OK) != 0) throw io_error(name, errno);
  if (r.exists && (r.st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    throw io_error(name, EACCES);
  }

  const std::string dir = directory_of(r.path);
  const std::string base = base_of(r.path);
  // A name the directory cannot hold is refused before the run, not after.
  if (base.size() > longest_name(dir)) throw io_error(name, ENAMETOOLONG);
  const std::string temp = temporary_name(dir, base, ::getpid());
  remove_abandoned_temporaries(dir, base);

  // Any refusal of an unnamed file, including one that only means the
  // directory is unusable, is left to the named temporary to report in the
  // usual words.
  int fd = open_unnamed(dir);
  const bool unnamed = fd >= 0;
  if (!unnamed) {
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
      // Left by an earlier process with our pid that was killed outright.
      ::unlink(temp.c_str());
      fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    }
    if (fd < 0) throw io_error(name, errno);
  }
  // The lock tells a run that looks for abandoned temporaries that this one is
  // alive. Where the file system has no locks the process check stands alone.
  ::flock(fd, LOCK_EX | LOCK_NB);
  // The new file keeps the permissions of the one it replaces.
  if (r.exists && ::fchmod(fd, r.st.st_mode & 07777) != 0) {
    const int err = errno;
    ::close(fd);
    if (!unnamed) ::unlink(temp.c_str());
    throw io_error(name, err);
  }
  return {fd, r.path, temp, unnamed};
}

output_file::output_file(std::string name)
    : output_file(open_for_output(name), name == "-" ? "standard output" : name) {}

output_file::output_file(opened o, std::string name)
    : target_(std::move(o.target)),
      temp_(std::move(o.temp)),
      unnamed_(o.unnamed),
      fd_(o.fd),
      stream_(o.fd, std::move(name)) {
  if (!temp_.empty() && !unnamed_) cleanup_slot_ = register_temporary(temp_.c_str());
}

output_file::~output_file() { abandon(); }

void output_file::abandon() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty() && !unnamed_) ::unlink(temp_.c_str());
  temp_.clear();
  unregister_temporary(cleanup_slot_);
  cleanup_slot_ = -1;
}

void output_file::link_temporary() {
  // Registered before the name exists, so that an interruption cannot fall
  // between the two and leave the name behind.
  cleanup_slot_ = register_temporary(temp_.c_str());
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  auto link = [&] {
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp_.c_str(), AT_SYMLINK_FOLLOW) == 0;
  };
  bool linked = link();
  if (!linked && errno == EEXIST) {
    // Left by an earlier process with our pid that was killed outright.
    ::unlink(temp_.c_str());
    linked = link();
  }
  if (!linked) throw io_error(name(), errno);
  unnamed_ = false;
}

void output_file::finish() {
  if (fd_ < 0) return;
  stream_.flush();
  if (unnamed_) {
    link_temporary();
  } else {
    // A temporary that lost its name (its directory was removed) could not
    // be renamed later; finding out now keeps the set's earlier files as
    // they were.
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw io_error(name(), errno);
    if (st.st_nlink == 0) throw io_error(name(), ENOENT);
  }
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
