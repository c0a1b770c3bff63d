// A unit connected to a temporary file holding given bytes, for tests of
// reading.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "recio/units/unit_record.hpp"
#include "runtime/os.hpp"
#include "support/process.hpp"

namespace tgram::testing {

class InputFile {
 public:
  explicit InputFile(std::string_view bytes) {
    const std::string path = (dir_ / "input").string();
    writeFile(path, std::string(bytes));
    unit_.fileName = "ExpTgrams.txt";
    unit_.handle = runtime::os::openFile(path, runtime::os::Access::Read,
                                         runtime::os::Creation::Existing)
                       .handle;
    if (unit_.handle == runtime::os::kNoHandle) throw std::runtime_error("cannot open " + path);
    unit_.allocateBuffer(recio::kFileBufferSize);
  }
  ~InputFile() { runtime::os::close(unit_.handle); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  recio::UnitRecord& unit() { return unit_; }

 private:
  ScratchDir dir_;
  recio::UnitRecord unit_;
};

}  // namespace tgram::testing
