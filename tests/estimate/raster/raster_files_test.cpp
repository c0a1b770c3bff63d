// The raster readers on files: ASCII grids always, GeoTIFFs written here
// through GDAL when the build has it; the counts of what they read against
// the plain loop, and the faults of files.
#include <gtest/gtest.h>

#include <sstream>

#include "estimate/raster/ascii_grid.hpp"
#include "estimate/raster/class_map.hpp"
#include "estimate/raster/grid_estimate.hpp"
#include "estimate/table_checks.hpp"
#include "support/process.hpp"

#if TGRAM_HAVE_GDAL
#include "estimate/raster/geotiff_writer.hpp"
#endif

namespace tgram::estimate::raster {
namespace {

using testing::ClassMap;
using tgram::testing::errorOf;
using tgram::testing::ScratchDir;
using tgram::testing::writeFile;

std::vector<double> readAll(RasterSource& source) {
  std::vector<double> values(static_cast<std::size_t>(source.info().columns * source.info().rows));
  source.readRows(source.info().rows, values);
  return values;
}

TEST(AsciiGrid, ReadsHeaderAndValues) {
  auto input = std::make_unique<std::istringstream>(
      "NCOLS 3\r\nnrows 2\r\nxllcenter 0.5\r\nYLLCENTER 1\r\nCellSize 40\r\nNODATA_value -1\r\n"
      "1 2 -1\r\n\t+4 5e0\n6\n");
  AsciiGrid grid(std::move(input), "g.asc", 1);
  EXPECT_EQ(grid.info().columns, 3);
  EXPECT_EQ(grid.info().rows, 2);
  EXPECT_EQ(grid.info().cellWidth, 40);
  EXPECT_EQ(grid.info().nodata, -1.0);
  EXPECT_TRUE(grid.info().northUp);
  EXPECT_EQ(readAll(grid), (std::vector<double>{1, 2, -1, 4, 5, 6}));
}

TEST(AsciiGrid, FaultsOfTheFile) {
  const std::string header = "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\n1 2 3 4\n", "g.asc: the header lacks cellsize"},
      {"ncols 2.5\n", "g.asc: line 1: ncols \"2.5\" is not a positive whole number"},
      {"ncols 0\n", "g.asc: line 1: ncols \"0\" is not a positive whole number"},
      {"ncols\nnrows 2\n", "g.asc: line 1: ncols has no value"},
      {"ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize -1\n", "g.asc: line 5: cellsize \"-1\" is not positive"},
      {"ncols 2\ncolour red\n", "g.asc: line 2: unknown header keyword \"colour\""},
      {"ncols 100000\nnrows 100000\nxllcorner 0\nyllcorner 0\ncellsize 1\n1\n",
       "g.asc: the header gives 100000 x 100000 cells, more than the file can hold"},
      {header + "1 2\n3\n", "g.asc: the file ends at row 2, column 2 of 2 x 2 cells"},
      {header + "1 2\n3 x\n", "g.asc: line 7: \"x\" at row 2, column 2 is not a number"},
      {header + "1 2\n3 nan\n", "g.asc: line 7: \"nan\" at row 2, column 2 is not a number"},
      {header + "1 2\n3 4 5\n", "g.asc: line 7: \"5\" follows the last of 2 x 2 cells"},
      {header + "1 2\n3 " + std::string(70, '4') + "\n", "g.asc: line 7: value \"4444"},
  };
  for (const auto& [text, message] : cases) {
    const std::string error = errorOf([&] {
      AsciiGrid grid(std::make_unique<std::istringstream>(text), "g.asc", 1);
      readAll(grid);
    });
    EXPECT_EQ(error.substr(0, message.size()), message) << text;
  }
  EXPECT_EQ(errorOf([&] { AsciiGrid(std::make_unique<std::istringstream>(header + "1 2 3 4\n"), "g.asc", 2); }),
            "g.asc: band 2 does not exist (an ASCII grid has one band)");
}

TEST(RasterFiles, AsciiGridCountsEqualThePlainLoop) {
  ScratchDir dir;
  const ClassMap map = testing::patchyMap(19, 27, 4, 3);
  writeFile(dir / "map.asc", testing::asciiGrid(map, 25));
  for (const std::string direction : {"axes", "northwest", "south"}) {
    auto source = openRaster(dir / "map.asc", 1);
    GridSettings settings;
    settings.direction = *gridDirection(direction);
    settings.classCount = 8;
    const PairCounts counts = countGridPairs(*source, "map.asc", settings);
    const auto expected = testing::plainCounts(map, direction, 1, 8);
    for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(counts.classes[k].pairs, expected[k]) << direction;
  }
}

TEST(RasterFiles, FaultsOfOpening) {
  ScratchDir dir;
  writeFile(dir / "notes.tif", "this is no raster\n");
  EXPECT_EQ(errorOf([&] { openRaster(dir / "none.asc", 1); }), (dir / "none.asc").string() + ": no such file");
  EXPECT_EQ(errorOf([&] { openRaster(dir.path(), 1); }).find("is a folder") != std::string::npos || !hasGdal(), true);
  const std::string unreadable = errorOf([&] { openRaster(dir / "notes.tif", 1); });
  if (hasGdal()) {
    EXPECT_EQ(unreadable.substr(0, unreadable.find('(')), (dir / "notes.tif").string() + ": GDAL cannot read this file ");
    EXPECT_EQ(errorOf([&] { openRaster(dir / "none.tif", 1); }), (dir / "none.tif").string() + ": no such file");
  } else {
    EXPECT_NE(unreadable.find("this build of tgramest has no GDAL, so it reads ESRI ASCII grids (.asc) only"),
              std::string::npos)
        << unreadable;
  }
}

#if TGRAM_HAVE_GDAL

TEST(RasterFiles, GeoTiffCountsEqualThePlainLoop) {
  ScratchDir dir;
  const ClassMap map = testing::patchyMap(37, 45, 3, 9);
  for (const bool northUp : {true, false}) {
    for (const bool tiled : {true, false}) {
      testing::writeGeoTiff(dir / "map.tif", map, northUp, tiled);
      for (const std::string direction : {"axes", "north", "northeast", "west"}) {
        SCOPED_TRACE(direction + (northUp ? ", north up" : ", south up") + (tiled ? ", tiled" : ", strips"));
        auto source = openRaster(dir / "map.tif", 1);
        EXPECT_EQ(source->info().blockRows, tiled ? 16 : 3);
        EXPECT_EQ(source->info().northUp, northUp);
        GridSettings settings;
        settings.direction = *gridDirection(direction);
        settings.classCount = 12;
        settings.lagCells = 2;
        const PairCounts counts = countGridPairs(*source, "map.tif", settings);
        const auto expected = testing::plainCounts(map, direction, 2, 12);
        for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(counts.classes[k].pairs, expected[k]);
      }
    }
  }
}

TEST(RasterFiles, GeoTiffBandThatDoesNotExist) {
  ScratchDir dir;
  const ClassMap map = testing::patchyMap(4, 5, 2, 1);
  testing::writeGeoTiff(dir / "two.tif", map, true, false, 2);
  EXPECT_EQ(errorOf([&] { openRaster(dir / "two.tif", 3); }),
            (dir / "two.tif").string() + ": band 3 does not exist (the file has 2 bands)");
  EXPECT_EQ(openRaster(dir / "two.tif", 2)->info().band, 2);
}

#endif

}  // namespace
}  // namespace tgram::estimate::raster
