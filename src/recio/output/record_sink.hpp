// Where the editing engines put the characters of output records.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "recio/output/field_text.hpp"

namespace tgram::recio {

// The current output record of a write statement. Editing engines owe it
// blanks, put texts and edited fields into it and end records; the unit
// behind it decides how a record is stored (a file appends CR LF, the
// console applies carriage control).
//
// Every character reaches the record through one function (place): when
// the sink has opened a write window on a buffer of its own and the window
// has room, a field and the blanks in front of it go in with a few
// fixed-size copies; anything else goes through the sink's putRun.
class RecordSink {
 public:
  virtual ~RecordSink() = default;

  // Bytes that may be read from the start of an edited field's storage.
  static constexpr std::size_t kFieldStorage = FieldText::kReadable;
  // Owed blanks stop growing here, far beyond any record a disk can hold.
  static constexpr std::int64_t kMaxOwed = std::int64_t{1} << 48;

  // Blanks owed to the current record: written in front of the next
  // characters put into it.
  std::int64_t owed() const { return owed_; }
  // Owes `blanks` more (none for a negative count).
  void owe(std::int64_t blanks) {
    owed_ = std::min(owed_ + std::max<std::int64_t>(blanks, 0), kMaxOwed);
  }
  // Owes `blanks` (0 for a negative count) instead of what was owed.
  void setOwed(std::int64_t blanks) { owed_ = std::clamp<std::int64_t>(blanks, 0, kMaxOwed); }

  // Puts the owed blanks, then `text`.
  void put(std::string_view text) { place(text.data(), text.size(), false); }

  // Puts an edited field: the owed blanks, then `text` right-justified in
  // `width` columns. A text longer than the field, or one marked as
  // overflowing, shows as `width` asterisks instead, and the result is
  // false. A width of 0 or less makes the field as wide as its text (one
  // asterisk for an overflowing one).
  [[gnu::always_inline]] bool putField(const FieldText& text, std::int32_t width) {
    const std::int32_t length = text.length();
    if (text.overflow() || (width > 0 && length > width)) {
      putAsterisks(width > 0 ? width : 1);
      return false;
    }
    if (width > length) owed_ += width - length;
    place(text.data(), static_cast<std::size_t>(length), true);
    return true;
  }

  // What the writer of a run of fields (putFieldRun) does next.
  enum class RunStep {
    Field,      // the next field has been edited into the run's field
    EndRecord,  // the record is full: end it, then ask again
    Stop,       // the run is over
  };

  // Puts a run of edited fields straight into the write window, each after
  // `blanks` blanks and right-justified in `width` columns, as putField
  // would put them after owing `blanks`, and ends records between them:
  // `next()` edits the next field into `field` and returns Field, asks for
  // the record to end with EndRecord, or ends the run with Stop. When the
  // window has no room, the sink is asked to make some (putRun with
  // nothing to put); the run ends, before asking for the next field, when
  // it cannot. The run does not begin when blanks are owed, without a
  // window, or when a field and its blanks are wider than kFieldStorage;
  // the writer puts any other fields the usual way.
  template <typename Next>
  [[gnu::always_inline]] void putFieldRun(std::int64_t blanks, std::int32_t width,
                                          const FieldText& field, Next&& next) {
    if (owed_ != 0 || width <= 0 || blanks < 0 ||
        blanks + width > static_cast<std::int64_t>(kFieldStorage)) {
      return;
    }
    const std::int64_t span = blanks + width;
    for (;;) {
      char* const window = window_;
      const char* const limit = window + limit_;
      char* at = window + at_;
      RunStep step = RunStep::Stop;
      while (at < limit && (step = next()) == RunStep::Field) {
        const char* text = field.data();
        std::int32_t length = field.length();
        if (field.overflow() || length > width) [[unlikely]] {  // as putField shows it
          text = kStars;
          length = width;
        }
        copyField(at, span - length, text, static_cast<std::size_t>(length), true);
        at += span;
      }
      at_ = static_cast<std::int32_t>(at - window);
      if (at >= limit) {
        // The sink makes room if it can (a unit writes out its full buffer).
        putRun(0, nullptr, 0);
        if (at_ >= limit_) return;
        continue;
      }
      if (step != RunStep::EndRecord) return;
      finishRecord(0);
    }
  }

