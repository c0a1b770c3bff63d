// A unit connected to a temporary file holding given bytes, for tests of
// reading.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "recio/units/unit_record.hpp"

namespace tgram::testing {

class InputFile {
 public:
  explicit InputFile(std::string_view bytes) {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") +
            "/tgram-input-XXXXXX";
    const int fd = ::mkstemp(path_.data());
    if (fd < 0) throw std::runtime_error("cannot create " + path_);
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n <= 0) throw std::runtime_error("cannot write " + path_);
      done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    unit_.fileName = "ExpTgrams.txt";
    unit_.handle = ::open(path_.c_str(), O_RDONLY);
    if (unit_.handle < 0) throw std::runtime_error("cannot open " + path_);
    unit_.allocateBuffer(recio::kFileBufferSize);
  }
  ~InputFile() {
    ::close(unit_.handle);
    ::unlink(path_.c_str());
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  recio::UnitRecord& unit() { return unit_; }

 private:
  std::string path_;
  recio::UnitRecord unit_;
};

}  // namespace tgram::testing
