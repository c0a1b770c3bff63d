#include "plot/text_fit.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tgram::plot {
namespace {

const std::string kEllipsis = "\xE2\x80\xA6";

TEST(TextFit, WidthsFollowTheCharacters) {
  // Capitals and CJK are far wider than the 0.6 em a rough guess gives.
  EXPECT_GT(textWidth("WWWW", 10), 4 * 0.6 * 10 * 1.5);
  EXPECT_LT(textWidth("iiii", 10), 4 * 0.6 * 10 * 0.5);
  EXPECT_DOUBLE_EQ(textWidth("\xE4\xB8\xAD\xE6\x96\x87", 10), 20.0);  // two CJK characters: an em each
  EXPECT_GT(textWidth("Abc", 10, Weight::Bold), textWidth("Abc", 10));
  EXPECT_DOUBLE_EQ(textWidth("e\xCC\x81", 10), textWidth("e", 10));  // a combining accent takes no room
  EXPECT_DOUBLE_EQ(textWidth("", 10), 0.0);
  EXPECT_GT(textWidth("\xFF", 10), 0.0);  // a byte that is not UTF-8 still counts
}

TEST(TextFit, TextIsCutToItsRoom) {
  EXPECT_EQ(fitText("Sand", 100, 10), "Sand");
  EXPECT_EQ(fitText("WMW Weathered", 45, 10), "WMW" + kEllipsis);  // no blank before the cut
  const struct {
    std::string text;
    double room;
  } cases[] = {{"Alluvial clay with gravel lens", 60}, {"WWWWWWWWWWWWWWWW", 45},
               {"\xE4\xB8\xAD\xE6\x96\x87\xE5\x90\x8D\xE7\xA7\xB0\xE4\xB8\xAD\xE6\x96\x87", 35},
               {"Sand", 1}};
  for (const auto& c : cases) {
    const std::string fitted = fitText(c.text, c.room, 10);
    EXPECT_EQ(fitted.substr(fitted.size() - kEllipsis.size()), kEllipsis) << c.text;
    EXPECT_EQ(c.text.compare(0, fitted.size() - kEllipsis.size(), fitted, 0, fitted.size() - kEllipsis.size()), 0);
    EXPECT_GT(fitted.size(), kEllipsis.size()) << "at least the first character";
    if (c.room > 10) {
      EXPECT_LE(textWidth(fitted, 10), c.room) << c.text;
    }
  }
}

TEST(TextFit, APairKeepsBothNames) {
  EXPECT_EQ(fitPair("Clay", "Sand", 200, 10), "p(Clay,Sand)");
  // A short name stays whole; the long one gets the rest.
  const std::string shortFirst = fitPair("Sand", "Alluvial clay with gravel lens", 120, 10);
  EXPECT_EQ(shortFirst.rfind("p(Sand,Alluvial", 0), 0u) << shortFirst;
  EXPECT_EQ(shortFirst.substr(shortFirst.size() - 4), kEllipsis + ")");
  EXPECT_LE(textWidth(shortFirst, 10), 120);
  // Two long names that share their start stay apart: both are cut.
  const std::string both = fitPair("Alluvial clay with gravel lens", "Alluvial clay with sand", 150, 10);
  EXPECT_NE(both.find(kEllipsis + ",Alluvial"), std::string::npos) << both;
  EXPECT_LE(textWidth(both, 10), 150);
}

TEST(TextFit, WrapsAtBlanksIntoAtMostTheLinesGiven) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(wrapText("to Sand", 100, 10, Weight::Bold, 2), Lines{"to Sand"});
  EXPECT_EQ(wrapText("to Alluvial clay with gravel lens", 110, 10, Weight::Bold, 2),
            (Lines{"to Alluvial clay", "with gravel lens"}));
  const Lines cut = wrapText("to Alluvial clay with gravel lens and sand", 110, 10, Weight::Bold, 2);
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[1].substr(cut[1].size() - kEllipsis.size()), kEllipsis);
  for (const std::string& line : cut) EXPECT_LE(textWidth(line, 10, Weight::Bold), 110);
  // A word longer than a line is cut on the first.
  const Lines word = wrapText("Aaaaaaaaaaaaaaaaaaaaaaaaaaaa", 60, 10, Weight::Bold, 2);
  ASSERT_EQ(word.size(), 1u);
  EXPECT_LE(textWidth(word[0], 10, Weight::Bold), 60);
}

TEST(TextFit, NamesAreCappedByCharacters) {
  EXPECT_EQ(capCharacters("Sand", 4), "Sand");
  EXPECT_EQ(capCharacters("Sandy", 4), "Sand" + kEllipsis);
  EXPECT_EQ(capCharacters("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9" + kEllipsis);  // whole characters
  EXPECT_EQ(capCharacters(std::string(18000, 'x'), kNameCap).size(), kNameCap + kEllipsis.size());
}

}  // namespace
}  // namespace tgram::plot
