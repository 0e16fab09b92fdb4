#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "output/record.h"
#include "output/text_stream.h"

namespace vmc {

// A data file that never shows a half-written state under its own name.
//
// Where the file system allows it (Linux O_TMPFILE: ext4, xfs, btrfs, tmpfs)
// the text goes to an unnamed file in the final name's directory. It gets a
// name only when it is published: linked to a hidden temporary name
// ".name.<pid>.tmp" and renamed over the final name, so the replacement is
// atomic. A process that dies before that, even by SIGKILL or a power cut,
// leaves nothing on disk.
//
// Where the file system refuses unnamed files the text goes to the hidden
// temporary ".name.<pid>.tmp" from the start, locked while it is written. A
// later run that writes the same name removes such a temporary when it can
// prove it abandoned (its process no longer exists and no one holds its lock,
// which a run on another machine sharing the directory would) and says so in
// one line on standard error.
//
// Either way a run that fails or is interrupted (SIGINT, SIGTERM, SIGHUP)
// leaves the previous run's file as it was and no temporary behind.
//
// A name that is a symbolic link replaces the link's target, and a name that
// is not a regular file (a device, a pipe) is written directly. A link of
// /proc to an open file (/dev/stdout, /dev/fd/3, a shell's >(...)) is written
// through, into the descriptor, and "-" is standard output. Every component
// of the path is resolved here, and each link is followed only where the
// kernel's protected_symlinks guard would follow it:
// outside a sticky, world-writable directory, or when the link belongs to the
// user running the program (effective uid) or to the directory's owner. A
// link planted there by anyone else is refused at open ("a symbolic link
// owned by another user; not followed") and nothing is touched. A new file
// gets mode 0666 less the umask; a replaced one keeps its permissions, and a
// read-only one (no write bit, whoever runs the program) is refused. A name
// longer than its directory takes is refused at open; the temporary of a
// name near that length is shortened. Every open, write, close, link and
// rename is checked and throws io_error naming the file.
//
// Test hook: VMC_OUTPUT_NO_TMPFILE=1 in the environment makes every file take
// the named-temporary path, as on a file system without O_TMPFILE.
class output_file {
 public:
  explicit output_file(std::string name);
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;
  ~output_file();

  std::string& buffer() { return stream_.buffer(); }
  void write(std::string_view data) { stream_.write(data); }
  void flush_if_full() { stream_.flush_if_full(); }
  // Writes out the rest, closes the file and puts it under its final name.
  void close();
  // Writes out the rest and closes the file, still under its temporary name.
  void finish();
  // Puts a finished file under its final name.
  void publish();
  const std::string& name() const { return stream_.name(); }

 private:
  struct opened {
    int fd;
    std::string target;
    std::string temp;
    bool unnamed;
  };
  static opened open_for_output(const std::string& name);
  output_file(opened o, std::string name);
  void link_temporary();
  void abandon() noexcept;

  std::string target_;  // the path the finished file is renamed to
  std::string temp_;    // its temporary name; empty when the file is written directly
  bool unnamed_;        // fd_ is an unnamed file that temp_ does not name yet
  int fd_ = -1;
  int cleanup_slot_ = -1;
  text_stream stream_;
};

// Closes files that belong together: all are written out and closed, in the
// given order, before any is put under its final name, so that a failure of
// one leaves every previous file of the set as it was.
void close_together(std::initializer_list<std::reference_wrapper<output_file>> files);

// Appends one list-directed record to a file or stream, writing the buffer
// out when it has grown large.
template <class Sink, class... Items>
void write_record(Sink& sink, const Items&... items) {
  append_record(sink.buffer(), items...);
  sink.flush_if_full();
}

}  // namespace vmc
