#include "estimate/pair_search.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <thread>
#include <unordered_map>

namespace tgram::estimate {

namespace {

using Sum = unsigned __int128;

// The samples in bucket order, one array per axis.
struct Buckets {
  std::size_t dimensions = 0;
  std::array<std::vector<double>, 3> axis;
  std::vector<std::uint8_t> category;
  std::vector<std::int64_t> line;
  struct Cell {
    std::uint32_t group;
    std::array<std::int64_t, 3> at;
    std::size_t begin, end;
  };
  std::vector<Cell> cells;
  // The neighbours of each cell that come after it (each neighbouring pair
  // of cells once): cell indices, `neighbourStart[c]` .. `[c + 1]`.
  std::vector<std::size_t> neighbourStart;
  std::vector<std::size_t> neighbours;
};

bool cellBefore(std::uint32_t groupA, const std::array<std::int64_t, 3>& a, std::uint32_t groupB,
                const std::array<std::int64_t, 3>& b) {
  if (groupA != groupB) return groupA < groupB;
  return a < b;
}

Buckets buildBuckets(const SampleTable& samples, const Categories& categories, double reach) {
  Buckets buckets;
  const std::size_t n = samples.size();
  const std::size_t dims = samples.dimensions;
  buckets.dimensions = dims;
  // Groups as numbers.
  std::vector<std::uint32_t> group(n, 0);
  if (!samples.groups.empty()) {
    std::unordered_map<std::string, std::uint32_t> ids;
    for (std::size_t s = 0; s < n; ++s) {
      group[s] = ids.emplace(samples.groups[s], static_cast<std::uint32_t>(ids.size())).first->second;
    }
  }
  // Cells as wide as the reach (wider when the extent would need more than
  // 2^40 cells along an axis: a wider cell still holds every pair in reach).
  std::array<double, 3> low{0, 0, 0};
  std::array<double, 3> cellSize{reach, reach, reach};
  for (std::size_t a = 0; a < dims; ++a) {
    double lo = samples.coordinates[a], hi = lo;
    for (std::size_t s = 0; s < n; ++s) {
      lo = std::min(lo, samples.coordinates[s * dims + a]);
      hi = std::max(hi, samples.coordinates[s * dims + a]);
    }
    low[a] = lo;
    const double extent = hi - lo;
    if (!(extent / cellSize[a] < 1099511627776.0)) cellSize[a] = extent / 1099511627776.0;
  }
  std::vector<std::array<std::int64_t, 3>> at(n, {0, 0, 0});
  for (std::size_t s = 0; s < n; ++s) {
    for (std::size_t a = 0; a < dims; ++a) {
      // Clamped, so that an extent beyond the range of doubles (cells of
      // infinite width) still gives a cell: samples put together in one
      // cell are still compared pair by pair.
      const double cell = std::floor((samples.coordinates[s * dims + a] - low[a]) / cellSize[a]);
      at[s][a] = cell >= 0 && cell <= 2199023255552.0 ? static_cast<std::int64_t>(cell) : 0;
    }
  }
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (group[a] != group[b] || at[a] != at[b]) return cellBefore(group[a], at[a], group[b], at[b]);
    return a < b;
  });
  for (std::size_t a = 0; a < dims; ++a) buckets.axis[a].resize(n);
  buckets.category.resize(n);
  buckets.line.resize(n);
  for (std::size_t r = 0; r < n; ++r) {
    const std::size_t s = order[r];
    for (std::size_t a = 0; a < dims; ++a) buckets.axis[a][r] = samples.coordinates[s * dims + a];
    buckets.category[r] = categories.index[s];
    buckets.line[r] = samples.lines[s];
    if (r == 0 || group[s] != group[order[r - 1]] || at[s] != at[order[r - 1]]) {
      buckets.cells.push_back({group[s], at[s], r, r});
    }
    buckets.cells.back().end = r + 1;
  }
  // The offsets to the neighbours that come after: first non-zero step > 0.
  std::vector<std::array<std::int64_t, 3>> offsets;
  const int span = dims == 1 ? 1 : dims == 2 ? 3 * 3 : 3 * 3 * 3;
  for (int code = 0; code < span; ++code) {
    std::array<std::int64_t, 3> offset{0, 0, 0};
    int rest = code;
    for (std::size_t a = 0; a < dims; ++a) {
      offset[a] = rest % 3 - 1;
      rest /= 3;
    }
    if (dims == 1) offset[0] = 1;
    const auto first = std::find_if(offset.begin(), offset.end(), [](std::int64_t o) { return o != 0; });
    if (first != offset.end() && *first > 0 && std::find(offsets.begin(), offsets.end(), offset) == offsets.end()) {
      offsets.push_back(offset);
    }
  }
  buckets.neighbourStart.push_back(0);
  for (const Buckets::Cell& cell : buckets.cells) {
    for (const auto& offset : offsets) {
      std::array<std::int64_t, 3> next = cell.at;
      for (std::size_t a = 0; a < 3; ++a) next[a] += offset[a];
      const auto found = std::lower_bound(buckets.cells.begin(), buckets.cells.end(), next,
                                          [&](const Buckets::Cell& c, const std::array<std::int64_t, 3>& key) {
                                            return cellBefore(c.group, c.at, cell.group, key);
                                          });
      if (found != buckets.cells.end() && found->group == cell.group && found->at == next) {
        buckets.neighbours.push_back(static_cast<std::size_t>(found - buckets.cells.begin()));
      }
    }
    buckets.neighbourStart.push_back(buckets.neighbours.size());
  }
  return buckets;
}

