// The output stage's first half: pair counts -> the bytes of ExpTgrams.txt
// and of the pair table. Nothing here touches a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "estimate/pair_counts.hpp"

namespace tgram::estimate {

struct TableSettings {
  // A class is written only when every category has at least this many
  // pairs starting in it (and at least one).
  std::uint64_t minPairs = 30;
  // maxLag of ExpTgrams.txt; absent: the last class written.
  std::optional<int> maxLag;
};

struct EstimateTables {
  std::string expTgrams;         // ExpTgrams.txt: LF line ends, as tgraminterp reads it
  std::string pairTable;         // the pair table (CSV, CR LF line ends)
  std::vector<int> writtenLags;  // the classes written, in order (lag 0 not included)
  int maxLag = 0;
};

// The tables of `counts`. Raises an EstimateError when no class has enough
// pairs (naming the class and category that came nearest), or when the
// counts do not fit the model's tables.
EstimateTables buildTables(const PairCounts& counts, const TableSettings& settings);

// Text helpers shared with the tests.
// n / d rounded to six decimals exactly (ties to even), as "0.803213".
std::string sixDecimals(std::uint64_t numerator, std::uint64_t denominator);
// A field of the pair table, quoted as spreadsheets do when it holds a
// comma, a quote or a line end.
std::string csvField(const std::string& text);

}  // namespace tgram::estimate
