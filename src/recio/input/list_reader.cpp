#include "recio/input/list_reader.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "recio/input/input_conditions.hpp"
#include "recio/input/integer_text.hpp"
#include "recio/input/real_text.hpp"

namespace tgram::recio {

namespace {

// Bytes of storage of the integer and real items read here; a quoted value
// counts at most this many characters.
constexpr std::int32_t kElementSize = 4;

// What a character that follows a quoted value leaves as the separator:
// blanks, tabs and record ends all count as a blank.
char separatorAfterQuote(int c) {
  if (c == ' ' || c == '\t' || c == '\r' || c == '\n') return ' ';
  return static_cast<char>(c);
}

// Bytes that the scanner only appends to the value, whatever its state.
constexpr auto kPlainBytes = [] {
  std::array<bool, 256> plain{};
  plain.fill(true);
  for (const unsigned char c : std::string_view(" \t\r\n()'\"*,/")) {
    plain[c] = false;
  }
  return plain;
}();

}  // namespace

void ListReader::readInteger4(std::int32_t& place) {
  if (!nextValue() || valueLength_ == 0) return markNull();
  if (!requireNumber()) failValue(input::kNotANumber);
  if (valueLength_ > kValueTextMax) failValue(input::kInvalidInteger);
  const IntegerConversion result = convertInteger(
      std::string_view(valueText_, static_cast<std::size_t>(valueLength_)));
  if (result.error != 0) failValue(result.error);
  place = result.value;
}

// What readReal4 did not take in one pass: the first value of a statement
// (tried in one pass here, once the statement has begun), or any value the
// one-pass reading left to the general way.
void ListReader::readOtherReal4(float& place) {
  if (!started_) {
    startIfNeeded();
    if (readPlainReal4(place)) return;
  }
  if (!nextValue() || valueLength_ == 0) return markNull();
  if (!requireNumber()) failValue(input::kNotANumber);
  if (valueLength_ > kValueTextMax) failValue(input::kInvalidReal);
  const RealConversion result = convertReal4(
      std::string_view(valueText_, static_cast<std::size_t>(valueLength_)));
  if (result.error != 0) failValue(result.error);
  place = result.value;
}

InputPlace ListReader::placeOfLastValue() const {
  return valueForm_ == Form::Plain ? input_.placeOf(valueStart_) : valuePlace_;
}

// A value that begins with "(" or a quote mark, at the byte just taken.
void ListReader::markPlaced() { valuePlace_ = input_.placeOfLast(); }

// A null value, or none after a slash, is found where the scan ended.
void ListReader::markNull() { valueStart_ = input_.offsetOfLast(); }

// The value's text as far as it was stored.
std::string_view ListReader::keptText() const {
  return {valueText_, static_cast<std::size_t>(std::min(valueLength_, kValueTextMax))};
}

// A fault of the current value: its text as it stood in the input (a
// parenthesized one without its blanks), and where it began.
void ListReader::failValue(int number) const {
  const bool tooLong = valueLength_ > kValueTextMax;
  std::string text;
  switch (valueForm_) {
    case Form::Plain:
      text = keptText();
      break;
    case Form::Parenthesized:
      text = "(";
      text += keptText();
      if (!tooLong) text += ')';
      break;
    case Form::Quoted:
      text.assign(1, quoteMark_);
      text.append(valueText_, static_cast<std::size_t>(quotedKept_));
      text += quoteMark_;
      break;
  }
  input_.fail(number,
              valueFaultMessage(number, text, tooLong ? kValueTextMax : 0, placeOfLastValue()));
}

// A fault of a repeat count: its text with its "*", and where it began (a
// "*" without a count: where the "*" stands).
void ListReader::failCount(int number) const {
  if (valueLength_ == 0) {
    input_.fail(number, valueFaultMessage(number, "*", 0, input_.placeOfLast()));
  }
  const bool tooLong = valueLength_ > kValueTextMax;
  std::string text(keptText());
  if (!tooLong) text += '*';
  input_.fail(number,
              valueFaultMessage(number, text, tooLong ? kValueTextMax : 0, placeOfLastValue()));
}

void ListReader::finish() {
  startIfNeeded();
  if (!endedAtRecordEnd_) input_.advanceRecord();
}

std::optional<LeftoverValues> ListReader::finishNotingLeftover() {
  startIfNeeded();
  std::optional<LeftoverValues> left;
  if (repeatLeft_ > 0) {
    left = LeftoverValues{placeOfLastValue(), std::string(keptText()), commaAfterValue_, repeatLeft_};
  }
  if (endedAtRecordEnd_) return left;
  if (lastSeparator_ != '/') {
    int c = input_.take();
    while (c == ' ' || c == '\t' || c == ',') c = input_.take();
    if (c != '\r' && c != '\n' && c != '/') {
      if (!left) left = LeftoverValues{input_.placeOfLast(), {}, commaAfterValue_, 0};
      std::string text;
      for (; c != '\r' && c != '\n'; c = input_.take()) {
        if (text.size() < kShownTextMax) text += static_cast<char>(c);
      }
      if (left->text.empty()) left->text = std::move(text);
    }
    input_.putBack();  // the line end, which advanceRecord passes and counts
  }
  input_.advanceRecord();
  return left;
}

void ListReader::startIfNeeded() {
  if (started_) return;
  started_ = true;
  lastSeparator_ = ',';
  repeatLeft_ = 0;
  endedAtRecordEnd_ = false;
}

bool ListReader::requireNumber() const { return valueForm_ == Form::Plain; }

// Makes the current value the one for the next element: the repeated value
// again, or a newly scanned one. False once a slash has ended the values.
bool ListReader::nextValue() {
  startIfNeeded();
  if (repeatLeft_ != 0) {
    --repeatLeft_;
    ++progress_.valuesGiven;
    return true;
  }
  if (lastSeparator_ == '/') return false;
  valueLength_ = 0;
  valueForm_ = Form::Plain;
  countGiven_ = false;
  endedAtRecordEnd_ = false;
  scan();
  ++progress_.valuesGiven;
  return true;
}

void ListReader::scan() {
  for (;;) {
    appendPlainRun();
    const int c = input_.take();
    switch (c) {
      case '\r':
      case '\n':
        // CR ends the values of its line: the rest up to the LF is passed.
        input_.putBack();
        input_.advanceRecord();
        if (separatorEndsValue(true)) return;
        break;
      case ' ':
      case '\t':
        if (separatorEndsValue(false)) return;
        break;
      case '(':
        if (valueLength_ == 0) {
          valueForm_ = Form::Parenthesized;
          markPlaced();
        } else {
          append(c);
        }
        break;
      case ')':
        if (valueForm_ == Form::Parenthesized) {
          lastSeparator_ = ' ';
          return;
        }
        append(c);
        break;
      case '\'':
      case '"':
        if (valueLength_ == 0) {
          markPlaced();
          scanQuoted(c);
          return;
        }
        append(c);
        break;
      case '*':
        takeRepeatCount();
        break;
      case ',':
        if (commaEndsValue()) return;
        break;
      case '/':
        lastSeparator_ = '/';
        return;
      default:
        append(c);
        break;
    }
  }
}

// A blank, tab or record end: skipped before a value and inside
// parentheses, otherwise it ends the value. Right after "r*" it ends the
// value at once, which makes "r*" r null values.
bool ListReader::separatorEndsValue(bool recordEnd) {
  if (valueLength_ == 0 && !countGiven_) return false;
  if (valueForm_ == Form::Parenthesized) return false;
  if (recordEnd) endedAtRecordEnd_ = true;
  lastSeparator_ = ' ';
  return true;
}

// A comma right after the blank separator of the previous value belongs to
// that separator; any other comma ends the value (null when empty), except
// inside parentheses, where it is part of the value.
bool ListReader::commaEndsValue() {
  if (valueLength_ == 0 && lastSeparator_ == ' ' && !countGiven_) {
    lastSeparator_ = ',';
    return false;
  }
  if (valueForm_ != Form::Parenthesized) {
    if (valueLength_ > 0) commaAfterValue_ = true;
    lastSeparator_ = ',';
    return true;
  }
  append(',');
  return false;
}

// "*": the text so far is a repeat count; this scan delivers the first of
// the repeated elements.
void ListReader::takeRepeatCount() {
  if (countGiven_) failCount(input::kRepeatAfterRepeat);
  std::int32_t count = 0;
  if (valueLength_ > 0) {
    if (valueLength_ > kValueTextMax) failCount(input::kInvalidInteger);
    const IntegerConversion result = convertInteger(
        std::string_view(valueText_, static_cast<std::size_t>(valueLength_)));
    if (result.error != 0) failCount(result.error);
    count = result.value;
  }
  if (count <= 0) failCount(input::kBadRepeatCount);
  repeatLeft_ = count - 1;
  countGiven_ = true;
  valueLength_ = 0;
}

// A character constant. Its characters are only counted (and the first
// ones kept for a report): the items read here reject any that is not
// empty. A doubled mark stands for one mark; a record end inside the quotes
// passes to the next record and skips that record's first character.
void ListReader::scanQuoted(int mark) {
  valueForm_ = Form::Quoted;
  quoteMark_ = static_cast<char>(mark);
  quotedKept_ = 0;
  std::int32_t stored = 0;
  for (;;) {
    const int c = input_.take();
    if (c == '\r' || c == '\n') {
      input_.putBack();
      input_.advanceRecord();
      input_.takeCountingLines();
      continue;
    }
    if (c == mark) {
      const int next = input_.take();
      if (next != mark) {
        if (next == '\n') input_.putBack();
        lastSeparator_ = separatorAfterQuote(next);
        valueLength_ = stored;
        return;
      }
    }
    if (stored < kElementSize) ++stored;
    if (quotedKept_ <= static_cast<std::int32_t>(kShownTextMax)) {
      valueText_[quotedKept_++] = static_cast<char>(c);
    }
  }
}

// Appends the plain bytes that follow in the buffer, all at once.
void ListReader::appendPlainRun() {
  const std::string_view bytes = input_.buffered();
  std::size_t run = 0;
  while (run < bytes.size() && kPlainBytes[static_cast<unsigned char>(bytes[run])]) {
    ++run;
  }
  if (run == 0) return;
  if (valueLength_ == 0) {
    valueStart_ = input_.offsetOfNext();
    constexpr std::size_t kShort = 16;
    static_assert(kValueTextMax >= static_cast<std::int32_t>(kShort));
    if (run <= kShort && bytes.size() >= kShort) {
      // The usual value, whole in the buffer: one fixed-size copy.
      std::memcpy(valueText_, bytes.data(), kShort);
      valueLength_ = static_cast<std::int32_t>(run);
      input_.skip(static_cast<std::int32_t>(run));
      return;
    }
  }
  const auto room = static_cast<std::size_t>(
      std::max<std::int32_t>(kValueTextMax - valueLength_, 0));
  std::memcpy(valueText_ + valueLength_, bytes.data(), std::min(run, room));
  valueLength_ = static_cast<std::int32_t>(
      std::min<std::size_t>(static_cast<std::size_t>(valueLength_) + run,
                            kValueTextMax + 1));
  input_.skip(static_cast<std::int32_t>(run));
}

// Adds a character to the value; characters beyond kValueTextMax are
// counted (up to one more) but not stored.
void ListReader::append(int c) {
  if (valueLength_ == 0) valueStart_ = input_.offsetOfLast();
  if (valueLength_ < kValueTextMax) {
    valueText_[valueLength_] = static_cast<char>(c);
  }
  if (valueLength_ <= kValueTextMax) ++valueLength_;
}

}  // namespace tgram::recio
