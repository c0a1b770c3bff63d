// The panels' axes: round ticks, 0..1 unless a value lies outside, and the
// mapping of a lag and a probability to a point.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plot/axes.hpp"

namespace tgram::plot {
namespace {

std::vector<std::string> labels(const AxisRange& axis) {
  std::vector<std::string> texts;
  for (double tick : axis.ticks()) texts.push_back(axis.label(tick));
  return texts;
}

TEST(Axes, LagAxisRunsToTheHighestLagWithWholeRoundTicks) {
  const struct {
    double highest;
    std::vector<std::string> ticks;
    double high;
  } cases[] = {
      {20, {"0", "5", "10", "15", "20"}, 20},
      {23, {"0", "10", "20"}, 23},
      {1000, {"0", "250", "500", "750", "1000"}, 1000},
      {8, {"0", "2", "4", "6", "8"}, 8},
      {3, {"0", "1", "2", "3"}, 3},
      {0, {"0", "1"}, 1},    // a single lag 0: the axis still has a length
      {-5, {"0", "1"}, 1},
      {10, {"0", "2", "4", "6", "8", "10"}, 10},  // never a step of 2.5 lags
  };
  for (const auto& c : cases) {
    const AxisRange axis = lagAxis(c.highest);
    EXPECT_EQ(axis.low, 0.0);
    EXPECT_EQ(axis.high, c.high) << c.highest;
    EXPECT_EQ(labels(axis), c.ticks) << c.highest;
  }
}

TEST(Axes, ProbabilityAxisIsWidenedOnlyByValuesOutside) {
  const struct {
    double lowest, highest;
    double low, high;
    std::vector<std::string> ticks;
  } cases[] = {
      {0.0, 1.0, 0.0, 1.0, {"0", "0.25", "0.5", "0.75", "1"}},
      {0.2, 0.6, 0.0, 1.0, {"0", "0.25", "0.5", "0.75", "1"}},
      {-0.2, 1.3, -0.5, 1.5, {"-0.5", "0", "0.5", "1", "1.5"}},
      {0.0, 1.0001, 0.0, 1.25, {"0", "0.25", "0.5", "0.75", "1", "1.25"}},
      {-3e38, 3e38, -4e38, 4e38, {"-4e+38", "-2e+38", "0", "2e+38", "4e+38"}},
  };
  for (const auto& c : cases) {
    const AxisRange axis = probabilityAxis(c.lowest, c.highest);
    EXPECT_DOUBLE_EQ(axis.low, c.low) << c.lowest;
    EXPECT_DOUBLE_EQ(axis.high, c.high) << c.highest;
    EXPECT_EQ(labels(axis), c.ticks) << c.lowest << ".." << c.highest;
  }
}

TEST(Axes, CoarserStepsAreRoundAndFewer) {
  const struct {
    double highest;
    std::vector<std::string> ticks;
  } cases[] = {
      {1000, {"0", "500", "1000"}},  // from 250
      {20, {"0", "10", "20"}},       // from 5
      {8, {"0", "5"}},               // from 2
      {3, {"0", "2"}},               // from 1
  };
  for (const auto& c : cases) EXPECT_EQ(labels(coarser(lagAxis(c.highest))), c.ticks) << c.highest;
}

TEST(Axes, FrameMapsLagsRightAndProbabilitiesUp) {
  const PanelFrame frame{100, 50, 200, 80, lagAxis(20), probabilityAxis(0, 1)};
  const struct {
    double lag, p, x, y;
  } cases[] = {{0, 0, 100, 130}, {20, 1, 300, 50}, {5, 0.25, 150, 110}, {10, 0.5, 200, 90}};
  for (const auto& c : cases) {
    const Point point = frame.at(c.lag, c.p);
    EXPECT_DOUBLE_EQ(point.x, c.x);
    EXPECT_DOUBLE_EQ(point.y, c.y);
  }
}

}  // namespace
}  // namespace tgram::plot
