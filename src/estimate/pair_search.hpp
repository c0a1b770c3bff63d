// Finding and counting the pairs: a uniform bucket grid whose cells are as
// wide as the largest class distance, so that every pair within reach lies
// in one cell or in two neighbouring ones and is visited once. Threads
// count into tables of their own, added at the end; the counts are whole
// numbers and the separations are summed in fixed point, so the result is
// the same for any thread count and any order of the samples.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "estimate/categories.hpp"
#include "estimate/pair_counts.hpp"
#include "estimate/pair_rule.hpp"
#include "estimate/sample_table.hpp"

namespace tgram::estimate {

struct SearchResult {
  std::vector<LagClassCounts> classes;  // classes 1..K at [k - 1]
  std::uint64_t visited = 0;            // pairs of samples looked at (each pair once)
  // Pairs of samples at the same place with different categories: their
  // number, and the first few by line.
  std::uint64_t conflicts = 0;
  std::vector<std::pair<std::int64_t, std::int64_t>> firstConflicts;
};

inline constexpr std::size_t kConflictsShown = 10;

// Called now and then while the threads count: work done and work in all.
using ProgressReport = std::function<void(std::size_t done, std::size_t total)>;

// Counts the pairs of `samples` (samples of different groups never pair)
// on `threads` threads (0: one per processor).
SearchResult countPairs(const SampleTable& samples, const Categories& categories, const PairSettings& settings,
                        unsigned threads, const ProgressReport& progress = {});

// The fixed-point step in which separations are summed: 2^-s with the
// largest class distance below 2^52 steps.
double distanceQuantum(double reach);

}  // namespace tgram::estimate
