#include "support/string_sink.hpp"

namespace tgram::testing {

StringSink::StringSink(bool writeOwedBlanksAtEnd, std::int32_t windowBuffer)
    : writeOwedBlanksAtEnd_(writeOwedBlanksAtEnd) {
  constexpr auto kRoom = static_cast<std::int32_t>(2 * kFieldStorage);
  if (windowBuffer > kRoom) {
    buffer_.resize(static_cast<std::size_t>(windowBuffer));
    openWindow(buffer_.data(), 0, windowBuffer - kRoom);
  }
}

void StringSink::takeWindow() {
  current_.append(buffer_.data(), static_cast<std::size_t>(windowPosition()));
  moveWindow(0);
}

void StringSink::finishRecord(std::int64_t owedBlanks) {
  if (writeOwedBlanksAtEnd_ && owedBlanks > 0) putBlanks(owedBlanks);
  takeWindow();
  records_.push_back(std::move(current_));
  current_.clear();
}

void StringSink::fail(int number) {
  runtime::raiseRuntimeError(number, runtime::StatementKind::Write, "sink");
}

void StringSink::putBlanks(std::int64_t count) {
  takeWindow();
  current_.append(static_cast<std::size_t>(count), ' ');
}

void StringSink::putText(const char* text, std::size_t length) {
  takeWindow();
  current_.append(text, length);
}

}  // namespace tgram::testing
