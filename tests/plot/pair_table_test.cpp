// The reader of tgramest's pair table and its matching to ExpTgrams.txt.
#include "plot/pair_table.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/process.hpp"

namespace tgram::plot {
namespace {

// Two categories, lags 0 (the identity) and 1.
std::unique_ptr<model::Transiograms> twoCategories() {
  auto tables = std::make_unique<model::Transiograms>();
  tables->categoryCount = 2;
  tables->pairCount = 4;
  tables->maxLag = 3;
  tables->expLagCount = 2;
  tables->expLag[0] = 0;
  tables->expLag[1] = 1;
  const float values[2][4] = {{1, 0, 0, 1}, {0.75f, 0.25f, 0.4f, 0.6f}};
  for (std::int32_t e = 0; e < 2; ++e) {
    for (std::int32_t f = 0; f < 4; ++f) tables->expTgram(f, e) = values[e][f];
  }
  return tables;
}

// As tgramest writes it (CR LF), with quoted labels, a column added at the
// end, and a dropped lag that ExpTgrams.txt does not hold.
const std::string kGoodTable =
    "# tgramest 1.0\r\n"
    "# input: \"odd, name\".csv\r\n"
    "# min pairs: 5\r\n"
    "category,label,samples,proportion\r\n"
    "1,\"Clay, heavy\",10,0.500000\r\n"
    "2,\"Sand \"\"fine\"\"\r\nor coarse\",10,0.500000\r\n"
    "\r\n"
    "lag,distance_from,distance_to,mean_distance,from,to,n_ij,n_i,p_ij,standard_error,status,note\r\n"
    "0,0,50,,1,1,0,0,,,not estimated,\r\n"
    "0,0,50,,1,2,0,0,,,not estimated,\r\n"
    "0,0,50,,2,1,0,0,,,not estimated,\r\n"
    "0,0,50,,2,2,0,0,,,not estimated,\r\n"
    "1,50,150,99.5,1,1,6,8,0.750000,0.153093,written,\r\n"
    "1,50,150,99.5,1,2,2,8,0.250000,0.153093,written,\r\n"
    "1,50,150,99.5,2,1,8,20,0.400000,0.109545,written,\r\n"
    "1,50,150,99.5,2,2,12,20,0.600000,0.109545,written,\r\n"
    "2,150,250,,1,1,1,1,1.000000,0.000000,dropped (too few pairs),\r\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(PairTable, ReadsLabelsCountsAndMinimumPairs) {
  const auto tables = twoCategories();
  std::string lineFeedsOnly = kGoodTable;
  std::erase(lineFeedsOnly, '\r');
  const std::string withLaterComments = replaced(replaced(kGoodTable, "2,\"Sand", "# a note\r\n2,\"Sand"),
                                                 "1,50,150,99.5,2,2", "#,1,2\r\n1,50,150,99.5,2,2");
  for (const std::string& text : {kGoodTable, lineFeedsOnly, withLaterComments}) {
    const PairTableReading reading = parsePairTable(text, *tables);
    ASSERT_EQ(reading.problem, "");
    ASSERT_TRUE(reading.table);
    const PairTable& table = *reading.table;
    const std::string lineEnd = text == lineFeedsOnly ? "\n" : "\r\n";
    EXPECT_EQ(table.labels, (std::vector<std::string>{"Clay, heavy", "Sand \"fine\"" + lineEnd + "or coarse"}));
    EXPECT_EQ(table.minPairs, 5);
    ASSERT_EQ(table.points.size(), 8u);
    for (std::int32_t f = 0; f < 4; ++f) {
      EXPECT_FALSE(table.at(f, 0, 4).estimated);
      EXPECT_FALSE(table.fewPairs(table.at(f, 0, 4))) << "lag 0 is not estimated, so never hollow";
    }
    const PointCounts& p12 = table.at(1, 1, 4);
    EXPECT_TRUE(p12.estimated);
    EXPECT_EQ(p12.pairs, 2);
    EXPECT_EQ(p12.fromPairs, 8);
    EXPECT_EQ(p12.standardError, 0.153093);
    const PointCounts& p21 = table.at(2, 1, 4);
    EXPECT_EQ(p21.pairs, 8);
    EXPECT_EQ(p21.fromPairs, 20);
    // n_i below twice the minimum pairs (10): row 1 (8 pairs), not row 2 (20).
    EXPECT_TRUE(table.fewPairs(p12));
    EXPECT_FALSE(table.fewPairs(p21));
  }
  const PairTableReading withoutMinimum = parsePairTable(replaced(kGoodTable, "# min pairs: 5\r\n", ""), *tables);
  ASSERT_TRUE(withoutMinimum.table);
  EXPECT_FALSE(withoutMinimum.table->minPairs);
  EXPECT_FALSE(withoutMinimum.table->fewPairs(withoutMinimum.table->at(1, 1, 4)));
}

TEST(PairTable, RefusesATableThatDoesNotServeTheInput) {
  const auto tables = twoCategories();
  const struct {
    const char* what;
    std::string text;
    std::string problem;
  } cases[] = {
      {"empty", "", "at its end: the category table's header \"category,label,samples,proportion\" is missing"},
      {"not a pair table", "x,y,soil\r\n1,2,3\r\n",
       "line 1: the category table's header \"category,label,samples,proportion\" is missing"},
      {"another category count", replaced(kGoodTable, "\r\n\r\nlag", "\r\n3,Peat,1,0.1\r\n\r\nlag"),
       "it has 3 categories, but ExpTgrams.txt has 2 categories and 4 value columns"},
      {"categories out of order", replaced(kGoodTable, "2,\"Sand", "3,\"Sand"), "line 6: category 2 is expected"},
      {"a lag of the input missing", replaced(kGoodTable, "1,50,150,99.5,1,1", "3,50,150,99.5,1,1"),
       "it holds no row for p(1,1) at lag 1"},
      {"no row of the lag at all", kGoodTable.substr(0, kGoodTable.find("1,50,150")),
       "it holds no rows for lag 1 of ExpTgrams.txt"},
      {"another value", replaced(kGoodTable, "2,8,0.250000", "2,8,0.250002"),
       "line 15: p(1,2) at lag 1 is 0.250002 here but 0.25 in ExpTgrams.txt"},
      {"no estimate for a point of the input", replaced(kGoodTable, "2,8,0.250000,0.153093,written", "0,0,,,dropped"),
       "line 15: p(1,2) at lag 1 has no estimate here but a value in ExpTgrams.txt"},
      {"a row twice", kGoodTable + "1,50,150,99.5,2,2,12,20,0.600000,0.109545,written,\r\n",
       "line 19: a second row for the same lag and pair"},
      {"more pairs to j than from i", replaced(kGoodTable, "6,8,0.75", "9,8,0.75"),
       "line 14: the counts n_ij and n_i are not readable"},
      {"a category beyond the table", replaced(kGoodTable, "99.5,2,2", "99.5,2,3"),
       "line 17: a pair row's lag or categories are not readable"},
      {"a short row", replaced(kGoodTable, ",written,\r\n1,50,150,99.5,2,2", "\r\n1,50,150,99.5,2,2"),
       "line 16: a pair row has too few fields"},
      {"an unreadable standard error", replaced(kGoodTable, "0.109545,written", "-0.1,written"),
       "line 16: p_ij or its standard error is not readable"},
      {"an unclosed quote", replaced(kGoodTable, "dropped (too", "\"dropped (too"),
       "line 18: a quoted field is not closed"},
      {"an unreadable minimum", replaced(kGoodTable, "pairs: 5", "pairs: five"),
       "line 3: the minimum pairs is not a whole number"},
      {"pair header changed", replaced(kGoodTable, "n_ij,n_i", "n_i,n_ij"),
       "line 9: the pair rows' header \"lag,distance_from,distance_to,mean_distance,from,to,n_ij,n_i,p_ij,"
       "standard_error,status\" is missing"},
  };
  for (const auto& c : cases) {
    const PairTableReading reading = parsePairTable(c.text, *tables);
    EXPECT_FALSE(reading.table) << c.what;
    EXPECT_EQ(reading.problem, c.problem) << c.what;
  }
}

TEST(PairTable, AMissingDefaultTableIsNoProblem) {
  const auto tables = twoCategories();
  const testing::ScratchDir folder;
  const std::filesystem::path missing = folder / "none.pairs.csv";
  const PairTableReading quiet = readPairTable(missing, true, *tables);
  EXPECT_FALSE(quiet.table);
  EXPECT_EQ(quiet.problem, "");
  EXPECT_EQ(readPairTable(missing, false, *tables).problem, "the file is not found");
  EXPECT_EQ(readPairTable(folder.path(), true, *tables).problem, "it is a folder");
  const std::filesystem::path good = folder / "good.pairs.csv";
  testing::writeFile(good, kGoodTable);
  EXPECT_TRUE(readPairTable(good, true, *tables).table);
}

}  // namespace
}  // namespace tgram::plot
