// A record sink that keeps records as strings, for tests of the editing
// engines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recio/output/record_sink.hpp"
#include "runtime/condition.hpp"

namespace tgram::testing {

class StringSink : public recio::RecordSink {
 public:
  // As on a file: blanks still owed when a record ends are written. With a
  // `windowBuffer` of more than 2 * kFieldStorage bytes, the sink also opens
  // the write window on a buffer of that size, as a unit's sink does on the
  // unit's buffer: fields may go there without a call, and what they left
  // there joins the record before anything else is put into it.
  explicit StringSink(bool writeOwedBlanksAtEnd = true, std::int32_t windowBuffer = 0);

  void endRecord() override;
  [[noreturn]] void fail(int number) override;

  // Records ended so far.
  const std::vector<std::string>& records() const { return records_; }
  // The record being built.
  const std::string& current() const {
    takeWindow();
    return current_;
  }

 protected:
  void putBlanks(std::int64_t count) override;
  void putText(const char* text, std::size_t length) override;

 private:
  // Moves what fields left in the window's buffer into the record.
  void takeWindow() const;

  bool writeOwedBlanksAtEnd_;
  std::vector<std::string> records_;
  mutable std::string current_;
  mutable std::vector<char> buffer_;
  mutable std::int32_t position_ = 0;
  bool dirty_ = false;
};

}  // namespace tgram::testing
