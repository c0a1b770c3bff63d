// Interpolation between experimental points and extension to maxLag.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "model/program.hpp"
#include "runtime/condition.hpp"

namespace tgram::model {
namespace {

struct Point {
  std::int32_t lag;
  std::vector<float> values;  // one per column
};

std::unique_ptr<TransiogramProgram> programWith(std::int32_t maxLag,
                                                const std::vector<Point>& points) {
  auto program = std::make_unique<TransiogramProgram>();
  program->maxLag = maxLag;
  program->expLagCount = static_cast<std::int32_t>(points.size());
  program->pairCount = static_cast<std::int32_t>(points.front().values.size());
  for (std::size_t e = 0; e < points.size(); ++e) {
    program->expLag[e] = points[e].lag;
    for (std::size_t f = 0; f < points[e].values.size(); ++f) {
      program->expTgram(static_cast<std::int32_t>(f), static_cast<std::int32_t>(e)) =
          points[e].values[f];
    }
  }
  return program;
}

std::vector<float> column(TransiogramProgram& program, std::int32_t f, std::int32_t lags) {
  std::vector<float> values;
  for (std::int32_t h = 0; h < lags; ++h) values.push_back(program.tgramModel(f, h));
  return values;
}

TEST(Interpolation, ModelsFollowTheSegmentsAndHoldTheLastValue) {
  struct Case {
    const char* what;
    std::int32_t maxLag;
    std::vector<Point> points;
    std::vector<float> expected;  // column 0, lags 0..expected.size()-1
  };
  const float f = 0.5f, g = 0.6f;
  const Case cases[] = {
      {"three points, extended", 12, {{0, {0.0f}}, {5, {f}}, {10, {g}}},
       // The exact values between the points (g is 0.6 as a 4-byte real,
       // 0.600000023841...), each rounded once to the nearest 4-byte real:
       // 0.1, 0.2, 0.3, 0.4, then 0.520000004..., 0.540000009...,
       // 0.560000014..., 0.580000019..., worked out apart from the code.
       {0.0f, 0x1.99999ap-4f, 0x1.99999ap-3f, 0x1.333334p-2f, 0x1.99999ap-2f, f,
        0x1.0a3d70p-1f, 0x1.147ae2p-1f, 0x1.1eb852p-1f, 0x1.28f5c4p-1f, g, g, g}},
      {"first lag 3 leaves the lags below at zero", 5, {{3, {0.25f}}, {4, {0.75f}}},
       {0.0f, 0.0f, 0.0f, 0.25f, 0.75f, 0.75f}},
      {"a single point is never computed", 3, {{2, {0.9f}}}, {0.0f, 0.0f, 0.0f, 0.0f}},
      {"maxLag below the last lag: no extension", 1, {{0, {1.0f}}, {4, {0.0f}}},
       {1.0f, 0.75f, 0.5f, 0.25f, 0.0f, 0.0f}},
      // The decreasing segment (4, 2) writes nothing; the extension then
      // copies the value at the last lag, 2, over lags 2..6.
      {"a decreasing segment writes nothing", 6, {{0, {0.0f}}, {4, {1.0f}}, {2, {0.5f}}},
       {0.0f, 0.25f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}},
      {"lags out of order keep what earlier segments wrote", 3, {{0, {0.0f}}, {8, {0.8f}}, {2, {0.2f}}, {3, {0.3f}}},
       {0.0f, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f}},
  };
  for (const Case& c : cases) {
    auto program = programWith(c.maxLag, c.points);
    program->interpolate();
    EXPECT_EQ(column(*program, 0, static_cast<std::int32_t>(c.expected.size())), c.expected)
        << c.what;
  }
}

TEST(Interpolation, ColumnsAreIndependent) {
  auto program = programWith(2, {{0, {0.0f, 1.0f, 0.5f}}, {2, {1.0f, 0.0f, 0.5f}}});
  program->interpolate();
  EXPECT_EQ(column(*program, 0, 3), (std::vector<float>{0.0f, 0.5f, 1.0f}));
  EXPECT_EQ(column(*program, 1, 3), (std::vector<float>{1.0f, 0.5f, 0.0f}));
  EXPECT_EQ(column(*program, 2, 3), (std::vector<float>{0.5f, 0.5f, 0.5f}));
}

TEST(Interpolation, RoundsTheDoubleResultOnceWhenStored) {
  // 1/3 of the way from a to b, computed in double and rounded once, can
  // differ from arithmetic in single precision.
  const float a = 0.1f, b = 0.7f;
  auto program = programWith(3, {{0, {a}}, {3, {b}}});
  program->interpolate();
  for (int i = 0; i <= 3; ++i) {
    const double expected = (static_cast<double>(3 - i) * a + static_cast<double>(b) * i) / 3.0;
    EXPECT_EQ(program->tgramModel(0, i), static_cast<float>(expected)) << i;
  }
}

TEST(Interpolation, EqualNeighbouringLagsFaultBeforeTheirValueIsStored) {
  struct Case {
    std::vector<std::int32_t> lags;
    bool faults;
  };
  const Case cases[] = {
      {{0, 5, 5, 10}, true},
      {{0, 5, 3, 3}, true},
      {{3, 5, 3}, false},  // the decreasing segment divides nothing
  };
  for (const Case& c : cases) {
    std::vector<Point> points;
    for (std::int32_t lag : c.lags) points.push_back({lag, {0.5f, 0.5f}});
    auto program = programWith(10, points);
    program->tgramModel(1, 5) = 7.0f;  // a value the faulting column must not reach
    try {
      program->interpolate();
      EXPECT_FALSE(c.faults);
    } catch (const runtime::RuntimeError& error) {
      EXPECT_TRUE(c.faults);
      EXPECT_EQ(error.number(), 6101);
      EXPECT_EQ(error.kind(), runtime::StatementKind::Math);
      EXPECT_EQ(program->tgramModel(1, 5), 7.0f);
    }
  }
}

}  // namespace
}  // namespace tgram::model
