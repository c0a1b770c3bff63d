#include "recio/input/real_text.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

namespace tgram::recio {
namespace {

struct RealCase {
  std::string text;
  float value;  // compared bit for bit when error is 0
  int error;
};

void PrintTo(const RealCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class RealText : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealText, Converts) {
  const RealCase& c = GetParam();
  const RealConversion got = convertReal4(c.text);
  EXPECT_EQ(got.error, c.error);
  if (c.error == 0) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got.value),
              std::bit_cast<std::uint32_t>(c.value))
        << std::hexfloat << got.value << " expected " << c.value;
  }
}

// The compiler converts a literal to the nearest double, which the cast
// rounds to the nearest single: the same two steps as reading.
#define LITERAL(x) RealCase{#x, static_cast<float>(x), 0}
#define VALUE(text, x) RealCase{text, static_cast<float>(x), 0}
#define FAULT(text, number) RealCase{text, 0.0f, number}

INSTANTIATE_TEST_SUITE_P(
    Forms, RealText,
    ::testing::Values(
        LITERAL(5), LITERAL(.5), LITERAL(5.), LITERAL(0.015), LITERAL(1.5E2),
        LITERAL(1.5e+2), LITERAL(123.456), LITERAL(0.1), LITERAL(007.5),
        LITERAL(0.000125), VALUE("-2.5", -2.5), VALUE("+2.5", 2.5),
        VALUE("1.5D2", 150.0), VALUE("1.5d-2", 0.015), VALUE("1.5+2", 150.0),
        VALUE("1.5-2", 0.015), VALUE("2+4", 20000.0), VALUE("-.5e1", -5.0),
        VALUE("00000000000000000000000000000000000000001.25", 1.25),
        VALUE("1e-99999999999999", 0.0), VALUE("0e99999999999", 0.0),
        // Around 19 digits written, leading zeros counted: the most whose
        // value a 64-bit integer holds.
        VALUE("0.000000000000000015", 0.000000000000000015),
        VALUE("0.0000000000000000015", 0.0000000000000000015),
        VALUE("9999999999999999999", 9999999999999999999.0),
        VALUE("99999999999999999999", 99999999999999999999.0),
        VALUE("184467440737095516.17", 184467440737095516.17),
        // More than 19 written digits, few of them significant.
        VALUE("-0000000000000000000000000.5", -0.5),
        LITERAL(.0000000000000000000000001), LITERAL(100000000000000000e-30)));

INSTANTIATE_TEST_SUITE_P(
    NotANumber, RealText,
    ::testing::Values(FAULT("", 6103), FAULT("1e", 6103), FAULT("1e+", 6103),
                      FAULT("1+", 6103), FAULT("5-", 6103), FAULT(".", 6103),
                      FAULT("+", 6103), FAULT("-.", 6103), FAULT("e5", 6103),
                      FAULT(".e5", 6103), FAULT("+5.5.", 6103),
                      FAULT("1q2", 6103), FAULT("1.2.3", 6103),
                      FAULT("inf", 6103), FAULT("nan", 6103),
                      FAULT("0x1p3", 6103), FAULT("1e5.0", 6103),
                      FAULT("--1", 6103), FAULT("1e--2", 6103),
                      FAULT("1.5e+-2", 6103), FAULT("1,5", 6103),
                      FAULT("12\x1a", 6103), FAULT(std::string("1\0", 2), 6103),
                      FAULT("\xEF\xBB\xBF" "1", 6103)));

INSTANTIATE_TEST_SUITE_P(
    Range, RealText,
    ::testing::Values(
        VALUE("-0", -0.0), VALUE("-0.000e7", -0.0), VALUE("1e-400", 0.0),
        VALUE("-1e-400", -0.0), VALUE("1e-5201", 0.0), LITERAL(1e-40),
        VALUE("1.4e-45", 0x1p-149),
        // Half the smallest single, as a double: ties to even, to zero.
        VALUE("7.0064923216240854e-46", 0.0),
        VALUE("7.0064923216240862e-46", 0x1p-149),
        VALUE("3.4028234e38", 0x1.fffffep127),
        // The largest double still stored (it rounds to the largest single),
        // then the next double up.
        VALUE("3.402823466385289e38", 0x1.fffffep127),
        FAULT("3.4028234663852894e38", 6104), FAULT("3.4028235e38", 6104),
        FAULT("-3.4028235e38", 6104), FAULT("1e39", 6104),
        FAULT("1.7976931348623157e308", 6104), FAULT("1.8e308", 6102),
        FAULT("1e400", 6102), FAULT("-1e400", 6102), FAULT("1e5201", 6102),
        FAULT("1e99999999999", 6102)));

