// Small GeoTIFFs for the tests, written through GDAL itself (builds with
// GDAL only).
#pragma once

#include <gdal.h>
#include <ogr_srs_api.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "estimate/raster/class_map.hpp"

namespace tgram::estimate::raster::testing {

// Writes `map` as a GeoTIFF of 16 x 16 tiles (or strips of 3 rows), Int16,
// with its nodata value, in the Dutch national grid; north up, or with the rows from south to north.
inline void writeGeoTiff(const std::filesystem::path& path, const ClassMap& map, bool northUp, bool tiled, int bands = 1) {
  GDALAllRegister();
  GDALDriverH driver = GDALGetDriverByName("GTiff");
  const char* tiles[] = {"TILED=YES", "BLOCKXSIZE=16", "BLOCKYSIZE=16", "COMPRESS=DEFLATE", nullptr};
  const char* strips[] = {"BLOCKYSIZE=3", nullptr};
  GDALDatasetH dataset = GDALCreate(driver, path.string().c_str(), map.columns(), map.rows(), bands, GDT_Int16,
                                    const_cast<char**>(tiled ? tiles : strips));
  ASSERT_NE(dataset, nullptr);
  const double cell = 40;
  double transform[6] = {178440, cell, 0, 333760, 0, -cell};
  if (!northUp) {
    transform[3] = 333760 - cell * map.rows();
    transform[5] = cell;
  }
  GDALSetGeoTransform(dataset, transform);
  // The Dutch national grid, in metres.
  OGRSpatialReferenceH reference = OSRNewSpatialReference(nullptr);
  ASSERT_EQ(OSRImportFromEPSG(reference, 28992), OGRERR_NONE);
  GDALSetSpatialRef(dataset, reference);
  OSRDestroySpatialReference(reference);
  GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
  GDALSetRasterNoDataValue(band, map.nodata);
  std::vector<std::int16_t> row(static_cast<std::size_t>(map.columns()));
  for (int r = 0; r < map.rows(); ++r) {
    const auto& cells = map.cells[static_cast<std::size_t>(northUp ? r : map.rows() - 1 - r)];
    for (std::size_t c = 0; c < row.size(); ++c) row[c] = static_cast<std::int16_t>(cells[c]);
    ASSERT_EQ(GDALRasterIO(band, GF_Write, 0, r, map.columns(), 1, row.data(), map.columns(), 1, GDT_Int16, 0, 0),
              CE_None);
  }
  GDALClose(dataset);
}

}  // namespace tgram::estimate::raster::testing
