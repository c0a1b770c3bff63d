#include "estimate/pair_rule.hpp"

namespace tgram::estimate {

PairRule::PairRule(const PairSettings& settings, std::size_t dimensions)
    : dimensions_(dimensions),
      classCount_(settings.classCount),
      reach_((settings.classCount + 0.5) * settings.lagWidth),
      inverseWidth_(1.0 / settings.lagWidth),
      omni_(!settings.direction) {
  for (int k = 0; k <= settings.classCount; ++k) {
    const double bound = (k + 0.5) * settings.lagWidth;
    bound2_.push_back(bound * bound);
  }
  if (settings.direction) {
    double length2 = 0;
    for (const double c : *settings.direction) length2 += c * c;
    const double length = std::sqrt(length2);
    for (std::size_t a = 0; a < dimensions && a < settings.direction->size(); ++a) {
      unit_[a] = (*settings.direction)[a] / length;
    }
    // At 90 degrees the cone is the half-space ahead, the plane across
    // included: cos(90 degrees) is taken as exactly 0.
    cosTolerance_ =
        settings.toleranceDegrees >= 90.0 ? 0.0 : std::cos(settings.toleranceDegrees * 3.14159265358979323846 / 180.0);
    if (settings.bandwidth) bandwidth2_ = *settings.bandwidth * *settings.bandwidth;
    bothWays_ = settings.bothWays;
  }
}

}  // namespace tgram::estimate
