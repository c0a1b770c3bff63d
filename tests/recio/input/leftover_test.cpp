// What a read statement leaves unread in its last record, noted for checks
// of the input; the statement ends where finish() would end it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "input_file.hpp"
#include "recio/input/list_reader.hpp"

namespace tgram::recio {
namespace {

using testing::InputFile;

struct LeftoverCase {
  const char* name;
  std::string record;  // the statement's records; "7" follows on a line of its own
  const char* items;   // I (integer) or R (real), one per item
  std::optional<LeftoverValues> expected;
};

void PrintTo(const LeftoverCase& c, std::ostream* os) { *os << c.name; }

class Leftover : public ::testing::TestWithParam<LeftoverCase> {};

TEST_P(Leftover, IsNotedAndTheNextRecordIsReadAsAfterFinish) {
  const LeftoverCase& c = GetParam();
  InputFile file(c.record + "\n7\n");
  std::optional<LeftoverValues> left;
  {
    ListReader reader(file.unit());
    for (const char* item = c.items; *item; ++item) {
      std::int32_t integer = 0;
      float real = 0;
      if (*item == 'I') reader.readInteger4(integer);
      else reader.readReal4(real);
    }
    left = reader.finishNotingLeftover();
  }
  ASSERT_EQ(left.has_value(), c.expected.has_value());
  if (left) {
    EXPECT_EQ(left->place.line, c.expected->place.line);
    EXPECT_EQ(left->place.column, c.expected->place.column);
    EXPECT_EQ(left->text, c.expected->text);
    EXPECT_EQ(left->commaAfterValue, c.expected->commaAfterValue);
    EXPECT_EQ(left->repeatsLeft, c.expected->repeatsLeft);
  }
  ListReader next(file.unit());
  std::int32_t seven = 0;
  next.readInteger4(seven);
  EXPECT_EQ(seven, 7);
  const std::int64_t lines = 1 + static_cast<std::int64_t>(std::count(c.record.begin(), c.record.end(), '\n'));
  EXPECT_EQ(next.placeOfLastValue().line, lines + 1);
  next.finish();
}

LeftoverValues at(std::int64_t line, std::int64_t column, std::string text, bool comma = false,
                  std::int32_t repeats = 0) {
  return {{line, column}, std::move(text), comma, repeats};
}

INSTANTIATE_TEST_SUITE_P(
    Records, Leftover,
    ::testing::Values(
        LeftoverCase{"nothing left", "1 0.5 0.5", "IRR", std::nullopt},
        LeftoverCase{"blanks and a comma left", "1 0.5 0.5 ,\t ", "IRR", std::nullopt},
        LeftoverCase{"carriage return", "1 0.5 0.5\r", "IRR", std::nullopt},
        LeftoverCase{"a slash ends the values", "1 0.5 0.5 / a remark", "IRR", std::nullopt},
        LeftoverCase{"decimal commas", "1 0,5 0,5", "IRR", at(1, 7, "0,5", true)},
        LeftoverCase{"decimal comma at the end", "1 0,5", "IR", at(1, 5, "5", true)},
        LeftoverCase{"words", "1 0.5 0.5 extra words\r", "IRR", at(1, 11, "extra words")},
        LeftoverCase{"on the statement's last line", "1 0.5\n0.5 9", "IRR", at(2, 5, "9")},
        LeftoverCase{"a repeat count not used up", "1 3*0.5", "IR", at(1, 5, "0.5", false, 2)},
        LeftoverCase{"cut after 40 bytes", "1 0.5 " + std::string(50, 'x'), "IR",
                     at(1, 7, std::string(40, 'x'))},
        LeftoverCase{"beyond a block's end", "1 0.5" + std::string(1030, ' ') + "9", "IR", at(1, 1036, "9")}));

// A file whose last line lacks its line end gets one supplied: a value left
// there is noted too.
TEST(LeftoverAtTheEnd, OfAFileWithoutAFinalLineEnd) {
  InputFile file("1 0.5 9");
  ListReader reader(file.unit());
  std::int32_t integer = 0;
  float real = 0;
  reader.readInteger4(integer);
  reader.readReal4(real);
  const std::optional<LeftoverValues> left = reader.finishNotingLeftover();
  ASSERT_TRUE(left);
  EXPECT_EQ(left->text, "9");
  EXPECT_EQ(left->place.column, 7);
}

}  // namespace
}  // namespace tgram::recio
