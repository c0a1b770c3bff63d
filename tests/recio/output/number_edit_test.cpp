// Number editing: digit generation, rounding, integer and real texts, and
// field placement.
#include "recio/output/number_edit.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/concat.hpp"
#include "support/string_sink.hpp"

namespace tgram::recio {
namespace {

using testing::concat;

std::string digitsOf(const DecimalDigits& d) {
  return concat({d.negative ? "-" : "", d.text(), d.finite ? "e" : "",
                 d.finite ? std::to_string(d.exponent) : ""});
}

// ---------------------------------------------------------------------------
// Digit generation

struct DigitsCase {
  double value;
  bool single;  // edit as a 4-byte real
  const char* expected;  // sign, digits, "e" exponent (0.D1D2... x 10^e)
};

TEST(ToDecimalDigits, KnownValues) {
  const DigitsCase cases[] = {
      {0.0, true, "0e0"},
      {-0.0, true, "0e0"},  // zero has no sign
      {1.0, true, "1e1"},
      {0.5, true, "5e0"},
      {-0.25, true, "-25e0"},
      {0.03125, true, "3125e-1"},
      {0.1, true, "10000000149011612e0"},     // 0.100000001490116119...
      {9.99995, true, "99999504089355469e1"},  // 9.99995040893554688
      {0.00005, true, "49999998736893758e-4"},
      {16777216.0, true, "16777216e8"},
      {3.4028234663852886e38, true, "34028234663852886e39"},
      {1.401298464324817e-45, true, "14012984643248171e-44"},  // smallest subnormal
      {1.1754942106924411e-38, true, "11754942106924411e-37"},  // largest subnormal
      {0.1, false, "10000000000000001e0"},  // 0.1000000000000000055511...
      {1000000000000000.25, false, "10000000000000003e16"},  // 18th digit an exact 5
      {4.9406564584124654e-324, false, "49406564584124654e-323"},
      {1.7976931348623157e308, false, "17976931348623157e309"},
      {123456789012345678.0, false, "12345678901234568e18"},
      {1e23, false, "99999999999999992e23"},  // 99999999999999991611392
  };
  for (const DigitsCase& c : cases) {
    const DecimalDigits d = c.single ? toDecimalDigits(static_cast<float>(c.value))
                                     : toDecimalDigits(c.value);
    EXPECT_EQ(digitsOf(d), c.expected) << c.value << (c.single ? " (4-byte)" : "");
  }
}

TEST(ToDecimalDigits, NotFinite) {
  const std::pair<std::uint32_t, const char*> singles[] = {
      {0x7f800000u, "1#INF"}, {0xff800000u, "1#INF"},   {0xffc00000u, "1#IND"},
      {0x7fc00000u, "1#QNAN"}, {0xffc00001u, "1#QNAN"}, {0x7f800001u, "1#SNAN"},
      {0xffbfffffu, "1#SNAN"},
  };
  for (const auto& [bits, text] : singles) {
    const DecimalDigits d = toDecimalDigits(std::bit_cast<float>(bits));
    EXPECT_FALSE(d.finite);
    EXPECT_FALSE(d.negative);
    EXPECT_EQ(d.text(), text) << std::hex << bits;
  }
  const std::pair<std::uint64_t, const char*> doubles[] = {
      {0xfff0000000000000u, "1#INF"},
      {0xfff8000000000000u, "1#IND"},
      {0x7ff8000000000000u, "1#QNAN"},
      {0x7ff0000000000001u, "1#SNAN"},
  };
  for (const auto& [bits, text] : doubles) {
    EXPECT_EQ(toDecimalDigits(std::bit_cast<double>(bits)).text(), text) << std::hex << bits;
  }
}

// An independent exact conversion: m x 2^q multiplied out in base 10^9,
// then the rule applied to its decimal string: the 17th digit rounded half
// up by the 18th, trailing zeros dropped.
std::string expectedDigits(std::uint64_t m, int q) {
  if (m == 0) return "0e0";
  constexpr std::uint64_t kBase = 1000000000;
  std::vector<std::uint64_t> big{m % kBase, m / kBase % kBase, m / kBase / kBase};
  auto multiply = [&](std::uint64_t f) {
    std::uint64_t carry = 0;
    for (std::uint64_t& limb : big) {
      const std::uint64_t p = limb * f + carry;
      limb = p % kBase;
      carry = p / kBase;
    }
    while (carry != 0) {
      big.push_back(carry % kBase);
      carry /= kBase;
    }
  };
  int scale = 0;
  if (q >= 0) {
    for (int left = q; left > 0; left -= 20) multiply(std::uint64_t{1} << std::min(left, 20));
  } else {
    scale = -q;
    for (int left = -q; left > 0; left -= 8) {
      std::uint64_t f = 1;
      for (int i = 0; i < std::min(left, 8); ++i) f *= 5;
      multiply(f);
    }
  }
  while (big.size() > 1 && big.back() == 0) big.pop_back();
  std::string s = std::to_string(big.back());
  for (std::size_t i = big.size() - 1; i-- > 0;) {
    const std::string chunk = std::to_string(big[i]);
    s += std::string(9 - chunk.size(), '0') + chunk;
  }
  int exponent = static_cast<int>(s.size()) - scale;
  s.resize(std::max<std::size_t>(s.size(), 18), '0');
  std::string kept = s.substr(0, 17);
  if (s[17] >= '5') {
    int i = 16;
    while (i >= 0 && kept[i] == '9') kept[i--] = '0';
    if (i >= 0) {
      ++kept[i];
    } else {
      kept = "1" + std::string(16, '0');
      ++exponent;
    }
  }
  while (kept.size() > 1 && kept.back() == '0') kept.pop_back();
  return kept + "e" + std::to_string(exponent);
}

TEST(ToDecimalDigits, EveryFloatExponentAgainstExactArithmetic) {
  std::mt19937 random(20240611);
  for (std::uint32_t field = 0; field < 255; ++field) {
    std::vector<std::uint32_t> fractions{0, 1, 0x7fffff, 0x400000};
    for (int i = 0; i < 200; ++i) fractions.push_back(random() & 0x7fffff);
    for (std::uint32_t fraction : fractions) {
      const std::uint32_t bits = (field << 23) | fraction;
      const std::uint64_t m = field == 0 ? fraction : (fraction | 0x800000);
      const int q = field == 0 ? -149 : static_cast<int>(field) - 150;
      const DecimalDigits d = toDecimalDigits(std::bit_cast<float>(bits));
      ASSERT_EQ(digitsOf(d), expectedDigits(m, q)) << "bits " << std::hex << bits;
      ASSERT_EQ(digitsOf(toDecimalDigits(std::bit_cast<float>(bits | 0x80000000u))),
                concat({m == 0 ? "" : "-", expectedDigits(m, q)}));
    }
  }
}

TEST(ToDecimalDigits, EveryDoubleExponentAgainstExactArithmetic) {
  std::mt19937_64 random(77);
  for (std::uint64_t field = 0; field < 2047; ++field) {
    std::vector<std::uint64_t> fractions{1, (std::uint64_t{1} << 52) - 1};
    for (int i = 0; i < 6; ++i) fractions.push_back(random() & ((std::uint64_t{1} << 52) - 1));
    for (std::uint64_t fraction : fractions) {
      const std::uint64_t bits = (field << 52) | fraction;
      const std::uint64_t m = field == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
      const int q = field == 0 ? -1074 : static_cast<int>(field) - 1075;
      ASSERT_EQ(digitsOf(toDecimalDigits(std::bit_cast<double>(bits))), expectedDigits(m, q))
          << "bits " << std::hex << bits;
    }
  }
}

// ---------------------------------------------------------------------------
// Rounding

DecimalDigits makeDigits(const char* text, int exponent, bool negative = false) {
  DecimalDigits d;
  d.negative = negative;
  d.exponent = static_cast<std::int16_t>(exponent);
  d.count = static_cast<std::uint8_t>(std::string_view(text).size());
  std::copy(text, text + d.count, d.digits);
  return d;
}

TEST(RoundDigits, Cases) {
  struct Case {
    const char* digits;
    int exponent;
    bool negative;
    int places;
    const char* expected;
    bool carry;
  };
  const Case cases[] = {
      {"125", 0, false, 5, "125e0", false},     // short enough: unchanged
      {"124", 0, false, 2, "12e0", false},      // 4: cut
      {"125", 0, false, 2, "13e0", false},      // 5: up
      {"1299", 1, false, 3, "130e1", false},    // nines become zeros
      {"9996", 0, false, 3, "1000e1", true},    // carry past the first digit
      {"4", -4, true, 0, "e-4", false},         // nothing left: sign dropped
      {"6", -4, true, 0, "-1e-4", true},        // rounds up to one unit, exponent stays
      {"5", 0, false, 0, "1e0", true},
      {"99999504089355469", 1, false, 5, "100000e2", true},
  };
  for (const Case& c : cases) {
    DecimalDigits d = makeDigits(c.digits, c.exponent, c.negative);
    EXPECT_EQ(roundDigits(d, c.places), c.carry) << c.digits << " to " << c.places;
    EXPECT_EQ(digitsOf(d), c.expected) << c.digits << " to " << c.places;
  }
}

// ---------------------------------------------------------------------------
// Real editing

std::string realText(float value, EditParams p) {
  FieldText out;
  editReal(value, p, out);
  return out.overflow() ? "<overflow>" : std::string(out.view());
}

std::string realText(double value, EditParams p) {
  FieldText out;
  editReal(value, p, out);
  return out.overflow() ? "<overflow>" : std::string(out.view());
}

EditParams params(RealForm form, int w, int d, int e = 2, int scale = 0) {
  EditParams p;
  p.form = form;
  p.w = w;
  p.d = d;
  p.e = e;
  p.scale = scale;
  return p;
}

TEST(EditReal, FixedForm) {
  struct Case {
    float value;
    int w, d;
    const char* expected;
  };
  const Case cases[] = {
      {1.0f, 7, 4, "1.0000"},
      {-0.5f, 7, 4, "-.5000"},
      {0.0f, 7, 4, ".0000"},
      {-0.0f, 7, 4, ".0000"},
      {0.00004f, 7, 4, ".0000"},
      {-0.00004f, 7, 4, ".0000"},
      {0.03125f, 7, 4, ".0313"},   // the tie rounds away from zero
      {99.99f, 7, 4, "99.9900"},
      {-9.99996f, 7, 4, "-10.0000"},
      {0.99996f, 7, 4, "1.0000"},
      {9.99995f, 7, 4, "10.0000"},  // stored as 9.99995040...
      {0.00005f, 7, 4, ".0000"},    // stored as 4.99999987...e-5
      {0.00006f, 7, 4, ".0001"},
      {-0.00006f, 7, 4, "-.0001"},
      {0.000004f, 7, 4, ".0000"},   // below the last place: zero, no rounding
      {0.3f, 5, 0, "0."},
      {0.7f, 5, 0, "1."},
      {0.0f, 5, 0, "0."},
      {1234.5f, 8, 0, "1235."},
      {123456.789f, 12, 4, "123456.8000"},  // 7 digits from the value, then zeros
      {0.1f, 14, 12, ".100000000000"},
      {1e10f, 20, 2, "10000000000.00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(realText(c.value, params(RealForm::Fixed, c.w, c.d)), c.expected)
        << c.value << " F" << c.w << "." << c.d;
  }
  EXPECT_EQ(realText(0.1, params(RealForm::Fixed, 22, 18)), ".100000000000000000");
  EXPECT_EQ(realText(2.0 / 3.0, params(RealForm::Fixed, 22, 18)), ".666666666666666600");
  EditParams plus = params(RealForm::Fixed, 7, 2);
  plus.signPlus = true;
  EXPECT_EQ(realText(1.5f, plus), "+1.50");
  EditParams scaled = params(RealForm::Fixed, 8, 2, 2, -1);
  EXPECT_EQ(realText(12.5f, scaled), "1.25");
}

TEST(EditReal, ExponentForms) {
  struct Case {
    double value;
    bool single;
    EditParams p;
    const char* expected;
  };
  EditParams d = params(RealForm::Exponent, 12, 4);
  d.exponentLetter = 'D';
  const Case cases[] = {
      {0.5, true, params(RealForm::Exponent, 12, 4), ".5000E+00"},
      {-1234.5, true, params(RealForm::Exponent, 12, 3), "-.123E+04"},
      {0.0, true, params(RealForm::Exponent, 12, 4), ".0000E+00"},
      {1.5, true, params(RealForm::Exponent, 12, 4, 2, 1), "1.5000E+00"},
      {1.5, true, params(RealForm::Exponent, 12, 4, 2, -1), ".0150E+02"},
      {1e-30, true, params(RealForm::Exponent, 12, 4), ".1000E-29"},
      {1e-100, false, params(RealForm::Exponent, 12, 4), ".1000E-99"},
      {1e-101, false, params(RealForm::Exponent, 12, 4), ".1000-100"},  // three digits, no letter
      {1e300, false, params(RealForm::Exponent, 12, 4), ".1000+301"},
      {1e10, true, params(RealForm::Exponent, 10, 3, 1), "<overflow>"},
      {1e10, true, params(RealForm::Exponent, 12, 3, 3), ".100E+011"},
      {0.99996, true, params(RealForm::Exponent, 12, 4), ".1000E+01"},
      {2.5, true, d, ".2500D+01"},
      {12345.0, true, params(RealForm::Scientific, 12, 3), "1.235E+04"},
      {0.0, true, params(RealForm::Scientific, 12, 3), "0.000E+00"},
      {12345.0, true, params(RealForm::Engineering, 12, 3), "12.345E+03"},
      {0.5, true, params(RealForm::Engineering, 12, 3), "500.000E-03"},
      {999.9999, false, params(RealForm::Engineering, 12, 3), "1.000E+03"},
      {1.5, true, params(RealForm::General, 12, 4), "1.500    "},
      {12345.0, true, params(RealForm::General, 12, 4), ".1235E+05"},
      {0.05, true, params(RealForm::General, 12, 4), ".5000E-01"},
      {0.0, true, params(RealForm::General, 12, 4), ".000    "},
  };
  for (const Case& c : cases) {
    const std::string text = c.single ? realText(static_cast<float>(c.value), c.p)
                                      : realText(c.value, c.p);
    EXPECT_EQ(text, c.expected) << c.value;
  }
}

TEST(EditReal, ListDirectedForm) {
  const EditParams single = params(RealForm::ListDirected, 15, 6, 2);
  const EditParams dbl = params(RealForm::ListDirected, 24, 15, 3);
  const std::pair<float, const char*> cases[] = {
      {1.5f, "1.500000"},
      {0.5f, "5.000000E-01"},
      {0.0f, "0.000000E+00"},
      {-0.0f, "0.000000E+00"},
      {123.456f, "123.456000"},
      {12345678.0f, "1.234568E+07"},
      {-0.25f, "-2.500000E-01"},
      {9999999.0f, "9999999.000000"},
      {10000000.0f, "1.000000E+07"},
      {1.0f, "1.000000"},
      {std::nextafter(1.0f, 0.0f), "9.999999E-01"},
      {0.1f, "1.000000E-01"},
      {3.4028234663852886e38f, "3.402823E+38"},
      {1.401298464324817e-45f, "1.401298E-45"},
      {std::numeric_limits<float>::infinity(), "1#INF........"},
      {-std::numeric_limits<float>::quiet_NaN(), "1#IND........"},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(realText(value, single), expected) << value;
  }
  EXPECT_EQ(realText(0.5, dbl), "5.000000000000000E-001");
  EXPECT_EQ(realText(1.5, dbl), "1.500000000000000");
  EXPECT_EQ(realText(1e-300, dbl), "1.000000000000000E-300");
  EXPECT_EQ(realText(0.1, dbl), "1.000000000000000E-001");
}

TEST(EditReal, NotFiniteFillsTheWidth) {
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(realText(inf, params(RealForm::Fixed, 7, 4)), "1#INF..");
  EXPECT_EQ(realText(-inf, params(RealForm::Fixed, 3, 1)), "1#I");
  EXPECT_EQ(realText(std::bit_cast<float>(0x7f800001u), params(RealForm::Exponent, 8, 2)),
            "1#SNAN..");
}

// ---------------------------------------------------------------------------
// Integers and bit patterns

TEST(EditInteger, Cases) {
  struct Case {
    std::int32_t value;
    std::int32_t m;
    bool signPlus;
    const char* expected;
  };
  const Case cases[] = {
      {0, 1, false, "0"},
      {0, 0, false, ""},
      {0, 0, true, ""},
      {0, 1, true, "+0"},
      {5, 1, true, "+5"},
      {7, 3, false, "007"},
      {-7, 3, false, "-007"},
      {1000, 1, false, "1000"},
      {2147483647, 1, false, "2147483647"},
      {-2147483647 - 1, 1, false, "-2147483648"},
  };
  for (const Case& c : cases) {
    FieldText out;
    editInteger(c.value, c.m, c.signPlus, out);
    EXPECT_EQ(out.view(), c.expected) << c.value << " m " << c.m;
  }
}

TEST(EditBits, Cases) {
  const unsigned char ff[] = {0x00, 0xff};
  const unsigned char zero[] = {0, 0, 0, 0};
  const unsigned char all[] = {0xff, 0xff, 0xff, 0xff};
  struct Case {
    const unsigned char* bytes;
    std::size_t count;
    int bits;
    int m;
    const char* expected;
  };
  const Case cases[] = {
      {ff, 2, 4, 1, "FF"},  {ff, 2, 4, 4, "00FF"}, {ff, 2, 3, 1, "377"},
      {ff, 2, 1, 1, "11111111"}, {zero, 4, 4, 1, "0"}, {zero, 4, 4, 0, ""},
      {all, 4, 4, 1, "FFFFFFFF"}, {all, 4, 3, 1, "37777777777"},
  };
  for (const Case& c : cases) {
    FieldText out;
    editBits(c.bytes, c.count, c.bits, c.m, out);
    EXPECT_EQ(out.view(), c.expected);
  }
}

TEST(FieldText, LongTextsOverflowInsteadOfRunningPastTheBuffer) {
  FieldText out;
  editInteger(5, 5000, false, out);
  EXPECT_TRUE(out.overflow());
  EXPECT_EQ(out.length(), FieldText::kCapacity);
  EditParams wide = params(RealForm::Fixed, 3000, 2000);
  editReal(1.0f, wide, out);
  EXPECT_TRUE(out.overflow());
}

}  // namespace
}  // namespace tgram::recio
