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
// The text goes to a temporary file beside the final one and close() renames
// it over the final name, so a run that fails or is interrupted leaves the
// previous run's file as it was and no temporary behind (the destructor
// removes it). A name that is a symbolic link replaces the link's target; a
// name that is not a regular file (a device, a pipe) is written directly.
// Every open, write, close and rename is checked and throws io_error naming
// the file.
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
  };
  static opened open_for_output(const std::string& name);
  output_file(opened o, std::string name);
  void abandon() noexcept;

  std::string target_;  // the path the finished file is renamed to
  std::string temp_;    // empty when the file is written directly
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
