#include "estimate/raster/cell_classes.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>

#include "estimate/categories.hpp"
#include "estimate/raster/raster_source.hpp"

namespace tgram::estimate::raster {
namespace {

constexpr std::uint32_t kNoCode = 0xFFFFFFFFu;

// A value as it would read back: the shortest text that gives it.
std::string valueText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  for (int precision = 1; precision < 17; ++precision) {
    char shorter[40];
    std::snprintf(shorter, sizeof shorter, "%.*g", precision, value);
    if (std::strtod(shorter, nullptr) == value) return shorter;
  }
  return text;
}

// A class value that cannot be taken, raised with where it stands.
[[noreturn]] void failAt(const std::string& name, std::int64_t row, std::int64_t column,
                         const std::string& what) {
  throw RasterError(name + ": row " + std::to_string(row + 1) + ", column " +
                    std::to_string(column + 1) + ": " + what);
}

}  // namespace

CellClasses::CellClasses(Settings settings) : settings_(std::move(settings)) {
  if (settings_.categories) {
    values_ = *settings_.categories;
    cells_.assign(values_.size(), 0);
  }
}

std::string CellClasses::label(double value) {
  if (std::fabs(value) < 1e15) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    return text;
  }
  return valueText(value);
}

bool CellClasses::isNoData(double value) const {
  if (std::isnan(value)) return settings_.nodata && std::isnan(*settings_.nodata);
  if (settings_.nodata && value == *settings_.nodata) return true;
  return std::find(settings_.missing.begin(), settings_.missing.end(), value) !=
         settings_.missing.end();
}

std::uint32_t CellClasses::codeOf(double value, std::int64_t row, std::int64_t column) {
  if (isNoData(value)) return kNoCode;
  if (!std::isfinite(value) || value != std::nearbyint(value))
    failAt(settings_.name, row, column, "the class value " + valueText(value) +
           " is not a whole number (class values must be whole numbers; use --missing " +
           "for a value that means no data)");
  const auto known = std::find(values_.begin(), values_.end(), value);
  if (known != values_.end()) return static_cast<std::uint32_t>(known - values_.begin());
  if (settings_.categories)
    failAt(settings_.name, row, column,
           "the class value " + label(value) + " is not among the categories given");
  if (values_.size() == static_cast<std::size_t>(maxCategories()))
    failAt(settings_.name, row, column,
           "the class value " + label(value) + " makes " + std::to_string(values_.size() + 1) +
           " categories, which give " + categoryPairsOverLimit(values_.size() + 1));
  values_.push_back(value);
  cells_.push_back(0);
  return static_cast<std::uint32_t>(values_.size() - 1);
}

void CellClasses::encodeRow(std::span<const double> values, std::int64_t row,
                            std::vector<Run>& runs) {
  runs.clear();
  const std::size_t columns = values.size();
  std::size_t start = 0;
  while (start < columns) {
    const double value = values[start];
    std::size_t end = start + 1;
    // Equal values (bit for bit: NaN nodata cells form runs too).
    while (end < columns && (values[end] == value || (std::isnan(value) && std::isnan(values[end]))))
      ++end;
    const std::uint32_t code = codeOf(value, row, static_cast<std::int64_t>(start));
    if (code != kNoCode) {
      cells_[code] += end - start;
      runs.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end), code});
    }
    start = end;
  }
}

std::vector<std::size_t> CellClasses::classOrder() const {
  std::vector<std::size_t> codes(values_.size());
  std::iota(codes.begin(), codes.end(), std::size_t{0});
  std::vector<std::size_t> order(values_.size());
  if (settings_.categories) {
    order = codes;  // the order given
  } else {
    std::sort(codes.begin(), codes.end(),
              [&](std::size_t a, std::size_t b) { return values_[a] < values_[b]; });
    for (std::size_t rank = 0; rank < codes.size(); ++rank) order[codes[rank]] = rank;
  }
  return order;
}

}  // namespace tgram::estimate::raster
