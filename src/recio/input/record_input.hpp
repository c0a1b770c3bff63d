// The record layer under list-directed input: characters taken one at a time
// from a unit's buffer, which is refilled from the file block by block.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "recio/input/input_report.hpp"
#include "recio/units/unit_record.hpp"
#include "runtime/condition.hpp"

namespace tgram::recio {

// Reads the records of a sequential formatted file. A record is the run of
// bytes up to and including the next LF; bytes are taken as they are, with
// no translation of line ends. A file whose last byte is not an LF gets one
// LF supplied behind it, so that its last line is still a whole record.
// On a unit that reads by line (a terminal), a short read is a whole record:
// an LF is supplied behind a line that lacks one, and only a read that
// returns nothing ends the file.
//
// The reading position lives in the unit, so a RecordInput can be made
// afresh for every statement. So does the count of lines: every LF passed
// ends a line, wherever it is passed (a CR is just a byte of its line).
class RecordInput {
 public:
  // `progress`, when given, is what the reports of a failed read or of the
  // end of the file say about the statement (it must outlive this object).
  // Conditions are raised on behalf of a statement of `kind`.
  explicit RecordInput(UnitRecord& unit, const ReadProgress* progress = nullptr,
                       runtime::StatementKind kind = runtime::StatementKind::Read)
      : unit_(unit), progress_(progress), kind_(kind) {}

  // The next byte (0..255). Raises 6500 when the file cannot be read and
  // 6501 when nothing is left.
  int take() {
    if (unit_.position > unit_.lastIndex) return refillAndTake();
    return static_cast<unsigned char>(unit_.buffer[unit_.position++]);
  }

  // Takes the next byte like take(), and counts the line it ends if it is
  // an LF: for passing over a byte wherever it may be.
  int takeCountingLines() {
    const int c = take();
    if (c == '\n') lineEndTaken();
    return c;
  }

  // The byte just taken is taken again next time.
  void putBack() { --unit_.position; }

  // The file offsets of the next byte and of the byte just taken: cheap
  // marks, turned into places by placeOf() while they lie in the line being
  // read or in the one before it.
  std::int64_t offsetOfNext() const { return unit_.bufferStart + unit_.position; }
  std::int64_t offsetOfLast() const { return offsetOfNext() - 1; }
  InputPlace placeOf(std::int64_t offset) const;
  InputPlace placeOfLast() const { return placeOf(offsetOfLast()); }

  // The bytes already in the buffer that have not been taken yet (possibly
  // none), and passing over the first `count` of them: a fast path for
  // taking runs of bytes.
  std::string_view buffered() const {
    if (unit_.position > unit_.lastIndex) return {};
    return {unit_.buffer + unit_.position,
            static_cast<std::size_t>(unit_.lastIndex + 1 - unit_.position)};
  }
  void skip(std::int32_t count) { unit_.position += count; }

  // Takes bytes until an LF has been taken (a CR before it goes with the
  // rest). Raises 6501 when the file ends first.
  void advanceRecord();

  // Raises condition `number` for the statement on this unit, with the
  // given message line.
  [[noreturn]] void fail(int number, std::string message) const;

 private:
  int refillAndTake();
  std::int32_t readBlock();
  // A failed read or the end of the file, said with the line and the
  // statement's progress.
  [[noreturn]] void failRecord(int number) const;
  // The LF at position - 1 has been passed: a new line begins after it.
  void lineEndTaken() {
    ++unit_.line;
    unit_.previousLineStart = unit_.lineStart;
    unit_.lineStart = offsetOfNext();
  }

  UnitRecord& unit_;
  const ReadProgress* progress_;
  runtime::StatementKind kind_;
};

}  // namespace tgram::recio
