// The texts of 4-byte reals under F7.4 and in the list-directed form, as the
// program writes them, against texts worked out here from the exact value:
// its decimal expansion in full (schoolbook arithmetic on digit strings),
// then the editing rules applied to that string. Random values of every
// magnitude, with the magnitudes of the program's data drawn most often.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "recio/output/number_edit.hpp"

namespace tgram::recio {
namespace {

// ---------------------------------------------------------------------------
// The exact value

// A whole number as its decimal digits, most significant first.
void multiplyDigits(std::string& digits, int factor) {
  int carry = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    const int product = (*it - '0') * factor + carry;
    *it = static_cast<char>('0' + product % 10);
    carry = product / 10;
  }
  while (carry > 0) {
    digits.insert(digits.begin(), static_cast<char>('0' + carry % 10));
    carry /= 10;
  }
}

// Digits D1 D2 ... (D1 not 0) and n with value = 0.D1D2... x 10^n; the
// whole expansion, nothing cut. Zero gives an empty string.
struct Expansion {
  std::string digits;
  int exponent = 0;
};

Expansion exactExpansion(std::uint32_t m, int q) {
  Expansion x;
  if (m == 0) return x;
  x.digits = std::to_string(m);
  int scale = 0;  // value = digits / 10^scale
  for (int i = 0; i < q; ++i) multiplyDigits(x.digits, 2);
  for (int i = 0; i < -q; ++i) {  // m / 2^k = m x 5^k / 10^k
    multiplyDigits(x.digits, 5);
    ++scale;
  }
  x.exponent = static_cast<int>(x.digits.size()) - scale;
  while (x.digits.back() == '0') x.digits.pop_back();
  return x;
}

// ---------------------------------------------------------------------------
// The editing rules, applied to digit strings

struct Digits {
  bool negative = false;
  std::string text;  // "0" for zero
  int exponent = 0;
};

// The first 18 digits of the exact value; the 18th, if 5 or more, adds one
// to the 17th; then the 18th and all trailing zeros go.
Digits digitGeneration(float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  const std::uint32_t field = (bits >> 23) & 0xff;
  const std::uint32_t fraction = bits & 0x7fffff;
  const std::uint32_t m = field == 0 ? fraction : fraction | 0x800000;
  const int q = field == 0 ? -149 : static_cast<int>(field) - 150;
  Digits d;
  const Expansion x = exactExpansion(m, q);
  if (x.digits.empty()) {
    d.text.assign(1, '0');  // assign, not = "0": g++ 12 at -O3 warns falsely on that
    return d;
  }
  d.negative = (bits >> 31) != 0;
  d.exponent = x.exponent;
  std::string first18 = x.digits.substr(0, 18);
  first18.resize(18, '0');
  std::string kept = first18.substr(0, 17);
  if (first18[17] >= '5') {
    int i = 16;
    for (; i >= 0 && kept[static_cast<std::size_t>(i)] == '9'; --i) kept[static_cast<std::size_t>(i)] = '0';
    if (i < 0) {
      kept.assign(1, '1');
      ++d.exponent;
    } else {
      ++kept[static_cast<std::size_t>(i)];
    }
  }
  while (kept.size() > 1 && kept.back() == '0') kept.pop_back();
  d.text = kept;
  return d;
}

// Rounding to k significant digits; true when a carry is reported.
bool roundTo(Digits& d, int k) {
  if (static_cast<int>(d.text.size()) <= k) return false;
  const char next = d.text[static_cast<std::size_t>(k)];
  d.text.resize(static_cast<std::size_t>(k));
  if (next <= '4') {
    if (d.text.find_first_not_of('0') == std::string::npos) d.negative = false;
    return false;
  }
  if (k == 0) {
    d.text.assign(1, '1');
    return true;
  }
  int i = k - 1;
  for (; i >= 0 && d.text[static_cast<std::size_t>(i)] == '9'; --i) d.text[static_cast<std::size_t>(i)] = '0';
  if (i >= 0) {
    ++d.text[static_cast<std::size_t>(i)];
    return false;
  }
  d.text.assign(static_cast<std::size_t>(k) + 1, '0');
  d.text[0] = '1';
  ++d.exponent;
  return true;
}

constexpr int kCap = 7;  // significant digits of a 4-byte real

// Sign, then i digits, the point, then the digits up to t in all (zeros
// after the string ends); for i < 0, -i zeros after the point first.
std::string layOut(const Digits& d, int i, int t) {
  auto digitAt = [&](int index) {
    return index < static_cast<int>(d.text.size()) ? d.text[static_cast<std::size_t>(index)] : '0';
  };
  std::string s = d.negative ? "-" : "";
  if (i == 0 && t == 0) s += '0';
  for (int j = 0; j < i; ++j) s += digitAt(j);
  s += '.';
  if (i < 0) s += std::string(static_cast<std::size_t>(-i), '0');
  const int from = i > 0 ? i : 0;
  const int count = i > 0 ? t - i : t;
  for (int j = 0; j < count; ++j) s += digitAt(from + j);
  return s;
}

std::string fixedText(Digits d, int dPlaces) {
  const bool zero = d.text == "0";
  int i = zero ? 0 : d.exponent;
  int t = zero ? dPlaces : d.exponent + dPlaces;
  if (i < -dPlaces) {
    d.negative = false;
    i = -dPlaces;
    t = 0;
  } else if (roundTo(d, std::min(t, kCap))) {
    ++i;
    ++t;
  }
  return layOut(d, i, t);
}

// E form with one digit before the point, d after, two exponent digits.
std::string exponentText(Digits d, int dPlaces) {
  const bool zero = d.text == "0";
  roundTo(d, std::min(dPlaces + 1, kCap));
  std::string s = layOut(d, 1, dPlaces + 1);
  const int x = zero ? 0 : d.exponent - 1;
  const int magnitude = x < 0 ? -x : x;
  if (magnitude > 99) return s + (x < 0 ? "-" : "+") + std::to_string(magnitude);
  return s + "E" + (x < 0 ? "-" : "+") + (magnitude < 10 ? "0" : "") + std::to_string(magnitude);
}

// A value that is not finite: its name, cut or filled with "." to `width`.
std::string notFinite(float value, int width) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  const std::uint32_t fraction = bits & 0x7fffff;
  std::string name = fraction == 0 ? "1#INF"
                     : (fraction & 0x400000) == 0 ? "1#SNAN"
                     : (bits == 0xffc00000u) ? "1#IND"
                                             : "1#QNAN";
  name.resize(static_cast<std::size_t>(width), '.');
  return name;
}

