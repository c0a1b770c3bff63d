#include "model/model_line.hpp"

#include <algorithm>
#include <cstddef>

namespace tgram::model {

namespace {

std::size_t ix(std::int32_t h) { return static_cast<std::size_t>(h); }

// Which straight piece a table entry lies on: the value never assigned (0),
// a segment t (t >= 0), or the extension's constant.
constexpr std::int32_t kZero = -1;
constexpr std::int32_t kExtension = -2;

// The structure of the interpolation, replayed over the lags 0..maxLag
// without the values: the same visiting order, so the same last writer.
class TableStructure {
 public:
  explicit TableStructure(const Transiograms& tables)
      : tables_(tables),
        top_(tables.maxLag),
        writer_(static_cast<std::size_t>(top_) + 1, kZero),
        point_(static_cast<std::size_t>(top_) + 1, -1),
        extended_(static_cast<std::size_t>(top_) + 1, 0) {
    for (std::int32_t t = 0; t + 1 < tables.expLagCount; ++t) {
      const std::int32_t first = lag(t);
      const std::int32_t last = lag(t + 1);
      for (std::int32_t i = std::max(first, 0); i <= std::min(last, top_); ++i) {
        writer_[ix(i)] = t;
        point_[ix(i)] = i == first ? t : i == last ? t + 1 : -1;
      }
    }
    last_ = lag(tables.expLagCount - 1);
    // The extension copies the value at the last lag; a copy of a value
    // never assigned is 0 like the entries before the first lag.
    if (last_ <= top_ && writer_[ix(last_)] != kZero) {
      for (std::int32_t h = last_; h <= top_; ++h) extended_[ix(h)] = 1;
    } else {
      for (std::int32_t h = last_; h <= top_; ++h) {
        writer_[ix(h)] = kZero;
        point_[ix(h)] = -1;
      }
    }
  }

  // Whether `piece` passes through the value the table holds at lag h.
  bool covers(std::int32_t piece, std::int32_t h) const {
    const bool extended = extended_[ix(h)] != 0;
    if (piece == kExtension) return extended;
    if (extended && h != last_) return false;  // the extension's own copies
    if (writer_[ix(h)] == piece) return true;
    if (piece < 0) return false;
    // A segment passes through its two end points, whoever wrote them last.
    return (h == lag(piece) && point_[ix(h)] == piece) ||
           (h == lag(piece + 1) && point_[ix(h)] == piece + 1);
  }

  bool bendsAt(std::int32_t h) const {
    if (h == 0 || h == top_) return true;
    for (std::int32_t piece : {writer_[ix(h - 1)], writer_[ix(h)], writer_[ix(h + 1)], kExtension}) {
      if (covers(piece, h - 1) && covers(piece, h) && covers(piece, h + 1)) return false;
    }
    return true;
  }

 private:
  std::int32_t lag(std::int32_t point) const { return tables_.expLag[static_cast<std::size_t>(point)]; }

  const Transiograms& tables_;
  std::int32_t top_;
  std::int32_t last_ = 0;
  std::vector<std::int32_t> writer_;  // the piece that wrote each lag last
  std::vector<std::int32_t> point_;   // the point whose value it holds exactly, or -1
  std::vector<char> extended_;        // assigned by the extension
};

}  // namespace

std::vector<std::int32_t> modelVertexLags(const Transiograms& tables) {
  std::vector<std::int32_t> lags;
  if (tables.maxLag < 0 || tables.expLagCount < 1) return lags;
  const TableStructure structure(tables);
  for (std::int32_t h = 0; h <= tables.maxLag; ++h) {
    if (structure.bendsAt(h)) lags.push_back(h);
  }
  return lags;
}

}  // namespace tgram::model
