// A small categorical map for the raster tests, held north up ([0] is the
// northern row), and its pair counts worked out the plain way: every cell,
// every offset.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace tgram::estimate::raster::testing {

struct ClassMap {
  std::vector<std::vector<double>> cells;  // [row from north][column from west]
  double nodata = -9999;

  int rows() const { return static_cast<int>(cells.size()); }
  int columns() const { return static_cast<int>(cells.front().size()); }

  // The distinct class values, increasing.
  std::vector<double> classes() const {
    std::set<double> seen;
    for (const auto& row : cells)
      for (const double v : row)
        if (v != nodata) seen.insert(v);
    return {seen.begin(), seen.end()};
  }
};

// Patches of `classes` class values (1, 2, ...) with some nodata cells.
inline ClassMap patchyMap(int rows, int columns, int classes, unsigned seed) {
  std::mt19937 random(seed);
  ClassMap map;
  map.cells.assign(static_cast<std::size_t>(rows), std::vector<double>(static_cast<std::size_t>(columns)));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      double& cell = map.cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      if (r > 0 && random() % 3 != 0)
        cell = map.cells[static_cast<std::size_t>(r - 1)][static_cast<std::size_t>(c)];
      else if (c > 0 && random() % 4 != 0)
        cell = map.cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c - 1)];
      else
        cell = random() % 9 == 0 ? map.nodata : 1 + static_cast<double>(random() % static_cast<unsigned>(classes));
    }
  }
  return map;
}

// The directions as steps east and north.
struct Step {
  int east, north;
};
inline std::vector<Step> stepsOf(const std::string& direction) {
  if (direction == "axes") return {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  const std::vector<std::pair<std::string, Step>> named = {
      {"east", {1, 0}},      {"west", {-1, 0}},      {"north", {0, 1}},      {"south", {0, -1}},
      {"northeast", {1, 1}}, {"northwest", {-1, 1}}, {"southeast", {1, -1}}, {"southwest", {-1, -1}}};
  for (const auto& [name, step] : named)
    if (name == direction) return {step};
  return {};
}

// n_ij(k) at [k - 1][i * M + j] for classes 1..classCount of `lagCells`
// cells: the pairs whose offset d lies in ((k - 1/2) n, (k + 1/2) n].
inline std::vector<std::vector<std::uint64_t>> plainCounts(const ClassMap& map, const std::string& direction,
                                                           int lagCells, int classCount) {
  const std::vector<double> classes = map.classes();
  const std::size_t m = classes.size();
  auto index = [&](double v) {
    return static_cast<std::size_t>(std::find(classes.begin(), classes.end(), v) - classes.begin());
  };
  std::vector<std::vector<std::uint64_t>> counts(static_cast<std::size_t>(classCount),
                                                 std::vector<std::uint64_t>(m * m, 0));
  for (const Step step : stepsOf(direction)) {
    for (int r = 0; r < map.rows(); ++r) {
      for (int c = 0; c < map.columns(); ++c) {
        const double from = map.cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
        if (from == map.nodata) continue;
        for (int d = 1; 2 * d <= (2 * classCount + 1) * lagCells; ++d) {
          const int r2 = r - step.north * d, c2 = c + step.east * d;
          if (r2 < 0 || r2 >= map.rows() || c2 < 0 || c2 >= map.columns()) continue;
          const double to = map.cells[static_cast<std::size_t>(r2)][static_cast<std::size_t>(c2)];
          if (to == map.nodata) continue;
          // The class k with (k - 1/2) n < d <= (k + 1/2) n.
          const int k = (2 * d + lagCells - 1) / (2 * lagCells);
          if (k < 1) continue;
          ++counts[static_cast<std::size_t>(k - 1)][index(from) * m + index(to)];
        }
      }
    }
  }
  return counts;
}

// The map as an ESRI ASCII grid, first row north.
inline std::string asciiGrid(const ClassMap& map, double cellSize) {
  std::string text = "ncols " + std::to_string(map.columns()) + "\nnrows " + std::to_string(map.rows()) +
                     "\nxllcorner 1000\nyllcorner 2000\ncellsize " + std::to_string(cellSize) +
                     "\nNODATA_value " + std::to_string(static_cast<int>(map.nodata)) + "\n";
  for (const auto& row : map.cells) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) text += ' ';
      text += std::to_string(static_cast<int>(row[c]));
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace tgram::estimate::raster::testing
