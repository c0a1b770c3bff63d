// List-directed output: field widths, separators and continuation records,
// shown as the records of a file (every record with its first blank).
#include "recio/output/list_output.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/concat.hpp"
#include "support/items_builder.hpp"
#include "support/string_sink.hpp"

namespace tgram::recio {
namespace {

using testing::concat;
using testing::Items;

std::vector<std::string> records(const Items& items) {
  testing::StringSink sink;  // a file: owed blanks at a record end are written
  writeListDirected(items.get(), sink);
  EXPECT_EQ(sink.current(), "");
  return sink.records();
}

std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

struct Case {
  const char* name;
  Items items;
  std::vector<std::string> expected;
};

void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(records(c.items), c.expected) << c.name;
}

TEST(ListDirectedWrite, ProgramRecords) {
  const std::string read = " Read experimental transiograms ExpTgrams.txt.";
  const std::string title = "Transiogram models by linear interpolation";
  Items six;
  six.i(0);
  for (int k = 0; k < 6; ++k) six.r(0.25f);
  check({
      {"message with its own blank", Items().c(read), {concat({" ", read})}},
      {"message without", Items().c("Finish!"), {" Finish!"}},
      {"title", Items().c(title), {concat({" ", title})}},
      {"echo of a point", Items().i(2).r(0.5f).r(1.0f).r(0.0f),
       {concat({" ", blanks(10), "2", blanks(4), "5.000000E-01", blanks(8), "1.000000",
                blanks(4), "0.000000E+00"})}},
      {"echo continued on a second record", six,
       {concat({" ", blanks(10), "0", blanks(4), "2.500000E-01", blanks(4), "2.500000E-01",
                blanks(4), "2.500000E-01", blanks(4), "2.500000E-01"}),
        concat({blanks(4), "2.500000E-01", blanks(4), "2.500000E-01"})}},
  });
}

TEST(ListDirectedWrite, Widths) {
  check({
      {"most negative integer first fills its field", Items().i(-2147483647 - 1),
       {" -2147483648"}},
      {"integer after a value gets a separator", Items().i(1).i(-2147483647 - 1),
       {concat({" ", blanks(10), "1 -2147483648"})}},
      {"logicals", Items().l(1).l(0), {" T F"}},
      {"negative real", Items().r(-0.5f), {"   -5.000000E-01"}},
      {"F and E forms meet", Items().r(9999999.0f).r(10000000.0f).r(1.0f).r(std::nextafter(1.0f, 0.0f)),
       {"  9999999.000000    1.000000E+07        1.000000    9.999999E-01"}},
      {"8-byte real", Items().r8(0.5), {"   5.000000000000000E-001"}},
      {"complex", Items().z(1.0f, -0.5f), {concat({" ", blanks(9), "(1.000000,-5.000000E-01)"})}},
      {"complex of 8-byte parts", Items().z16(1.0, 2.0),
       {concat({" ", blanks(14), "(1.000000000000000,2.000000000000000)"})}},
  });
}

TEST(ListDirectedWrite, CharacterItems) {
  const std::string s78(78, 'a');
  const std::string s79(79, 'b');
  const std::string s200(200, 'c');
  check({
      {"78 characters fit", Items().c(s78), {concat({" ", s78})}},
      {"79 characters continue", Items().c(s79), {concat({" ", s79}), " "}},
      {"a long text fills each record", Items().c(s200),
       {concat({" ", s200.substr(0, 79)}), concat({" ", s200.substr(0, 79)}),
        concat({" ", s200.substr(0, 42)})}},
      {"joined without a blank", Items().c("ab").c("cd"), {" abcd"}},
      {"after a number, no blank", Items().i(5).c("x"), {concat({" ", blanks(10), "5x"})}},
      {"a number after it has no separator", Items().c("x").i(5).i(6),
       {concat({" x", blanks(10), "5", blanks(11), "6"})}},
      {"empty character item", Items().c(""), {" "}},
  });
}

TEST(ListDirectedWrite, ContinuationRecords) {
  Items seven;
  for (int k = 1; k <= 7; ++k) seven.i(k);
  std::string first = concat({" ", blanks(10), "1"});
  for (int k = 2; k <= 6; ++k) first += blanks(11) + std::to_string(k);
  // A number continued right after a character item, filling its field,
  // begins the record with its first character.
  const std::string text(70, 'x');
  check({
      {"six integers per record", seven, {first, blanks(11) + "7"}},
      {"field filling a record after characters", Items().c(text).i(-2147483647 - 1),
       {concat({" ", text}), "-2147483648"}},
      {"real after characters on a new record", Items().c(text).r(1.0f),
       {concat({" ", text}), blanks(7) + "1.000000"}},
  });
}

TEST(ListDirectedWrite, NoItemsWritesOneBlank) { check({{"no items", Items(), {" "}}}); }

TEST(ListDirectedWrite, ConsoleDropsOwedBlanksButNotTheContent) {
  testing::StringSink console(false);
  Items items;
  items.i(0);
  for (int k = 0; k < 6; ++k) items.r(0.25f);
  writeListDirected(items.get(), console);
  ASSERT_EQ(console.records().size(), 2u);
  EXPECT_EQ(console.records()[1], blanks(4) + "2.500000E-01" + blanks(4) + "2.500000E-01");
}

TEST(ListDirectedWrite, RecordsOfNumbersStayWithin79Characters) {
  Items items;
  items.i(3);
  for (int k = 0; k < 40; ++k) items.r(-1.5e-20f * static_cast<float>(k + 1));
  for (int k = 0; k < 10; ++k) items.l(k % 2).i(-k);
  for (const std::string& r : records(items)) EXPECT_LE(r.size(), 79u) << r;
}

// Runs of 4-byte reals go straight into a sink's write window. Whatever the
// window's size and wherever the records end, the records must be those of
// a sink without a window: random statements of mostly reals (some that the
// fast editing leaves to the general one) with other items between them,
// several statements on one sink.
TEST(ListDirectedWrite, WriteWindowsChangeNothing) {
  const std::uint32_t seed = 1210;
  std::mt19937 random(seed);
  const auto real = [&]() -> float {
    switch (random() % 8) {
      case 0: return 0.0f;
      case 1: return -static_cast<float>(random() % 1000) / 7.0f;
      case 2: return std::bit_cast<float>(static_cast<std::uint32_t>(random()));  // any bits
      case 3: return 1e30f * static_cast<float>(random() % 100);
      default: return static_cast<float>(random() % 1000000) / 1e6f;
    }
  };
  for (int round = 0; round < 200; ++round) {
    std::vector<Items> statements(1 + random() % 4);
    for (Items& items : statements) {
      const int count = static_cast<int>(random() % 40);
      for (int k = 0; k < count; ++k) {
        switch (random() % 12) {
          case 0: items.i(static_cast<std::int32_t>(random())); break;
          case 1: items.c(std::string(random() % 90, 'x')); break;
          case 2: items.l(static_cast<std::int32_t>(random() % 2)); break;
          case 3: items.r8(1.0 / static_cast<double>(1 + random() % 9)); break;
          case 4: items.z(real(), real()); break;
          default: items.r(real()); break;
        }
      }
    }
    for (const bool file : {true, false}) {
      // The records ended, then the one being built.
      const auto write = [&](std::int32_t window) {
        testing::StringSink sink(file, window);
        for (const Items& items : statements) writeListDirected(items.get(), sink);
        std::vector<std::string> records = sink.records();
        records.push_back(sink.current());
        return records;
      };
      ASSERT_TRUE(testing::expectInEveryWindow(
          write(0), write, "seed " + std::to_string(seed) + ", round " + std::to_string(round)));
    }
  }
}

}  // namespace
}  // namespace tgram::recio
