// The pair search and the counts: small fixtures worked out by hand, and
// properties checked on random data.
#include "estimate/pair_search.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "estimate/categories.hpp"
#include "estimate/estimate_tables.hpp"
#include "estimate/sample_table.hpp"

namespace tgram::estimate {
namespace {

struct Data {
  SampleTable samples;
  Categories categories;
};

Data dataOf(const std::string& csv, ReadSettings settings = {}) {
  Data data;
  data.samples = readSamples(csv, "data.csv", settings);
  data.categories = assignCategories(data.samples, std::nullopt, "data.csv");
  return data;
}

using Table = std::vector<std::uint64_t>;

Table countsOf(const SearchResult& result, int k) { return result.classes[static_cast<std::size_t>(k - 1)].pairs; }

Table transposed(const Table& t, std::size_t m) {
  Table r(t.size());
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < m; ++j) r[j * m + i] = t[i * m + j];
  }
  return r;
}

// A log of twelve samples one metre apart, down the hole:
// depth 1..12, codes 1 1 2 2 2 1 3 3 1 1 2 2.
const char* const kLog = "depth,code\n1,1\n2,1\n3,2\n4,2\n5,2\n6,1\n7,3\n8,3\n9,1\n10,1\n11,2\n12,2\n";

TEST(PairSearch, CountsALogByHand) {
  ReadSettings columns;
  columns.columns.coordinates = {"depth"};
  const Data log = dataOf(kLog, columns);
  PairSettings down;
  down.lagWidth = 1;
  down.classCount = 2;
  down.direction = std::vector<double>{1};
  const SearchResult result = countPairs(log.samples, log.categories, down, 1);
  // Lag 1, pairs (d, d+1): 1-1 1-2 2-2 2-2 2-1 1-3 3-3 3-1 1-1 1-2 2-2.
  EXPECT_EQ(countsOf(result, 1), (Table{2, 2, 1, 1, 3, 0, 1, 0, 1}));
  // Lag 2, pairs (d, d+2): 1-2 1-2 2-2 2-1 2-3 1-3 3-1 3-1 1-2 1-2.
  EXPECT_EQ(countsOf(result, 2), (Table{0, 4, 1, 1, 1, 1, 2, 0, 0}));
  EXPECT_EQ(result.classes[0].meanDistance, 1.0);
  EXPECT_EQ(result.classes[1].meanDistance, 2.0);
  // Cells 2.5 m wide hold 3, 2, 3, 2 and 2 samples: only pairs in one cell
  // or in two neighbouring ones are looked at, 31 of the 66.
  EXPECT_EQ(result.visited, 31u);

  // Upwards, the same pairs with head and tail swapped.
  PairSettings up = down;
  up.direction = std::vector<double>{-1};
  const SearchResult upwards = countPairs(log.samples, log.categories, up, 1);
  for (int k = 1; k <= 2; ++k) EXPECT_EQ(countsOf(upwards, k), transposed(countsOf(result, k), 3));
  // Both ways, and without a direction: both orders of every pair.
  PairSettings both = down;
  both.bothWays = true;
  PairSettings omni = down;
  omni.direction.reset();
  for (const PairSettings& settings : {both, omni}) {
    const SearchResult pooled = countPairs(log.samples, log.categories, settings, 1);
    for (int k = 1; k <= 2; ++k) {
      Table sum = countsOf(result, k);
      const Table back = countsOf(upwards, k);
      for (std::size_t e = 0; e < sum.size(); ++e) sum[e] += back[e];
      EXPECT_EQ(countsOf(pooled, k), sum);
    }
  }

  // The written values: lag 1 from 5, 4 and 2 pairs; lag 2 from 5, 3 and 2.
  PairCounts counts = emptyCounts(log.categories.labels, log.categories.members, 1, 2);
  counts.classes = result.classes;
  TableSettings tableSettings;
  tableSettings.minPairs = 2;
  EXPECT_EQ(buildTables(counts, tableSettings).expTgrams,
            "3 2\n9 3\n"
            "0 1.000000 0.000000 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000 1.000000\n"
            "1 0.400000 0.400000 0.200000 0.250000 0.750000 0.000000 0.500000 0.000000 0.500000\n"
            "2 0.000000 0.800000 0.200000 0.333333 0.333333 0.333333 1.000000 0.000000 0.000000\n");
}

