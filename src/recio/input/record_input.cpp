#include "recio/input/record_input.hpp"

#include <cstring>
#include <utility>

#include "recio/input/input_conditions.hpp"
#include "runtime/condition.hpp"
#include "runtime/os.hpp"

namespace tgram::recio {

void RecordInput::fail(int number, std::string message) const {
  runtime::raiseRuntimeError(number, kind_, unit_.fileName, std::move(message));
}

void RecordInput::failRecord(int number) const {
  fail(number, recordFaultMessage(number, unit_.line,
                                  progress_ != nullptr ? *progress_ : ReadProgress{}));
}

InputPlace RecordInput::placeOf(std::int64_t offset) const {
  if (offset >= unit_.lineStart) return {unit_.line, offset - unit_.lineStart + 1};
  return {unit_.line - 1, offset - unit_.previousLineStart + 1};
}

// Fills the buffer from its start with up to bufferSize bytes. Reads until
// the block is full or the file has nothing more, so that a short block
// always means the end of the file; a unit that reads by line takes what
// one read gives.
std::int32_t RecordInput::readBlock() {
  std::int32_t filled = 0;
  while (filled < unit_.bufferSize) {
    const runtime::os::ReadResult got =
        runtime::os::read(unit_.handle, unit_.buffer + filled,
                          static_cast<std::size_t>(unit_.bufferSize - filled));
    if (got.error != runtime::os::Error::None) failRecord(input::kReadFailed);
    if (got.count == 0) break;
    filled += static_cast<std::int32_t>(got.count);
    if (unit_.readsByLine) break;
  }
  return filled;
}

int RecordInput::refillAndTake() {
  char* const buffer = unit_.buffer;
  const std::int32_t count = readBlock();
  unit_.filePosition += count;
  unit_.bufferStart = unit_.filePosition - count;
  if (count == 0 && (unit_.dataEndsWithLf || unit_.endLfSupplied)) failRecord(input::kEndOfFile);
  unit_.position = 0;
  unit_.lastIndex = count - 1;
  if (count > 0) unit_.dataEndsWithLf = buffer[count - 1] == '\n';
  if (unit_.readsByLine) {
    // The input goes on after a short line: its line end is supplied, and
    // only an empty read ends the file.
    if (!unit_.dataEndsWithLf && count < unit_.bufferSize) {
      buffer[count] = '\n';
      unit_.lastIndex = count;
      unit_.dataEndsWithLf = true;
    }
    return static_cast<unsigned char>(buffer[unit_.position++]);
  }
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
      char* const buffer = unit_.buffer;
      const auto rest = static_cast<std::size_t>(unit_.lastIndex - unit_.position + 1);
      const void* lf = std::memchr(buffer + unit_.position, '\n', rest);
      if (lf != nullptr) {
        unit_.position =
            static_cast<std::int32_t>(static_cast<const char*>(lf) - buffer) + 1;
        lineEndTaken();
        return;
      }
      unit_.position = unit_.lastIndex + 1;
    }
    if (takeCountingLines() == '\n') return;
  }
}

}  // namespace tgram::recio
