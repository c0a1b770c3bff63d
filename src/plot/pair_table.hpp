// The pair table that tgramest writes beside ExpTgrams.txt: the category
// names and, for each lag and category pair, the pair counts and the
// standard error behind the experimental value.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/pair_table_format.hpp"
#include "model/transiograms.hpp"

namespace tgram::plot {

using model::kDefaultPairTable;

// What the table says about one experimental point (a lag and a pair).
struct PointCounts {
  bool estimated = false;      // false for a point the table does not estimate (lag 0)
  std::int64_t pairs = 0;      // n_ij
  std::int64_t fromPairs = 0;  // n_i: the pairs of the lag that start in category i
  std::optional<double> standardError;
};

// The table matched to the experimental points of ExpTgrams.txt.
struct PairTable {
  std::vector<std::string> labels;       // one per category, in order
  std::optional<std::int64_t> minPairs;  // from the "# min pairs: N" comment
  std::vector<PointCounts> points;       // of value column f of point e at [e * pairCount + f]

  const PointCounts& at(std::int32_t column, std::int32_t point, std::int32_t pairCount) const {
    return points[static_cast<std::size_t>(point) * static_cast<std::size_t>(pairCount) +
                  static_cast<std::size_t>(column)];
  }
  // A point resting on fewer than twice the minimum pairs (when known).
  bool fewPairs(const PointCounts& counts) const {
    return minPairs && counts.estimated && counts.fromPairs < 2 * *minPairs;
  }
};

// The table, or why it cannot serve the experimental transiograms in
// `tables`: it cannot be parsed, its categories are not those of the input,
// it lacks a lag or a pair of the input, or its values differ from the
// input's.
struct PairTableReading {
  std::optional<PairTable> table;
  std::string problem;  // empty when the table is good
};

PairTableReading parsePairTable(std::string_view text, const model::Transiograms& tables);

// Reads `file` (a name from the command line goes through
// runtime::pathFromUtf8). A missing file gives neither a table nor a
// problem when `mayBeMissing`.
PairTableReading readPairTable(const std::filesystem::path& file, bool mayBeMissing, const model::Transiograms& tables);

}  // namespace tgram::plot
