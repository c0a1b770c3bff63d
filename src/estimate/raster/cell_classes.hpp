// The cells of a raster row as runs of one class: nodata and missing cells
// left out, every class value checked to be a whole number and given a code
// (in the order first met; classOrder() sorts them at the end).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tgram::estimate::raster {

// The cells [start, end) of one row, all of the class with code `code`.
struct Run {
  std::uint32_t start;
  std::uint32_t end;
  std::uint32_t code;
};

class CellClasses {
 public:
  struct Settings {
    std::string name;               // the raster, for messages
    std::optional<double> nodata;   // the band's nodata value
    std::vector<double> missing;    // more values that mean "no data"
    // The categories in this order (--categories); values not listed are
    // an error. Absent: every class value met, in increasing order.
    std::optional<std::vector<double>> categories;
  };

  explicit CellClasses(Settings settings);

  // The runs of one row (row from 0, file order) into `runs` (cleared
  // first). Raises a RasterError for a value that is not a whole number
  // or one class too many.
  void encodeRow(std::span<const double> values, std::int64_t row, std::vector<Run>& runs);

  std::size_t codeCount() const { return values_.size(); }
  // The class value of each code, and its number of cells.
  const std::vector<double>& values() const { return values_; }
  const std::vector<std::uint64_t>& cells() const { return cells_; }
  // For each code, its category index (from 0) in the categories' order.
  std::vector<std::size_t> classOrder() const;

  // A class value as a category's label ("3", "-12").
  static std::string label(double value);

 private:
  std::uint32_t codeOf(double value, std::int64_t row, std::int64_t column);
  bool isNoData(double value) const;

  Settings settings_;
  std::vector<double> values_;
  std::vector<std::uint64_t> cells_;
};

}  // namespace tgram::estimate::raster
