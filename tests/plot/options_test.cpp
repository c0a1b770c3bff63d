// The plot program's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plot/options.hpp"

namespace tgram::plot {
namespace {

TEST(PlotOptions, ReadsEveryForm) {
  using Action = PlotOptions::Action;
  using Names = std::vector<std::string>;
  const struct {
    std::vector<std::string> arguments;
    Action action;
    std::string output;
    std::optional<Names> names;
  } cases[] = {
      {{}, Action::Draw, "Transiograms.svg", std::nullopt},
      {{"-o", "a.svg"}, Action::Draw, "a.svg", std::nullopt},
      {{"--output", "b.svg"}, Action::Draw, "b.svg", std::nullopt},
      {{"--output=c d.svg"}, Action::Draw, "c d.svg", std::nullopt},
      {{"-o", "-dash.svg"}, Action::Draw, "-dash.svg", std::nullopt},  // a value may begin with '-'
      {{"--names", " Clay , Sand,Peat "}, Action::Draw, "Transiograms.svg", Names{"Clay", "Sand", "Peat"}},
      {{"--names=A"}, Action::Draw, "Transiograms.svg", Names{"A"}},
      {{"--names", "A,B", "--names", "C"}, Action::Draw, "Transiograms.svg", Names{"C"}},  // the last one counts
      {{"--help", "--unknown"}, Action::Help, "Transiograms.svg", std::nullopt},
      {{"-o", "x.svg", "-h"}, Action::Help, "x.svg", std::nullopt},
      {{"--version"}, Action::Version, "Transiograms.svg", std::nullopt},
  };
  for (const auto& c : cases) {
    const ParsedOptions parsed = parseOptions(c.arguments);
    const std::string shown = c.arguments.empty() ? "(none)" : c.arguments.front();
    EXPECT_EQ(parsed.error, "") << shown;
    EXPECT_EQ(parsed.options.action, c.action) << shown;
    EXPECT_EQ(parsed.options.output, c.output) << shown;
    EXPECT_EQ(parsed.options.names, c.names) << shown;
  }
}

TEST(PlotOptions, QuietTurnsTheWarningsOff) {
  const struct {
    std::vector<std::string> arguments;
    bool quiet;
  } cases[] = {{{}, false}, {{"-q"}, true}, {{"--quiet"}, true}, {{"-o", "a.svg", "--quiet"}, true}};
  for (const auto& c : cases) {
    const ParsedOptions parsed = parseOptions(c.arguments);
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.quiet, c.quiet) << c.arguments.size();
  }
  EXPECT_EQ(parseOptions({"--quiet=yes"}).error, "unknown option --quiet=yes");
}

TEST(PlotOptions, PairTableAndErrorBars) {
  const struct {
    std::vector<std::string> arguments;
    std::optional<std::string> pairs;
    bool errorBars;
  } cases[] = {{{}, std::nullopt, false},
               {{"--pairs", "a.csv"}, "a.csv", false},
               {{"--pairs=b c.csv", "--error-bars"}, "b c.csv", true},
               {{"--error-bars"}, std::nullopt, true}};
  for (const auto& c : cases) {
    const ParsedOptions parsed = parseOptions(c.arguments);
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.pairs, c.pairs) << c.arguments.size();
    EXPECT_EQ(parsed.options.errorBars, c.errorBars) << c.arguments.size();
  }
}

TEST(PlotOptions, SaysWhatIsWrong) {
  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } cases[] = {
      {{"-x"}, "unknown option -x"},
      {{"--name=A"}, "unknown option --name=A"},
      {{"out.svg"}, "unexpected argument out.svg (the input is always ExpTgrams.txt in the current folder)"},
      {{"-o"}, "option -o needs a value"},
      {{"--names"}, "option --names needs a value"},
      {{"--output="}, "the picture's file name is empty"},
      {{"--pairs"}, "option --pairs needs a value"},
      {{"--pairs="}, "the pair table's file name is empty"},
      {{"--error-bars=yes"}, "unknown option --error-bars=yes"},
      {{"--names", "A,,C"}, "--names: name 2 is empty"},
      {{"--names", ""}, "--names: name 1 is empty"},
      {{"--names", "A, "}, "--names: name 2 is empty"},
  };
  for (const auto& c : cases) EXPECT_EQ(parseOptions(c.arguments).error, c.error) << c.arguments.front();
}

}  // namespace
}  // namespace tgram::plot
