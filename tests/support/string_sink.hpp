// A record sink that keeps records as strings, for tests of the editing
// engines.
#pragma once

#include <gtest/gtest.h>

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

  [[noreturn]] void fail(int number) override;

  // Records ended so far.
  const std::vector<std::string>& records() const { return records_; }
  // The record being built.
  std::string current() const {
    return current_ + std::string(buffer_.data(), static_cast<std::size_t>(windowPosition()));
  }

 protected:
  void finishRecord(std::int64_t owedBlanks) override;
  void putBlanks(std::int64_t count) override;
  void putText(const char* text, std::size_t length) override;

 private:
  // Moves what fields left in the window's buffer into the record.
  void takeWindow();

  bool writeOwedBlanksAtEnd_;
  std::vector<std::string> records_;
  std::string current_;
  std::vector<char> buffer_;
};

// The buffer sizes the tests give a sink's write window: none, the
// smallest window there is, sizes that put the window's end anywhere in a
// run of fields, and a file unit's.
inline constexpr std::int32_t kWindowSizes[] = {0, 33, 40, 57, 200, 1024};

// The comparison of writing with and without a write window: expects
// `write(window)`, which writes into a StringSink with a window on a buffer
// of `window` bytes and returns what came out, to give `expected` for every
// size in kWindowSizes. Returns whether it did, so that a loop of many
// rounds can stop at the first that does not.
template <typename Outcome, typename Write>
bool expectInEveryWindow(const Outcome& expected, Write&& write, const std::string& context) {
  bool same = true;
  for (const std::int32_t window : kWindowSizes) {
    const Outcome got = write(window);
    EXPECT_EQ(got, expected) << context << ", write window on " << window << " bytes";
    same = same && got == expected;
  }
  return same;
}

}  // namespace tgram::testing