// One thread's tables.
struct Tally {
  std::size_t m;
  std::vector<std::uint64_t> counts;  // [(k * m + i) * m + j], k = 0..K (0 unused)
  std::vector<Sum> distanceSum;       // per class, in quanta
  std::vector<std::uint64_t> summed;  // pairs in the sum per class
  std::uint64_t visited = 0;
  std::uint64_t conflicts = 0;
  std::vector<std::pair<std::int64_t, std::int64_t>> firstConflicts;

  Tally(std::size_t categories, int classCount)
      : m(categories),
        counts(static_cast<std::size_t>(classCount + 1) * categories * categories, 0),
        distanceSum(static_cast<std::size_t>(classCount + 1), 0),
        summed(static_cast<std::size_t>(classCount + 1), 0) {}

  void conflict(std::int64_t lineA, std::int64_t lineB) {
    ++conflicts;
    const std::pair<std::int64_t, std::int64_t> pair(std::min(lineA, lineB), std::max(lineA, lineB));
    const auto place = std::lower_bound(firstConflicts.begin(), firstConflicts.end(), pair);
    if (firstConflicts.size() < kConflictsShown || place != firstConflicts.end()) {
      firstConflicts.insert(place, pair);
      if (firstConflicts.size() > kConflictsShown) firstConflicts.pop_back();
    }
  }
};

class Counter {
 public:
  Counter(const Buckets& buckets, const PairRule& rule, double quantum)
      : b_(buckets), rule_(rule), scale_(1.0 / quantum), reach2_(rule.reachSquared()), zero2_(rule.lagZeroSquared()) {}

  // Pairs with the tail among samples [i0, i1) of a cell and the head in
  // [j0, j1); within one cell (same), only heads after the tail.
  template <std::size_t D, bool Omni>
  void block(std::size_t i0, std::size_t i1, std::size_t j0, std::size_t j1, bool same, Tally& t) const {
    const double* x[3] = {b_.axis[0].data(), b_.axis[1].data(), b_.axis[2].data()};
    const std::uint8_t* cat = b_.category.data();
    const std::size_t m = t.m;
    for (std::size_t i = i0; i < i1; ++i) {
      double xi[3] = {x[0][i], D > 1 ? x[1][i] : 0.0, D > 2 ? x[2][i] : 0.0};
      const std::size_t first = same ? i + 1 : j0;
      t.visited += j1 > first ? j1 - first : 0;
      for (std::size_t j = first; j < j1; ++j) {
        double v[3];
        double d2 = 0;
        for (std::size_t a = 0; a < D; ++a) {
          v[a] = x[a][j] - xi[a];
          d2 += v[a] * v[a];
        }
        if (d2 > reach2_) continue;
        if (d2 <= zero2_) {
          if (d2 == 0 && cat[i] != cat[j]) t.conflict(b_.line[i], b_.line[j]);
          continue;
        }
        const double d = std::sqrt(d2);
        const auto k = static_cast<std::size_t>(rule_.lagClass(d2, d));
        const auto q = static_cast<std::uint64_t>(d * scale_ + 0.5);
        if constexpr (Omni) {
          ++t.counts[(k * m + cat[i]) * m + cat[j]];
          t.distanceSum[k] += q;
          ++t.summed[k];
        } else {
          const PairSenses s = rule_.senses(v, d2, d);
          if (s.forward) {
            ++t.counts[(k * m + cat[i]) * m + cat[j]];
            t.distanceSum[k] += q;
            ++t.summed[k];
          }
          if (s.backward) {
            ++t.counts[(k * m + cat[j]) * m + cat[i]];
            t.distanceSum[k] += q;
            ++t.summed[k];
          }
        }
      }
    }
  }

  template <std::size_t D, bool Omni>
  void item(std::size_t cell, std::size_t i0, std::size_t i1, Tally& t) const {
    const Buckets::Cell& c = b_.cells[cell];
    block<D, Omni>(i0, i1, c.begin, c.end, true, t);
    for (std::size_t n = b_.neighbourStart[cell]; n < b_.neighbourStart[cell + 1]; ++n) {
      const Buckets::Cell& other = b_.cells[b_.neighbours[n]];
      block<D, Omni>(i0, i1, other.begin, other.end, false, t);
    }
  }

