// The command line of the plot program.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tgram::plot {

inline constexpr const char* kDefaultPicture = "Transiograms.svg";

struct PlotOptions {
  enum class Action { Draw, Help, Version };
  Action action = Action::Draw;
  std::string output = kDefaultPicture;
  std::optional<std::vector<std::string>> names;  // --names, split at commas
  bool quiet = false;                              // --quiet: no warnings about the input
  std::optional<std::string> pairs;                // --pairs FILE: the pair table to read
  bool errorBars = false;                          // --error-bars: +-2 standard errors
};

// The options, or a message saying what is wrong with the command line.
struct ParsedOptions {
  PlotOptions options;
  std::string error;  // empty when the command line is good
};

ParsedOptions parseOptions(const std::vector<std::string>& arguments);

// What --help shows.
std::string usageText();

}  // namespace tgram::plot
