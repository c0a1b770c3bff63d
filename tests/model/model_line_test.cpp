// The lags that draw the model's line: exactly the experimental lags and
// maxLag for ordinary input, and whatever the table really holds otherwise.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "model/model_line.hpp"
#include "model/transiograms.hpp"

namespace tgram::model {
namespace {

// Tables with `lags` as experimental lags and random values in two columns,
// interpolated.
std::unique_ptr<Transiograms> interpolated(std::int32_t maxLag, const std::vector<std::int32_t>& lags,
                                           std::mt19937& random) {
  std::uniform_real_distribution<float> value(-0.5f, 1.5f);
  auto tables = std::make_unique<Transiograms>();
  tables->maxLag = maxLag;
  tables->pairCount = 2;
  tables->expLagCount = static_cast<std::int32_t>(lags.size());
  for (std::size_t e = 0; e < lags.size(); ++e) {
    tables->expLag[e] = lags[e];
    for (std::int32_t f = 0; f < 2; ++f) tables->expTgram(f, static_cast<std::int32_t>(e)) = value(random);
  }
  tables->interpolate();
  return tables;
}

// Every model value from lag 0 to maxLag lies on the line through the
// vertices, within the rounding of a stored 4-byte real.
void expectLineHoldsEveryValue(const Transiograms& tables, const std::vector<std::int32_t>& vertices,
                               const char* what) {
  ASSERT_FALSE(vertices.empty()) << what;
  EXPECT_EQ(vertices.front(), 0) << what;
  EXPECT_EQ(vertices.back(), tables.maxLag) << what;
  for (std::int32_t f = 0; f < tables.pairCount; ++f) {
    std::size_t k = 0;
    for (std::int32_t h = 0; h <= tables.maxLag; ++h) {
      while (k + 1 < vertices.size() && vertices[k + 1] < h) ++k;
      const double value = tables.tgramModel(f, h);
      double onLine = tables.tgramModel(f, vertices[k]);
      if (h != vertices[k]) {
        const std::int32_t a = vertices[k], b = vertices[k + 1];
        const double ya = tables.tgramModel(f, a), yb = tables.tgramModel(f, b);
        onLine = ya + (yb - ya) * (h - a) / (b - a);
      }
      EXPECT_NEAR(value, onLine, 1e-6) << what << ": column " << f << ", lag " << h;
    }
  }
}

TEST(ModelLine, VerticesAreTheLagsWhereTheTableBends) {
  struct Case {
    const char* what;
    std::int32_t maxLag;
    std::vector<std::int32_t> lags;
    std::vector<std::int32_t> vertices;
  };
  const Case cases[] = {
      {"increasing from 0, extended", 20, {0, 3, 4, 9}, {0, 3, 4, 9, 20}},
      {"maxLag at the last lag: no second end", 9, {0, 3, 4, 9}, {0, 3, 4, 9}},
      {"neighbouring lags", 4, {0, 1, 2, 3}, {0, 1, 2, 3, 4}},
      {"first lag 3: zero up to lag 2", 8, {3, 5}, {0, 2, 3, 5, 8}},
      {"first lag 1: zero at lag 0 only", 4, {1, 2}, {0, 1, 2, 4}},
      {"a single point leaves zero everywhere", 6, {2}, {0, 6}},
      {"a single point beyond maxLag", 3, {5}, {0, 3}},
      {"maxLag inside a segment", 5, {0, 4, 10}, {0, 4, 5}},
      {"maxLag at a segment's first lag", 4, {0, 4, 10}, {0, 4}},
      {"maxLag 0", 0, {0, 4}, {0}},
      {"negative maxLag: no line", -1, {0, 4}, {}},
      // (0,4) writes 0..4; (4,2) writes nothing; the extension copies the
      // value at 2, which lies on (0,4), over 2..6.
      {"a decreasing segment", 6, {0, 4, 2}, {0, 2, 6}},
      // (0,8) writes 0..8, then (2,3) overwrites 2..3 and the extension
      // copies the value at 3 over 3..10: bends at 1, 2 and 3.
      {"a later segment overwrites part of an earlier one", 10, {0, 8, 2, 3}, {0, 1, 2, 3, 10}},
      // (5,9) writes 5..9, (9,1) nothing; the last lag 1 was never assigned,
      // so the extension copies 0 over 1..12, the segment included.
      {"the last lag below the first", 12, {5, 9, 1}, {0, 12}},
      {"the last lag below the first, beyond maxLag", 0, {5, 9, 1}, {0}},
      {"the last lag beyond maxLag keeps the segment", 7, {5, 9, 8}, {0, 4, 5, 7}},
  };
  std::mt19937 random(12);
  for (const Case& c : cases) {
    const auto tables = interpolated(c.maxLag, c.lags, random);
    const auto vertices = modelVertexLags(*tables);
    EXPECT_EQ(vertices, c.vertices) << c.what;
    if (c.maxLag >= 0) expectLineHoldsEveryValue(*tables, vertices, c.what);
  }
}

TEST(ModelLine, RandomLagOrdersKeepEveryValueOnTheLine) {
  std::mt19937 random(99);
  for (int run = 0; run < 300; ++run) {
    std::uniform_int_distribution<std::int32_t> count(1, 8), lag(0, 30), top(0, 40);
    std::vector<std::int32_t> lags;
    const std::int32_t n = count(random);
    while (static_cast<std::int32_t>(lags.size()) < n) {
      const std::int32_t l = lag(random);
      if (lags.empty() || lags.back() != l) lags.push_back(l);  // equal neighbours fault
    }
    const auto tables = interpolated(top(random), lags, random);
    expectLineHoldsEveryValue(*tables, modelVertexLags(*tables), "random lags");
  }
}

}  // namespace
}  // namespace tgram::model
