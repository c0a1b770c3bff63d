// The output stage: counts to the written tables.
#include <gtest/gtest.h>

#include <string>

#include "estimate/estimate_error.hpp"
#include "estimate/estimate_tables.hpp"

namespace tgram::estimate {
namespace {

TEST(EstimateTables, RoundsToSixDecimalsExactly) {
  const struct {
    std::uint64_t n, d;
    const char* text;
  } cases[] = {
      {0, 7, "0.000000"},
      {7, 7, "1.000000"},
      {1, 3, "0.333333"},
      {2, 3, "0.666667"},
      {200, 249, "0.803213"},
      {1, 128, "0.007812"},      // 0.0078125: a tie, to even
      {3, 128, "0.023438"},      // 0.0234375: a tie, to even (up)
      {1, 2000000, "0.000000"},  // 0.0000005: a tie, to even (down)
      {3, 2000000, "0.000002"},  // 0.0000015: up to even
      {std::uint64_t{1} << 62, (std::uint64_t{1} << 62) + 1, "1.000000"},
  };
  for (const auto& c : cases) EXPECT_EQ(sixDecimals(c.n, c.d), c.text) << c.n << "/" << c.d;
}

TEST(EstimateTables, QuotesFieldsAsSpreadsheetsDo) {
  EXPECT_EQ(csvField("Clay"), "Clay");
  EXPECT_EQ(csvField("Rd90C/VII"), "Rd90C/VII");
  EXPECT_EQ(csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
}

// Two categories, three classes: class 1 has too few pairs from B.
PairCounts smallCounts() {
  PairCounts counts = emptyCounts({"A", "B,C"}, {6, 4}, 2.5, 3);
  counts.classes[0].pairs = {10, 5, 1, 1};
  counts.classes[0].meanDistance = 2.25;
  counts.classes[1].pairs = {6, 2, 3, 3};
  counts.classes[1].meanDistance = 5.5;
  counts.classes[2].pairs = {1, 3, 0, 4};
  counts.classes[2].meanDistance = 7;
  counts.comments = {"input: x.csv", "line\r\nbreak"};
  return counts;
}

TEST(EstimateTables, WritesTheClassesWithEnoughPairs) {
  TableSettings settings;
  settings.minPairs = 3;
  const EstimateTables tables = buildTables(smallCounts(), settings);
  EXPECT_EQ(tables.writtenLags, (std::vector<int>{2, 3}));
  EXPECT_EQ(tables.maxLag, 3);
  EXPECT_EQ(tables.expTgrams,
            "2 3\n"
            "4 3\n"
            "0 1.000000 0.000000 0.000000 1.000000\n"
            "2 0.750000 0.250000 0.500000 0.500000\n"
            "3 0.250000 0.750000 0.000000 1.000000\n");
  EXPECT_EQ(tables.pairTable,
            "# tgramest " TGRAM_VERSION
            "\r\n"
            "# input: x.csv\r\n"
            "# line  break\r\n"
            "# lag width: 2.5 (in the unit of the coordinates); classes 1..3; written: 2; maxLag: 3\r\n"
            "# min pairs: 3\r\n"
            "category,label,samples,proportion\r\n"
            "1,A,6,0.600000\r\n"
            "2,\"B,C\",4,0.400000\r\n"
            "\r\n"
            "lag,distance_from,distance_to,mean_distance,from,to,n_ij,n_i,p_ij,standard_error,status\r\n"
            "0,0,1.25,,1,1,0,0,,,not estimated\r\n"
            "0,0,1.25,,1,2,0,0,,,not estimated\r\n"
            "0,0,1.25,,2,1,0,0,,,not estimated\r\n"
            "0,0,1.25,,2,2,0,0,,,not estimated\r\n"
            "1,1.25,3.75,2.25,1,1,10,15,0.666667,0.121716,dropped (too few pairs)\r\n"
            "1,1.25,3.75,2.25,1,2,5,15,0.333333,0.121716,dropped (too few pairs)\r\n"
            "1,1.25,3.75,2.25,2,1,1,2,0.500000,0.353553,dropped (too few pairs)\r\n"
            "1,1.25,3.75,2.25,2,2,1,2,0.500000,0.353553,dropped (too few pairs)\r\n"
            "2,3.75,6.25,5.5,1,1,6,8,0.750000,0.153093,written\r\n"
            "2,3.75,6.25,5.5,1,2,2,8,0.250000,0.153093,written\r\n"
            "2,3.75,6.25,5.5,2,1,3,6,0.500000,0.204124,written\r\n"
            "2,3.75,6.25,5.5,2,2,3,6,0.500000,0.204124,written\r\n"
            "3,6.25,8.75,7,1,1,1,4,0.250000,0.216506,written\r\n"
            "3,6.25,8.75,7,1,2,3,4,0.750000,0.216506,written\r\n"
            "3,6.25,8.75,7,2,1,0,4,0.000000,0.000000,written\r\n"
            "3,6.25,8.75,7,2,2,4,4,1.000000,0.000000,written\r\n");
}

TEST(EstimateTables, LeavesOutAClassWithACategoryWithoutPairs) {
  PairCounts counts = smallCounts();
  counts.classes[2].pairs = {5, 5, 0, 0};  // nothing starts in B
  TableSettings settings;
  settings.minPairs = 0;  // even then: p cannot be estimated from no pair
  settings.maxLag = 9;
  const EstimateTables tables = buildTables(counts, settings);
  EXPECT_EQ(tables.writtenLags, (std::vector<int>{1, 2}));
  EXPECT_EQ(tables.expTgrams.substr(0, 8), "2 9\n4 3\n");
  EXPECT_NE(tables.pairTable.find("3,6.25,8.75,7,2,1,0,0,,,dropped (too few pairs)\r\n"), std::string::npos);
  EXPECT_EQ(tables.expTgrams.find("nan"), std::string::npos);
}

TEST(EstimateTables, RefusesWhatCannotBeWritten) {
  TableSettings settings;
  settings.minPairs = 100;
  try {
    buildTables(smallCounts(), settings);
    FAIL() << "no class has 100 pairs";
  } catch (const EstimateError& error) {
    EXPECT_EQ(std::string(error.what()),
              "no lag class has at least 100 pairs from every category (--min-pairs); the nearest is class 2, "
              "with 6 pairs from category 2 (B,C); try a wider --lag-width, more classes or a smaller --min-pairs");
  }
  EXPECT_THROW(buildTables(emptyCounts({"A"}, {3}, 1, 2), TableSettings{}), EstimateError);
  std::vector<std::string> many(21, "c");
  EXPECT_THROW(buildTables(emptyCounts(many, std::vector<std::uint64_t>(21, 1), 1, 2), TableSettings{}), EstimateError);
}

}  // namespace
}  // namespace tgram::estimate
