// The texts of located reports: how a value's bytes are shown.
#include "recio/input/input_report.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tgram::recio {
namespace {

TEST(QuotedText, ShowsPrintableAsciiAndEscapesEverythingElse) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"0.5x", "\"0.5x\""},
      {"", "\"\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"\x1b[2J\x07", "\"\\x1b[2J\\x07\""},
      {std::string("1\0" "2", 3), "\"1\\x002\""},
      {"\r\n\t", "\"\\x0d\\x0a\\x09\""},
      {"\x7f\x80\xff", "\"\\x7f\\x80\\xff\""},
      {"\xef\xbb\xbf" "1", "\"\\xef\\xbb\\xbf1\""},
      {std::string(40, 'a'), "\"" + std::string(40, 'a') + "\""},
      {std::string(41, 'a'), "\"" + std::string(40, 'a') + "\"..."},
      {std::string(39, 'a') + "\x1b\x1b", "\"" + std::string(39, 'a') + "\\x1b\"..."},
  };
  for (const Case& c : cases) EXPECT_EQ(quotedText(c.text), c.shown) << c.shown;
}

TEST(RecordFaultMessage, SaysTheLineAndTheStatement) {
  const ReadDescription counts{"the counts pairCount and expLagCount", 2};
  EXPECT_EQ(recordFaultMessage(6501, 1, {}), "end of file (the file is empty)");
  EXPECT_EQ(recordFaultMessage(6501, 3, {&counts, 1}),
            "end of file after line 2, reading the counts pairCount and expLagCount: "
            "1 value missing");
  EXPECT_EQ(recordFaultMessage(6500, 1, {&counts, 0}),
            "error reading the file at line 1, reading the counts pairCount and expLagCount");
}

}  // namespace
}  // namespace tgram::recio
