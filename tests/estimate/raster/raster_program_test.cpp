// tgramest on rasters as a whole: the pair table of GeoTIFFs (several
// blocks, nodata, north up and south up) and of an ASCII grid against the
// plain loop over every cell and offset; the same cells as samples; bad
// rasters refused with nothing written.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "estimate/estimate_run.hpp"
#include "estimate/table_checks.hpp"
#include "estimate/raster/class_map.hpp"
#include "estimate/raster/raster_source.hpp"
#include "support/process.hpp"
#if TGRAM_HAVE_GDAL
#include "estimate/raster/geotiff_writer.hpp"
#endif

namespace tgram::estimate::raster {
namespace {

using testing::ClassMap;
using tgram::testing::EstimateRun;
using tgram::testing::readFile;
using tgram::testing::runEstimateWith;
using tgram::testing::ScratchDir;
using tgram::testing::snapshot;
using tgram::testing::writeFile;

// The pair rows of a pair table past lag 0: "lag,from,to" -> n_ij.
std::map<std::string, std::uint64_t> pairRows(const std::string& table) {
  std::map<std::string, std::uint64_t> rows;
  for (const auto& [key, fields] : tgram::testing::pairRows(table)) {
    if (fields.at(0) == "0") continue;
    rows[key] = std::stoull(fields.at(6));
  }
  return rows;
}

std::map<std::string, std::uint64_t> expectedRows(const std::vector<std::vector<std::uint64_t>>& counts, std::size_t m) {
  std::map<std::string, std::uint64_t> rows;
  for (std::size_t k = 0; k < counts.size(); ++k)
    for (std::size_t i = 0; i < m; ++i)
      for (std::size_t j = 0; j < m; ++j)
        rows[std::to_string(k + 1) + "," + std::to_string(i + 1) + "," + std::to_string(j + 1)] = counts[k][i * m + j];
  return rows;
}

EstimateRun estimateIn(const ScratchDir& dir, std::vector<std::string> arguments) {
  arguments.insert(arguments.end(), {"-q", "-o", (dir / "ExpTgrams.txt").string()});
  return runEstimateWith(arguments);
}

TEST(RasterProgram, AsciiGridPairTableEqualsThePlainLoop) {
  const ScratchDir dir;
  const ClassMap map = testing::patchyMap(21, 26, 3, 4);
  writeFile(dir / "map.asc", testing::asciiGrid(map, 10));
  for (const std::string direction : {"axes", "southwest", "east"}) {
    std::filesystem::remove(dir / "ExpTgrams.txt");
    std::filesystem::remove(dir / "ExpTgrams.pairs.csv");
    const EstimateRun run =
        estimateIn(dir, {(dir / "map.asc").string(), "--direction", direction, "--max-class", "9", "--min-pairs", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(pairRows(readFile(dir / "ExpTgrams.pairs.csv")),
              expectedRows(testing::plainCounts(map, direction, 1, 9), 3))
        << direction;
  }
}

#if TGRAM_HAVE_GDAL
TEST(RasterProgram, GeoTiffPairTableEqualsThePlainLoop) {
  const ScratchDir dir;
  const ClassMap map = testing::patchyMap(37, 45, 4, 12);
  for (const bool northUp : {true, false}) {
    testing::writeGeoTiff(dir / "map.tif", map, northUp, true);
    for (const std::string direction : {"axes", "north", "southeast"}) {
      SCOPED_TRACE(direction + (northUp ? ", north up" : ", south up"));
      const EstimateRun run = estimateIn(dir, {(dir / "map.tif").string(), "--direction", direction, "--max-class",
                                               "7", "--lag-width", "2", "--min-pairs", "1", "--force"});
      ASSERT_EQ(run.status, 0) << run.err;
      const std::string table = readFile(dir / "ExpTgrams.pairs.csv");
      EXPECT_EQ(pairRows(table), expectedRows(testing::plainCounts(map, direction, 2, 7), 4));
      EXPECT_NE(table.find("# cell size: 40 x 40 metre\r\n"), std::string::npos);
      EXPECT_NE(table.find("# nodata: -9999\r\n"), std::string::npos);
    }
  }
}
#endif

// The cells of a map as samples at their centres: a CSV of x, y, class.
std::string cellCentres(const ClassMap& map, double cellSize) {
  std::string csv = "x,y,class\n";
  for (int r = 0; r < map.rows(); ++r)
    for (int c = 0; c < map.columns(); ++c) {
      const double value = map.cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      if (value == map.nodata) continue;
      csv += std::to_string(1000 + (c + 0.5) * cellSize) + "," +
             std::to_string(2000 + (map.rows() - r - 0.5) * cellSize) + "," + std::to_string(static_cast<int>(value)) +
             "\n";
    }
  return csv;
}

TEST(RasterProgram, TheSameCellsAsSamplesGiveTheSameCounts) {
  const ScratchDir dir;
  const ClassMap map = testing::patchyMap(17, 23, 3, 21);
  writeFile(dir / "map.asc", testing::asciiGrid(map, 25));
  writeFile(dir / "cells.csv", cellCentres(map, 25));
  // Along an axis, ahead only, with a tolerance that leaves out every
  // pair off the axis (the nearest is 1 cell aside at 8 cells: 7 degrees).
  const std::vector<std::pair<std::string, std::string>> directions = {
      {"east", "1,0"}, {"north", "0,1"}, {"west", "-1,0"}, {"south", "0,-1"}};
  for (const auto& [name, vector] : directions) {
    const ScratchDir grid, samples;
    const EstimateRun fromGrid = estimateIn(grid, {(dir / "map.asc").string(), "--direction", name, "--max-class",
                                                   "8", "--min-pairs", "1"});
    const EstimateRun fromSamples =
        estimateIn(samples, {(dir / "cells.csv").string(), "--direction", vector, "--tolerance", "1", "--lag-width",
                             "25", "--max-class", "8", "--min-pairs", "1"});
    ASSERT_EQ(fromGrid.status, 0) << fromGrid.err;
    ASSERT_EQ(fromSamples.status, 0) << fromSamples.err;
    const auto gridRows = pairRows(readFile(grid / "ExpTgrams.pairs.csv"));
    EXPECT_EQ(gridRows, pairRows(readFile(samples / "ExpTgrams.pairs.csv"))) << name;
    EXPECT_EQ(readFile(grid / "ExpTgrams.txt"), readFile(samples / "ExpTgrams.txt")) << name;
    std::uint64_t pairs = 0;
    for (const auto& [key, n] : gridRows) pairs += n;
    EXPECT_GT(pairs, 1000u);
  }
}

// The bundled map: its cells as its README counts them, lag 10 (400 m) as
// the main README quotes it, and the same counts from both of its files.
TEST(RasterProgram, TheBundledMap) {
  const std::filesystem::path example = std::filesystem::path(TGRAM_EXAMPLES_DIR) / "meuse-soil-map";
  std::vector<std::string> files = {"meuse-soil-map.asc"};
  if (hasGdal()) files.push_back("meuse-soil-map.tif");
  std::vector<std::map<std::string, std::uint64_t>> tables;
  for (const std::string& file : files) {
    const ScratchDir dir;
    const EstimateRun run = estimateIn(dir, {(example / file).string(), "--max-class", "50"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, 46), "tgramest: 3103 cells, 3 categories; 50 of 50 l");
    const std::string table = readFile(dir / "ExpTgrams.pairs.csv");
    EXPECT_NE(table.find("\r\n1,1,1665,0.536578\r\n2,2,1084,0.349339\r\n3,3,354,0.114083\r\n"), std::string::npos);
    const std::string tables10 = readFile(dir / "ExpTgrams.txt");
    EXPECT_NE(tables10.find("\n10 0.724214 0.225321 0.050465 0.319022 0.546537 0.134441 0.221574 0.416910 0.361516\n"),
              std::string::npos);
    tables.push_back(pairRows(table));
  }
  if (tables.size() == 2) {
    EXPECT_EQ(tables[0], tables[1]);
  }
}

TEST(RasterProgram, BadRastersAreRefusedWithNothingWritten) {
  std::string twentyOne = "ncols 21\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
  for (int v = 1; v <= 21; ++v) twentyOne += std::to_string(v) + " ";
  const std::string header = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nNODATA_value -9\n";
  struct Case {
    const char* name;
    std::string file;      // the raster's name
    std::string contents;  // empty: no file
    std::vector<std::string> options;
    std::string message;   // the error after "tgramest: " and the raster's path
  };
  const std::vector<Case> cases = {
      {"missing file", "none.tif", "", {}, ": no such file; nothing is written\r\n"},
      {"fractional class", "frac.asc", header + "1 2 2\n1 2.25 -9\n", {},
       ": row 2, column 2: the class value 2.25 is not a whole number"},
      {"too many classes", "many.asc", twentyOne, {},
       ": row 1, column 21: the class value 21 makes 21 categories, which give 441 category pairs; tgraminterp "
       "takes at most 401 (at most 20 categories)"},
      {"all nodata", "empty.asc", header + "-9 -9 -9\n-9 7 -9\n", {"--missing", "7"},
       ": no cell holds a class value (every cell is nodata or missing); nothing is written\r\n"},
      {"band that does not exist", "map.asc", header + "1 2 2\n1 2 1\n", {"--band", "2"},
       ": band 2 does not exist (an ASCII grid has one band); nothing is written\r\n"},
      {"unreadable format", "text.tif", "not a raster at all\n", {},
       hasGdal() ? ": GDAL cannot read this file" : ": this build of tgramest has no GDAL"},
      {"text read as a raster", "notes.txt", "x,y,class\n1,2,3\n", {"--format", "raster"},
       hasGdal() ? ": GDAL cannot read this file" : ": this build of tgramest has no GDAL"},
      // An ASCII grid by its first keyword, whatever its name.
      {"fractional class in a .txt grid", "grid.txt", header + "1 2 2\n1.5 2 1\n", {"--format", "raster"},
       ": row 2, column 1: the class value 1.5 is not a whole number"},
  };
  for (const Case& c : cases) {
    const ScratchDir dir;
    if (!c.contents.empty()) writeFile(dir / c.file, c.contents);
    const auto before = snapshot(dir.path());
    std::vector<std::string> arguments = {(dir / c.file).string()};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const EstimateRun run = estimateIn(dir, arguments);
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.out, "") << c.name;
    const std::string expected = "tgramest: " + (dir / c.file).string() + c.message;
    EXPECT_EQ(run.err.substr(0, expected.size()), expected) << c.name;
    EXPECT_EQ(snapshot(dir.path()), before) << c.name << ": something was written";
  }
}

TEST(RasterProgram, CommandLinesThatMixSamplesAndRasters) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"data.csv", "--lag-width", "10", "--direction", "east"},
       "tgramest: --direction east is for rasters; give the samples' direction as DX,DY[,DZ]"},
      {{"map.asc", "--direction", "1,0"}, "tgramest: --direction for a raster is one of east, west, north"},
      {{"map.tif", "--tolerance", "10"}, "tgramest: --tolerance is for samples; map.tif is read as a raster"},
      {{"data.csv", "--lag-width", "10", "--band", "2"}, "tgramest: --band is for rasters"},
  };
  for (const auto& [arguments, message] : cases) {
    const EstimateRun run = runEstimateWith(arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.substr(0, message.size()), message);
  }
  const ScratchDir dir;
  writeFile(dir / "map.asc", "ncols 2\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2\n");
  const EstimateRun run = estimateIn(dir, {(dir / "map.asc").string(), "--lag-width", "1.5"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "tgramest: --lag-width for a raster is a whole number of cells, from 1 to 1000000; nothing is written\r\n");
}

}  // namespace
}  // namespace tgram::estimate::raster
