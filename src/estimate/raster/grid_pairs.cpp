#include "estimate/raster/grid_pairs.hpp"

#include <algorithm>
#include <thread>

namespace tgram::estimate::raster {
namespace {

// Rows counted together (split between the threads).
constexpr std::size_t kBatchRows = 64;

// Pairs along one row, as second differences in d: for the runs a = [p, q)
// and b = [r, s) with b after a, the number of pairs at offset d is the
// trapezoid with second differences +1 at r-q+1, -1 at r-p+1 and s-q+1,
// +1 at s-p+1; a run with itself (length n >= 2): n-1 at 1, -n at 2, +1 at
// n+1. Entries beyond the largest offset change nothing below it.
void countAlongRow(const std::vector<Run>& runs, std::int64_t maxOffset, std::size_t codes,
                   std::int64_t* second) {
  const std::size_t stride = codes * codes;
  auto add = [&](std::int64_t d, std::size_t pair, std::int64_t amount) {
    if (d <= maxOffset) second[static_cast<std::size_t>(d) * stride + pair] += amount;
  };
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const Run& a = runs[i];
    const std::int64_t p = a.start, q = a.end;
    const std::size_t self = static_cast<std::size_t>(a.code) * codes + a.code;
    if (q - p >= 2) {
      add(1, self, q - p - 1);
      add(2, self, -(q - p));
      add(q - p + 1, self, 1);
    }
    const std::size_t row = static_cast<std::size_t>(a.code) * codes;
    for (std::size_t j = i + 1; j < runs.size(); ++j) {
      const Run& b = runs[j];
      const std::int64_t r = b.start, s = b.end;
      if (r - q + 1 > maxOffset) break;
      const std::size_t pair = row + b.code;
      add(r - q + 1, pair, 1);
      add(r - p + 1, pair, -1);
      add(s - q + 1, pair, -1);
      add(s - p + 1, pair, 1);
    }
  }
}

// Pairs from row `from` to row `to` whose head lies `shift` columns to the
// right of the tail: the runs merged, each overlap adding its length.
void countBetweenRows(const std::vector<Run>& from, const std::vector<Run>& to, std::int64_t shift,
                      std::size_t codes, std::uint64_t* table) {
  std::size_t i = 0, j = 0;
  while (i < from.size() && j < to.size()) {
    const Run& a = from[i];
    const Run& b = to[j];
    const std::int64_t headStart = static_cast<std::int64_t>(b.start) - shift;
    const std::int64_t headEnd = static_cast<std::int64_t>(b.end) - shift;
    const std::int64_t low = std::max<std::int64_t>(a.start, headStart);
    const std::int64_t high = std::min<std::int64_t>(a.end, headEnd);
    if (high > low) table[static_cast<std::size_t>(a.code) * codes + b.code] += static_cast<std::uint64_t>(high - low);
    if (a.end <= headEnd)
      ++i;
    else
      ++j;
  }
}

// The same cell by cell, for rows of short runs: `cells` holds a code per
// cell (nodata the last code), the table has `stride` codes a side.
void countAlongCells(const std::vector<std::uint8_t>& cells, std::int64_t maxOffset, std::size_t stride,
                     std::uint64_t* table) {
  const auto columns = static_cast<std::int64_t>(cells.size());
  const std::uint8_t* cell = cells.data();
  for (std::int64_t d = 1; d <= maxOffset && d < columns; ++d) {
    std::uint64_t* lag = table + static_cast<std::size_t>(d) * stride * stride;
    for (std::int64_t c = 0; c + d < columns; ++c) ++lag[cell[c] * stride + cell[c + d]];
  }
}

void countBetweenCells(const std::vector<std::uint8_t>& from, const std::vector<std::uint8_t>& to, std::int64_t shift,
                       std::size_t stride, std::uint64_t* table) {
  const auto columns = static_cast<std::int64_t>(from.size());
  const std::int64_t first = std::max<std::int64_t>(0, -shift);
  const std::int64_t last = std::min(columns, columns - shift);
  const std::uint8_t* tail = from.data();
  const std::uint8_t* head = to.data() + shift;
  for (std::int64_t c = first; c < last; ++c) ++table[tail[c] * stride + head[c]];
}

// Rows whose runs are this short on average are counted cell by cell.
constexpr std::size_t kShortRun = 4;

}  // namespace

GridPairCounter::GridPairCounter(std::int64_t columns, int maxOffset,
                                 std::array<bool, kFamilies> families, std::size_t codes,
                                 unsigned threads)
    : columns_(columns),
      maxOffset_(maxOffset),
      families_(families),
      codes_(codes),
      threads_(std::max(1u, threads)),
      batch_(std::max<std::size_t>(kBatchRows, 8 * threads_)) {
  const std::size_t size = (static_cast<std::size_t>(maxOffset_) + 1) * codes_ * codes_;
  tables_.resize(threads_);
  for (Tables& tables : tables_) {
    if (families_[static_cast<std::size_t>(Family::Right)]) tables.rightSecondDifferences.assign(size, 0);
    // The cell-by-cell tables come when a thread first meets a row of
    // short runs.
    for (std::size_t f = 1; f < kFamilies; ++f)
      if (families_[f]) tables.counts[f].assign(size, 0);
  }
}

