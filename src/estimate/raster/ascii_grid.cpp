#include "estimate/raster/ascii_grid.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>

namespace tgram::estimate::raster {
namespace {

constexpr std::size_t kChunk = 1 << 16;
// Longer tokens are no number this reader takes.
constexpr std::size_t kLongestToken = 64;

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::optional<double> toReal(const std::string& token) {
  double value = 0;
  const char* first = token.data();
  const char* last = token.data() + token.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

AsciiGrid::AsciiGrid(std::unique_ptr<std::istream> input, std::string name, int band)
    : input_(std::move(input)), name_(std::move(name)) {
  info_.format = "ESRI ASCII grid";
  info_.band = band;
  info_.bandCount = 1;
  info_.georeferenced = true;
  info_.blockRows = 1;
  if (band != 1)
    throw RasterError(name_ + ": band " + std::to_string(band) +
                      " does not exist (an ASCII grid has one band)");

  // The size of the file bounds the number of cells it can hold: every
  // value takes at least one character and a separator.
  input_->seekg(0, std::ios::end);
  const std::streamoff size = input_->tellg();
  input_->seekg(0, std::ios::beg);
  if (!*input_ || size < 0) fail("cannot be read");

  std::optional<std::int64_t> columns, rows;
  std::optional<double> cellSize, dx, dy;
  bool haveX = false, haveY = false;
  while (nextToken()) {
    if (!std::isalpha(static_cast<unsigned char>(token_[0]))) {
      pending_ = true;  // the first value
      break;
    }
    const std::string keyText = token_;
    const std::string key = lower(token_);
    const long keyLine = tokenLine_;
    if (!nextToken() || tokenLine_ != keyLine)
      fail("line " + std::to_string(keyLine) + ": " + key + " has no value");
    const std::string where = "line " + std::to_string(keyLine) + ": ";
    if (key == "ncols" || key == "nrows") {
      std::int64_t count = 0;
      const auto [end, error] =
          std::from_chars(token_.data(), token_.data() + token_.size(), count);
      if (error != std::errc() || end != token_.data() + token_.size() || count < 1)
        fail(where + key + " " + shown(token_) + " is not a positive whole number");
      (key == "ncols" ? columns : rows) = count;
      continue;
    }
    static constexpr std::string_view known[] = {"xllcorner", "xllcenter", "yllcorner", "yllcenter",
                                                 "cellsize",  "dx",        "dy",        "nodata_value"};
    if (std::find(std::begin(known), std::end(known), key) == std::end(known))
      fail(where + "unknown header keyword " + shown(keyText));
    const std::optional<double> value = toReal(token_);
    if (!value) fail(where + key + " " + shown(token_) + " is not a number");
    if (key == "xllcorner" || key == "xllcenter") {
      haveX = true;
    } else if (key == "yllcorner" || key == "yllcenter") {
      haveY = true;
    } else if (key == "cellsize" || key == "dx" || key == "dy") {
      if (!(*value > 0)) fail(where + key + " " + shown(token_) + " is not positive");
      (key == "cellsize" ? cellSize : key == "dx" ? dx : dy) = *value;
    } else {
      info_.nodata = *value;
    }
  }
  if (!columns || !rows) fail("the header lacks ncols or nrows");
  if (!cellSize && !(dx && dy)) fail("the header lacks cellsize");
  if (!haveX || !haveY) fail("the header lacks xllcorner/xllcenter or yllcorner/yllcenter");
  if (*columns > std::numeric_limits<std::int64_t>::max() / *rows ||
      *columns * *rows > size / 2 + 1)
    fail("the header gives " + std::to_string(*columns) + " x " + std::to_string(*rows) +
         " cells, more than the file can hold");
  if (*columns > std::numeric_limits<std::uint32_t>::max() - 1)
    fail("ncols " + std::to_string(*columns) + " is too large");
  info_.columns = *columns;
  info_.rows = *rows;
  info_.cellWidth = cellSize ? *cellSize : *dx;
  info_.cellHeight = cellSize ? *cellSize : *dy;
}

void AsciiGrid::fail(const std::string& what) const { throw RasterError(name_ + ": " + what); }

int AsciiGrid::nextByte() {
  if (at_ == end_) {
    if (ended_) return -1;
    buffer_.resize(kChunk);
    input_->read(buffer_.data(), static_cast<std::streamsize>(kChunk));
    end_ = static_cast<std::size_t>(input_->gcount());
    at_ = 0;
    if (end_ < kChunk) {
      if (input_->bad()) fail("cannot be read");
      ended_ = true;
    }
    if (end_ == 0) return -1;
  }
  return static_cast<unsigned char>(buffer_[at_++]);
}

bool AsciiGrid::nextToken() {
  if (pending_) {
    pending_ = false;
    return true;
  }
  token_.clear();
  int c = nextByte();
  while (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
    if (c == '\n') ++line_;
    c = nextByte();
  }
  if (c < 0) return false;
  tokenLine_ = line_;
  while (c >= 0 && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
    if (token_.size() == kLongestToken) {
      token_ += "...";
      fail("line " + std::to_string(tokenLine_) + ": value " + shown(token_) + " is too long");
    }
    token_ += static_cast<char>(c);
    c = nextByte();
  }
  if (c == '\n') ++line_;
  return true;
}

// The cell about to be read, for a message: "row R, column C" (from 1).
std::string AsciiGrid::cellText() const {
  return "row " + std::to_string(cellsRead_ / info_.columns + 1) + ", column " +
         std::to_string(cellsRead_ % info_.columns + 1);
}

void AsciiGrid::readRows(std::int64_t count, std::span<double> values) {
  const auto cells = static_cast<std::size_t>(count * info_.columns);
  for (std::size_t i = 0; i < cells; ++i) {
    if (!nextToken())
      fail("the file ends at " + cellText() + " of " + std::to_string(info_.rows) + " x " +
           std::to_string(info_.columns) + " cells");
    const std::optional<double> value = toReal(token_);
    if (!value)
      fail("line " + std::to_string(tokenLine_) + ": " + shown(token_) + " at " + cellText() +
           " is not a number");
    values[i] = *value;
    ++cellsRead_;
  }
  if (cellsRead_ == info_.columns * info_.rows && nextToken())
    fail("line " + std::to_string(tokenLine_) + ": " + shown(token_) + " follows the last of " +
         std::to_string(info_.rows) + " x " + std::to_string(info_.columns) + " cells");
}

std::unique_ptr<RasterSource> openAsciiGrid(const std::filesystem::path& path, int band) {
  auto input = std::make_unique<std::ifstream>(path, std::ios::binary);
  const std::string name = shownPath(path);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) throw RasterError(name + ": no such file");
  if (std::filesystem::is_directory(path, error)) throw RasterError(name + ": is a folder");
  if (!*input) throw RasterError(name + ": cannot be opened");
  return std::make_unique<AsciiGrid>(std::move(input), name, band);
}

}  // namespace tgram::estimate::raster
