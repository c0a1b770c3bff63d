// The GDAL reader (gdal_raster.cpp, built only when GDAL is found).
#pragma once

#include "estimate/raster/raster_source.hpp"

namespace tgram::estimate::raster {

// Opens `path` through GDAL for its band `band`, ready to read block rows in
// order; raises RasterError when GDAL cannot open it or the band is not there.
std::unique_ptr<RasterSource> openGdalRaster(const std::filesystem::path& path, int band);

}  // namespace tgram::estimate::raster
