// The command line of the estimating program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "estimate/text_table.hpp"
#include "model/transiograms.hpp"

namespace tgram::estimate {

struct EstimateOptions {
  enum class Action { Estimate, Help, Version };
  Action action = Action::Estimate;
  std::string input;  // the data file
  // Columns.
  std::optional<std::string> x, y, z, category, group;
  FileFormat format = FileFormat::Auto;
  char delimiter = 0;  // 0: found from the header
  std::optional<double> missing;
  std::optional<std::vector<std::string>> categories;
  // Classes.
  std::optional<double> lagWidth;
  int maxClass = 10;
  std::uint64_t minPairs = 30;
  std::optional<int> maxLag;
  // Direction.
  std::optional<std::vector<double>> direction;
  std::optional<double> tolerance;
  std::optional<double> bandwidth;
  bool bothWays = false;
  // Rasters: the band, and the direction by name (east, ..., axes).
  std::optional<int> band;
  std::optional<std::string> gridDirection;
  // Output.
  std::string output = model::kInputFile;
  std::optional<std::string> pairs;
  bool force = false;
  unsigned threads = 0;  // 0: one per processor
  bool quiet = false;
};

inline constexpr double kDefaultTolerance = 22.5;

// The options, or a message saying what is wrong with the command line (a
// missing or malformed value, an unknown option, no data file). Values that
// are well formed but out of range (a lag width <= 0, ...) are checked by
// checkOptions, since they are faults of the run rather than of the syntax.
struct ParsedOptions {
  EstimateOptions options;
  std::string error;  // empty when the command line is good
};

ParsedOptions parseOptions(const std::vector<std::string>& arguments);

// Raises an EstimateError for a value out of range: w <= 0, a class count
// outside 1..400, a tolerance outside (0, 90], a zero direction, ...
void checkOptions(const EstimateOptions& options);

// Whether the data file is a raster: --format raster, or a name with a
// raster's extension when the format is not given.
bool readsRaster(const EstimateOptions& options);

// What --help shows.
std::string usageText();

}  // namespace tgram::estimate
