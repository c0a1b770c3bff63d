// Rasters through GDAL: every GDAL call of the program is in this file, so
// that a build without GDAL leaves out this one file (raster_open.cpp then
// refuses every format but the ASCII grid).
#include <gdal.h>
#include <cpl_conv.h>
#include <cpl_error.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "estimate/raster/gdal_raster.hpp"
#include "runtime/replace_file.hpp"

namespace tgram::estimate::raster {
namespace {

// Decoded blocks GDAL keeps at least; more when one block row needs it.
constexpr std::int64_t kLeastCache = 32 << 20;
// Rows read at once are bounded by this many cells (when a file's blocks
// are whole images, for example).
constexpr std::int64_t kMostCellsRead = 1 << 22;

void startGdal() {
  static std::once_flag once;
  std::call_once(once, [] {
    GDALAllRegister();
    // GDAL's messages become part of this program's reports, not lines of
    // their own on standard error.
    CPLSetErrorHandler(CPLQuietErrorHandler);
  });
}

std::string lastGdalMessage() {
  const char* message = CPLGetLastErrorMsg();
  return message && *message ? std::string(message) : std::string("no reason given");
}

struct DatasetCloser {
  void operator()(void* dataset) const { GDALClose(static_cast<GDALDatasetH>(dataset)); }
};
// The one open dataset; closed when the reader goes.
using Dataset = std::unique_ptr<void, DatasetCloser>;

class GdalRaster final : public RasterSource {
 public:
  GdalRaster(const std::filesystem::path& path, int band);
  const RasterInfo& info() const override { return info_; }
  void readRows(std::int64_t count, std::span<double> values) override;

 private:
  std::string name_;
  Dataset dataset_;
  GDALRasterBandH band_ = nullptr;
  RasterInfo info_;
  std::int64_t nextRow_ = 0;
};

GdalRaster::GdalRaster(const std::filesystem::path& path, int band) : name_(shownPath(path)) {
  startGdal();
  std::error_code error;
  if (!std::filesystem::exists(path, error)) throw RasterError(name_ + ": no such file");
  if (std::filesystem::is_directory(path, error)) throw RasterError(name_ + ": is a folder");
  CPLErrorReset();
  dataset_.reset(GDALOpen(runtime::utf8Of(path).c_str(), GA_ReadOnly));
  if (!dataset_)
    throw RasterError(name_ + ": GDAL cannot read this file (" + lastGdalMessage() + ")");
  const auto dataset = static_cast<GDALDatasetH>(dataset_.get());
  info_.format = std::string("GDAL ") + GDALGetDriverShortName(GDALGetDatasetDriver(dataset));
  info_.bandCount = GDALGetRasterCount(dataset);
  info_.band = band;
  if (info_.bandCount < 1) throw RasterError(name_ + ": the file holds no raster band");
  if (band < 1 || band > info_.bandCount)
    throw RasterError(name_ + ": band " + std::to_string(band) + " does not exist (the file has " +
                      std::to_string(info_.bandCount) +
                      (info_.bandCount == 1 ? " band)" : " bands)"));
  band_ = GDALGetRasterBand(dataset, band);
  if (GDALDataTypeIsComplex(GDALGetRasterDataType(band_)))
    throw RasterError(name_ + ": band " + std::to_string(band) +
                      " holds complex numbers, not classes");
  info_.columns = GDALGetRasterXSize(dataset);
  info_.rows = GDALGetRasterYSize(dataset);
  if (info_.columns < 1 || info_.rows < 1) throw RasterError(name_ + ": the raster has no cells");

  double transform[6];
  if (GDALGetGeoTransform(dataset, transform) == CE_None) {
    if (transform[2] != 0 || transform[4] != 0)
      throw RasterError(name_ + ": the raster is rotated or sheared (its geotransform has "
                        "row and column terms); its grid directions are not the compass "
                        "directions");
    if (transform[1] == 0 || transform[5] == 0 || !std::isfinite(transform[1]) ||
        !std::isfinite(transform[5]))
      throw RasterError(name_ + ": the geotransform gives a cell size of zero");
    info_.georeferenced = true;
    info_.cellWidth = std::fabs(transform[1]);
    info_.cellHeight = std::fabs(transform[5]);
    info_.eastRight = transform[1] > 0;
    info_.northUp = transform[5] < 0;
  }
  if (OGRSpatialReferenceH reference = GDALGetSpatialRef(dataset)) {
    char* unit = nullptr;
    if (OSRIsGeographic(reference))
      OSRGetAngularUnits(reference, &unit);
    else
      OSRGetLinearUnits(reference, &unit);
    if (unit) info_.units = unit;
  }
  int hasNodata = 0;
  const double nodata = GDALGetRasterNoDataValue(band_, &hasNodata);
  if (hasNodata) info_.nodata = nodata;

  int blockWidth = 0, blockHeight = 0;
  GDALGetBlockSize(band_, &blockWidth, &blockHeight);
  info_.blockRows = std::clamp<std::int64_t>(blockHeight, 1,
                                             std::max<std::int64_t>(1, kMostCellsRead / info_.columns));
  // Enough cache for the tiles of one block row (and the next), not for
  // the whole raster: GDAL's default is a share of the machine's memory.
  const std::int64_t blockRowBytes = info_.columns * std::max(blockHeight, 1) *
                                     GDALGetDataTypeSizeBytes(GDALGetRasterDataType(band_));
  GDALSetCacheMax64(std::max(kLeastCache, 2 * blockRowBytes + (8 << 20)));
}

void GdalRaster::readRows(std::int64_t count, std::span<double> values) {
  CPLErrorReset();
  if (GDALRasterIO(band_, GF_Read, 0, static_cast<int>(nextRow_), static_cast<int>(info_.columns),
                   static_cast<int>(count), values.data(), static_cast<int>(info_.columns),
                   static_cast<int>(count), GDT_Float64, 0, 0) != CE_None)
    throw RasterError(name_ + ": rows " + std::to_string(nextRow_ + 1) + " to " +
                      std::to_string(nextRow_ + count) + " cannot be read (" + lastGdalMessage() +
                      ")");
  nextRow_ += count;
}

}  // namespace

std::unique_ptr<RasterSource> openGdalRaster(const std::filesystem::path& path, int band) {
  return std::make_unique<GdalRaster>(path, band);
}

}  // namespace tgram::estimate::raster