INSTANTIATE_TEST_SUITE_P(
    Rounding, RealText,
    ::testing::Values(
        // Nearest double is exactly halfway between two singles: ties to
        // even gives 1.0, although the text lies nearer 1 + 2^-23.
        VALUE("1.0000000596046448", 1.0),
        VALUE("1.0000000596046449", 0x1.000002p0),
        // Only 24 significant digits count: this text lies above a double
        // halfway point, but its first 24 digits lie below it.
        VALUE("0.00000095367437324966896668713327647749", 0x1p-20),
        // Dropped integer digits count toward the magnitude; the 25th
        // digit rounds the 24th up.
        VALUE("1234567890123456789012345678", 0x1.fe9af6p89),
        VALUE("9999999999999999999999995", 0x1.08b2a2p83),
        VALUE("9999999999999999999999999", 1e25),
        VALUE("99999999999999999999999949e-30", 0x1.a36e2ep-14),
        VALUE("0.00000000000000000000000000000000001234567890123456789012345e3",
              0x1.0068e4p-106)));

struct ScanCase {
  std::string text;
  std::string digits;
  std::int32_t exponent;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class RealScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(RealScan, KeepsTheSignificantDigits) {
  DecimalNumber number;
  ASSERT_EQ(scanRealText(GetParam().text, number), 0);
  EXPECT_EQ(std::string(number.digits, static_cast<std::size_t>(number.count)),
            GetParam().digits);
  EXPECT_EQ(number.exponent, GetParam().exponent);
}

INSTANTIATE_TEST_SUITE_P(
    Digits, RealScan,
    ::testing::Values(
        ScanCase{"0.000125", "125", -6}, ScanCase{"1200", "12", 2},
        ScanCase{"0", "", 0}, ScanCase{"000.000e50", "", 0},
        ScanCase{"1.5-3", "15", -4}, ScanCase{"5.", "5", 0}, ScanCase{"-.50", "5", -1},
        ScanCase{"0000000000000000000012.5", "125", -1},
        ScanCase{"123456789012345678901234", "123456789012345678901234", 0},
        ScanCase{"1234567890123456789012344", "123456789012345678901234", 1},
        ScanCase{"1234567890123456789012345", "123456789012345678901235", 1},
        ScanCase{"0.1234567890123456789012349", "123456789012345678901235", -24},
        // Significant digits on both sides of the point, and a fraction
        // whose rounding carries into the integer part.
        ScanCase{"12345678901234567890.12345", "123456789012345678901235", -4},
        ScanCase{"0.9999999999999999999999999", "1", 0},
        ScanCase{"9999999999999999999999995", "1", 25},
        ScanCase{"99999999999999999999999949", "999999999999999999999999", 2}));

// Texts of up to 24 digits keep every digit, so their value is exactly what
// the library's correctly rounded conversion gives for the whole text.
TEST(RealTextRandom, MatchesTheLibraryConversion) {
  std::mt19937_64 random(20240611);
  for (int i = 0; i < 200000; ++i) {
    const int digitCount = 1 + static_cast<int>(random() % 24);
    std::string text;
    if (random() % 2 != 0) text += '-';
    const int point = static_cast<int>(random() % (digitCount + 1));
    for (int d = 0; d < digitCount; ++d) {
      if (d == point) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    const int exponent = static_cast<int>(random() % 90) - 50;
    text += 'e' + std::to_string(exponent);

    double wide = 0.0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), wide);
    ASSERT_EQ(parsed.ec, std::errc()) << text;
    const RealConversion got = convertReal4(text);
    if (std::fabs(wide) > 0x1.fffffe0000001p+127) {
      EXPECT_EQ(got.error, 6104) << text;
      continue;
    }
    ASSERT_EQ(got.error, 0) << text;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(got.value),
              std::bit_cast<std::uint32_t>(static_cast<float>(wide)))
        << text;
  }
}

// Digit strings that the exact fast path takes, near the edges of its reach.
TEST(RealTextRandom, FastPathMatchesTheLibraryConversionForDoubles) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 200000; ++i) {
    DecimalNumber number;
    const std::uint64_t mantissa = random() >> (random() % 64);
    const std::string digits = std::to_string(mantissa);
    const int exponent = static_cast<int>(random() % 61) - 30;
    const std::string text = digits + "e" + std::to_string(exponent);
    ASSERT_EQ(scanRealText(text, number), 0);
    double expected = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    const DoubleConversion got = decimalToDouble(number);
    ASSERT_EQ(got.error, 0);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got.value),
              std::bit_cast<std::uint64_t>(expected))
        << text;
  }
}

}  // namespace
}  // namespace tgram::recio
