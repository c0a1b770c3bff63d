// Arbitrary bytes as an ESRI ASCII grid: the header, then every row in
// blocks of rows, then the classes of the cells; a fault must be a report
// (EstimateError), never a crash, a hang or memory beyond the file's size.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "estimate/raster/ascii_grid.hpp"
#include "estimate/raster/cell_classes.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tgram::estimate;
  try {
    raster::AsciiGrid grid(std::make_unique<std::istringstream>(
                               std::string(reinterpret_cast<const char*>(data), size)),
                           "fuzz.asc", 1);
    const raster::RasterInfo& info = grid.info();
    raster::CellClasses classes({"fuzz.asc", info.nodata, {}, std::nullopt});
    std::vector<double> values(static_cast<std::size_t>(info.columns) * 2);
    std::vector<raster::Run> runs;
    for (std::int64_t row = 0; row < info.rows; row += 2) {
      const std::int64_t count = std::min<std::int64_t>(2, info.rows - row);
      grid.readRows(count, std::span<double>(values.data(), static_cast<std::size_t>(count * info.columns)));
      for (std::int64_t r = 0; r < count; ++r)
        classes.encodeRow(std::span<const double>(values.data() + r * info.columns, static_cast<std::size_t>(info.columns)),
                          row + r, runs);
    }
  } catch (const EstimateError&) {
  }
  return 0;
}
