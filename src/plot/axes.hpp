// The axes of the panels: the ranges they show, their ticks, and the one
// mapping from a lag and a probability to a point of a panel.
#pragma once

#include <string>
#include <vector>

#include "plot/svg_writer.hpp"

namespace tgram::plot {

// A range of values with round ticks inside it.
struct AxisRange {
  double low = 0.0;
  double high = 1.0;
  double step = 0.25;  // the distance between ticks

  // The ticks from the first multiple of `step` at or above `low` to `high`.
  std::vector<double> ticks() const;
  // A tick's label: as many decimals as the step needs, no trailing zeros.
  std::string label(double tick) const;
};

// A round step (1, 2, 2.5 or 5 times a power of ten) near `span / 4`.
double roundStep(double span);

// The same range with the next coarser round step (1, 2, 5 times a power of
// ten; 2.5 becomes 5): fewer ticks, for labels that would crowd.
AxisRange coarser(const AxisRange& axis);

// The lag axis: 0 to `highest` (at least 1); whole-number steps.
AxisRange lagAxis(double highest);

// The probability axis: 0 to 1, widened to the next tick when a value lies
// below 0 or above 1.
AxisRange probabilityAxis(double lowest, double highest);

// Where one panel's plot area lies in the picture, and what it shows.
struct PanelFrame {
  double left;
  double top;
  double width;
  double height;
  AxisRange lags;
  AxisRange probabilities;

  Point at(double lag, double probability) const {
    return {left + width * (lag - lags.low) / (lags.high - lags.low),
            top + height * (probabilities.high - probability) / (probabilities.high - probabilities.low)};
  }
  double right() const { return left + width; }
  double bottom() const { return top + height; }
};

}  // namespace tgram::plot
