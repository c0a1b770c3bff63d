#include "estimate/raster/raster_run.hpp"

#include <charconv>
#include <cmath>

#include "estimate/raster/grid_estimate.hpp"
#include "runtime/replace_file.hpp"

namespace tgram::estimate::raster {

PairCounts countRaster(const EstimateOptions& options, const ProgressReport& progress) {
  GridSettings settings;
  settings.direction = gridDirection(options.gridDirection.value_or("axes")).value_or(GridDirection::Axes);
  settings.lagCells = static_cast<int>(options.lagWidth.value_or(1));
  settings.classCount = options.maxClass;
  settings.threads = options.threads;
  if (options.missing) settings.missing.push_back(*options.missing);
  if (options.categories) {
    // A raster's categories are its class values: whole numbers.
    std::vector<double> values;
    for (const std::string& item : *options.categories) {
      long long value = 0;
      const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
      if (error != std::errc() || end != item.data() + item.size())
        fail("--categories: " + shown(item) + " is not a whole number (the classes of a raster are its cell values)");
      const auto real = static_cast<double>(value);
      for (const double known : values)
        if (known == real) fail("--categories: " + shown(item) + " is given twice");
      values.push_back(real);
    }
    settings.categories = values;
  }
  settings.progress = [&progress](std::int64_t rowsRead, std::int64_t rows) {
    if (progress) progress(static_cast<std::size_t>(rowsRead), static_cast<std::size_t>(rows));
  };
  const std::unique_ptr<RasterSource> source = openRaster(runtime::pathFromUtf8(options.input), options.band.value_or(1));
  return countGridPairs(*source, shownPath(runtime::pathFromUtf8(options.input)), settings);
}

}  // namespace tgram::estimate::raster
