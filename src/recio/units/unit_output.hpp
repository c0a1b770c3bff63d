// The output side of a unit: putting characters into its record buffer,
// ending records, and writing the buffer to the file or console.
#pragma once

#include "recio/output/record_sink.hpp"
#include "recio/units/unit_record.hpp"
#include "runtime/condition.hpp"
#include "runtime/os.hpp"

namespace tgram::recio {

// The condition for a write (or a change of the file's end) that the system
// refused with `error`: 6422 for a full disk, 6421 otherwise.
int writeFailureNumber(runtime::os::Error error);

// Gets a unit ready for a write statement. On a file whose last transfer was
// not output, the file's end is set at the current position first, so that
// older contents beyond it are cut off.
void beginUnitOutput(UnitRecord& unit);

// Gets a unit ready for a read statement: output still held is written and
// reading goes on from the current position.
void beginUnitInput(UnitRecord& unit);

// Writes the output held in a file unit's buffer. A failed write discards
// the held bytes (they cannot be written) and raises the condition for the
// system's reason on behalf of `kind`.
void flushUnitBuffer(UnitRecord& unit, runtime::StatementKind kind);

// The console's line end owed before a record, chosen by the record's first
// character (its carriage control).
std::string_view consoleLineEnd(bool lineEndOwed, char control);

// The records of one write statement on a unit.
class UnitSink final : public RecordSink {
 public:
  // Opens the write window on the unit's buffer, with the room the
  // window needs below its end (the buffer stays in place for the
  // statement).
  explicit UnitSink(UnitRecord& unit) : unit_(unit) {
    constexpr auto kRoom = static_cast<std::int32_t>(2 * kFieldStorage);
    if (unit.bufferSize > kRoom) {
      openWindow(unit.buffer, &unit.position, unit.bufferSize - kRoom, &unit.dirty);
    }
  }

  void endRecord() override;
  [[noreturn]] void fail(int number) override;

 protected:
  void putRun(std::int64_t blanks, const char* text, std::size_t length,
              bool fieldStorage) override;
  void putBlanks(std::int64_t count) override;
  void putText(const char* text, std::size_t length) override;

 private:
  bool isConsole() const { return unit_.recordKind == RecordKind::Console; }
  // Makes room in a full buffer: a file writes it out; the console writes
  // the part of the record held so far.
  void drainFullBuffer();
  void writeConsolePiece(bool recordEnds);
  // The console's line end owed before a record whose first character is
  // `first` (its carriage control, unless the console lists).
  std::string_view owedLineEnd(char first) const {
    if (unit_.carriageControl == CarriageControl::List) return unit_.outputPending ? "\r\n" : "";
    return consoleLineEnd(unit_.outputPending && !unit_.lineClosed, first);
  }

  UnitRecord& unit_;
};

}  // namespace tgram::recio
