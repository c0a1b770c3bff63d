// The SVG writer's text and numbers: escaping, and path data that neither
// drifts nor runs numbers together.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "plot/svg_writer.hpp"

namespace tgram::plot {
namespace {

TEST(SvgText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
  const std::string replacement = "\xEF\xBF\xBD";
  const struct {
    std::string text;
    std::string escaped;
  } cases[] = {
      {"p(1,2)", "p(1,2)"},
      {"A&B <C> \"D\" 'E'", "A&amp;B &lt;C&gt; &quot;D&quot; &apos;E&apos;"},
      {"tab\there\nline", "tab&#9;here&#10;line"},
      {"Ton \xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "Ton \xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {std::string("nul\0x", 5), "nul" + replacement + "x"},
      {"esc\x1b[31m", "esc" + replacement + "[31m"},
      {"cut \xC3", "cut " + replacement},                              // sequence cut short
      {"bad \xC3(", "bad " + replacement + "("},                        // continuation missing
      {"overlong \xC0\xAF", "overlong " + replacement + replacement},  // '/' in two bytes
      {"surrogate \xED\xA0\x80", "surrogate " + replacement + replacement + replacement},
      {"latin-1 \xE9t\xE9", "latin-1 " + replacement + "t" + replacement},
      {"\xEF\xBF\xBE", replacement + replacement + replacement},        // U+FFFE
  };
  for (const auto& c : cases) EXPECT_EQ(escapeText(c.text), c.escaped) << c.text;
}

TEST(SvgNumbers, TenthsWithoutTrailingZerosOrNegativeZero) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{0.0, "0"}, {12.0, "12"}, {12.34, "12.3"}, {12.36, "12.4"}, {0.5, ".5"},
               {-0.5, "-.5"}, {-0.04, "0"}, {-12.25, "-12.3"}, {999.95, "1000"}};
  for (const auto& c : cases) EXPECT_EQ(number(c.value), c.text) << c.value;
}

// Reads path data of one move and relative lines back into points.
std::vector<Point> readBack(const std::string& d) {
  std::vector<Point> points;
  const char* p = d.c_str();
  EXPECT_EQ(*p, 'M');
  ++p;
  char* end = nullptr;
  double x = std::strtod(p, &end);
  double y = std::strtod(end, &end);
  points.push_back({x, y});
  if (*end == '\0') return points;
  EXPECT_EQ(*end, 'l');
  p = end + 1;
  while (*p != '\0') {
    x += std::strtod(p, &end);
    y += std::strtod(end, &end);
    EXPECT_NE(end, p);
    if (end == p) break;
    points.push_back({x, y});
    p = end;
  }
  return points;
}

TEST(SvgPath, StepsAddUpToEveryRoundedPointWithoutDrift) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> step(-3.0, 3.0);
  for (int run = 0; run < 50; ++run) {
    std::vector<Point> points{{100.0, 200.0}};
    for (int k = 0; k < 1000; ++k) {
      // Small steps of both signs, many of them below a tenth.
      const double scale = run % 2 == 0 ? 1.0 : 0.02;
      points.push_back({points.back().x + std::abs(step(random)) * scale, points.back().y + step(random) * scale});
    }
    const std::string d = pathThrough(points);
    EXPECT_EQ(d.find("--"), std::string::npos);
    const std::vector<Point> drawn = readBack(d);
    ASSERT_EQ(drawn.size(), points.size());
    for (std::size_t k = 0; k < points.size(); ++k) {
      EXPECT_NEAR(drawn[k].x, points[k].x, 0.05 + 1e-9) << k;
      EXPECT_NEAR(drawn[k].y, points[k].y, 0.05 + 1e-9) << k;
    }
  }
}

TEST(SvgPath, CompactNumbersStaySeparate) {
  EXPECT_EQ(pathThrough({{1, 2}}), "M1 2");
  EXPECT_EQ(pathThrough({{1, 2}, {1.5, 1.5}, {2, 1.5}, {2.5, 3}, {3.5, 4.5}}), "M1 2l.5-.5.5 0 .5 1.5 1 1.5");
  EXPECT_EQ(pathThrough({{0, 0}, {0.3, 0}, {10, 0.1}}), "M0 0l.3 0 9.7.1");
}

}  // namespace
}  // namespace tgram::plot
