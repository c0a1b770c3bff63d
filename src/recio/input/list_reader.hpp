// List-directed input: free-form values read from the records of a unit.
#pragma once

#include <cstdint>

#include "recio/input/record_input.hpp"
#include "recio/units/unit_record.hpp"

namespace tgram::recio {

// One list-directed read statement on `unit`. Each item call scans, converts
// and stores one value at once; finish() passes to the next record.
//
// Values are separated by blanks, tabs, record ends and at most one comma;
// "r*value" repeats a value, "r*" gives r null values, an empty value (two
// commas) leaves its item unchanged, and a slash ends the statement: every
// later item is left unchanged. Every failure raises a run-time error
// naming READ and the unit's file.
class ListReader {
 public:
  explicit ListReader(UnitRecord& unit) : input_(unit) {}

  void readInteger4(std::int32_t& place);
  void readReal4(float& place);
  // Ends the statement: the rest of the current record is passed over.
  void finish();

  // Longest value text that is converted; a longer one is not a number.
  static constexpr std::int32_t kValueTextMax = 259;

 private:
  enum class Form : std::uint8_t { Plain, Parenthesized, Quoted };

  void startIfNeeded();
  bool nextValue();
  void scan();
  bool separatorEndsValue(bool recordEnd);
  bool commaEndsValue();
  void takeRepeatCount();
  void scanQuoted(int mark);
  void appendPlainRun();
  void append(int c);
  bool requireNumber() const;

  RecordInput input_;
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

  // The current value; kept across elements, a repeated value is converted
  // again from it. Only the first kValueTextMax characters are stored.
  Form valueForm_ = Form::Plain;
  std::int32_t valueLength_ = 0;
  char valueText_[kValueTextMax + 1];
};

}  // namespace tgram::recio
