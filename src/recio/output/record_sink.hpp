// Where the editing engines put the characters of output records.
#pragma once

#include <cstdint>
#include <string_view>

namespace tgram::recio {

// The current output record of a write statement. Editing engines put runs
// of characters into it and end records; the unit behind it decides how a
// record is stored (a file appends CR LF, the console applies carriage
// control).
class RecordSink {
 public:
  virtual ~RecordSink() = default;

  // Blanks owed to the current record, written in front of the next
  // characters put into it.
  std::int64_t pendingBlanks = 0;

  // Writes the owed blanks, then `text`, and clears the owed blanks.
  void put(std::string_view text) {
    const std::int64_t blanks = pendingBlanks;
    pendingBlanks = 0;
    putRun(blanks, text.data(), text.size(), false);
  }

  // Bytes that may be read from the start of an edited field's storage,
  // whatever the field's length.
  static constexpr std::size_t kFieldStorage = 16;

  // As put, for the text of an edited field, whose storage holds at least
  // kFieldStorage bytes: a sink may copy a short text with fixed-size moves.
  void putField(std::string_view text) {
    const std::int64_t blanks = pendingBlanks;
    pendingBlanks = 0;
    putRun(blanks, text.data(), text.size(), true);
  }

  // Ends the current record; the next characters begin a new one. On a file
  // the blanks still owed are written before the record end; on the console
  // they are dropped. Owed blanks are cleared either way.
  virtual void endRecord() = 0;

  // Raises condition `number` for the write statement, naming the sink's
  // file. Never returns.
  [[noreturn]] virtual void fail(int number) = 0;

 protected:
  // Puts `blanks` blanks (none for 0 or less), then `length` characters;
  // with `fieldStorage`, kFieldStorage bytes from `text` may be read. One
  // call per field; a sink may do it at once.
  virtual void putRun(std::int64_t blanks, const char* text, std::size_t length,
                      bool fieldStorage) {
    (void)fieldStorage;
    if (blanks > 0) putBlanks(blanks);
    if (length > 0) putText(text, length);
  }
  virtual void putBlanks(std::int64_t count) = 0;
  virtual void putText(const char* text, std::size_t length) = 0;
};

}  // namespace tgram::recio