  void run(std::size_t cell, std::size_t i0, std::size_t i1, Tally& t) const {
    const bool omni = rule_.omnidirectional();
    switch (b_.dimensions) {
      case 1:
        return omni ? item<1, true>(cell, i0, i1, t) : item<1, false>(cell, i0, i1, t);
      case 2:
        return omni ? item<2, true>(cell, i0, i1, t) : item<2, false>(cell, i0, i1, t);
      default:
        return omni ? item<3, true>(cell, i0, i1, t) : item<3, false>(cell, i0, i1, t);
    }
  }

 private:
  const Buckets& b_;
  const PairRule& rule_;
  double scale_;
  double reach2_;
  double zero2_;
};

// Tails of one cell are taken this many at a time, so that one crowded
// cell is still shared among the threads.
constexpr std::size_t kTailsPerItem = 256;

}  // namespace

double distanceQuantum(double reach) {
  int exponent = 0;
  std::frexp(reach, &exponent);  // reach < 2^exponent
  return std::ldexp(1.0, exponent - 52);
}

SearchResult countPairs(const SampleTable& samples, const Categories& categories, const PairSettings& settings,
                        unsigned threads, const ProgressReport& progress) {
  const PairRule rule(settings, samples.dimensions);
  const Buckets buckets = buildBuckets(samples, categories, rule.reach());
  const double quantum = distanceQuantum(rule.reach());
  const Counter counter(buckets, rule, quantum);

  struct Item {
    std::size_t cell, begin, end;
  };
  std::vector<Item> items;
  for (std::size_t c = 0; c < buckets.cells.size(); ++c) {
    for (std::size_t i = buckets.cells[c].begin; i < buckets.cells[c].end; i += kTailsPerItem) {
      items.push_back({c, i, std::min(i + kTailsPerItem, buckets.cells[c].end)});
    }
  }
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(1, items.size() / 4)));
  const std::size_t m = categories.labels.size();
  std::vector<Tally> tallies(threads, Tally(m, settings.classCount));

  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::mutex mutex;
  std::condition_variable finished;
  unsigned running = threads;
  const auto work = [&](Tally& tally) {
    constexpr std::size_t kChunk = 16;
    while (true) {
      const std::size_t start = next.fetch_add(kChunk);
      if (start >= items.size()) break;
      const std::size_t end = std::min(start + kChunk, items.size());
      for (std::size_t w = start; w < end; ++w) counter.run(items[w].cell, items[w].begin, items[w].end, tally);
      done.fetch_add(end - start, std::memory_order_relaxed);
    }
    const std::lock_guard<std::mutex> lock(mutex);
    --running;
    finished.notify_all();
  };
  std::vector<std::thread> workers;
  for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work, std::ref(tallies[t]));
  if (progress) {
    // This thread reports while the others count, then counts too.
    workers.emplace_back(work, std::ref(tallies[0]));
    std::unique_lock<std::mutex> lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(200), [&] { return running == 0; })) {
      lock.unlock();
      progress(done.load(), items.size());
      lock.lock();
    }
  } else {
    work(tallies[0]);
  }
  for (std::thread& worker : workers) worker.join();

  // The tables added in thread order.
  Tally total(m, settings.classCount);
  for (const Tally& t : tallies) {
    for (std::size_t e = 0; e < total.counts.size(); ++e) total.counts[e] += t.counts[e];
    for (std::size_t k = 0; k < total.distanceSum.size(); ++k) {
      total.distanceSum[k] += t.distanceSum[k];
      total.summed[k] += t.summed[k];
    }
    total.visited += t.visited;
    total.conflicts += t.conflicts;
    total.firstConflicts.insert(total.firstConflicts.end(), t.firstConflicts.begin(), t.firstConflicts.end());
  }
  SearchResult result;
  result.visited = total.visited;
  result.conflicts = total.conflicts;
  std::sort(total.firstConflicts.begin(), total.firstConflicts.end());
  if (total.firstConflicts.size() > kConflictsShown) total.firstConflicts.resize(kConflictsShown);
  result.firstConflicts = total.firstConflicts;
  const PairCounts shape = emptyCounts(categories.labels, categories.members, settings.lagWidth, settings.classCount);
  result.classes = shape.classes;
  for (int k = 1; k <= settings.classCount; ++k) {
    LagClassCounts& lagClass = result.classes[static_cast<std::size_t>(k - 1)];
    const std::uint64_t* table = &total.counts[static_cast<std::size_t>(k) * m * m];
    for (std::size_t i = 0; i < m; ++i) {
      for (std::size_t j = 0; j < m; ++j) {
        // Omnidirectional: each pair was counted once, in the order found;
        // it counts in both.
        lagClass.pairs[i * m + j] = rule.omnidirectional() ? table[i * m + j] + table[j * m + i] : table[i * m + j];
      }
    }
    const auto ks = static_cast<std::size_t>(k);
    if (total.summed[ks] > 0) {
      lagClass.meanDistance =
          static_cast<double>(total.distanceSum[ks]) / static_cast<double>(total.summed[ks]) * quantum;
    }
  }
  return result;
}

}  // namespace tgram::estimate
