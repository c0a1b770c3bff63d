// The statement interface: every input and output of the program is a
// statement begun on a unit, fed its items in order, and ended.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "recio/format/format_control.hpp"
#include "recio/format/format_compiler.hpp"
#include "recio/output/items.hpp"
#include "recio/input/list_reader.hpp"
#include "recio/units/unit_table.hpp"

namespace tgram::recio {

class RecordIo {
 public:
  explicit RecordIo(UnitTable& units) : units_(units) {}

  int openUnit(std::int32_t unit, const OpenSpec& specifiers) { return units_.openUnit(unit, specifiers); }
  int closeUnit(std::int32_t unit, std::optional<std::string_view> status = std::nullopt) {
    return units_.closeUnit(unit, status);
  }

  // A write statement: list-directed without a format, formatted with one
  // (`formatLength` -1: the text ends at its first NUL byte). Items are
  // captured by value; the statement is carried out whole by endWrite.
  void beginWrite(std::int32_t unit);
  void beginWrite(std::int32_t unit, const char* formatText, std::int32_t formatLength = -1);
  void writeInteger4(std::int32_t value) { writeItems_.addInteger(ItemKind::Integer4, value); }
  void writeReal4(float value) { writeItems_.addReal4(value); }
  void writeCharacter(const char* text, std::int32_t length) {
    writeItems_.addCharacter(text, length);
  }
  void writeCharacter(std::string_view text) { writeItems_.addCharacter(text); }
  // Values for the "^" placeholders of formats, in their order.
  void setRuntimeCounts(std::initializer_list<std::int32_t> values) { runtimeCounts_.set(values); }
  void endWrite();

  // A list-directed read statement. Each item is read and stored at once.
  // `description` says what the statement reads, for its reports.
  void beginRead(std::int32_t unit, ReadDescription description = {});
  void readInteger4(std::int32_t& place) { reader().readInteger4(place); }
  void readReal4(float& place) { reader().readReal4(place); }
  // Where the value of the last item read began in the input.
  InputPlace placeOfLastValue() { return reader().placeOfLastValue(); }
  void endRead();
  // While on, each read statement notes at its end what it left unread in
  // its last record (ListReader::finishNotingLeftover), for checks of the
  // input; off by default.
  void noteLeftovers(bool on) { noteLeftovers_ = on; }
  // What the last read statement left unread, when noted.
  const std::optional<LeftoverValues>& leftoverOfLastRead() const { return leftover_; }

  UnitTable& units() { return units_; }

 private:
  struct WriteStatement {
    std::int32_t unit;
    const CompiledFormat* format;  // none: list-directed
  };

  ListReader& reader();

  UnitTable& units_;
  RuntimeCounts runtimeCounts_;
  std::optional<WriteStatement> write_;
  // The items of the write statement under way; its storage serves every
  // statement in turn.
  CapturedItems writeItems_;
  FormatCache formats_;
  std::optional<ListReader> read_;
  bool noteLeftovers_ = false;
  std::optional<LeftoverValues> leftover_;
};

}  // namespace tgram::recio
