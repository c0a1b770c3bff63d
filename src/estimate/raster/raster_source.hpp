// A categorical raster read as a stream of rows, in the file's row order,
// whatever format holds it. The readers (ASCII grid always, every format
// GDAL opens when the build has GDAL) hand out the cell values of one band
// as doubles; deciding what a value means (nodata, class) is left to the
// caller.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "estimate/estimate_error.hpp"

namespace tgram::estimate::raster {

// A raster that cannot be opened or read: the message says what is wrong
// and, where it helps, where. Reported as every condition of a run is.
class RasterError : public EstimateError {
 public:
  using EstimateError::EstimateError;
};

struct RasterInfo {
  std::int64_t columns = 0;
  std::int64_t rows = 0;
  // The cell's size in map units along a row (width) and down a column
  // (height), both positive.
  double cellWidth = 1.0;
  double cellHeight = 1.0;
  // The first row is the northern edge (north up) and the first column the
  // western edge. A file with its rows from south to north (a positive
  // row step in its geotransform) has northUp false.
  bool northUp = true;
  bool eastRight = true;
  // False when the file says nothing about where it lies: the cells are
  // then one unit wide and the first row is taken as the northern one.
  bool georeferenced = false;
  std::string units;  // the map's linear unit ("metre"), empty when unknown
  std::optional<double> nodata;  // the band's nodata value
  int band = 1;
  int bandCount = 1;
  std::string format;  // the reader or GDAL driver, for the pair table
  // How many rows the reader reads at once (the height of the file's
  // blocks): the caller reads in steps of this size.
  std::int64_t blockRows = 1;
};

class RasterSource {
 public:
  virtual ~RasterSource() = default;
  virtual const RasterInfo& info() const = 0;
  // Reads the next `count` rows (file order) into `values`, which holds
  // count * columns cells, row after row. Raises RasterError when the file
  // cannot deliver them.
  virtual void readRows(std::int64_t count, std::span<double> values) = 0;
};

// Opens `path` for its band `band` (from 1): a name ending in .asc (any
// case), or a file that begins with the keyword ncols or nrows, is read as
// an ESRI ASCII grid, anything else through GDAL. A build
// without GDAL refuses every other name with a message that says so.
std::unique_ptr<RasterSource> openRaster(const std::filesystem::path& path, int band);

// Whether `path` has the extension of a raster format (.asc, .tif, .tiff,
// .img, .vrt, ...): such a data file is read as a raster unless --format
// says otherwise.
bool hasRasterName(const std::filesystem::path& path);

// Whether this build reads rasters through GDAL.
bool hasGdal();

// The formats this build reads, for messages and --help.
std::string rasterFormats();

}  // namespace tgram::estimate::raster
