// The pair counts of a categorical raster: its rows read block by block,
// turned into runs of one class, counted at whole-cell offsets in one
// compass direction (or the four along the axes, pooled), grouped into lag
// classes of --lag-width cells.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "estimate/pair_counts.hpp"
#include "estimate/raster/raster_source.hpp"

namespace tgram::estimate::raster {

enum class GridDirection { East, West, North, South, Northeast, Northwest, Southeast, Southwest, Axes };

// The direction named on the command line ("east", ..., "axes").
std::optional<GridDirection> gridDirection(std::string_view name);
std::string_view directionName(GridDirection direction);

struct GridSettings {
  GridDirection direction = GridDirection::Axes;
  int lagCells = 1;     // cells per lag class
  int classCount = 10;  // K: classes 1..K
  std::vector<double> missing;  // more values that mean no data
  std::optional<std::vector<double>> categories;
  unsigned threads = 0;  // 0: one per processor
  // Called after each block of rows with the rows read so far.
  std::function<void(std::int64_t rowsRead, std::int64_t rows)> progress;
};

// Counts the pairs of `source` (named `name` in messages). Lag class k
// holds the pairs whose offset d (in steps of one cell along the
// direction) lies in ((k - 1/2) n, (k + 1/2) n] for n = lagCells: with
// n = 1, class k is the offset of k cells. Raises an EstimateError for a
// fractional class value, too many classes, or a raster with no class
// cell.
PairCounts countGridPairs(RasterSource& source, const std::string& name, const GridSettings& settings);

}  // namespace tgram::estimate::raster
