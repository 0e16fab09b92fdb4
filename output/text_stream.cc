#include "output/text_stream.h"

#include <unistd.h>

#include <cerrno>

#include "output/io_error.h"

namespace vmc {

void write_all(int fd, std::string_view data, const std::string& name) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw io_error(name, errno);
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

void text_stream::write(std::string_view data) {
  if (buffer_.empty() && data.size() >= block) {
    write_all(fd_, data, name_);
    return;
  }
  buffer_.append(data);
  flush_if_full();
}

void text_stream::flush() {
  // The buffer is emptied even when the write fails, so that unwinding after
  // an error does not try the same write again.
  std::string pending;
  pending.swap(buffer_);
  write_all(fd_, pending, name_);
  pending.clear();
  buffer_.swap(pending);
}

}  // namespace vmc
