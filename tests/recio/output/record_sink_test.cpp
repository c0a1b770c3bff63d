// The record sink: owed blanks and edited fields as they reach a record.
#include "recio/output/record_sink.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
    testing::expectInEveryWindow(
        std::pair<std::string, bool>(c.expected, c.fits),
        [&](std::int32_t window) {
          testing::StringSink sink(true, window);
          const bool fits = sink.putField(fieldOf(c.text, c.overflow), c.width);
          sink.endRecord();
          return std::pair(sink.records().at(0), fits);
        },
        std::string(c.text) + " in " + std::to_string(c.width));
  }
}

// A run of fields puts what putField puts after owing the run's blanks,
// ends records where its writer asks, and stops where the window has no
// room, leaving the rest to putField: the same records in every window.
TEST(RecordSink, RunsOfFieldsAreThoseOfSingleFields) {
  using Step = RecordSink::RunStep;
  // A field's text ("" ends the record, "*" is a field marked as
  // overflowing), run by run.
  const std::vector<std::vector<std::string>> runs = {
      {"1", "22", "", "333", "4444", "", "", "55555"},
      {"abcdefgh", "12345678", "", "1234567", "*", "x"},
      {"", "1", "", "2"},
  };
  for (const std::int64_t blanks : {0, 1, 3}) {
    for (const std::int32_t width : {7, 8}) {
      // One step of a run the usual way: a record end, or a field.
      const auto putSingle = [&](testing::StringSink& sink, const std::string& text) {
        if (text.empty()) {
          sink.endRecord();
          return;
        }
        sink.owe(blanks);
        sink.putField(fieldOf(text == "*" ? "1" : text, text == "*"), width);
      };
      for (const std::vector<std::string>& run : runs) {
        testing::StringSink single;
        for (const std::string& text : run) putSingle(single, text);
        single.endRecord();
        testing::expectInEveryWindow(
            single.records(),
            [&](std::int32_t window) {
              testing::StringSink sink(true, window);
              FieldText field;
              std::size_t next = 0;
              while (next < run.size()) {
                sink.putFieldRun(blanks, width, field, [&] {
                  if (next == run.size()) return Step::Stop;
                  const std::string& text = run[next++];
                  if (text.empty()) return Step::EndRecord;
                  field = fieldOf(text == "*" ? "1" : text, text == "*");
                  return Step::Field;
                });
                // No room left: the next one the usual way.
                if (next < run.size()) putSingle(sink, run[next++]);
              }
              sink.endRecord();
              return sink.records();
            },
            std::to_string(blanks) + " blanks, width " + std::to_string(width));
      }
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
