// The benchmarks' categorical map: 5 classes in patches, as a land-cover or
// soil map has them. The class of a cell comes from a smooth field (a sum
// of four products of waves along the rows and the columns, periods of 60
// to 430 cells) cut at four levels, with a little noise that makes the
// patches' edges ragged; most runs along a row are tens of cells long.
// `noise` gives random classes instead (runs of about one cell).
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "estimate/raster/raster_source.hpp"

namespace tgram::bench {

class ClassMapSource final : public estimate::raster::RasterSource {
 public:
  ClassMapSource(std::int64_t columns, std::int64_t rows, bool noise) : noise_(noise) {
    info_.columns = columns;
    info_.rows = rows;
    info_.cellWidth = info_.cellHeight = 25;
    info_.georeferenced = true;
    info_.units = "metre";
    info_.format = "generated";
    info_.blockRows = 256;
  }
  const estimate::raster::RasterInfo& info() const override { return info_; }
  void readRows(std::int64_t count, std::span<double> values) override {
    if (columnWaves_.empty() && !noise_) {
      columnWaves_.resize(static_cast<std::size_t>(4 * info_.columns));
      for (int t = 0; t < 4; ++t)
        for (std::int64_t c = 0; c < info_.columns; ++c)
          columnWaves_[static_cast<std::size_t>(t * info_.columns + c)] =
              std::cos(kColumnWaves[t] * static_cast<double>(c) - kPhases[3 - t]) / (1 + t);
    }
    for (std::int64_t r = 0; r < count; ++r, ++next_) {
      double rowWave[4];
      for (int t = 0; t < 4; ++t) rowWave[t] = std::sin(kRowWaves[t] * static_cast<double>(next_) + kPhases[t]);
      for (std::int64_t c = 0; c < info_.columns; ++c) {
        const std::uint64_t hash =
            mix(static_cast<std::uint64_t>(next_) * 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(c));
        double& cell = values[static_cast<std::size_t>(r * info_.columns + c)];
        if (noise_) {
          cell = static_cast<double>(1 + hash % 5);
          continue;
        }
        double field = (static_cast<double>(hash % 1000) / 1000.0 - 0.5) * 0.12;
        for (int t = 0; t < 4; ++t) field += rowWave[t] * columnWaves_[static_cast<std::size_t>(t * info_.columns + c)];
        cell = field < -0.6 ? 1 : field < -0.15 ? 2 : field < 0.2 ? 3 : field < 0.7 ? 4 : 5;
      }
    }
  }

 private:
  static std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    return x;
  }
  static constexpr double kRowWaves[4] = {0.0146, 0.0231, 0.0598, 0.0871};
  static constexpr double kColumnWaves[4] = {0.0193, 0.0417, 0.0262, 0.1013};
  static constexpr double kPhases[4] = {0.3, 1.7, 2.9, 4.1};
  estimate::raster::RasterInfo info_;
  bool noise_;
  std::vector<double> columnWaves_;
  std::int64_t next_ = 0;
};

}  // namespace tgram::bench
