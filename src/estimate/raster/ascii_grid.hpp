// ESRI ASCII grid (.asc): a header of keyword lines (ncols, nrows,
// xllcorner or xllcenter, yllcorner or yllcenter, cellsize, optional
// NODATA_value), then nrows x ncols values separated by blanks and line
// ends, the first row the northern one. Read without GDAL, in one pass,
// one block of rows at a time.
#pragma once

#include <istream>
#include <memory>
#include <string>

#include "estimate/raster/raster_source.hpp"

namespace tgram::estimate::raster {

class AsciiGrid final : public RasterSource {
 public:
  // Reads the header from `input` (named `name` in messages); raises
  // RasterError when it is not a valid header or `band` is not 1.
  AsciiGrid(std::unique_ptr<std::istream> input, std::string name, int band);

  const RasterInfo& info() const override { return info_; }
  void readRows(std::int64_t count, std::span<double> values) override;

 private:
  [[noreturn]] void fail(const std::string& what) const;
  std::string cellText() const;
  bool nextToken();  // the next blank-separated token into token_
  int nextByte();

  std::unique_ptr<std::istream> input_;
  std::string name_;
  RasterInfo info_;
  std::string buffer_;
  std::size_t at_ = 0;
  std::size_t end_ = 0;
  bool ended_ = false;
  std::string token_;
  long line_ = 1;       // the line the reader is on
  long tokenLine_ = 1;  // the line token_ stands on
  bool pending_ = false;  // token_ is read but not yet used
  std::int64_t cellsRead_ = 0;
};

std::unique_ptr<RasterSource> openAsciiGrid(const std::filesystem::path& path, int band);

}  // namespace tgram::estimate::raster
