// Minimal stand-in for list-directed input: blank/comma separated values.
#include "recio/listin.hpp"

#include <unistd.h>

#include <cstdlib>

#include "runtime/condition.hpp"

namespace tgram::recio {

using runtime::StatementKind;

int ListReader::take() {
  if (unit_.position > unit_.lastIndex) {
    const ssize_t n = ::read(unit_.handle, unit_.buffer.get(), unit_.bufferSize);
    if (n < 0) runtime::raiseRuntimeError(6500, StatementKind::Read, unit_.fileName);
    if (n == 0) {
      if (!unit_.dataEndsWithLf && !unit_.endLfSupplied) {
        unit_.endLfSupplied = true;
        unit_.dataEndsWithLf = true;
        return '\n';
      }
      runtime::raiseRuntimeError(6501, StatementKind::Read, unit_.fileName);
    }
    unit_.filePosition += n;
    unit_.position = 0;
    unit_.lastIndex = static_cast<std::int32_t>(n) - 1;
    unit_.dataEndsWithLf = unit_.buffer[n - 1] == '\n';
  }
  return static_cast<unsigned char>(unit_.buffer[unit_.position++]);
}

bool ListReader::scanValue() {
  length_ = 0;
  endedAtRecordEnd_ = false;
  for (;;) {
    const int c = take();
    if (c == '\n' || c == '\r') {
      if (c == '\r') {
        while (take() != '\n') {
        }
      }
      if (length_ > 0) {
        endedAtRecordEnd_ = true;
        break;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == ',') {
      if (length_ > 0) break;
      continue;
    }
    if (length_ < 259) text_[length_++] = static_cast<char>(c);
  }
  text_[length_] = '\0';
  return true;
}

void ListReader::readInteger4(std::int32_t& place) {
  scanValue();
  char* end = nullptr;
  const long v = std::strtol(text_, &end, 10);
  if (*end != '\0') runtime::raiseRuntimeError(6101, StatementKind::Read, unit_.fileName);
  place = static_cast<std::int32_t>(v);
}

void ListReader::readReal4(float& place) {
  scanValue();
  char* end = nullptr;
  const float v = std::strtof(text_, &end);
  if (*end != '\0') runtime::raiseRuntimeError(6103, StatementKind::Read, unit_.fileName);
  place = v;
}

void ListReader::finish() {
  if (endedAtRecordEnd_) return;
  while (take() != '\n') {
  }
}

}  // namespace tgram::recio