TEST(PairSearch, NeverPairsAcrossTwoHoles) {
  // Two holes side by side, sampled at the same depths: all 1 in hole A,
  // all 2 in hole B. Within the holes, each category is followed by
  // itself; a pair across the holes would say otherwise.
  const char* const holes = "hole,depth,code\nA,1,1\nB,1,2\nA,2,1\nB,2,2\nA,3,1\nB,3,2\n";
  ReadSettings settings;
  settings.columns.coordinates = {"depth"};
  settings.columns.category = "code";
  PairSettings down;
  down.lagWidth = 1;
  down.classCount = 2;
  down.direction = std::vector<double>{1};

  settings.columns.group = "hole";
  const Data grouped = dataOf(holes, settings);
  const SearchResult apart = countPairs(grouped.samples, grouped.categories, down, 2);
  EXPECT_EQ(countsOf(apart, 1), (Table{2, 0, 0, 2}));
  EXPECT_EQ(countsOf(apart, 2), (Table{1, 0, 0, 1}));
  EXPECT_EQ(apart.conflicts, 0u);

  settings.columns.group.reset();
  const Data pooled = dataOf(holes, settings);
  const SearchResult crossing = countPairs(pooled.samples, pooled.categories, down, 2);
  EXPECT_EQ(countsOf(crossing, 1), (Table{2, 2, 2, 2}));
  // Samples at the same depth of the two holes are at the same place.
  EXPECT_EQ(crossing.conflicts, 3u);
  using Lines = std::vector<std::pair<std::int64_t, std::int64_t>>;
  EXPECT_EQ(crossing.firstConflicts, (Lines{{2, 3}, {4, 5}, {6, 7}}));
}

TEST(PairSearch, ConeAndBandwidthInTwoDimensions) {
  // From (0,0): heads east, north-east (45 degrees), a little north of
  // east (about 11 degrees) and west.
  const char* const points = "x,y,c\n0,0,1\n4,0,2\n3,3,2\n4,0.8,3\n-4,0,3\n";
  const Data data = dataOf(points);
  PairSettings east;
  east.lagWidth = 4;
  east.classCount = 1;
  east.direction = std::vector<double>{2, 0};  // the length does not matter
  east.toleranceDegrees = 15;
  // Class 1 holds 2 < d <= 6. Ahead within 15 degrees: (0,0)->(4,0),
  // (0,0)->(4,0.8), (-4,0)->(0,0); (3,3)->(4,0.8)? No: -71 degrees.
  // (-4,0)->(3,3) is 23 degrees off: not in the cone.
  EXPECT_EQ(countsOf(countPairs(data.samples, data.categories, east, 1), 1), (Table{0, 1, 1, 0, 0, 0, 1, 0, 0}));
  east.bandwidth = 0.5;  // (4,0.8) is 0.8 off the axis
  EXPECT_EQ(countsOf(countPairs(data.samples, data.categories, east, 1), 1), (Table{0, 1, 0, 0, 0, 0, 1, 0, 0}));
  east.bandwidth.reset();
  east.toleranceDegrees = 90;  // the half-plane ahead, the line across included
  const Table half = countsOf(countPairs(data.samples, data.categories, east, 1), 1);
  // Every pair in the class, in the sense that is not behind: (0,0)->(4,0),
  // (0,0)->(3,3), (0,0)->(4,0.8), (-4,0)->(0,0), (3,3)->(4,0), (3,3)->(4,0.8).
  EXPECT_EQ(half, (Table{0, 2, 1, 0, 1, 1, 1, 0, 0}));
}

TEST(PairSearch, FarApartSamplesBeyondTheRangeOfDoubles) {
  // The extent overflows to infinity; the near pairs are still found.
  const Data data = dataOf("x,y,c\n-1e308,0,1\n1e308,0,2\n1e308,1,1\n-1e308,2,2\n0,0,1\n0,2.2,2\n");
  PairSettings settings;
  settings.lagWidth = 1;
  settings.classCount = 2;
  const SearchResult found = countPairs(data.samples, data.categories, settings, 2);
  EXPECT_EQ(countsOf(found, 1), (Table{0, 1, 1, 0}));  // (1e308,0)-(1e308,1)
  EXPECT_EQ(countsOf(found, 2), (Table{0, 2, 2, 0}));  // (-1e308,0)-(-1e308,2), (0,0)-(0,2.2)
}