// The seven columns of an F7.4 field.
std::string expectedFixed74(float value) {
  if (!std::isfinite(value)) return notFinite(value, 7);
  const std::string text = fixedText(digitGeneration(value), 4);
  if (text.size() > 7) return "*******";
  return std::string(7 - text.size(), ' ') + text;
}

std::string expectedListDirected(float value) {
  if (!std::isfinite(value)) return notFinite(value, 13);
  const Digits d = digitGeneration(value);
  const bool fixed = d.text != "0" && d.exponent > 0 && d.exponent < 15 - 6 - 1;
  return fixed ? fixedText(d, 6) : exponentText(d, 6);
}

// ---------------------------------------------------------------------------
// The program's texts

std::string programFixed74(float value) {
  EditParams p;
  p.form = RealForm::Fixed;
  p.w = 7;
  p.d = 4;
  FieldText text;
  editReal(value, withFastMark(p), text);
  if (text.overflow() || text.length() > 7) return "*******";
  return std::string(static_cast<std::size_t>(7 - text.length()), ' ') + std::string(text.view());
}

std::string programListDirected(float value) {
  FieldText text;
  editReal(value, kListDirectedReal4, text);
  return std::string(text.view());
}

// Values drawn the way the program meets them most: probabilities, values
// near the halves between two F7.4 results, magnitudes around the data's;
// and bit patterns of every kind.
float drawValue(std::mt19937& random) {
  switch (random() % 5) {
    case 0:
      return std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    case 1: {
      const float half = static_cast<float>((random() % 1000000 + 0.5) / 1e4);
      const auto bits = static_cast<std::uint32_t>(std::bit_cast<std::uint32_t>(half) + random() % 5 - 2);
      return std::bit_cast<float>(bits);
    }
    case 2: {
      const std::uint32_t field = 80 + random() % 90;  // about 1e-14 to 1e13
      return std::bit_cast<float>(static_cast<std::uint32_t>((random() & 0x807fffffu) | (field << 23)));
    }
    default:
      return std::bit_cast<float>(static_cast<std::uint32_t>(random()));
  }
}

TEST(Real4ExactText, KnownValuesOfTheRules) {
  // The checker itself, on the examples of the editing rules.
  EXPECT_EQ(expectedFixed74(0.5f), "  .5000");
  EXPECT_EQ(expectedFixed74(-0.00004f), "  .0000");
  EXPECT_EQ(expectedFixed74(0.03125f), "  .0313");
  EXPECT_EQ(expectedFixed74(-9.99996f), "*******");
  EXPECT_EQ(expectedFixed74(9.99995f), "10.0000");
  EXPECT_EQ(expectedFixed74(0.00005f), "  .0000");
  EXPECT_EQ(expectedListDirected(123.456f), "123.456000");
  EXPECT_EQ(expectedListDirected(12345678.0f), "1.234568E+07");
  EXPECT_EQ(expectedListDirected(-0.25f), "-2.500000E-01");
  EXPECT_EQ(expectedListDirected(0.0f), "0.000000E+00");
  EXPECT_EQ(expectedListDirected(9999999.0f), "9999999.000000");
}

TEST(Real4ExactText, RandomValuesMatchTheExactTexts) {
  constexpr unsigned kSeed = 20261210;
  std::mt19937 random(kSeed);
  for (int i = 0; i < 20000; ++i) {
    const float value = drawValue(random);
    const auto bits = std::bit_cast<std::uint32_t>(value);
    ASSERT_EQ(programFixed74(value), expectedFixed74(value))
        << "F7.4 of bits 0x" << std::hex << bits << " (seed " << std::dec << kSeed << ")";
    ASSERT_EQ(programListDirected(value), expectedListDirected(value))
        << "list-directed of bits 0x" << std::hex << bits << " (seed " << std::dec << kSeed << ")";
  }
}

}  // namespace
}  // namespace tgram::recio
