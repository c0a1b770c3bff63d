#include <algorithm>
#include <cctype>
#include <fstream>

#include "estimate/raster/ascii_grid.hpp"
#include "estimate/raster/raster_source.hpp"
#if TGRAM_HAVE_GDAL
#include "estimate/raster/gdal_raster.hpp"
#endif

namespace tgram::estimate::raster {
namespace {

std::string extensionOf(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

// An ASCII grid by its name, or by its first keyword (a grid saved as
// .txt, read with --format raster).
bool isAsciiGrid(const std::filesystem::path& path) {
  if (extensionOf(path) == ".asc") return true;
  std::ifstream file(path, std::ios::binary);
  std::string start(64, '\0');
  file.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<std::size_t>(file.gcount()));
  const std::size_t first = start.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return false;
  std::string word;
  for (std::size_t i = first; i < start.size() && std::isalpha(static_cast<unsigned char>(start[i])); ++i)
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(start[i])));
  return word == "ncols" || word == "nrows";
}

}  // namespace

bool hasRasterName(const std::filesystem::path& path) {
  static constexpr std::string_view extensions[] = {".asc", ".tif", ".tiff", ".gtiff", ".img", ".vrt", ".nc",
                                                    ".jp2", ".png", ".bil",  ".flt",   ".rst", ".sdat", ".kea"};
  const std::string extension = extensionOf(path);
  return std::find(std::begin(extensions), std::end(extensions), extension) != std::end(extensions);
}

bool hasGdal() { return TGRAM_HAVE_GDAL != 0; }

std::string rasterFormats() {
  return hasGdal() ? "ESRI ASCII grids and every format GDAL reads" : "ESRI ASCII grids only, without GDAL";
}

std::unique_ptr<RasterSource> openRaster(const std::filesystem::path& path, int band) {
  // A missing file is said to be missing, in every build.
  std::error_code error;
  if (!std::filesystem::exists(path, error)) throw RasterError(shownPath(path) + ": no such file");
  if (isAsciiGrid(path)) return openAsciiGrid(path, band);
#if TGRAM_HAVE_GDAL
  return openGdalRaster(path, band);
#else
  throw RasterError(shownPath(path) +
                    ": this build of tgramest has no GDAL, so it reads ESRI ASCII grids (.asc) "
                    "only; convert the raster to an ASCII grid (gdal_translate -of AAIGrid), or "
                    "build tgramest with GDAL (libgdal-dev)");
#endif
}

}  // namespace tgram::estimate::raster
