#pragma once

#include <string>
#include <string_view>

namespace vmc {

// Writes all of data to descriptor fd, retrying after interruptions and
// partial writes; throws io_error naming `name` when the system refuses.
void write_all(int fd, std::string_view data, const std::string& name);

// Buffered text output to a descriptor that is already open (standard
// output), every write checked.
class text_stream {
 public:
  text_stream(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
  text_stream(const text_stream&) = delete;
  text_stream& operator=(const text_stream&) = delete;

  // The pending text; records are appended here.
  std::string& buffer() { return buffer_; }
  // Appends data, writing the buffer out once it is large.
  void write(std::string_view data);
  // Writes out everything pending.
  void flush();
  // Writes out the buffer once it has grown past a large block.
  void flush_if_full() {
    if (buffer_.size() >= block) flush();
  }
  const std::string& name() const { return name_; }

  static constexpr std::size_t block = 1 << 20;

 private:
  int fd_;
  std::string name_;
  std::string buffer_;
};

}  // namespace vmc
