// List-directed input: free-form values read from the records of a unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "recio/input/input_report.hpp"
#include "recio/input/real_text.hpp"
#include "recio/input/record_input.hpp"
#include "recio/units/unit_record.hpp"

namespace tgram::recio {

// What a read statement left unread in its last record: values after its
// last item (up to a slash, which ends the values of a record on purpose).
struct LeftoverValues {
  InputPlace place;          // where the first of them begins
  std::string text;          // the rest of the record from there, its first kShownTextMax bytes
  bool commaAfterValue = false;  // a value of the statement was ended by a comma right after it, as in 0,7
  std::int32_t repeatsLeft = 0;  // elements of an "r*value" still unused
};

// One list-directed read statement on `unit`. Each item call scans, converts
// and stores one value at once; finish() passes to the next record.
//
// Values are separated by blanks, tabs, record ends and at most one comma;
// "r*value" repeats a value, "r*" gives r null values, an empty value (two
// commas) leaves its item unchanged, and a slash ends the statement: every
// later item is left unchanged. Every failure raises a run-time error
// naming READ and the unit's file, and says where: the line and column of
// the value at fault and its text, or for a failed read or the end of the
// file, the line and what `description` says the statement reads.
class ListReader {
 public:
  explicit ListReader(UnitRecord& unit, ReadDescription description = {})
      : input_(unit, &progress_), description_(std::move(description)) {
    progress_.description = &description_;
  }
  // The record layer keeps a pointer to the progress.
  ListReader(const ListReader&) = delete;
  ListReader& operator=(const ListReader&) = delete;

  void readInteger4(std::int32_t& place);
  // The usual value is read in one pass (readPlainReal4), inline where the
  // reals are read; any other the general way.
  void readReal4(float& place) {
    if (started_ && repeatLeft_ == 0 && lastSeparator_ != '/' && readPlainReal4(place)) return;
    readOtherReal4(place);
  }
  // Ends the statement: the rest of the current record is passed over.
  void finish();
  // Ends the statement as finish() does, and says what the rest of the
  // record held, if anything but blanks, commas or a slash. Reads the rest
  // of the record byte by byte; the position reached is the same.
  std::optional<LeftoverValues> finishNotingLeftover();

  // Where the value given to the last element began (for a null value,
  // where its scan ended).
  InputPlace placeOfLastValue() const;

  // Longest value text that is converted; a longer one is not a number.
  static constexpr std::int32_t kValueTextMax = 259;

 private:
  enum class Form : std::uint8_t { Plain, Parenthesized, Quoted };

  void startIfNeeded();
  bool readPlainReal4(float& place);
  void readOtherReal4(float& place);
  bool nextValue();
  void scan();
  bool separatorEndsValue(bool recordEnd);
  bool commaEndsValue();
  void takeRepeatCount();
  void scanQuoted(int mark);
  void appendPlainRun();
  void append(int c);
  bool requireNumber() const;
  void markPlaced();
  void markNull();
  std::string_view keptText() const;
  [[noreturn]] void failValue(int number) const;
  [[noreturn]] void failCount(int number) const;

  // First, so that the scanner reaches it at no offset.
  RecordInput input_;
  ReadProgress progress_;
  ReadDescription description_;
  bool started_ = false;

  // What ended the previous value: ',', ' ' (also for tabs, record ends and
  // ")"), '/', or after a quoted value the character that followed it.
  char lastSeparator_ = ',';
  // Elements still to receive the current value without scanning.
  std::int32_t repeatLeft_ = 0;
  // A repeat count has been read in the scan under way.
  bool countGiven_ = false;
  // The record end that ended the last value has already been passed.
  bool endedAtRecordEnd_ = false;
  // A comma has ended a value right after its text.
  bool commaAfterValue_ = false;

  // The current value; kept across elements, a repeated value is converted
  // again from it. Only the first kValueTextMax characters are stored.
  Form valueForm_ = Form::Plain;
  std::int32_t valueLength_ = 0;
  char valueText_[kValueTextMax + 1];
  // Where the current value began. A plain value lies within one line: its
  // first byte's file offset is enough (marked cheaply for every value). A
  // parenthesized or quoted one may run over lines: its "(" or quote mark
  // is placed at once.
  std::int64_t valueStart_ = 0;
  InputPlace valuePlace_;
  // The first characters of a quoted value, kept in valueText_ only for
  // its report.
  std::int32_t quotedKept_ = 0;
  char quoteMark_ = '\'';
};

// The usual value, read in one pass over the buffer: blanks or tabs, then
// a plain mantissa (an optional sign and digits with at most one point,
// read by scanPlainMantissa as the general conversion reads it), ended by a
// blank or a tab, the whole value in the buffer and within the reach of the
// exact shortcut. It leaves the reader as scan() and the conversion would.
// Anything else (a record end, a comma, an exponent, a value across the
// buffer's end...) is left to them: false, with nothing taken.
inline bool ListReader::readPlainReal4(float& place) {
  const std::string_view bytes = input_.buffered();
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const char* p = begin;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  const char* const start = p;
  const PlainMantissa mantissa = scanPlainMantissa(p, end);
  p = mantissa.end;
  if (mantissa.written == 0 || p == end || (*p != ' ' && *p != '\t')) return false;
  RealConversion result;
  if (!exactMantissaToReal4(mantissa, 0, result) || result.error != 0) return false;

  // At most 21 characters: the value's text is kept whole, as scan() keeps
  // it (with one fixed-size copy when the buffer holds that much).
  valueForm_ = Form::Plain;
  countGiven_ = false;
  endedAtRecordEnd_ = false;
  valueLength_ = static_cast<std::int32_t>(p - start);
  constexpr std::ptrdiff_t kCopied = 32;
  static_assert(kValueTextMax >= kCopied);
  if (end - start >= kCopied) {
    std::memcpy(valueText_, start, kCopied);
  } else {
    std::memcpy(valueText_, start, static_cast<std::size_t>(valueLength_));
  }
  valueStart_ = input_.offsetOfNext() + (start - begin);
  lastSeparator_ = ' ';
  ++progress_.valuesGiven;
  input_.skip(static_cast<std::int32_t>(p + 1 - begin));  // the blank or tab too
  place = result.value;
  return true;
}

}  // namespace tgram::recio
