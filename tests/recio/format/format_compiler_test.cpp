// Compiling format strings: the items, their numbers, the reversion point
// and the faults, shown as a compact text per compiled format.
#include "recio/format/format_compiler.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/concat.hpp"

namespace tgram::recio {
namespace {

using testing::concat;

std::string numberText(const FormatNumber& n) {
  if (!n.given) return "";
  if (n.isRuntime()) return concat({"^", std::to_string(n.ref)});
  return std::to_string(n.value);
}

std::string withDigits(const FormatItem& item, const char* letter) {
  std::string s = concat({numberText(item.repeat), letter, numberText(item.w)});
  if (item.d.given) s += concat({".", numberText(item.d)});
  if (item.e.given) s += concat({"E", numberText(item.e)});
  return s;
}

// One word per item: "X", "'h'", "^0(", "I1", "F7.4", ")", "END>3" (end
// with its reversion point) or "END" (none), "ERR6988".
std::string itemText(const CompiledFormat& f, const FormatItem& item) {
  switch (item.kind) {
    case FormatKind::Integer: return withDigits(item, "I");
    case FormatKind::Fixed: return withDigits(item, "F");
    case FormatKind::Exponent: return withDigits(item, "E");
    case FormatKind::Double: return withDigits(item, "D");
    case FormatKind::General: return withDigits(item, "G");
    case FormatKind::Engineering: return withDigits(item, "EN");
    case FormatKind::Scientific: return withDigits(item, "ES");
    case FormatKind::Logical: return withDigits(item, "L");
    case FormatKind::Character: return withDigits(item, "A");
    case FormatKind::Hex: return withDigits(item, "Z");
    case FormatKind::Octal: return withDigits(item, "O");
    case FormatKind::Binary: return withDigits(item, "B");
    case FormatKind::Remaining: return "Q";
    case FormatKind::Literal: return concat({"'", f.literal(item), "'"});
    case FormatKind::Skip: return concat({numberText(item.repeat), "X"});
    case FormatKind::Tab: return concat({"T", numberText(item.w)});
    case FormatKind::TabLeft: return concat({"TL", numberText(item.w)});
    case FormatKind::TabRight: return concat({"TR", numberText(item.w)});
    case FormatKind::NewRecord: return numberText(item.repeat) + "/";
    case FormatKind::Colon: return ":";
    case FormatKind::KeepRecord: return "$";
    case FormatKind::SignDefault: return "S";
    case FormatKind::SignSuppress: return "SS";
    case FormatKind::SignPlus: return "SP";
    case FormatKind::BlankNull: return "BN";
    case FormatKind::BlankZero: return "BZ";
    case FormatKind::Scale: return numberText(item.w) + "P";
    case FormatKind::GroupOpen: return numberText(item.repeat) + "(";
    case FormatKind::GroupClose: return ")";
    case FormatKind::End:
      return item.target < 0 ? "END" : "END>" + std::to_string(item.target);
    case FormatKind::Error: return "ERR" + std::to_string(item.target);
  }
  return "?";
}

std::string itemsText(const CompiledFormat& f) {
  std::string s;
  for (const FormatItem& item : f.items) {
    if (!s.empty()) s += ' ';
    s += itemText(f, item);
  }
  return s;
}

std::string compiled(std::string_view text) {
  return itemsText(compileFormat(text.data(), static_cast<std::int32_t>(text.size())));
}

struct Case {
  const char* format;
  const char* expected;
};

TEST(CompileFormat, ProgramFormats) {
  const Case cases[] = {
      {"(X,'h',X,^('p(',I1,',',I1,')',X))",
       "X 'h' X ^0( 'p(' I1 ',' I1 ')' X ) END>3"},
      {"(X,I3,X,^(F7.4,X))", "X I3 X ^0( F7.4 X ) END>3"},
  };
  for (const Case& c : cases) EXPECT_EQ(compiled(c.format), c.expected) << c.format;
}

TEST(CompileFormat, ItemsAndSpelling) {
  const Case cases[] = {
      {"(X,'it''s')", "X 'it's' END"},
      {"(\"say \"\"hi\"\"\")", "'say \"hi\"' END"},
      {"('a\"b', \"c'd\")", "'a\"b' 'c'd' END"},
      {"(I 1 0)", "I10 END>0"},
      {"(i3)", "I3 END>0"},
      {"  ( I3 , 2x , f 7 . 4 )", "I3 2X F7.4 END>0"},
      {"(2HabI3)", "'ab' I3 END>0"},
      {"(3H, )I3)", "', )' I3 END>0"},
      {"(I3.2,Z,Z8,Z8.4,o6,B12.12)", "I3.2 Z Z8 Z8.4 O6 B12.12 END>0"},
      {"(E12.4,E12.4E3,D10.2,G9.3,g9.3e1)", "E12.4 E12.4E3 D10.2 G9.3 G9.3E1 END>0"},
      {"(EN12.3,ES10.2E4)", "EN12.3 ES10.2E4 END>0"},
      {"(L2,A,A10,Q)", "L2 A A10 Q END>0"},
      {"(T5,TL2,tr3,/,3/,:,$,\\)", "T5 TL2 TR3 / 3/ : $ $ END"},
      {"(S,SS,SP,BN,BZ)", "S SS SP BN BZ END"},
      {"(2PF7.4,-1PE12.4,+3P,0P)", "2P F7.4 -1P E12.4 3P 0P END>0"},
      {"(I2 I3/I4)", "I2 I3 / I4 END>0"},
      {"(^I^,^(I1))", "^0I^1 ^2( I1 ) END>1"},
      {"()", "END"},
      {"(I5)trailing junk", "I5 END>0"},
      {"(I2,3(I3,2(I4)),I5)", "I2 3( I3 2( I4 ) ) I5 END>1"},
      {"(I2,(I3),(I4))", "I2 ( I3 ) ( I4 ) END>4"},
      {"(2147483647X)", "2147483647X END"},
  };
  for (const Case& c : cases) EXPECT_EQ(compiled(c.format), c.expected) << c.format;
}

TEST(CompileFormat, ReversionNeedsADataDescriptor) {
  const Case cases[] = {
      {"(I5,('x'))", "I5 ( 'x' ) END"},   // the group holds no descriptor
      {"(I5,(2X))", "I5 ( 2X ) END"},     // positioning only: it would never end
      {"(X,'abc')", "X 'abc' END"},
      {"(I5,(2X),'a',I2)", "I5 ( 2X ) 'a' I2 END>1"},
  };
  for (const Case& c : cases) EXPECT_EQ(compiled(c.format), c.expected) << c.format;
}

TEST(CompileFormat, FaultsBecomeErrorItems) {
  const Case cases[] = {
      {"I3)", "ERR6981"},
      {"", "ERR6981"},
      {"(I3", "I3 ERR6988"},
      {"(I3,'abc", "I3 ERR6988"},
      {"(3Habc", "ERR6988"},       // the text would reach the last character
      {"(3Habc)", "'abc' END"},
      {"(I3,(I2)", "I3 ( I2 ) ERR6988"},
      {"(3'ab')", "ERR6983"},
      {"(2:)", "ERR6983"},
      {"(2T5)", "ERR6983"},
      {"(I2,2))", "I2 ERR6983"},
      {"(H)", "ERR6984"},
      {"(P)", "ERR6984"},
      {"(^Hab)", "ERR6984"},
      {"(I)", "ERR6980"},
      {"(I3.)", "ERR6980"},
      {"(F7)", "ERR6987"},
      {"(F7.)", "ERR6980"},
      {"(E10.3E)", "ERR6980"},
      {"(L)", "ERR6980"},
      {"(T)", "ERR6980"},
      {"(T0)", "ERR6982"},
      {"(TL0)", "ERR6982"},
      {"(+3X)", "ERR6982"},
      {"(-P)", "ERR6980"},
      {"(EN)", "ERR6971"},
      {"(EN10)", "ERR6987"},
      {"(EN10.)", "ERR6971"},
      {"(ES)", "ERR6972"},
      {"(ES10.3E)", "ERR6972"},
      {"(I3.4)", "ERR6990"},
      {"(Z2.3)", "ERR6990"},
      {"(,I3)", "ERR6989"},
      {"((,I3))", "( ERR6989"},
      {"(I3,2(,I3))", "I3 2( ERR6989"},
      {"(I3,,I3)", "I3 ERR6989"},
      {"(N)", "ERR6989"},
      {"(R)", "ERR6989"},
      {"(I3,%)", "I3 ERR6989"},
      {"(2147483648X)", "ERR6991"},
      {"(I99999999999)", "ERR6991"},
  };
  for (const Case& c : cases) EXPECT_EQ(compiled(c.format), c.expected) << c.format;
}

TEST(CompileFormat, SixteenNestedGroupsAndNoMore) {
  const std::string sixteen = "(" + std::string(16, '(') + "I1" + std::string(16, ')') + ")";
  std::string expected;
  for (int i = 0; i < 16; ++i) expected += "( ";
  expected += "I1";
  for (int i = 0; i < 16; ++i) expected += " )";
  expected += " END>0";
  EXPECT_EQ(compiled(sixteen), expected);

  const std::string seventeen = "(" + std::string(17, '(') + "I1" + std::string(17, ')') + ")";
  std::string faulty;
  for (int i = 0; i < 16; ++i) faulty += "( ";
  faulty += "ERR6986";
  EXPECT_EQ(compiled(seventeen), faulty);
}

TEST(CompileFormat, LengthLimitsTheText) {
  const char text[] = "(I3)(I4)";
  EXPECT_EQ(itemText(compileFormat(text, -1), compileFormat(text, -1).items[0]), "I3");
  const CompiledFormat cut = compileFormat(text, 3);  // "(I3"
  ASSERT_EQ(cut.items.size(), 2u);
  EXPECT_EQ(cut.items[1].kind, FormatKind::Error);
  EXPECT_EQ(cut.items[1].target, 6988);
  const char withNul[] = {'(', 'I', '3', '\0', ')'};
  EXPECT_EQ(compileFormat(withNul, 5).items[1].target, 6989);  // a NUL inside is just a bad character
}

TEST(CompileFormat, RuntimeCountsAreNumberedFromZeroEachTime) {
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(compiled("(^(I^))"), "^0( I^1 ) END>0");
  }
}

// A statement carried out again finds its format compiled; texts that
// differ in any byte, or only in where they end, are told apart, also after
// more texts than the cache holds have come and gone.
TEST(FormatCache, CompilesEachTextOnceAndTellsTextsApart) {
  FormatCache cache;
  const char* program = "(X,I3,X,^(F7.4,X))";
  const CompiledFormat& first = cache.get(program, -1);
  EXPECT_EQ(&cache.get(program, -1), &first);
  EXPECT_EQ(&cache.get(program, 18), &first);  // the same bytes, given by length
  EXPECT_EQ(itemsText(first), "X I3 X ^0( F7.4 X ) END>3");
  EXPECT_EQ(itemsText(cache.get(program, 6)), "X I3 ERR6988");  // "(X,I3,"
  const char withNul[] = {'(', 'I', '3', '\0', ')'};
  EXPECT_EQ(itemsText(cache.get(withNul, 5)), "I3 ERR6989");
  EXPECT_EQ(itemsText(cache.get(withNul, -1)), "I3 ERR6988");  // ends at the NUL
  for (int round = 0; round < 3; ++round) {
    for (int width = 1; width <= 20; ++width) {
      // Appended piece by piece: g++ 12 at -O3 warns falsely on "(I" + ... + ")".
      const std::string digits = std::to_string(width);
      std::string text = "(I";
      text += digits;
      text += ')';
      std::string expected = "I";
      expected += digits;
      expected += " END>0";
      ASSERT_EQ(itemsText(cache.get(text.c_str(), -1)), expected);
    }
  }
  EXPECT_EQ(itemsText(cache.get(program, -1)), "X I3 X ^0( F7.4 X ) END>3");
}

}  // namespace
}  // namespace tgram::recio