void GridPairCounter::countRows(std::size_t first, std::size_t last, Tables& tables) const {
  const std::size_t stride = codes_ * codes_;
  const std::size_t cellStride = (codes_ + 1) * (codes_ + 1);
  for (std::size_t row = first; row < last; ++row) {
    const Row& tail = window_[row];
    if (tail.runs.empty()) continue;
    if (!tail.cells.empty() && !tables.byCells) {
      for (std::size_t f = 0; f < kFamilies; ++f)
        if (families_[f]) tables.cellCounts[f].assign((static_cast<std::size_t>(maxOffset_) + 1) * cellStride, 0);
      tables.byCells = true;
    }
    if (families_[0]) {
      if (!tail.cells.empty())
        countAlongCells(tail.cells, maxOffset_, codes_ + 1, tables.cellCounts[0].data());
      else
        countAlongRow(tail.runs, maxOffset_, codes_, tables.rightSecondDifferences.data());
    }
    const std::size_t partners = std::min<std::size_t>(static_cast<std::size_t>(maxOffset_), window_.size() - 1 - row);
    for (std::size_t d = 1; d <= partners; ++d) {
      const Row& head = window_[row + d];
      if (head.runs.empty()) continue;
      const auto shift = static_cast<std::int64_t>(d);
      const bool byCells = !tail.cells.empty() && !head.cells.empty();
      for (std::size_t f = 1; f < kFamilies; ++f) {
        if (!families_[f]) continue;
        const std::int64_t along = f == 1 ? 0 : f == 2 ? shift : -shift;
        if (along >= columns_ || -along >= columns_) continue;
        if (byCells)
          countBetweenCells(tail.cells, head.cells, along, codes_ + 1, tables.cellCounts[f].data() + d * cellStride);
        else
          countBetweenRows(tail.runs, head.runs, along, codes_, tables.counts[f].data() + d * stride);
      }
    }
  }
}

void GridPairCounter::countBatch(std::size_t rows) {
  if (threads_ == 1 || rows < 2) {
    countRows(0, rows, tables_[0]);
  } else {
    // Contiguous slices, one per thread, each into its own tables.
    std::vector<std::thread> workers;
    const std::size_t slice = (rows + threads_ - 1) / threads_;
    for (unsigned t = 1; t < threads_ && t * slice < rows; ++t)
      workers.emplace_back([this, t, slice, rows] {
        countRows(t * slice, std::min(rows, (t + 1) * slice), tables_[t]);
      });
    countRows(0, std::min(rows, slice), tables_[0]);
    for (std::thread& worker : workers) worker.join();
  }
  window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(rows));
}

void GridPairCounter::addRow(std::vector<Run> runs) {
  Row row;
  if (runs.size() * kShortRun > static_cast<std::size_t>(columns_)) {
    row.cells.assign(static_cast<std::size_t>(columns_), static_cast<std::uint8_t>(codes_));
    for (const Run& run : runs)
      std::fill(row.cells.begin() + run.start, row.cells.begin() + run.end, static_cast<std::uint8_t>(run.code));
  }
  row.runs = std::move(runs);
  window_.push_back(std::move(row));
  mostRowsHeld_ = std::max(mostRowsHeld_, window_.size());
  if (window_.size() >= batch_ + static_cast<std::size_t>(maxOffset_)) countBatch(batch_);
}

void GridPairCounter::finish() {
  if (finished_) return;
  finished_ = true;
  countBatch(window_.size());
  const std::size_t stride = codes_ * codes_;
  const std::size_t size = (static_cast<std::size_t>(maxOffset_) + 1) * stride;
  // The threads' tables added in thread order (integers: any order gives
  // the same sums).
  for (std::size_t f = 0; f < kFamilies; ++f) {
    if (!families_[f]) continue;
    totals_[f].assign(size, 0);
    for (const Tables& tables : tables_) {
      if (f != 0)
        for (std::size_t i = 0; i < size; ++i) totals_[f][i] += tables.counts[f][i];
      // The cell-by-cell counts without the nodata code's row and column.
      if (tables.cellCounts[f].empty()) continue;
      for (std::size_t d = 1; d <= static_cast<std::size_t>(maxOffset_); ++d)
        for (std::size_t a = 0; a < codes_; ++a)
          for (std::size_t b = 0; b < codes_; ++b)
            totals_[f][(d * codes_ + a) * codes_ + b] += tables.cellCounts[f][(d * (codes_ + 1) + a) * (codes_ + 1) + b];
    }
  }
  if (families_[0]) {
    // Second differences summed over the threads, then summed up twice.
    std::vector<std::int64_t> second(size, 0);
    for (const Tables& tables : tables_)
      for (std::size_t i = 0; i < size; ++i) second[i] += tables.rightSecondDifferences[i];
    for (std::size_t pair = 0; pair < stride; ++pair) {
      std::int64_t slope = 0, value = 0;
      for (std::size_t d = 1; d <= static_cast<std::size_t>(maxOffset_); ++d) {
        slope += second[d * stride + pair];
        value += slope;
        totals_[0][d * stride + pair] += static_cast<std::uint64_t>(value);
      }
    }
  }
  tables_.clear();
  tables_.shrink_to_fit();
}

}  // namespace tgram::estimate::raster
