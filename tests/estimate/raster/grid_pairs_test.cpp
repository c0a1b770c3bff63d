// The run-based counter (and its cell-by-cell way for rows of short runs)
// against a plain loop over every cell and offset.
#include "estimate/raster/grid_pairs.hpp"

#include <gtest/gtest.h>

#include <random>

namespace tgram::estimate::raster {
namespace {

constexpr int kNoData = -1;
using Map = std::vector<std::vector<int>>;  // [row][column], file order

// A map of `codes` classes: runs of random length (mean about `runLength`),
// with some nodata cells.
Map randomMap(int rows, int columns, int codes, int runLength, unsigned seed) {
  std::mt19937 random(seed);
  Map map(static_cast<std::size_t>(rows), std::vector<int>(static_cast<std::size_t>(columns)));
  for (auto& row : map) {
    int left = 0;
    int value = 0;
    for (auto& cell : row) {
      if (left-- <= 0) {
        left = static_cast<int>(random() % static_cast<unsigned>(2 * runLength));
        value = static_cast<int>(random() % static_cast<unsigned>(codes + 1)) - 1;  // -1: nodata
      }
      cell = value;
    }
  }
  return map;
}

std::vector<Run> runsOf(const std::vector<int>& row) {
  std::vector<Run> runs;
  for (std::size_t c = 0; c < row.size();) {
    std::size_t end = c + 1;
    while (end < row.size() && row[end] == row[c]) ++end;
    if (row[c] != kNoData)
      runs.push_back({static_cast<std::uint32_t>(c), static_cast<std::uint32_t>(end), static_cast<std::uint32_t>(row[c])});
    c = end;
  }
  return runs;
}

struct Case {
  const char* name;
  int rows, columns, codes, runLength, maxOffset;
  unsigned threads;
};

class GridPairCounterTest : public ::testing::TestWithParam<Case> {};

TEST_P(GridPairCounterTest, EqualsEveryCellAndOffset) {
  const Case& c = GetParam();
  const Map map = randomMap(c.rows, c.columns, c.codes, c.runLength, 7);
  GridPairCounter counter(c.columns, c.maxOffset, {true, true, true, true}, static_cast<std::size_t>(c.codes),
                          c.threads);
  for (const auto& row : map) counter.addRow(runsOf(row));
  counter.finish();
  const int steps[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};  // rows down, columns right
  for (std::size_t f = 0; f < kFamilies; ++f) {
    for (int d = 1; d <= c.maxOffset; ++d) {
      std::vector<std::uint64_t> expected(static_cast<std::size_t>(c.codes * c.codes), 0);
      for (int r = 0; r < c.rows; ++r) {
        for (int col = 0; col < c.columns; ++col) {
          const int r2 = r + steps[f][0] * d, c2 = col + steps[f][1] * d;
          if (r2 < 0 || r2 >= c.rows || c2 < 0 || c2 >= c.columns) continue;
          const int a = map[r][col], b = map[r2][c2];
          if (a == kNoData || b == kNoData) continue;
          ++expected[static_cast<std::size_t>(a * c.codes + b)];
        }
      }
      for (int a = 0; a < c.codes; ++a)
        for (int b = 0; b < c.codes; ++b)
          ASSERT_EQ(counter.count(static_cast<Family>(f), d, a, b), expected[static_cast<std::size_t>(a * c.codes + b)])
              << "family " << f << ", offset " << d << ", pair " << a << "," << b;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Maps, GridPairCounterTest,
    ::testing::Values(Case{"Runs", 30, 41, 3, 6, 12, 1}, Case{"RunsThreeThreads", 30, 41, 3, 6, 12, 3},
                      Case{"Noise", 25, 19, 4, 1, 7, 2}, Case{"LongRuns", 90, 23, 2, 30, 40, 2},
                      Case{"OffsetBeyondTheMap", 5, 6, 3, 2, 9, 2}, Case{"OneColumn", 50, 1, 2, 3, 20, 2},
                      Case{"OneRow", 1, 200, 3, 5, 60, 2}, Case{"BatchesAndFewCodes", 300, 12, 2, 4, 70, 2},
                      // Runs near the length where a row is counted cell by
                      // cell: some rows each way.
                      Case{"RowsOfBothKinds", 60, 48, 3, 3, 15, 2}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(GridPairCounter, SameCountsForAnyThreadCount) {
  const Map map = randomMap(150, 64, 5, 8, 11);
  std::vector<std::uint64_t> first;
  for (const unsigned threads : {1u, 2u, 5u}) {
    GridPairCounter counter(64, 25, {true, true, true, true}, 5, threads);
    for (const auto& row : map) counter.addRow(runsOf(row));
    counter.finish();
    std::vector<std::uint64_t> all;
    for (std::size_t f = 0; f < kFamilies; ++f)
      for (int d = 1; d <= 25; ++d)
        for (std::size_t a = 0; a < 5; ++a)
          for (std::size_t b = 0; b < 5; ++b) all.push_back(counter.count(static_cast<Family>(f), d, a, b));
    if (first.empty())
      first = all;
    else
      EXPECT_EQ(all, first) << threads << " threads";
  }
}

TEST(GridPairCounter, HoldsOnlyTheRowsTheLargestOffsetNeeds) {
  GridPairCounter counter(10, 5, {true, true, false, false}, 2, 1);
  for (int r = 0; r < 1000; ++r) counter.addRow({{0, 10, static_cast<std::uint32_t>(r % 2)}});
  counter.finish();
  EXPECT_LE(counter.mostRowsHeld(), 64u + 5u);
  EXPECT_EQ(counter.count(Family::Right, 3, 1, 1), 500u * 7u);
  EXPECT_EQ(counter.count(Family::Down, 2, 0, 0), 499u * 10u);
}

}  // namespace
}  // namespace tgram::estimate::raster
