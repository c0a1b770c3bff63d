#include "runtime/rawio.hpp"

#include <unistd.h>

namespace tgram::runtime {

int writeBytes(int fd, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return EIO;
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace tgram::runtime
