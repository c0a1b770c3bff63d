// A record sink that keeps records as strings, for tests of the editing
// engines.
#pragma once

#include <string>
#include <vector>

#include "recio/output/record_sink.hpp"
#include "runtime/condition.hpp"

namespace tgram::testing {

class StringSink : public recio::RecordSink {
 public:
  // As on a file: blanks still owed when a record ends are written.
  explicit StringSink(bool writeOwedBlanksAtEnd = true)
      : writeOwedBlanksAtEnd_(writeOwedBlanksAtEnd) {}

  void endRecord() override;
  [[noreturn]] void fail(int number) override;

  // Records ended so far.
  const std::vector<std::string>& records() const { return records_; }
  // The record being built.
  const std::string& current() const { return current_; }

 protected:
  void putBlanks(std::int64_t count) override;
  void putText(const char* text, std::size_t length) override;

 private:
  bool writeOwedBlanksAtEnd_;
  std::vector<std::string> records_;
  std::string current_;
};

}  // namespace tgram::testing
