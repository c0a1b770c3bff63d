// Pair counts of a raster in every direction, row order and lag width,
// against the plain loop of class_map.hpp; and the faults of class values.
#include "estimate/raster/grid_estimate.hpp"

#include <gtest/gtest.h>

#include "estimate/raster/class_map.hpp"
#include "estimate/table_checks.hpp"

namespace tgram::estimate::raster {
namespace {

using testing::ClassMap;

// A map served from memory, in the row and column order asked for.
class MemorySource final : public RasterSource {
 public:
  MemorySource(const ClassMap& map, bool northUp, bool eastRight, std::int64_t blockRows) : map_(map) {
    info_.columns = map.columns();
    info_.rows = map.rows();
    info_.cellWidth = 10;
    info_.cellHeight = 10;
    info_.northUp = northUp;
    info_.eastRight = eastRight;
    info_.georeferenced = true;
    info_.units = "metre";
    info_.nodata = map.nodata;
    info_.format = "memory";
    info_.blockRows = blockRows;
  }
  const RasterInfo& info() const override { return info_; }
  void readRows(std::int64_t count, std::span<double> values) override {
    for (std::int64_t r = 0; r < count; ++r, ++next_) {
      const auto row = static_cast<std::size_t>(info_.northUp ? next_ : info_.rows - 1 - next_);
      for (std::int64_t c = 0; c < info_.columns; ++c) {
        const auto column = static_cast<std::size_t>(info_.eastRight ? c : info_.columns - 1 - c);
        values[static_cast<std::size_t>(r * info_.columns + c)] = map_.cells[row][column];
      }
    }
  }

 private:
  const ClassMap& map_;
  RasterInfo info_;
  std::int64_t next_ = 0;
};

TEST(GridPairs, EveryDirectionRowOrderAndLagWidthEqualsThePlainLoop) {
  const ClassMap map = testing::patchyMap(23, 31, 3, 5);
  const std::vector<std::string> directions = {"east",      "west",      "north",     "south",    "northeast",
                                               "northwest", "southeast", "southwest", "axes"};
  for (const std::string& direction : directions) {
    for (const bool northUp : {true, false}) {
      for (const bool eastRight : {true, false}) {
        for (const int lagCells : {1, 2, 3}) {
          SCOPED_TRACE(direction + (northUp ? " north up" : " south up") + (eastRight ? "" : " east left") +
                       ", lag width " + std::to_string(lagCells));
          MemorySource source(map, northUp, eastRight, 4);
          GridSettings settings;
          settings.direction = *gridDirection(direction);
          settings.lagCells = lagCells;
          settings.classCount = 6;
          settings.threads = 2;
          const PairCounts counts = countGridPairs(source, "map", settings);
          const auto expected = testing::plainCounts(map, direction, lagCells, 6);
          ASSERT_EQ(counts.classes.size(), expected.size());
          for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(counts.classes[k].pairs, expected[k]) << "class " << k + 1;
        }
      }
    }
  }
}

TEST(GridPairs, CategoriesDistancesAndComments) {
  ClassMap map;
  map.cells = {{3, 3, 7, -9999}, {7, 3, 3, 3}};
  MemorySource source(map, true, true, 1);
  GridSettings settings;
  settings.direction = GridDirection::Southeast;
  settings.classCount = 2;
  const PairCounts counts = countGridPairs(source, "map", settings);
  EXPECT_EQ(counts.labels, (std::vector<std::string>{"3", "7"}));
  EXPECT_EQ(counts.members, (std::vector<std::uint64_t>{5, 2}));
  // Southeast: (row 0, col c) -> (row 1, col c + 1): 3->3, 3->3, 7->3.
  EXPECT_EQ(counts.classes[0].pairs, (std::vector<std::uint64_t>{2, 0, 1, 0}));
  EXPECT_DOUBLE_EQ(counts.classes[0].meanDistance, std::hypot(10.0, 10.0));
  EXPECT_DOUBLE_EQ(counts.lagWidth, std::hypot(10.0, 10.0));
  bool cellSize = false;
  for (const std::string& line : counts.comments) cellSize |= line == "cell size: 10 x 10 metre";
  EXPECT_TRUE(cellSize);
}

TEST(GridPairs, ClassesGivenKeepTheirOrderAndMissingValuesDropOut) {
  ClassMap map;
  map.cells = {{1, 2, 5, 2, 1}};
  MemorySource source(map, true, true, 1);
  GridSettings settings;
  settings.direction = GridDirection::East;
  settings.classCount = 1;
  settings.categories = std::vector<double>{2, 1};
  settings.missing = {5};
  const PairCounts counts = countGridPairs(source, "map", settings);
  EXPECT_EQ(counts.labels, (std::vector<std::string>{"2", "1"}));
  EXPECT_EQ(counts.members, (std::vector<std::uint64_t>{2, 2}));
  // 1->2 (categories 2 -> 1), 2->1 (1 -> 2): 5 takes part in no pair.
  EXPECT_EQ(counts.classes[0].pairs, (std::vector<std::uint64_t>{0, 1, 1, 0}));
}

TEST(GridPairs, FaultsOfTheClassValues) {
  struct Case {
    const char* name;
    std::vector<std::vector<double>> cells;
    std::optional<std::vector<double>> categories;
    const char* message;
  };
  std::vector<double> many;
  for (int v = 1; v <= 21; ++v) many.push_back(v);
  const std::vector<Case> cases = {
      {"fractional", {{1, 2, 2}, {1, 2.5, 1}}, std::nullopt,
       "map: row 2, column 2: the class value 2.5 is not a whole number"},
      {"too many classes", {many}, std::nullopt,
       "map: row 1, column 21: the class value 21 makes 21 categories, which give 441 category pairs; "
       "tgraminterp takes at most 401 (at most 20 categories)"},
      {"all nodata", {{-9999, -9999}, {-9999, -9999}}, std::nullopt,
       "map: no cell holds a class value (every cell is nodata)"},
      {"not among the categories", {{1, 2, 3}}, std::vector<double>{1, 2},
       "map: row 1, column 3: the class value 3 is not among the categories given"},
  };
  for (const Case& c : cases) {
    ClassMap map;
    map.cells = c.cells;
    MemorySource source(map, true, true, 1);
    GridSettings settings;
    settings.categories = c.categories;
    const std::string error = tgram::testing::errorOf([&] { countGridPairs(source, "map", settings); });
    EXPECT_EQ(error.substr(0, std::string(c.message).size()), c.message) << c.name;
  }
}

}  // namespace
}  // namespace tgram::estimate::raster
