// The pair counts of one run: what a pair finder (samples or a raster)
// hands to the output stage, which turns them into ExpTgrams.txt and the
// pair table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tgram::estimate {

// One lag class k >= 1: ordered pairs whose separation d lies in
// (distanceFrom, distanceTo] = ((k - 1/2) w, (k + 1/2) w].
struct LagClassCounts {
  double distanceFrom = 0.0;
  double distanceTo = 0.0;
  // n_ij(k) at [i * M + j]: ordered pairs with the tail in category i and
  // the head in category j (0-based here; the written tables count from 1).
  std::vector<std::uint64_t> pairs;
  // The mean separation of the class's pairs in the coordinates' unit
  // (meaningless when the class has no pair). A finder computes it so that
  // it depends neither on the thread count nor on the order of the data.
  double meanDistance = 0.0;

  std::uint64_t total() const;                                  // sum over i, j
  std::uint64_t fromCount(std::size_t i, std::size_t m) const;  // n_i(k)
};

struct PairCounts {
  // The M categories in order: the name a plot shows (code or label as in
  // the data) and the number of samples (or cells) of each.
  std::vector<std::string> labels;
  std::vector<std::uint64_t> members;
  double lagWidth = 1.0;  // w, in the coordinates' unit
  // Classes 1..K: classes[k - 1] is class k.
  std::vector<LagClassCounts> classes;
  // Lines that describe the run (input, parameters, samples read and
  // skipped), written as comment lines of the pair table, without the
  // leading "# ".
  std::vector<std::string> comments;

  std::size_t categoryCount() const { return labels.size(); }
};

// Empty classes 1..K of width w for M categories, with their distance ranges.
PairCounts emptyCounts(std::vector<std::string> labels, std::vector<std::uint64_t> members, double lagWidth,
                       int classCount);

}  // namespace tgram::estimate