// Random samples: coordinates on a coarse lattice (many equal distances,
// some exactly on class bounds) or anywhere.
Data randomData(std::mt19937& random, std::size_t n, std::size_t dims, int m, bool lattice, bool groups) {
  std::uniform_real_distribution<double> anywhere(-50.0, 50.0);
  std::uniform_int_distribution<int> node(-12, 12);
  std::uniform_int_distribution<int> category(1, m);
  std::string csv = dims == 1 ? "x" : dims == 2 ? "x,y" : "x,y,z";
  csv += groups ? ",c,g\n" : ",c\n";
  for (std::size_t s = 0; s < n; ++s) {
    for (std::size_t a = 0; a < dims; ++a) {
      if (a > 0) csv += ',';
      csv += lattice ? std::to_string(node(random) * 3) : std::to_string(anywhere(random));
    }
    csv += "," + std::to_string(category(random));
    if (groups) csv += "," + std::to_string(s % 3);
    csv += "\n";
  }
  ReadSettings settings;
  if (groups) settings.columns.group = "g";
  return dataOf(csv, settings);
}

// Every pair, the plain way, by the same definitions.
std::vector<Table> allPairs(const Data& data, const PairSettings& settings) {
  const PairRule rule(settings, data.samples.dimensions);
  const std::size_t m = data.categories.labels.size();
  const std::size_t dims = data.samples.dimensions;
  std::vector<Table> counts(static_cast<std::size_t>(settings.classCount), Table(m * m, 0));
  for (std::size_t a = 0; a < data.samples.size(); ++a) {
    for (std::size_t b = 0; b < data.samples.size(); ++b) {
      if (a == b || (!data.samples.groups.empty() && data.samples.groups[a] != data.samples.groups[b])) continue;
      double v[3];
      double d2 = 0;
      for (std::size_t x = 0; x < dims; ++x) {
        v[x] = data.samples.coordinates[b * dims + x] - data.samples.coordinates[a * dims + x];
        d2 += v[x] * v[x];
      }
      if (d2 <= rule.lagZeroSquared() || d2 > rule.reachSquared()) continue;
      const double d = std::sqrt(d2);
      // Each ordered pair a -> b once: it counts when its forward sense does.
      if (!rule.omnidirectional() && !rule.senses(v, d2, d).forward) continue;
      const auto k = static_cast<std::size_t>(rule.lagClass(d2, d));
      ++counts[k - 1][data.categories.index[a] * m + data.categories.index[b]];
    }
  }
  return counts;
}

PairSettings randomSettings(std::mt19937& random, std::size_t dims) {
  PairSettings settings;
  settings.lagWidth = std::uniform_int_distribution<int>(0, 1)(random) ? 3.0 : 4.7;
  settings.classCount = std::uniform_int_distribution<int>(1, 8)(random);
  if (std::uniform_int_distribution<int>(0, 2)(random) > 0) {
    std::vector<double> direction(dims);
    std::uniform_int_distribution<int> component(-2, 2);
    do {
      for (double& c : direction) c = component(random);
    } while (std::all_of(direction.begin(), direction.end(), [](double c) { return c == 0; }));
    settings.direction = direction;
    settings.toleranceDegrees = std::uniform_int_distribution<int>(0, 1)(random) ? 90.0 : 30.0;
    if (std::uniform_int_distribution<int>(0, 2)(random) == 0) settings.bandwidth = 4.0;
    settings.bothWays = std::uniform_int_distribution<int>(0, 3)(random) == 0;
  }
  return settings;
}

TEST(PairSearchProperties, BucketsFindWhatAllPairsFind) {
  std::mt19937 random(11);
  for (int round = 0; round < 60; ++round) {
    const std::size_t dims = 1 + static_cast<std::size_t>(round % 3);
    const Data data = randomData(random, 150, dims, 3, round % 2 == 0, round % 5 == 0);
    const PairSettings settings = randomSettings(random, dims);
    const SearchResult found = countPairs(data.samples, data.categories, settings, 2);
    const std::vector<Table> expected = allPairs(data, settings);
    for (int k = 1; k <= settings.classCount; ++k) {
      ASSERT_EQ(countsOf(found, k), expected[static_cast<std::size_t>(k - 1)]) << "round " << round << " class " << k;
    }
  }
}

std::string csvOf(const Data& data, const std::vector<std::size_t>& order) {
  const std::size_t dims = data.samples.dimensions;
  std::string csv = dims == 1 ? "x,c\n" : dims == 2 ? "x,y,c\n" : "x,y,z,c\n";
  char number[64];
  for (const std::size_t s : order) {
    for (std::size_t a = 0; a < dims; ++a) {
      std::snprintf(number, sizeof number, "%.17g", data.samples.coordinates[s * dims + a]);
      if (a > 0) csv += ',';
      csv += number;
    }
    csv += "," + data.samples.categories[s] + "\n";
  }
  return csv;
}

