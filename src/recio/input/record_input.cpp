#include "recio/input/record_input.hpp"

#include <cstring>

#include "recio/input/input_conditions.hpp"
#include "runtime/condition.hpp"
#include "runtime/os.hpp"

namespace tgram::recio {

void RecordInput::fail(int number) const {
  runtime::raiseRuntimeError(number, runtime::StatementKind::Read,
                             unit_.fileName);
}

// Fills the buffer from its start with up to bufferSize bytes. Reads until
// the block is full or the file has nothing more, so that a short block
// always means the end of the file.
std::int32_t RecordInput::readBlock() {
  std::int32_t filled = 0;
  while (filled < unit_.bufferSize) {
    const runtime::os::ReadResult got =
        runtime::os::read(unit_.handle, unit_.buffer.get() + filled,
                          static_cast<std::size_t>(unit_.bufferSize - filled));
    if (got.error != runtime::os::Error::None) fail(input::kReadFailed);
    if (got.count == 0) break;
    filled += static_cast<std::int32_t>(got.count);
  }
  return filled;
}

int RecordInput::refillAndTake() {
  char* const buffer = unit_.buffer.get();
  const std::int32_t count = readBlock();
  unit_.filePosition += count;
  if (count == 0 && (unit_.dataEndsWithLf || unit_.endLfSupplied)) fail(input::kEndOfFile);
  unit_.position = 0;
  unit_.lastIndex = count - 1;
  if (count > 0) unit_.dataEndsWithLf = buffer[count - 1] == '\n';
  // A short (or empty) block ends the file; a missing final line end goes
  // behind the bytes read, once (the buffer has one spare byte for this).
  if (count < unit_.bufferSize && !unit_.dataEndsWithLf && !unit_.endLfSupplied) {
    unit_.endLfSupplied = true;
    buffer[count] = '\n';
    unit_.lastIndex = count;
  }
  return static_cast<unsigned char>(buffer[unit_.position++]);
}

void RecordInput::advanceRecord() {
  for (;;) {
    if (unit_.position <= unit_.lastIndex) {
      char* const buffer = unit_.buffer.get();
      const auto rest = static_cast<std::size_t>(unit_.lastIndex - unit_.position + 1);
      const void* lf = std::memchr(buffer + unit_.position, '\n', rest);
      if (lf != nullptr) {
        unit_.position =
            static_cast<std::int32_t>(static_cast<const char*>(lf) - buffer) + 1;
        return;
      }
      unit_.position = unit_.lastIndex + 1;
    }
    if (take() == '\n') return;
  }
}

}  // namespace tgram::recio
