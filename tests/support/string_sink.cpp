#include "support/string_sink.hpp"

namespace tgram::testing {

StringSink::StringSink(bool writeOwedBlanksAtEnd, std::int32_t windowBuffer)
    : writeOwedBlanksAtEnd_(writeOwedBlanksAtEnd) {
  constexpr auto kRoom = static_cast<std::int32_t>(2 * kFieldStorage);
  if (windowBuffer > kRoom) {
    buffer_.resize(static_cast<std::size_t>(windowBuffer));
    openWindow(buffer_.data(), &position_, windowBuffer - kRoom, &dirty_);
  }
}

void StringSink::takeWindow() const {
  current_.append(buffer_.data(), static_cast<std::size_t>(position_));
  position_ = 0;
}

void StringSink::endRecord() {
  if (writeOwedBlanksAtEnd_ && pendingBlanks > 0) putBlanks(pendingBlanks);
  pendingBlanks = 0;
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
