#include "plot/axes.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tgram::plot {

namespace {

// How many decimals the multiples of `step` need.
int decimalsOf(double step) {
  int decimals = 0;
  double scaled = step;
  while (decimals < 12 && std::fabs(scaled - std::round(scaled)) > 1e-9 * std::max(1.0, scaled)) {
    scaled *= 10.0;
    ++decimals;
  }
  return decimals;
}

}  // namespace

double roundStep(double span) {
  const double rough = span / 4.0;
  if (!(rough > 0.0) || !std::isfinite(rough)) return 1.0;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double factor : {1.0, 2.0, 2.5, 5.0}) {
    if (factor * power >= rough * 0.999) return factor * power;
  }
  return 10.0 * power;
}

std::vector<double> AxisRange::ticks() const {
  std::vector<double> ticks;
  const double first = std::ceil(low / step - 1e-9);
  for (double k = first;; k += 1.0) {
    const double tick = k * step;
    if (tick > high + step * 1e-9 || ticks.size() > 100) break;
    ticks.push_back(tick == 0.0 ? 0.0 : tick);  // no "-0"
  }
  return ticks;
}

std::string AxisRange::label(double tick) const {
  char text[64];
  if (std::fabs(tick) >= 1e6) {
    std::snprintf(text, sizeof text, "%.3g", tick);
    return text;
  }
  std::snprintf(text, sizeof text, "%.*f", decimalsOf(step), tick);
  std::string label = text;
  if (label.find('.') != std::string::npos) {
    while (label.back() == '0') label.pop_back();
    if (label.back() == '.') label.pop_back();
  }
  return label == "-0" ? "0" : label;
}

AxisRange coarser(const AxisRange& axis) {
  AxisRange wider = axis;
  const double power = std::pow(10.0, std::floor(std::log10(axis.step) + 1e-9));
  const double factor = axis.step / power;
  wider.step = (factor < 1.5 ? 2.0 : factor < 4.5 ? 5.0 : 10.0) * power;
  return wider;
}

AxisRange lagAxis(double highest) {
  AxisRange axis;
  axis.low = 0.0;
  axis.high = std::max(highest, 1.0);
  axis.step = std::max(1.0, roundStep(axis.high));
  if (axis.step == 2.5) axis.step = 2.0;  // lags are whole numbers
  return axis;
}

AxisRange probabilityAxis(double lowest, double highest) {
  AxisRange axis;
  axis.low = std::min(lowest, 0.0);
  axis.high = std::max(highest, 1.0);
  axis.step = roundStep(axis.high - axis.low);
  if (axis.low < 0.0) axis.low = std::floor(axis.low / axis.step) * axis.step;
  if (axis.high > 1.0) axis.high = std::ceil(axis.high / axis.step) * axis.step;
  return axis;
}

}  // namespace tgram::plot