EstimateTables tablesOf(const Data& data, const PairSettings& settings, unsigned threads) {
  const SearchResult found = countPairs(data.samples, data.categories, settings, threads);
  PairCounts counts =
      emptyCounts(data.categories.labels, data.categories.members, settings.lagWidth, settings.classCount);
  counts.classes = found.classes;
  TableSettings tableSettings;
  tableSettings.minPairs = 1;
  return buildTables(counts, tableSettings);
}

TEST(PairSearchProperties, NeitherRowOrderNorThreadsChangeAByte) {
  std::mt19937 random(5);
  for (int round = 0; round < 12; ++round) {
    const std::size_t dims = 1 + static_cast<std::size_t>(round % 3);
    const Data data = randomData(random, 600, dims, 4, round % 2 == 0, false);
    PairSettings settings = randomSettings(random, dims);
    settings.classCount = 6;
    settings.bandwidth.reset();
    std::vector<std::size_t> order(data.samples.size());
    for (std::size_t s = 0; s < order.size(); ++s) order[s] = s;
    const Data same = dataOf(csvOf(data, order));
    std::shuffle(order.begin(), order.end(), random);
    const Data shuffled = dataOf(csvOf(data, order));
    const EstimateTables one = tablesOf(same, settings, 1);
    for (const unsigned threads : {2u, 3u, 8u}) {
      const EstimateTables other = tablesOf(shuffled, settings, threads);
      ASSERT_EQ(one.expTgrams, other.expTgrams) << "round " << round << ", " << threads << " threads";
      ASSERT_EQ(one.pairTable, other.pairTable) << "round " << round << ", " << threads << " threads";
    }
  }
}

TEST(PairSearchProperties, SymmetryAndReversal) {
  std::mt19937 random(8);
  for (int round = 0; round < 20; ++round) {
    const std::size_t dims = 1 + static_cast<std::size_t>(round % 3);
    const Data data = randomData(random, 400, dims, 4, round % 2 == 1, round % 4 == 0);
    PairSettings settings = randomSettings(random, dims);
    const std::size_t m = data.categories.labels.size();
    settings.direction.reset();
    const SearchResult omni = countPairs(data.samples, data.categories, settings, 2);
    for (int k = 1; k <= settings.classCount; ++k) EXPECT_EQ(countsOf(omni, k), transposed(countsOf(omni, k), m));

    std::vector<double> direction(dims);
    for (double& c : direction) c = std::uniform_real_distribution<double>(-1, 1)(random);
    settings.direction = direction;
    for (double& c : direction) c = -c;
    PairSettings reverse = settings;
    reverse.direction = direction;
    const SearchResult ahead = countPairs(data.samples, data.categories, settings, 2);
    const SearchResult behind = countPairs(data.samples, data.categories, reverse, 2);
    for (int k = 1; k <= settings.classCount; ++k) {
      EXPECT_EQ(countsOf(behind, k), transposed(countsOf(ahead, k), m)) << "round " << round;
    }
  }
}

TEST(PairSearchProperties, WrittenRowsSumToOne) {
  std::mt19937 random(3);
  for (int round = 0; round < 10; ++round) {
    const Data data = randomData(random, 600, 2, 2 + round % 5, false, false);
    PairSettings settings = randomSettings(random, 2);
    settings.classCount = 8;
    const std::string text = tablesOf(data, settings, 2).expTgrams;
    const std::size_t m = data.categories.labels.size();
    std::istringstream in(text);
    int categoryCount = 0, maxLag = 0, columns = 0, points = 0;
    in >> categoryCount >> maxLag >> columns >> points;
    for (int p = 0; p < points; ++p) {
      int lag = 0;
      in >> lag;
      for (std::size_t i = 0; i < m; ++i) {
        double sum = 0;
        for (std::size_t j = 0; j < m; ++j) {
          double value = 0;
          in >> value;
          sum += value;
        }
        EXPECT_NEAR(sum, 1.0, 0.5e-6 * static_cast<double>(m) + 1e-12) << "lag " << lag << ", row " << i + 1;
      }
    }
  }
}

}  // namespace
}  // namespace tgram::estimate
