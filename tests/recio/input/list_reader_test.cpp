#include "recio/input/list_reader.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "input_file.hpp"
#include "recio/input/real_text.hpp"
#include "runtime/condition.hpp"

namespace tgram::recio {
namespace {

using testing::InputFile;

// One or more read statements on one file. `items` has a letter per item,
// I (4-byte integer) or R (4-byte real), and '|' between statements.
// `expected` has an entry per item: "-" when the item is left unchanged,
// else the value's text. `error` is the condition the last statement run
// raises (0: none); the items after it stay unchanged.
struct ReadCase {
  const char* name;
  std::string input;
  std::string items;
  std::vector<std::string> expected;
  int error = 0;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

constexpr std::int32_t kIntegerBefore = 123456789;
constexpr float kRealBefore = -7.25f;

struct ReadOutcome {
  std::vector<std::string> values;
  int error = 0;
  std::string message;  // of the condition raised
};

std::string describe(std::int32_t value) {
  return value == kIntegerBefore ? "-" : std::to_string(value);
}

// Reals are shown by their bits, so that comparing the texts compares them
// exactly (a negative zero included).
std::string describe(float value) {
  if (std::bit_cast<std::uint32_t>(value) == std::bit_cast<std::uint32_t>(kRealBefore)) {
    return "-";
  }
  return "bits:" + std::to_string(std::bit_cast<std::uint32_t>(value));
}

std::string expectedText(char kind, const std::string& text) {
  if (text == "-" || kind == 'I') return text;
  return describe(static_cast<float>(std::strtod(text.c_str(), nullptr)));
}

ReadOutcome runStatements(UnitRecord& unit, const std::string& items) {
  std::vector<std::int32_t> integers(items.size(), kIntegerBefore);
  std::vector<float> reals(items.size(), kRealBefore);
  ReadOutcome outcome;
  try {
    std::size_t i = 0;
    while (i <= items.size()) {
      ListReader reader(unit);
      for (; i < items.size() && items[i] != '|'; ++i) {
        if (items[i] == 'I') reader.readInteger4(integers[i]);
        else reader.readReal4(reals[i]);
      }
      reader.finish();
      ++i;
    }
  } catch (const runtime::RuntimeError& e) {
    outcome.error = e.number();
    outcome.message = e.message();
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == 'I') outcome.values.push_back(describe(integers[i]));
    if (items[i] == 'R') outcome.values.push_back(describe(reals[i]));
  }
  return outcome;
}

class ListRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ListRead, ReadsTheItems) {
  const ReadCase& c = GetParam();
  InputFile file(c.input);
  const ReadOutcome got = runStatements(file.unit(), c.items);
  std::vector<std::string> expected;
  std::size_t next = 0;
  for (const char kind : c.items) {
    if (kind == '|') continue;
    ASSERT_LT(next, c.expected.size()) << "too few expected values";
    expected.push_back(expectedText(kind, c.expected[next++]));
  }
  ASSERT_EQ(next, c.expected.size()) << "too many expected values";
  EXPECT_EQ(got.values, expected);
  EXPECT_EQ(got.error, c.error);
}

std::string caseName(const ::testing::TestParamInfo<ReadCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Separators, ListRead,
    ::testing::Values(
        ReadCase{"Blank", "3 5\n", "II", {"3", "5"}},
        ReadCase{"Comma", "3,5\n", "II", {"3", "5"}},
        ReadCase{"BlanksAroundComma", "3 , 5\n", "II", {"3", "5"}},
        ReadCase{"CommaThenRecordEnd", "3,\n5\n", "II", {"3", "5"}},
        ReadCase{"EmptyRecordsBetween", "3\n\n   5\n", "II", {"3", "5"}},
        ReadCase{"TabsAndCrLf", "\t3\t5\t\r\n", "II", {"3", "5"}},
        ReadCase{"BlankLinesFirst", " \t\r\n\n \n3 5", "II", {"3", "5"}},
        ReadCase{"OverThreeRecords", "1\n2\n3\n", "III", {"1", "2", "3"}},
        ReadCase{"LoneCrEndsTheLine", "1 2\r3 4\n5 6\n", "III", {"1", "2", "5"}},
        ReadCase{"Reals", "0 0.5,.25\t1e-2\r\n", "IRRR",
                 {"0", "0.5", "0.25", "0.01"}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    NullValues, ListRead,
    ::testing::Values(
        ReadCase{"TwoCommas", "3,,5\n", "III", {"3", "-", "5"}},
        ReadCase{"LeadingComma", ", 5\n", "II", {"-", "5"}},
        ReadCase{"CommaBlankComma", "3, ,5\n", "III", {"3", "-", "5"}},
        ReadCase{"CommaAfterRecordEnd", "3\n,5\n", "II", {"3", "5"}},
        ReadCase{"CommaRecordEndComma", "3,\n,5\n", "III", {"3", "-", "5"}},
        ReadCase{"CommasThenSlash", ",,/\n", "III", {"-", "-", "-"}},
        ReadCase{"EmptyQuotes", "'' 5\n", "II", {"-", "5"}},
        ReadCase{"EmptyQuotesThenComma", "\"\" ,5\n", "II", {"-", "5"}},
        ReadCase{"EmptyParentheses", "() ( ) 5\n", "III", {"-", "-", "5"}},
        ReadCase{"RealsKeepTheirValue", "1.5,,2.5\n", "RRR", {"1.5", "-", "2.5"}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    RepeatCounts, ListRead,
    ::testing::Values(
        ReadCase{"TwoSevens", "2*7\n", "II", {"7", "7"}},
        ReadCase{"CountThenBlank", "2* 9\n", "III", {"-", "-", "9"}},
        ReadCase{"CountThenComma", "2*,5\n", "III", {"-", "-", "5"}},
        ReadCase{"CountOfOne", "1*4\n", "I", {"4"}},
        ReadCase{"OneNullValue", "1* 9\n", "II", {"-", "9"}},
        ReadCase{"OneNullValueBeforeComma", "1*,9\n", "II", {"-", "9"}},
        ReadCase{"RepeatThenMore", "2*7 8\n", "III", {"7", "7", "8"}},
        ReadCase{"RepeatedReals", "3*1.5/\n", "RRRRR", {"1.5", "1.5", "1.5", "-", "-"}},
        ReadCase{"PendingRepeatDropped", "3*7\n9\n", "I|I", {"7", "9"}},
        ReadCase{"NullsAtRecordEnd", "0 2*\n5 6\n", "III|II",
                 {"0", "-", "-", "5", "6"}},
        ReadCase{"BasedCount", "16#3*2\n", "III", {"2", "2", "2"}},
        ReadCase{"FillsARecord", "4*0.25\n1 2\n", "RRRR|II",
                 {"0.25", "0.25", "0.25", "0.25", "1", "2"}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    SlashAndRecords, ListRead,
    ::testing::Values(
        ReadCase{"SlashAfterValue", "1.5/\n", "RRR", {"1.5", "-", "-"}},
        ReadCase{"SlashAlone", "/\n", "II", {"-", "-"}},
        ReadCase{"SlashPassesTheRecord", "1 / 2\n3\n", "II|I", {"1", "-", "3"}},
        ReadCase{"ExtraValuesPassed", "1 2 3 4\n5 6\n", "II|II", {"1", "2", "5", "6"}},
        ReadCase{"NextStatementAfterLf", "1\n2 9\n7\n", "II|I", {"1", "2", "7"}},
        ReadCase{"TrailingBlank", "1 2 \n3\n", "II|I", {"1", "2", "3"}},
        ReadCase{"CrLfRecords", "1 2\r\n3 4\r\n", "II|II", {"1", "2", "3", "4"}},
        ReadCase{"NoItems", "9\n5\n", "|I", {"5"}},
        ReadCase{"LastLineWithoutLf", "1\n2", "I|I", {"1", "2"}}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    EndOfFile, ListRead,
    ::testing::Values(
        ReadCase{"EmptyFile", "", "I", {"-"}, 6501},
        ReadCase{"EmptyFileNoItems", "", "", {}, 6501},
        ReadCase{"TooFewValues", "1 2\n", "III", {"1", "2", "-"}, 6501},
        ReadCase{"ShortRecordRunsIntoTheNext", "1 2\n3\n", "III|II",
                 {"1", "2", "3", "-", "-"}, 6501},
        ReadCase{"AfterLastLineWithoutLf", "1 2", "II|I", {"1", "2", "-"}, 6501},
        ReadCase{"BlankLinesOnly", "\n \n\t\r\n", "R", {"-"}, 6501},
        ReadCase{"OpenQuote", "'12\n", "I", {"-"}, 6501}),
    caseName);

const std::string kLong(260, '1');

INSTANTIATE_TEST_SUITE_P(
    Conversion, ListRead,
    ::testing::Values(
        ReadCase{"IntegerOverflow", "2147483648\n", "I", {"-"}, 6100},
        ReadCase{"RealForInteger", "2.5\n", "I", {"-"}, 6101},
        ReadCase{"EarlierItemsKept", "1 2 x\n", "III", {"1", "2", "-"}, 6101},
        ReadCase{"ByteOrderMarkInteger", "\xEF\xBB\xBF" "1 2\n", "II", {"-", "-"}, 6101},
        ReadCase{"ByteOrderMarkReal", "\xEF\xBB\xBF" "1 2\n", "RR", {"-", "-"}, 6103},
        ReadCase{"EndOfTextByteInteger", "12\x1a\n", "I", {"12"}},
        ReadCase{"EndOfTextByteReal", "12\x1a\n", "R", {"-"}, 6103},
        ReadCase{"SecondBaseMark", "16#1#2\n", "I", {"-"}, 6302},
        ReadCase{"BadBase", "37#1\n", "I", {"-"}, 6303},
        ReadCase{"RealOverflow", "1e400\n", "R", {"-"}, 6102},
        ReadCase{"NotAReal", "1q5\n", "R", {"-"}, 6103},
        ReadCase{"SingleRange", "1e39\n", "R", {"-"}, 6104},
        ReadCase{"NegativeZero", "-0\n", "R", {"-0"}},
        ReadCase{"LongestInteger", std::string(258, '0') + "7\n", "I", {"7"}},
        ReadCase{"LongestReal", std::string(256, '0') + "1.5\n", "R", {"1.5"}},
        ReadCase{"TooLongInteger", kLong + "\n", "I", {"-"}, 6101},
        ReadCase{"TooLongReal", kLong + "\n", "R", {"-"}, 6103},
        ReadCase{"TooLongQuoted", "'" + kLong + "'\n", "I", {"-"}, 6504},
        ReadCase{"TooLongParenthesized", "(" + kLong + ")\n", "R", {"-"}, 6504},
        ReadCase{"TooLongRepeatCount", std::string(300, '0') + "2*5\n", "I", {"-"}, 6101}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    RepeatAndFormErrors, ListRead,
    ::testing::Values(
        ReadCase{"StarAfterBlank", "2 *5\n", "II", {"2", "-"}, 6502},
        ReadCase{"ZeroCount", "0*5\n", "I", {"-"}, 6502},
        ReadCase{"NegativeCount", "-2*5\n", "II", {"-", "-"}, 6502},
        ReadCase{"NegativeBasedCount", "16#FFFFFFFF*5\n", "I", {"-"}, 6502},
        ReadCase{"CountAfterCount", "2*3*4\n", "II", {"-", "-"}, 6503},
        ReadCase{"CountAfterCountOfOne", "1*2*3\n", "I", {"-"}, 6503},
        ReadCase{"BadCountText", "2.0*5\n", "I", {"-"}, 6101},
        ReadCase{"QuotedInteger", "'12'\n", "I", {"-"}, 6504},
        ReadCase{"QuotedQuote", "''''\n", "I", {"-"}, 6504},
        ReadCase{"ParenthesizedInteger", "(1,2)\n", "I", {"-"}, 6504},
        ReadCase{"ParenthesizedOverRecords", "(1,\n2)\n", "R", {"-"}, 6504},
        ReadCase{"RepeatedQuoted", "2*'ab'\n", "I", {"-"}, 6504}),
    caseName);

TEST(ListReader, ReportsReadAndTheFileName) {
  InputFile file("x\n");
  ListReader reader(file.unit());
  std::int32_t value = 0;
  try {
    reader.readInteger4(value);
    FAIL() << "no condition raised";
  } catch (const runtime::RuntimeError& e) {
    EXPECT_EQ(e.number(), 6101);
    EXPECT_EQ(e.kind(), runtime::StatementKind::Read);
    EXPECT_EQ(e.fileName(), "ExpTgrams.txt");
  }
}

// A record far longer than the buffer, values crossing block boundaries,
// followed by a record for the next statement.
TEST(ListReader, ReadsARecordOverManyBlocks) {
  std::string text = "400";
  for (int i = 0; i < 400; ++i) text += " 0." + std::to_string(1000 + i);
  text += "\r\n7\r\n";
  InputFile file(text);
  {
    ListReader reader(file.unit());
    std::int32_t lag = 0;
    reader.readInteger4(lag);
    EXPECT_EQ(lag, 400);
    for (int i = 0; i < 400; ++i) {
      float value = 0.0f;
      reader.readReal4(value);
      ASSERT_EQ(value, static_cast<float>(std::strtod(
                           ("0." + std::to_string(1000 + i)).c_str(), nullptr)));
    }
    reader.finish();
  }
  ListReader next(file.unit());
  std::int32_t seven = 0;
  next.readInteger4(seven);
  next.finish();
  EXPECT_EQ(seven, 7);
}

// A value that starts in one block and ends in the next.
TEST(ListReader, ReadsAValueAcrossABlockBoundary) {
  InputFile file(std::string(1020, ' ') + "12345678 9");
  ListReader reader(file.unit());
  std::int32_t a = 0;
  std::int32_t b = 0;
  reader.readInteger4(a);
  reader.readInteger4(b);
  reader.finish();
  EXPECT_EQ(a, 12345678);
  EXPECT_EQ(b, 9);
}

// ---------------------------------------------------------------------------
// Where a report says the input is wrong

// The message line that statements raise: `items` as for ReadCase.
struct ReportCase {
  const char* name;
  std::string input;
  std::string items;
  std::string message;
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class LocatedReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(LocatedReport, SaysWhereTheInputIsWrong) {
  InputFile file(GetParam().input);
  EXPECT_EQ(runStatements(file.unit(), GetParam().items).message, GetParam().message);
}

const std::string kBlankBlock(1020, ' ');

INSTANTIATE_TEST_SUITE_P(
    Values, LocatedReport,
    ::testing::Values(
        ReportCase{"FirstValue", "x 2\n", "II", "invalid integer \"x\" at line 1, column 1"},
        ReportCase{"AfterTabsAndCrLfLines", "1 2\r\n3\t\t0.5x\r\n", "II|IR",
                   "invalid real \"0.5x\" at line 2, column 4"},
        ReportCase{"EndedByTheRecordEnd", "1\n2 3x\n", "I|II",
                   "invalid integer \"3x\" at line 2, column 3"},
        ReportCase{"EndedByCrLf", "1 2x\r\n", "II", "invalid integer \"2x\" at line 1, column 3"},
        ReportCase{"RecordOverLines", "1\n\n  2\n 3x\n", "III",
                   "invalid integer \"3x\" at line 4, column 2"},
        ReportCase{"LoneCrIsNoLineEnd", "1 2\r9 9\n3x\n", "II|I",
                   "invalid integer \"3x\" at line 2, column 1"},
        ReportCase{"OverABlockBoundary", kBlankBlock + "12x45678\n", "I",
                   "invalid integer \"12x45678\" at line 1, column 1021"},
        ReportCase{"LinesOverManyBlocks", std::string(3000, '\n') + "  1.5e\n", "R",
                   "invalid real \"1.5e\" at line 3001, column 3"},
        ReportCase{"LastLineWithoutLf", "1\n2x", "I|I",
                   "invalid integer \"2x\" at line 2, column 1"},
        ReportCase{"AfterARepeatCount", "1 3*0.5x\n", "IR",
                   "invalid real \"0.5x\" at line 1, column 5"},
        ReportCase{"Overflow", "1 99999999999\n", "II",
                   "integer overflow \"99999999999\" at line 1, column 3"},
        ReportCase{"SingleRange", "1e39\n", "R",
                   "real value out of range for its item \"1e39\" at line 1, column 1"},
        ReportCase{"TooLong", "7 " + std::string(300, '1') + "\n", "II",
                   "invalid integer \"1111111111111111111111111111111111111111\"... "
                   "(longer than 259 characters) at line 1, column 3"},
        ReportCase{"FortyCharactersAreNotCut", "x" + std::string(39, '1') + "\n", "I",
                   "invalid integer \"x" + std::string(39, '1') + "\" at line 1, column 1"},
        ReportCase{"Quoted", "1 'ab\"c'\n", "II",
                   "quoted or parenthesized value where a number is expected "
                   "\"'ab\\\"c'\" at line 1, column 3"},
        ReportCase{"QuotedOverLines", "  'a\n\nb'\n", "I",
                   "quoted or parenthesized value where a number is expected "
                   "\"'ab'\" at line 1, column 3"},
        ReportCase{"LinesCountedInsideQuotes", "'\n\n' 7x\n", "II",
                   "invalid integer \"7x\" at line 3, column 3"},
        ReportCase{"ParenthesizedOverLines", "0 (1,\n 2)\n", "RR",
                   "quoted or parenthesized value where a number is expected "
                   "\"(1,2)\" at line 1, column 3"}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    RepeatCounts, LocatedReport,
    ::testing::Values(
        ReportCase{"Zero", "1 0*5\n", "II",
                   "zero, negative or missing repeat count \"0*\" at line 1, column 3"},
        ReportCase{"Negative", "-2*5\n", "I",
                   "zero, negative or missing repeat count \"-2*\" at line 1, column 1"},
        ReportCase{"Missing", "2 *5\n", "II",
                   "zero, negative or missing repeat count \"*\" at line 1, column 3"},
        ReportCase{"AfterAnother", "2*3*4\n", "I",
                   "repeat count follows another repeat count \"3*\" at line 1, column 3"},
        ReportCase{"NotAnInteger", "2.5*1\n", "R", "invalid integer \"2.5*\" at line 1, column 1"},
        ReportCase{"Overflow", "\n99999999999*1\n", "I",
                   "integer overflow \"99999999999*\" at line 2, column 1"}),
    [](const auto& info) { return std::string(info.param.name); });

// The end of the file: the line the input ended after. A statement made
// without a description says no more.
INSTANTIATE_TEST_SUITE_P(
    EndOfFile, LocatedReport,
    ::testing::Values(
        ReportCase{"EmptyFile", "", "I", "end of file (the file is empty)"},
        ReportCase{"AfterTheLastLine", "1 2\n\n", "II|I", "end of file after line 2"},
        ReportCase{"LastLineWithoutLf", "1 2\n3", "I|I|I", "end of file after line 2"},
        ReportCase{"BlankLinesOnly", "\n \n\t\r\n", "R", "end of file after line 3"},
        ReportCase{"OpenQuote", "'12\n", "I", "end of file after line 1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LocatedReport, EndOfFileSaysWhatTheStatementReadAndHowManyValuesAreMissing) {
  struct Case {
    std::string input;
    int itemsRead;
    std::int32_t valueCount;
    std::string message;
  };
  const Case cases[] = {
      {"", 2, 2, "end of file (the file is empty), reading point 1: 2 values missing"},
      {"7\n", 2, 2, "end of file after line 1, reading point 1: 1 value missing"},
      {"7 2*\n", 5, 5, "end of file after line 1, reading point 1: 2 values missing"},
      {"7\n", 2, 0, "end of file after line 1, reading point 1"},
  };
  for (const Case& c : cases) {
    InputFile file(c.input);
    ListReader reader(file.unit(), {"point 1", c.valueCount});
    try {
      for (int i = 0; i < c.itemsRead; ++i) {
        std::int32_t value = 0;
        reader.readInteger4(value);
      }
      ADD_FAILURE() << "no condition raised for " << c.input;
    } catch (const runtime::RuntimeError& e) {
      EXPECT_EQ(e.number(), 6501);
      EXPECT_EQ(e.message(), c.message);
    }
  }
}

// The place of each value given, as the program uses it for the counts
// and lags that it checks after the statement.
TEST(ListReader, PlaceOfLastValue) {
  struct Case {
    std::string input;
    std::string items;  // I per item
    std::vector<std::pair<std::int64_t, std::int64_t>> places;
  };
  const Case cases[] = {
      {"  12 3\n", "II", {{1, 3}, {1, 6}}},
      {"1\r\n\r\n 2000\r\n", "II", {{1, 1}, {3, 2}}},
      {"2*500\n", "II", {{1, 3}, {1, 3}}},
      {"1,,3\n", "III", {{1, 1}, {1, 3}, {1, 4}}},
      {"1/\n", "II", {{1, 1}, {1, 2}}},
      {kBlankBlock + "5 6", "II", {{1, 1021}, {1, 1023}}},
  };
  for (const Case& c : cases) {
    InputFile file(c.input);
    ListReader reader(file.unit());
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      std::int32_t value = 0;
      reader.readInteger4(value);
      const InputPlace place = reader.placeOfLastValue();
      EXPECT_EQ(std::make_pair(place.line, place.column), c.places[i])
          << "item " << i << " of " << c.input;
    }
  }
}

// Whatever the input holds, a report's message line is one line of
// printable characters within 999: nothing in a file can move the
// terminal or begin a report line of its own.
TEST(LocatedReport, MessagesStayOnePrintableLine) {
  std::mt19937 random(9);
  const std::string alphabet = "0123456789.+-eE*,/ '\"()#\t\r\n\x1b\x07\x7f\xff\\";
  int raised = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string input;
    const int length = static_cast<int>(random() % 60);
    for (int i = 0; i < length; ++i) {
      input += random() % 8 == 0 ? static_cast<char>(random() % 256)
                                 : alphabet[random() % alphabet.size()];
    }
    if (round % 100 == 0) input += std::string(400, '\x1b');
    InputFile file(input);
    const ReadOutcome got = runStatements(file.unit(), "IRRI|RR|I");
    if (got.error == 0) continue;
    ++raised;
    ASSERT_LE(got.message.size(), runtime::kMessageLineMax) << input;
    for (const char ch : got.message) {
      ASSERT_TRUE(ch >= 0x20 && ch < 0x7f) << "byte " << int(static_cast<unsigned char>(ch))
                                           << " in " << got.message;
    }
  }
  EXPECT_GT(raised, 1000);
}

// Records of reals as people write them, mixed with forms that the reader
// takes the long way (exponents, long mantissas, repeat counts, commas,
// values split by the buffer's end), read value by value: each value and
// the place it is reported at must be what the text says, worked out here
// by splitting the text and converting each value by the general stages.
TEST(ListReader, ReadsMixedRealsAsTheTextSays) {
  const std::uint32_t seed = 20261210;
  std::mt19937 random(seed);
  const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  const char* const separators[] = {" ", "  ", "\t", " \t ", ",", " , ", ", "};
  const char* const shapes[] = {"d.dddddd", "d.dddd", ".ddd", "dd", "-d.ddd", "+d.", "d.dddddddddddd",
                                "ddddddddddddddddddddd", "d.ddde-d", "dD+d", "d.ddddddd-d", "0.ddddddddddddddddddddddd"};
  for (int round = 0; round < 60; ++round) {
    struct Expected {
      std::string text;
      std::int64_t line;
      std::int64_t column;  // 0 for a repeated value, whose place is not checked
    };
    std::vector<std::vector<Expected>> records;
    std::string input(pick(1100), ' ');  // moves the values across the buffer's ends
    std::int64_t line = 1;
    std::size_t lineStart = 0;
    const std::size_t recordCount = 3 + pick(5);
    for (std::size_t r = 0; r < recordCount; ++r) {
      std::vector<Expected> values;
      const std::size_t count = 1 + pick(60);
      for (std::size_t v = 0; v < count; ++v) {
        if (v > 0) input += separators[pick(std::size(separators))];
        std::string text;
        for (const char* s = shapes[pick(std::size(shapes))]; *s != '\0'; ++s) {
          text += *s == 'd' ? static_cast<char>('0' + pick(10)) : *s;
        }
        if (pick(25) == 0) {  // a repeated value
          const std::size_t times = 1 + pick(3);
          input += std::to_string(times) + "*" + text;
          for (std::size_t t = 0; t < times; ++t) values.push_back({text, line, 0});
          continue;
        }
        values.push_back({text, line, static_cast<std::int64_t>(input.size() - lineStart) + 1});
        input += text;
      }
      input += pick(2) == 0 ? "\r\n" : " \n";
      ++line;
      lineStart = input.size();
      records.push_back(values);
    }
    InputFile file(input);
    for (const std::vector<Expected>& values : records) {
      ListReader reader(file.unit());
      for (const Expected& want : values) {
        float got = 0.0f;
        reader.readReal4(got);
        DecimalNumber number;
        ASSERT_EQ(scanRealText(want.text, number), 0) << want.text;
        const DoubleConversion wide = decimalToDouble(number);
        const RealConversion expected = doubleToReal4(wide.value);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(expected.value))
            << want.text << " (seed " << seed << ", round " << round << ")";
        if (want.column == 0) continue;
        const InputPlace place = reader.placeOfLastValue();
        ASSERT_EQ(std::make_pair(place.line, place.column), std::make_pair(want.line, want.column))
            << want.text << " (seed " << seed << ", round " << round << ")";
      }
      reader.finish();
    }
  }
}

}  // namespace
}  // namespace tgram::recio