  // Ends the current record; the next characters begin a new one. What the
  // owed blanks become is the sink's choice: a file writes them before the
  // record end, the console drops them. Nothing is owed afterwards.
  void endRecord() {
    const std::int64_t blanks = owed_;
    owed_ = 0;
    finishRecord(blanks);
  }

  // Raises condition `number` for the write statement, naming the sink's
  // file. Never returns.
  [[noreturn]] virtual void fail(int number) = 0;

 protected:
  // A sink that holds its record in a buffer may open a write window on
  // it: characters then go into `buffer` at the window's position without
  // a call while the position is below `limit`; a field and its blanks
  // begun there may run up to 2 * kFieldStorage bytes further, which the
  // buffer must hold (the position may then lie beyond `limit`). The
  // buffer must stay in place while the window is open. The sink learns where the window stands with
  // windowPosition() before any other use of the buffer, and tells it
  // where to go on with moveWindow() after.
  void openWindow(char* buffer, std::int32_t position, std::int32_t limit) {
    window_ = buffer;
    at_ = position;
    limit_ = limit;
  }
  std::int32_t windowPosition() const { return at_; }
  void moveWindow(std::int32_t position) { at_ = position; }

  virtual void finishRecord(std::int64_t owedBlanks) = 0;
  // Puts `blanks` blanks (none for 0 or less), then `length` characters;
  // one call per text or field. A sink may do it at once.
  virtual void putRun(std::int64_t blanks, const char* text, std::size_t length) {
    if (blanks > 0) putBlanks(blanks);
    if (length > 0) putText(text, length);
  }
  virtual void putBlanks(std::int64_t count) = 0;
  virtual void putText(const char* text, std::size_t length) = 0;

 private:
  // Where characters go into the record: the owed blanks, then `length`
  // characters of `text`, through the write window when it has room (with
  // copyField), else through putRun. With `fieldStorage`, kFieldStorage
  // bytes may be read from `text`.
  [[gnu::always_inline]] void place(const char* text, std::size_t length, bool fieldStorage) {
    const std::int64_t blanks = owed_;
    owed_ = 0;
    if (at_ < limit_ && static_cast<std::uint64_t>(blanks) <= kFieldStorage &&
        length <= kFieldStorage) {
      copyField(window_ + at_, blanks, text, length, fieldStorage);
      at_ += static_cast<std::int32_t>(blanks + static_cast<std::int64_t>(length));
      return;
    }
    putRun(blanks, text, length);
  }

  // The one function that copies a field into the window: `blanks` (at
  // most kFieldStorage) blanks at `at`, then `length` (at most
  // kFieldStorage) characters, with a few fixed-size moves; the window has
  // room for 2 * kFieldStorage bytes there.
  [[gnu::always_inline]] static void copyField(char* at, std::int64_t blanks, const char* text,
                                               std::size_t length, bool fieldStorage) {
    std::memcpy(at, kBlanks, kFieldStorage);  // blanks beyond `blanks` are overwritten or unused
    at += blanks;
    if (fieldStorage) {
      // Two 8-byte moves, as the editing stores its texts: one 16-byte
      // load of two 8-byte stores just made would wait for them.
      std::memcpy(at, text, 8);
      std::memcpy(at + 8, text + 8, 8);
    } else if (length >= 8) {
      std::memcpy(at, text, 8);
      std::memcpy(at + length - 8, text + length - 8, 8);
    } else if (length >= 4) {
      std::memcpy(at, text, 4);
      std::memcpy(at + length - 4, text + length - 4, 4);
    } else {
      for (std::size_t i = 0; i < length; ++i) at[i] = text[i];
    }
  }

  void putAsterisks(std::int32_t width) {
    constexpr std::int32_t kChunk = sizeof kStars - 1;
    for (std::int32_t left = width; left > 0; left -= kChunk) {
      put(std::string_view(kStars, static_cast<std::size_t>(std::min(left, kChunk))));
    }
  }

  static constexpr char kBlanks[kFieldStorage + 1] = "                ";
  static constexpr char kStars[] = "****************************************************************";

  std::int64_t owed_ = 0;
  char* window_ = nullptr;
  std::int32_t at_ = 0;
  std::int32_t limit_ = 0;  // no window: 0, and the position never lies below it
};

}  // namespace tgram::recio
