#include "recio/units/unit_output.hpp"

#include <algorithm>
#include <cstring>

namespace tgram::recio {

using runtime::StatementKind;
namespace os = runtime::os;

int writeFailureNumber(os::Error error) {
  switch (error) {
    case os::Error::NoSpace:
    case os::Error::TooLarge:
      return 6422;
    default:
      return 6421;
  }
}

namespace {

// Offset in the file of the next character to transfer while the buffer
// holds data read from the file.
std::int64_t readingOffset(const UnitRecord& unit) {
  const std::int64_t unread = std::max<std::int64_t>(
      0, static_cast<std::int64_t>(unit.lastIndex) + 1 - unit.position);
  return unit.filePosition - unread;
}

}  // namespace

void flushUnitBuffer(UnitRecord& unit, StatementKind kind) {
  if (!unit.dirty) return;
  const std::int32_t held = unit.position;
  unit.position = 0;
  unit.dirty = false;
  if (held == 0) return;
  const os::Error error = os::writeAll(
      unit.handle, std::string_view(unit.buffer, static_cast<std::size_t>(held)));
  if (error != os::Error::None) runtime::raiseRuntimeError(writeFailureNumber(error), kind, unit.fileName);
  unit.filePosition += held;
}

void beginUnitOutput(UnitRecord& unit) {
  if (unit.recordKind == RecordKind::Console) {
    // Every write statement begins a new record, also after one that was
    // abandoned halfway.
    unit.position = 0;
    unit.midRecord = false;
    unit.dirty = false;
    unit.lastIndex = unit.bufferSize - 1;
    return;
  }
  if (!unit.outputPending) {
    if (unit.action == Action::Read) {
      runtime::raiseRuntimeError(6421, StatementKind::Write, unit.fileName);
    }
    // Output starts where reading stopped; whatever follows is cut off.
    const std::int64_t offset = readingOffset(unit);
    if (unit.lastIndex >= 0) {
      const os::Error sought = os::seekTo(unit.handle, offset).error;
      if (sought != os::Error::None && sought != os::Error::NotSeekable) {
        runtime::raiseRuntimeError(6421, StatementKind::Write, unit.fileName);
      }
    }
    if (os::isRegularFile(unit.handle)) {
      const os::Error cut = os::truncate(unit.handle, offset);
      if (cut != os::Error::None) {
        runtime::raiseRuntimeError(writeFailureNumber(cut), StatementKind::Write, unit.fileName);
      }
    }
    unit.filePosition = offset;
    unit.position = 0;
    unit.outputPending = true;
  }
  unit.lastIndex = unit.bufferSize - 1;
}

void beginUnitInput(UnitRecord& unit) {
  if (unit.recordKind == RecordKind::Console || !unit.outputPending) return;
  flushUnitBuffer(unit, StatementKind::Read);
  unit.outputPending = false;
  unit.position = 0;
  unit.lastIndex = -1;
}

namespace {

constexpr LineEnd lineEndOf(std::string_view text) {
  LineEnd end;
  end.size = text.size();
  for (std::size_t i = 0; i < text.size(); ++i) end.bytes[sizeof end.bytes - text.size() + i] = text[i];
  return end;
}

static_assert(sizeof LineEnd{}.bytes <= UnitRecord::kLineEndRoom);

constexpr LineEnd kNoLineEnd{};
constexpr LineEnd kCrLf = lineEndOf("\r\n");

}  // namespace

LineEnd consoleLineEnd(bool lineEndOwed, char control) {
  static constexpr LineEnd kCr = lineEndOf("\r");
  static constexpr LineEnd kNewPage = lineEndOf("\r\n\f\r \r");
  static constexpr LineEnd kBlankLine = lineEndOf("\r\n\r\n");
  switch (control) {
    case '+': return kCr;
    case '1': return kNewPage;
    case '0': return lineEndOwed ? kBlankLine : kCrLf;
    default: return lineEndOwed ? kCrLf : kNoLineEnd;
  }
}

// Whatever does not go into the window goes here, with the unit's
// position brought up to date around it.
void UnitSink::putRun(std::int64_t blanks, const char* text, std::size_t length) {
  takeWindow();
  RecordSink::putRun(blanks, text, length);
  giveWindow();
}

// Characters go into the buffer; a buffer that becomes full is written out
// at once and filling goes on at its start.
void UnitSink::putBlanks(std::int64_t count) {
  while (count > 0) {
    const std::int64_t room = unit_.bufferSize - unit_.position;
    const std::int32_t n = static_cast<std::int32_t>(std::min(count, room));
    std::memset(unit_.buffer + unit_.position, ' ', static_cast<std::size_t>(n));
    unit_.position += n;
    unit_.dirty = true;
    count -= n;
    if (unit_.position == unit_.bufferSize) drainFullBuffer();
  }
}

void UnitSink::putText(const char* text, std::size_t length) {
  while (length > 0) {
    const std::size_t room = static_cast<std::size_t>(unit_.bufferSize - unit_.position);
    const std::size_t n = std::min(length, room);
    std::memcpy(unit_.buffer + unit_.position, text, n);
    unit_.position += static_cast<std::int32_t>(n);
    unit_.dirty = true;
    text += n;
    length -= n;
    if (unit_.position == unit_.bufferSize) drainFullBuffer();
  }
}

void UnitSink::takeSpill(std::int32_t at) {
  char spill[UnitRecord::kSpillRoom];
  const auto length = static_cast<std::size_t>(at - unit_.bufferSize);
  std::memcpy(spill, unit_.buffer + unit_.bufferSize, length);
  unit_.position = unit_.bufferSize;
  unit_.dirty = true;
  drainFullBuffer();
  if (length == 0) return;
  std::memcpy(unit_.buffer, spill, length);
  unit_.position = static_cast<std::int32_t>(length);
  unit_.dirty = true;
}

void UnitSink::drainFullBuffer() {
  if (isConsole()) {
    writeConsolePiece(false);
  } else {
    flushUnitBuffer(unit_, StatementKind::Write);
  }
}

// Writes what the console buffer holds of the current record. The first
// piece of a record is preceded by the line end owed for the line before
// and loses its first character, which is carriage control. The line end
// goes into the room in front of the piece, so the piece goes out with it
// in one write, uncopied.
void UnitSink::writeConsolePiece(bool recordEnds) {
  UnitRecord& u = unit_;
  char* start = u.buffer;
  std::size_t length = static_cast<std::size_t>(u.position);
  if (!u.midRecord) {
    if (length == 0 && recordEnds) {  // an empty record is an empty line
      *start = ' ';
      length = 1;
    }
    const LineEnd lineEnd = owedLineEnd(length > 0 ? *start : ' ');
    if (u.carriageControl != CarriageControl::List && length > 0) {
      ++start;
      --length;
    }
    // Into the room in front of the buffer (what it puts before the line
    // end is not written).
    std::memcpy(start - sizeof lineEnd.bytes, lineEnd.bytes, sizeof lineEnd.bytes);
    start -= lineEnd.size;
    length += lineEnd.size;
  }
  // A console that cannot be written loses the text; the run goes on.
  os::writeAll(u.handle, std::string_view(start, length));
  u.position = 0;
  u.dirty = false;
  u.midRecord = !recordEnds;
  u.outputPending = true;
}

void UnitSink::finishRecord(std::int64_t owedBlanks) {
  takeWindow();
  if (isConsole()) {
    writeConsolePiece(true);
  } else {
    if (owedBlanks > 0) putBlanks(owedBlanks);
    putText("\r\n", 2);
  }
  giveWindow();
}

void UnitSink::fail(int number) {
  takeWindow();
  runtime::raiseRuntimeError(number, StatementKind::Write, unit_.fileName);
}

}  // namespace tgram::recio
