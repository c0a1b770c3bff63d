#include "recio/input/integer_text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace tgram::recio {
namespace {

struct IntegerCase {
  std::string text;
  std::int32_t value;  // when error is 0
  int error;
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class IntegerText : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerText, Converts) {
  const IntegerCase& c = GetParam();
  const IntegerConversion got = convertInteger(c.text);
  EXPECT_EQ(got.error, c.error);
  if (c.error == 0) {
    EXPECT_EQ(got.value, c.value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, IntegerText,
    ::testing::Values(IntegerCase{"007", 7, 0}, IntegerCase{"+5", 5, 0},
                      IntegerCase{"-12", -12, 0}, IntegerCase{"-0", 0, 0},
                      IntegerCase{"", 0, 0}, IntegerCase{"+", 0, 0},
                      IntegerCase{"-", 0, 0},
                      IntegerCase{"2147483647", 2147483647, 0},
                      IntegerCase{"-2147483647", -2147483647, 0},
                      IntegerCase{"-2147483648", INT32_MIN, 0},
                      IntegerCase{"2147483648", 0, 6100},
                      IntegerCase{"+2147483648", 0, 6100},
                      IntegerCase{"-02147483648", 0, 6100},
                      IntegerCase{"99999999999999999999999", 0, 6100},
                      IntegerCase{"2.5", 0, 6101}, IntegerCase{"1e3", 0, 6101},
                      IntegerCase{"12a", 0, 6101}, IntegerCase{"+-1", 0, 6101},
                      IntegerCase{"1 2", 0, 6101},
                      IntegerCase{"\xEF\xBB\xBF" "1", 0, 6101}));

INSTANTIATE_TEST_SUITE_P(
    EndOfText, IntegerText,
    ::testing::Values(IntegerCase{"12\x1a", 12, 0},
                      IntegerCase{"12\x1ajunk", 12, 0},
                      IntegerCase{"-\x1a", 0, 0},
                      IntegerCase{std::string("34\0x", 4), 34, 0},
                      IntegerCase{std::string("-2147483648\0x", 13), INT32_MIN, 0},
                      IntegerCase{"16#1\x1a", 0, 6101}));

INSTANTIATE_TEST_SUITE_P(
    Based, IntegerText,
    ::testing::Values(
        IntegerCase{"16#FF", 255, 0}, IntegerCase{"16#ff", 255, 0},
        IntegerCase{"#ff", 255, 0}, IntegerCase{"0#FF", 255, 0},
        IntegerCase{"000#10", 16, 0}, IntegerCase{"2#101", 5, 0},
        IntegerCase{"36#zZ", 35 * 36 + 35, 0}, IntegerCase{"-16#10", -16, 0},
        IntegerCase{"16#FFFFFFFF", -1, 0}, IntegerCase{"-16#FFFFFFFF", 1, 0},
        IntegerCase{"16#80000000", INT32_MIN, 0}, IntegerCase{"16#", 0, 0},
        IntegerCase{"+#", 0, 0}, IntegerCase{"10#2147483647", 2147483647, 0},
        IntegerCase{"10#2147483648", 0, 6100},
        IntegerCase{"2#11111111111111111111111111111111", -1, 0},
        IntegerCase{"16#100000000", 0, 6100}, IntegerCase{"1#1", 0, 6303},
        IntegerCase{"37#1", 0, 6303}, IntegerCase{"99999999999#1", 0, 6100},
        IntegerCase{"16#1#2", 0, 6302}, IntegerCase{"16##", 0, 6302},
        IntegerCase{"8#9", 0, 6101}, IntegerCase{"16#G", 0, 6101},
        IntegerCase{"16#-1", 0, 6101}, IntegerCase{"16#1.0", 0, 6101},
        IntegerCase{std::string("16#1\0#", 6), 1, 0}));

}  // namespace
}  // namespace tgram::recio
