// The record sink: owed blanks and edited fields as they reach a record.
#include "recio/output/record_sink.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/string_sink.hpp"

namespace tgram::recio {
namespace {

FieldText fieldOf(std::string_view text, bool overflow = false) {
  FieldText field;
  field.append(text);
  if (overflow) field.setOverflow();
  return field;
}

TEST(RecordSink, FieldsAreRightJustifiedOrShowAsterisks) {
  struct Case {
    const char* text;
    int width;
    bool overflow;
    const char* expected;
    bool fits;
  };
  const Case cases[] = {
      {"5", 3, false, "  5", true},          {"1000", 3, false, "***", false},
      {"10", 1, false, "*", false},          {"-10.0000", 7, false, "*******", false},
      {"abc", 3, false, "abc", true},        {"abc", 0, false, "abc", true},
      {"abc", -2, false, "abc", true},       {"123", 5, true, "*****", false},
      {"123", 0, true, "*", false},          {"", 4, false, "    ", true},
  };
  for (const Case& c : cases) {
    for (const std::int32_t window : {0, 40}) {
      testing::StringSink sink(true, window);
      EXPECT_EQ(sink.putField(fieldOf(c.text, c.overflow), c.width), c.fits) << c.text;
      sink.endRecord();
      EXPECT_EQ(sink.records().at(0), c.expected) << c.text << " in " << c.width;
    }
  }
}

TEST(RecordSink, OwedBlanksGoInFrontOfTheNextCharacters) {
  testing::StringSink sink;
  sink.owe(2);
  sink.putField(fieldOf(".5000"), 7);
  EXPECT_EQ(sink.current(), "    .5000");
  sink.owe(-3);  // owes nothing
  sink.put("a");
  sink.owe(3);
  sink.setOwed(1);
  sink.put("b");
  sink.setOwed(-1);
  sink.put("c");
  EXPECT_EQ(sink.current(), "    .5000a bc");
  EXPECT_EQ(sink.owed(), 0);
}

TEST(RecordSink, OwedBlanksStopGrowingAtTheirLimit) {
  testing::StringSink sink;
  sink.owe(RecordSink::kMaxOwed);
  sink.owe(RecordSink::kMaxOwed);
  EXPECT_EQ(sink.owed(), RecordSink::kMaxOwed);
  sink.setOwed(RecordSink::kMaxOwed + 5);
  EXPECT_EQ(sink.owed(), RecordSink::kMaxOwed);
}

// A file writes the blanks owed at a record's end; a console drops them.
TEST(RecordSink, WhatARecordEndDoesWithOwedBlanksIsTheSinks) {
  for (const bool file : {true, false}) {
    testing::StringSink sink(file);
    sink.put("x");
    sink.owe(3);
    sink.endRecord();
    EXPECT_EQ(sink.owed(), 0);
    EXPECT_EQ(sink.records().at(0), file ? "x   " : "x");
  }
}

}  // namespace
}  // namespace tgram::recio
