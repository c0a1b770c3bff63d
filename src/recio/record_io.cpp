#include "recio/record_io.hpp"

#include <utility>

#include "recio/output/list_output.hpp"
#include "recio/units/unit_output.hpp"

namespace tgram::recio {

using runtime::StatementKind;

namespace {

bool inRange(std::int32_t unit) {
  return (unit >= kMinUnit && unit <= kMaxUnit) || unit == kConsoleInputUnit ||
         unit == kConsoleOutputUnit;
}

// Formatted statements need a unit that stores text records.
void requireFormattedUnit(const UnitRecord& unit, StatementKind kind) {
  switch (unit.recordKind) {
    case RecordKind::Console:
    case RecordKind::SequentialFormatted:
    case RecordKind::DirectFormatted:
      return;
    default:
      runtime::raiseRuntimeError(6200, kind, unit.fileName);
  }
}

}  // namespace

void RecordIo::beginWrite(std::int32_t unit) {
  if (!inRange(unit)) runtime::raiseRuntimeError(6314, StatementKind::Write);
  writeItems_.clear();
  write_.emplace(WriteStatement{unit, nullptr});
}

void RecordIo::beginWrite(std::int32_t unit, const char* formatText, std::int32_t formatLength) {
  beginWrite(unit);
  write_->format = &formats_.get(formatText, formatLength);
}

void RecordIo::endWrite() {
  // The statement ends here whatever happens.
  const WriteStatement statement = *write_;
  write_.reset();
  UnitRecord& unit = units_.unitForWrite(statement.unit);
  requireFormattedUnit(unit, StatementKind::Write);
  beginUnitOutput(unit);
  UnitSink sink(unit);
  if (statement.format) {
    runFormattedWrite(*statement.format, writeItems_, runtimeCounts_, sink);
  } else {
    writeListDirected(writeItems_, sink);
  }
  unit.lineClosed = false;
}

void RecordIo::beginRead(std::int32_t unit, ReadDescription description) {
  if (!inRange(unit)) runtime::raiseRuntimeError(6314, StatementKind::Read);
  UnitRecord& record = units_.unitForRead(unit);
  requireFormattedUnit(record, StatementKind::Read);
  beginUnitInput(record);
  read_.emplace(record, std::move(description));
}

ListReader& RecordIo::reader() { return *read_; }

void RecordIo::endRead() {
  ListReader& current = *read_;
  if (noteLeftovers_) {
    leftover_ = current.finishNotingLeftover();
  } else {
    current.finish();
  }
  read_.reset();
}

}  // namespace tgram::recio
