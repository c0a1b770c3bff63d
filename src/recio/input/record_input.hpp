// The record layer under list-directed input: characters taken one at a time
// from a unit's buffer, which is refilled from the file block by block.
#pragma once

#include <cstdint>
#include <string_view>

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
// afresh for every statement. Its conditions are raised on behalf of
// `kind`.
class RecordInput {
 public:
  explicit RecordInput(UnitRecord& unit,
                       runtime::StatementKind kind = runtime::StatementKind::Read)
      : unit_(unit), kind_(kind) {}

  // The next byte (0..255). Raises 6500 when the file cannot be read and
  // 6501 when nothing is left.
  int take() {
    if (unit_.position > unit_.lastIndex) return refillAndTake();
    return static_cast<unsigned char>(unit_.buffer[unit_.position++]);
  }

  // The byte just taken is taken again next time.
  void putBack() { --unit_.position; }

  // The bytes already in the buffer that have not been taken yet (possibly
  // none), and passing over the first `count` of them: a fast path for
  // taking runs of bytes.
  std::string_view buffered() const {
    if (unit_.position > unit_.lastIndex) return {};
    return {unit_.buffer.get() + unit_.position,
            static_cast<std::size_t>(unit_.lastIndex + 1 - unit_.position)};
  }
  void skip(std::int32_t count) { unit_.position += count; }

  // Takes bytes until an LF has been taken (a CR before it goes with the
  // rest). Raises 6501 when the file ends first.
  void advanceRecord();

  // Raises condition `number` for the read statement on this unit.
  [[noreturn]] void fail(int number) const;

 private:
  int refillAndTake();
  std::int32_t readBlock();

  UnitRecord& unit_;
  runtime::StatementKind kind_;
};

}  // namespace tgram::recio
