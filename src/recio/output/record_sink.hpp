// Where the editing engines put the characters of output records.
#pragma once

#include <cstdint>
#include <cstring>
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
  // A field with up to kFieldStorage owed blanks goes straight into the
  // sink's write window when the window has room for both with a spare
  // kFieldStorage bytes; anything else through putRun.
  void putField(std::string_view text) {
    const std::int64_t blanks = pendingBlanks;
    pendingBlanks = 0;
    if (windowPosition_ != nullptr && static_cast<std::uint64_t>(blanks) <= kFieldStorage &&
        text.size() <= kFieldStorage && *windowPosition_ < windowLimit_) {
      char* at = windowBuffer_ + *windowPosition_;
      std::memcpy(at, kBlankStorage, kFieldStorage);  // blanks beyond `blanks` are overwritten or unused
      at += blanks;
      std::memcpy(at, text.data(), 8);
      std::memcpy(at + 8, text.data() + 8, 8);
      *windowPosition_ += static_cast<std::int32_t>(blanks + static_cast<std::int64_t>(text.size()));
      *windowDirty_ = true;
      return;
    }
    putRun(blanks, text.data(), text.size(), true);
  }

  // Whether the sink has opened a write window.
  bool hasWindow() const { return windowPosition_ != nullptr; }

  // The write window as a place to put many fields in a row without a call
  // or a look at the sink per field: a field goes at `at` while `at` is
  // below `limit`, as putField would put it (at most kFieldStorage blanks,
  // then kFieldStorage bytes copied from the field's storage, `at` moving
  // past the blanks and the text). Without a window both are null. The
  // owed blanks must be none before the first field; endFieldRun gives the
  // sink the place after the last one.
  struct FieldRun {
    char* at;
    const char* limit;
  };
  FieldRun beginFieldRun() const {
    if (windowPosition_ == nullptr) return {nullptr, nullptr};
    return {windowBuffer_ + *windowPosition_, windowBuffer_ + windowLimit_};
  }
  void endFieldRun(const char* at) {
    *windowPosition_ = static_cast<std::int32_t>(at - windowBuffer_);
    *windowDirty_ = true;
  }
  // kFieldStorage blanks, for filling the front of a field's place.
  static constexpr char kBlankStorage[kFieldStorage + 1] = "                ";

  // Ends the current record; the next characters begin a new one. On a file
  // the blanks still owed are written before the record end; on the console
  // they are dropped. Owed blanks are cleared either way.
  virtual void endRecord() = 0;

  // Raises condition `number` for the write statement, naming the sink's
  // file. Never returns.
  [[noreturn]] virtual void fail(int number) = 0;

 protected:
  // A sink that holds its record in a buffer may open a write window on it:
  // fields are then copied into `buffer` at `*position` without a call, as
  // long as `*position` is below `limit`, which must be at most the
  // buffer's size less 2 * kFieldStorage; `*dirty` is set after each such
  // copy. The
  // buffer must stay in place while the window is open.
  void openWindow(char* buffer, std::int32_t* position, std::int32_t limit, bool* dirty) {
    windowBuffer_ = buffer;
    windowPosition_ = position;
    windowLimit_ = limit;
    windowDirty_ = dirty;
  }

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

 private:
  char* windowBuffer_ = nullptr;
  std::int32_t* windowPosition_ = nullptr;
  std::int32_t windowLimit_ = 0;
  bool* windowDirty_ = nullptr;
};

}  // namespace tgram::recio
