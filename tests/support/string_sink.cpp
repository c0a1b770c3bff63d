#include "support/string_sink.hpp"

namespace tgram::testing {

void StringSink::endRecord() {
  if (writeOwedBlanksAtEnd_ && pendingBlanks > 0) putBlanks(pendingBlanks);
  pendingBlanks = 0;
  records_.push_back(std::move(current_));
  current_.clear();
}

void StringSink::fail(int number) {
  runtime::raiseRuntimeError(number, runtime::StatementKind::Write, "sink");
}

void StringSink::putBlanks(std::int64_t count) {
  current_.append(static_cast<std::size_t>(count), ' ');
}

void StringSink::putText(const char* text, std::size_t length) {
  current_.append(text, length);
}

}  // namespace tgram::testing
