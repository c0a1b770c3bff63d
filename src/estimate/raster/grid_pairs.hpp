// Counts the ordered pairs of cells at whole-cell offsets, from rows given
// as runs of one class, streaming: a row is counted as soon as the rows the
// largest offset reaches have arrived, then dropped. Memory is the rows of
// one batch plus the largest offset, as runs.
//
// Offsets are in the file's order, one family per grid direction, each for
// d = 1..maxOffset cells (the head of the pair is the cell at):
//   Right      same row, column + d
//   Down       row + d, same column
//   DownRight  row + d, column + d
//   DownLeft   row + d, column - d
// The opposite directions are the same pairs with tail and head swapped.
//
// The counting uses the runs. Along a row, the pairs between two runs at
// each offset form a trapezoid in d, added as four second differences (a
// run and itself: three); between two rows, the runs are merged and every
// overlap adds its length. A row of short runs (noise: under 4 cells on
// average) is counted cell by cell instead, which is then cheaper. Each
// thread fills its own integer tables, added at the end: the counts are
// the same for any thread count.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "estimate/raster/cell_classes.hpp"

namespace tgram::estimate::raster {

enum class Family { Right, Down, DownRight, DownLeft };
inline constexpr std::size_t kFamilies = 4;

class GridPairCounter {
 public:
  // `codes`: the table stride (the most class codes there can be, at
  // most 255);
  // `families`: which families to count; `threads`: at least 1.
  GridPairCounter(std::int64_t columns, int maxOffset, std::array<bool, kFamilies> families,
                  std::size_t codes, unsigned threads);

  // Adds the next row (file order); counts the rows whose partners are all
  // there.
  void addRow(std::vector<Run> runs);
  // Counts the rows left. Call once, after the last row.
  void finish();

  // Pairs of family f at offset d (1..maxOffset) from code a to code b.
  std::uint64_t count(Family f, int d, std::size_t a, std::size_t b) const {
    return totals_[static_cast<std::size_t>(f)][(static_cast<std::size_t>(d) * codes_ + a) * codes_ + b];
  }
  // The most rows held at once (for the memory figure).
  std::size_t mostRowsHeld() const { return mostRowsHeld_; }

 private:
  // A row as runs, and, when its runs are short, as one code per cell
  // (nodata: the code `codes`).
  struct Row {
    std::vector<Run> runs;
    std::vector<std::uint8_t> cells;
  };
  struct Tables {
    std::vector<std::int64_t> rightSecondDifferences;
    std::array<std::vector<std::uint64_t>, kFamilies> counts;
    // Cell by cell, with the nodata code as one more row and column: made
    // when the thread first meets a row of short runs.
    std::array<std::vector<std::uint64_t>, kFamilies> cellCounts;
    bool byCells = false;
  };
  void countRows(std::size_t first, std::size_t last, Tables& tables) const;
  void countBatch(std::size_t rows);

  std::int64_t columns_;
  int maxOffset_;
  std::array<bool, kFamilies> families_;
  std::size_t codes_;
  unsigned threads_;
  std::size_t batch_;
  std::deque<Row> window_;  // the rows not yet counted, then their partners
  std::vector<Tables> tables_;           // one per thread
  std::array<std::vector<std::uint64_t>, kFamilies> totals_;
  std::size_t mostRowsHeld_ = 0;
  bool finished_ = false;
};

}  // namespace tgram::estimate::raster
