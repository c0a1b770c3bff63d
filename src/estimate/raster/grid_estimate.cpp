#include "estimate/raster/grid_estimate.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <thread>

#include "estimate/categories.hpp"
#include "estimate/raster/cell_classes.hpp"
#include "estimate/raster/grid_pairs.hpp"
#include "model/shortest_text.hpp"
#include "model/transiograms.hpp"

namespace tgram::estimate::raster {
namespace {

struct Named {
  GridDirection direction;
  std::string_view name;
  int east;   // -1, 0, 1: the head of a pair lies this way from its tail
  int north;
};
constexpr std::array<Named, 8> kCompass{{
    {GridDirection::East, "east", 1, 0},
    {GridDirection::West, "west", -1, 0},
    {GridDirection::North, "north", 0, 1},
    {GridDirection::South, "south", 0, -1},
    {GridDirection::Northeast, "northeast", 1, 1},
    {GridDirection::Northwest, "northwest", -1, 1},
    {GridDirection::Southeast, "southeast", 1, -1},
    {GridDirection::Southwest, "southwest", -1, -1},
}};

// One compass direction as the file's grid sees it: a family of offsets,
// taken as it is or with tail and head swapped, and the length of one step.
struct Component {
  Family family;
  bool swapped;
  double step;
};

Component component(const Named& compass, const RasterInfo& info) {
  int right = info.eastRight ? compass.east : -compass.east;
  int down = info.northUp ? -compass.north : compass.north;
  bool swapped = false;
  if (down < 0 || (down == 0 && right < 0)) {
    right = -right;
    down = -down;
    swapped = true;
  }
  const Family family = down == 0 ? Family::Right
                        : right == 0 ? Family::Down
                        : right > 0  ? Family::DownRight
                                     : Family::DownLeft;
  const double step = compass.east != 0 && compass.north != 0 ? std::hypot(info.cellWidth, info.cellHeight)
                      : compass.east != 0                     ? info.cellWidth
                                                              : info.cellHeight;
  return {family, swapped, step};
}

std::vector<std::string> describe(const std::string& name, const RasterInfo& info, const GridSettings& settings,
                                  const CellClasses& classes, std::int64_t noDataCells, const Component& first) {
  const std::string units = !info.georeferenced ? "cells (the file has no geotransform)"
                            : info.units.empty() ? "map units (the file does not name them)"
                                                 : info.units;
  std::string nodata = info.nodata ? CellClasses::label(*info.nodata) : std::string("none");
  if (info.nodata && *info.nodata != std::nearbyint(*info.nodata)) nodata = model::shortestText(*info.nodata);
  std::string missing;
  for (const double value : settings.missing) {
    if (!missing.empty()) missing += ", ";
    missing += model::shortestText(value);
  }
  std::uint64_t classCells = 0;
  for (const std::uint64_t n : classes.cells()) classCells += n;
  const std::string direction =
      settings.direction == GridDirection::Axes ? "axes (east, west, north and south pooled)"
                                                : std::string(directionName(settings.direction));
  const std::string n = std::to_string(settings.lagCells);
  const std::string cellsApart = settings.lagCells == 1
                                     ? std::string("k cells apart")
                                     : "d cells apart with (k - 1/2) " + n + " < d <= (k + 1/2) " + n;
  return {
      "input: " + name + " (raster, " + info.format + ", " + std::to_string(info.columns) + " columns x " +
          std::to_string(info.rows) + " rows, band " + std::to_string(info.band) + " of " +
          std::to_string(info.bandCount) + ")",
      "cell size: " + model::shortestText(info.cellWidth) + " x " + model::shortestText(info.cellHeight) + " " + units,
      std::string("row order: ") + (info.northUp ? "north up (the first row is the northern edge)"
                                                 : "south up (the first row is the southern edge)") +
          (info.eastRight ? "" : "; the first column is the eastern edge"),
      "nodata: " + nodata + (missing.empty() ? "" : "; --missing: " + missing),
      "cells: " + std::to_string(classCells) + " with a class, " + std::to_string(noDataCells) +
          " nodata or missing",
      "direction: " + direction + "; lag k holds the pairs " + cellsApart + " (one step along the direction = " +
          model::shortestText(first.step) + " " + units + ")",
  };
}

}  // namespace

std::optional<GridDirection> gridDirection(std::string_view name) {
  if (name == "axes") return GridDirection::Axes;
  for (const Named& compass : kCompass)
    if (compass.name == name) return compass.direction;
  return std::nullopt;
}

std::string_view directionName(GridDirection direction) {
  for (const Named& compass : kCompass)
    if (compass.direction == direction) return compass.name;
  return "axes";
}

PairCounts countGridPairs(RasterSource& source, const std::string& name, const GridSettings& settings) {
  const RasterInfo& info = source.info();
  std::vector<Component> components;
  for (const Named& compass : kCompass) {
    const bool axis = compass.east == 0 || compass.north == 0;
    if (compass.direction == settings.direction || (settings.direction == GridDirection::Axes && axis))
      components.push_back(component(compass, info));
  }
  std::array<bool, kFamilies> families{};
  for (const Component& c : components) families[static_cast<std::size_t>(c.family)] = true;

  const int n = std::max(1, settings.lagCells);
  // The largest offset any class holds, and no further than the raster
  // reaches.
  const std::int64_t reach = std::max<std::int64_t>(1, std::max(info.columns, info.rows) - 1);
  const auto maxOffset =
      static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(settings.classCount) * n + n / 2, reach));

  CellClasses::Settings classSettings;
  classSettings.name = name;
  classSettings.nodata = info.nodata;
  classSettings.missing = settings.missing;
  classSettings.categories = settings.categories;
  const auto mostCategories = static_cast<std::size_t>(maxCategories());
  if (settings.categories && settings.categories->size() > mostCategories) {
    const std::size_t m = settings.categories->size();
    fail("--categories gives " + std::to_string(m) + " categories, which give " + categoryPairsOverLimit(m));
  }
  CellClasses classes(classSettings);
  const std::size_t codes = settings.categories ? std::max<std::size_t>(1, settings.categories->size()) : mostCategories;
  const unsigned threads = settings.threads != 0 ? settings.threads : std::max(1u, std::thread::hardware_concurrency());
  GridPairCounter counter(info.columns, maxOffset, families, codes, threads);

  // Block rows in order; each row becomes runs and goes to the counter,
  // which keeps only the rows the largest offset still needs.
  const std::int64_t rowsAtOnce = std::max<std::int64_t>(1, info.blockRows);
  const auto columns = static_cast<std::size_t>(info.columns);
  std::vector<double> values(static_cast<std::size_t>(std::min(rowsAtOnce, info.rows)) * columns);
  std::int64_t noDataCells = 0;
  for (std::int64_t row = 0; row < info.rows; row += rowsAtOnce) {
    const std::int64_t count = std::min(rowsAtOnce, info.rows - row);
    source.readRows(count, std::span<double>(values.data(), static_cast<std::size_t>(count) * columns));
    for (std::int64_t r = 0; r < count; ++r) {
      std::vector<Run> runs;
      const std::span<const double> cells(values.data() + static_cast<std::size_t>(r) * columns, columns);
      classes.encodeRow(cells, row + r, runs);
      std::int64_t covered = 0;
      for (const Run& run : runs) covered += run.end - run.start;
      noDataCells += info.columns - covered;
      counter.addRow(std::move(runs));
    }
    if (settings.progress) settings.progress(row + count, info.rows);
  }
  counter.finish();

  // The categories: the codes in class order (or as given); a category
  // given but never met stays, with no cells.
  const std::size_t m = classes.codeCount();
  if (m == 0 || std::all_of(classes.cells().begin(), classes.cells().end(), [](std::uint64_t c) { return c == 0; }))
    fail(name + ": no cell holds a class value (every cell is nodata" +
         std::string(settings.missing.empty() ? "" : " or missing") + ")");
  const std::vector<std::size_t> order = classes.classOrder();
  std::vector<std::string> labels(m);
  std::vector<std::uint64_t> members(m);
  for (std::size_t code = 0; code < m; ++code) {
    labels[order[code]] = CellClasses::label(classes.values()[code]);
    members[order[code]] = classes.cells()[code];
  }
  PairCounts counts = emptyCounts(labels, members, n * components.front().step, settings.classCount);

  // Offsets into classes; the mean distance exact from the offsets' totals.
  for (std::size_t k = 1; k <= counts.classes.size(); ++k) {
    LagClassCounts& lagClass = counts.classes[k - 1];
    const std::int64_t firstOffset = static_cast<std::int64_t>(k) * n - n / 2 + (n % 2 == 0 ? 1 : 0);
    const std::int64_t lastOffset = std::min<std::int64_t>(static_cast<std::int64_t>(k) * n + n / 2, maxOffset);
    std::uint64_t pairs = 0;
    double distance = 0;
    for (const Component& c : components) {
      std::uint64_t offsetSum = 0;
      for (std::int64_t d = firstOffset; d <= lastOffset; ++d) {
        for (std::size_t a = 0; a < m; ++a) {
          for (std::size_t b = 0; b < m; ++b) {
            const std::uint64_t found = counter.count(c.family, static_cast<int>(d), a, b);
            if (found == 0) continue;
            const std::size_t from = order[c.swapped ? b : a];
            const std::size_t to = order[c.swapped ? a : b];
            lagClass.pairs[from * m + to] += found;
            pairs += found;
            offsetSum += found * static_cast<std::uint64_t>(d);
          }
        }
      }
      distance += static_cast<double>(offsetSum) * c.step;
    }
    lagClass.meanDistance = pairs == 0 ? 0.0 : distance / static_cast<double>(pairs);
  }
  counts.comments = describe(name, info, settings, classes, noDataCells, components.front());
  return counts;
}

}  // namespace tgram::estimate::raster
