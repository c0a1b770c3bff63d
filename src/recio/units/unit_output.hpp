// The output side of a unit: putting characters into its record buffer,
// ending records, and writing the buffer to the file or console.
#pragma once

#include <algorithm>

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

// A line end the console owes before a record: at most 8 characters, kept
// at the end of `bytes`, so that it is put in front of a record with one
// 8-byte move.
struct LineEnd {
  char bytes[8] = {};
  std::size_t size = 0;

  std::string_view text() const { return {bytes + sizeof bytes - size, size}; }
};

// The console's line end owed before a record, chosen by the record's first
// character (its carriage control).
LineEnd consoleLineEnd(bool lineEndOwed, char control);

// The records of one write statement on a unit. The sink opens its write
// window on the unit's buffer and keeps the unit's position while the
// statement runs: the unit learns where the record stands before anything
// else uses the buffer (a full buffer written out, a record ended, a
// condition raised). A statement ends with a record end or a condition,
// so the unit is up to date when the sink goes.
class UnitSink final : public RecordSink {
 public:
  // Opens the write window on the unit's buffer up to its end: a field
  // begun below the end may run into the spare bytes behind it (the
  // buffer stays in place for the statement).
  explicit UnitSink(UnitRecord& unit) : unit_(unit) {
    static_assert(UnitRecord::kSpillRoom >= 2 * kFieldStorage);
    openWindow(unit.buffer, unit.position, unit.bufferSize);
  }
  UnitSink(const UnitSink&) = delete;
  UnitSink& operator=(const UnitSink&) = delete;

  [[noreturn]] void fail(int number) override;

 protected:
  void finishRecord(std::int64_t owedBlanks) override;
  void putRun(std::int64_t blanks, const char* text, std::size_t length) override;
  void putBlanks(std::int64_t count) override;
  void putText(const char* text, std::size_t length) override;

 private:
  // The unit's position becomes the window's (the bytes the window put
  // are held output), and back. Between the two the unit's position is the
  // one that counts, also when a condition is raised there.
  void takeWindow() {
    if (taken_) return;
    taken_ = true;
    const std::int32_t at = windowPosition();
    if (at != unit_.position) {
      if (at >= unit_.bufferSize) [[unlikely]] return takeSpill(at);
      unit_.position = at;
      unit_.dirty = true;
    }
  }
  // The window ran to `at`, at or past the buffer's end: the full buffer
  // goes out as any full buffer does, and what lies past its end begins
  // the next one.
  [[gnu::cold, gnu::noinline]] void takeSpill(std::int32_t at);
  void giveWindow() {
    moveWindow(unit_.position);
    taken_ = false;
  }

  bool isConsole() const { return unit_.recordKind == RecordKind::Console; }
  // Makes room in a full buffer: a file writes it out; the console writes
  // the part of the record held so far.
  void drainFullBuffer();
  void writeConsolePiece(bool recordEnds);
  // The console's line end owed before a record whose first character is
  // `first` (its carriage control, unless the console lists).
  LineEnd owedLineEnd(char first) const {
    if (unit_.carriageControl == CarriageControl::List) return consoleLineEnd(unit_.outputPending, ' ');
    return consoleLineEnd(unit_.outputPending && !unit_.lineClosed, first);
  }

  UnitRecord& unit_;
  bool taken_ = false;
};

}  // namespace tgram::recio
