#include "recio/input/input_report.hpp"

#include "recio/input/input_conditions.hpp"
#include "runtime/messages.hpp"

namespace tgram::recio {

namespace {

void appendPlace(std::string& message, InputPlace place) {
  message += " at line ";
  message += std::to_string(place.line);
  message += ", column ";
  message += std::to_string(place.column);
}

// ", reading experimental point 3 ...: 2 values missing", as far as the
// statement has said what it reads.
void appendStatement(std::string& message, const ReadProgress& progress, bool countMissing) {
  const ReadDescription* description = progress.description;
  if (description == nullptr || description->subject.empty()) return;
  message += ", reading ";
  message += description->subject;
  const std::int32_t missing = description->valueCount - progress.valuesGiven;
  if (!countMissing || description->valueCount <= 0 || missing <= 0) return;
  message += ": ";
  message += std::to_string(missing);
  message += missing == 1 ? " value missing" : " values missing";
}

}  // namespace

std::string quotedText(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown = "\"";
  for (const char ch : text.substr(0, kShownTextMax)) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte == '"' || byte == '\\') {
      shown += '\\';
      shown += ch;
    } else if (byte >= 0x20 && byte < 0x7f) {
      shown += ch;
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xf];
    }
  }
  shown += '"';
  if (text.size() > kShownTextMax) shown += "...";
  return shown;
}

std::string valueFaultMessage(int number, std::string_view text, std::int32_t longerThan,
                              InputPlace place) {
  std::string message(runtime::conditionMessage(number));
  message += ' ';
  message += quotedText(text);
  if (longerThan != 0) {
    message += " (longer than ";
    message += std::to_string(longerThan);
    message += " characters)";
  }
  appendPlace(message, place);
  return message;
}

std::string recordFaultMessage(int number, std::int64_t line, const ReadProgress& progress) {
  std::string message(runtime::conditionMessage(number));
  if (number == input::kEndOfFile) {
    const std::int64_t lastLine = line - 1;
    if (lastLine == 0) {
      message += " (the file is empty)";
    } else {
      message += " after line ";
      message += std::to_string(lastLine);
    }
  } else {
    message += " at line ";
    message += std::to_string(line);
  }
  appendStatement(message, progress, number == input::kEndOfFile);
  return message;
}

}  // namespace tgram::recio
