// Which ordered pairs of samples count, and in which lag class: the
// definitions of the estimator in one place, for the bucket search and for
// the plain all-pairs loop the tests compare it with.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace tgram::estimate {

struct PairSettings {
  double lagWidth = 1.0;  // w > 0
  int classCount = 1;     // K >= 1
  // Absent: omnidirectional (every pair counts in both orders). Present:
  // one component per coordinate, not all 0.
  std::optional<std::vector<double>> direction;
  double toleranceDegrees = 22.5;   // in (0, 90]
  std::optional<double> bandwidth;  // > 0
  bool bothWays = false;
};

// The senses in which a pair of samples a, b counts.
struct PairSenses {
  bool forward = false;   // tail a, head b
  bool backward = false;  // tail b, head a
};

class PairRule {
 public:
  PairRule(const PairSettings& settings, std::size_t dimensions);

  std::size_t dimensions() const { return dimensions_; }
  bool omnidirectional() const { return omni_; }
  // The largest separation that counts: (K + 1/2) w.
  double reach() const { return reach_; }
  double reachSquared() const { return bound2_.back(); }
  // Separations at or below w/2 (squared) fall in lag 0, not estimated.
  double lagZeroSquared() const { return bound2_.front(); }

  // The class k (1..K) of a squared separation d2 with
  // lagZeroSquared() < d2 <= reachSquared(): (k - 1/2) w < d <= (k + 1/2) w,
  // compared on squares.
  int lagClass(double d2, double d) const {
    const double estimate = d * inverseWidth_ + 0.5;  // compared before converting: never out of range
    int k = estimate >= classCount_ ? classCount_ : estimate < 1 ? 1 : static_cast<int>(estimate);
    while (k > 1 && d2 <= bound2_[static_cast<std::size_t>(k - 1)]) --k;
    while (d2 > bound2_[static_cast<std::size_t>(k)]) ++k;
    return k;
  }

  // The senses in which the pair with separation v = b - a (d2 = |v|^2 > 0,
  // d = |v|) counts under a direction.
  PairSenses senses(const double* v, double d2, double d) const {
    double along = 0;
    for (std::size_t a = 0; a < dimensions_; ++a) along += v[a] * unit_[a];
    if (bandwidth2_) {
      const double across2 = d2 - along * along;
      if (across2 > *bandwidth2_) return {};
    }
    const double least = cosTolerance_ * d;
    PairSenses s{along >= least, -along >= least};
    if (bothWays_ && (s.forward || s.backward)) s = {true, true};
    return s;
  }

 private:
  std::size_t dimensions_;
  int classCount_;
  double reach_;
  double inverseWidth_;
  std::vector<double> bound2_;  // ((k + 1/2) w)^2 for k = 0..K
  bool omni_;
  double unit_[3] = {0, 0, 0};
  double cosTolerance_ = 0;
  std::optional<double> bandwidth2_;
  bool bothWays_ = false;
};

}  // namespace tgram::estimate
