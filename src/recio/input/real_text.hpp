// Conversion of the text of a list-directed value into a 4-byte real, in
// three stages: scan the text into an exact decimal number, round that to
// the nearest double, round the double to the nearest single. The mantissa
// ([sign] digits [. digits]) has one scanner, scanPlainMantissa, and the
// conversion one exact shortcut, exactDecimalToDouble: the general stages
// and the one-pass reading of a plain value (ListReader::readPlainReal4)
// both use them.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "recio/input/input_conditions.hpp"

namespace tgram::recio {

// At most this many significant digits of a real text take part in its value.
inline constexpr int kRealSignificantDigits = 24;

// The value (negative ? -1 : 1) x D x 10^exponent, where D is the integer
// written by `digits`: `count` digits with no leading or trailing zeros.
// Zero has no digits.
struct DecimalNumber {
  bool negative = false;
  std::int32_t count = 0;
  std::int32_t exponent = 0;
  char digits[kRealSignificantDigits] = {};
};

// Scans a whole real text: [sign] mantissa [exponent], where the mantissa is
// digits with an optional "." (at least one digit) and the exponent is a
// letter E, e, D or d with an optional sign and digits, or a sign and digits
// directly after the mantissa ("1.5-3"). The mantissa is found by
// scanPlainMantissa; of its digits the first 24 significant ones are kept,
// the 24th rounded up when the next one is 5 or more. Returns 0, or 6103
// when the text is not wholly one number.
int scanRealText(std::string_view text, DecimalNumber& number);

struct DoubleConversion {
  double value = 0.0;
  int error = 0;  // 0, or 6102 beyond the double range
};

// The double nearest to `number` (ties to even), exactly. Values below the
// double range give a subnormal or a zero of the number's sign.
DoubleConversion decimalToDouble(const DecimalNumber& number);

struct RealConversion {
  float value = 0.0f;
  int error = 0;  // 0, or the condition number to raise
};

// Largest single value plus one unit in the last place of a double.
inline constexpr double kSingleBound = 0x1.fffffe0000001p+127;

// The single nearest to `value` (ties to even). A magnitude above the largest
// single plus one unit in the last place of a double raises 6104.
inline RealConversion doubleToReal4(double value) {
  if (std::fabs(value) > kSingleBound) return {0.0f, input::kRealOutOfRange};
  return {static_cast<float>(value), 0};
}

// The powers of ten that are exact doubles, and the integers that are.
inline constexpr double kExactPowersOfTen[] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr std::uint64_t kExactIntegerLimit = std::uint64_t{1} << 53;

// digits x 10^exponent when `digits` and the power of ten are both exact
// doubles (digits <= 2^53, |exponent| <= 22): one correctly rounded
// product or quotient, so exact. False, leaving `value` alone, for any
// other. The one shortcut of the conversion: the one-pass reading of a
// plain value, convertReal4 and decimalToDouble all take it.
inline bool exactDecimalToDouble(std::uint64_t digits, int exponent, double& value) {
  if (digits > kExactIntegerLimit || exponent < -22 || exponent > 22) return false;
  const double d = static_cast<double>(digits);
  value = exponent >= 0 ? d * kExactPowersOfTen[exponent] : d / kExactPowersOfTen[-exponent];
  return true;
}

// A plain mantissa: an optional sign, then digits with at most one point.
// Its integer digits are the first written + exponent bytes from `first`,
// its fraction digits the last -exponent bytes before `end`.
struct PlainMantissa {
  bool negative = false;
  // The value of the digits, point left out; it wraps around beyond the
  // 19th digit, so `written` must be checked before it is used.
  std::uint64_t digits = 0;
  std::int32_t exponent = 0;    // minus the count of digits after the point
  std::ptrdiff_t written = 0;   // digits written, leading zeros included
  const char* first = nullptr;  // the first byte after the sign
  const char* end = nullptr;    // the first byte after the mantissa
};

// The most digits whose value a 64-bit integer always holds
// (PlainMantissa::digits).
inline constexpr std::ptrdiff_t kExactMantissaDigits = 19;

// The value of `mantissa` x 10^exponent through exactDecimalToDouble,
// rounded to the nearest single as doubleToReal4 does. False, leaving
// `result` alone, where the shortcut does not reach, a mantissa of more
// than kExactMantissaDigits written digits among them.
inline bool exactMantissaToReal4(const PlainMantissa& mantissa, std::int32_t exponent,
                                 RealConversion& result) {
  double value = 0.0;
  if (mantissa.written > kExactMantissaDigits ||
      !exactDecimalToDouble(mantissa.digits, mantissa.exponent + exponent, value)) {
    return false;
  }
  result = doubleToReal4(mantissa.negative ? -value : value);
  return true;
}

namespace mantissa_detail {

// Eight bytes of text, the first in the lowest byte, are handled at once
// (the byte order of the machines this is built for).
static_assert(std::endian::native == std::endian::little);

inline constexpr std::uint64_t kPowersOf10[] = {1,      10,      100,      1000,     10000,
                                                100000, 1000000, 10000000, 100000000};

// How many of the eight bytes, from the first, are digits (0..8).
inline int leadingDigitCount(std::uint64_t bytes) {
  constexpr std::uint64_t kHighNibbles = 0xf0f0f0f0f0f0f0f0u;
  // A digit byte is 0x30..0x39: its high nibble is 3, and still 3 after
  // adding 6. A carry out of a byte comes only from a byte of 0xfa or more,
  // never a digit, so it cannot change a byte before the first non-digit.
  const std::uint64_t nibbles =
      (bytes & kHighNibbles) | (((bytes + 0x0606060606060606u) & kHighNibbles) >> 4);
  const std::uint64_t others = nibbles ^ 0x3333333333333333u;  // zero bytes: digits
  return others == 0 ? 8 : std::countr_zero(others) / 8;
}

// The value of the first `count` (1..8) bytes of `bytes`, all digits.
inline std::uint64_t digitsValue(std::uint64_t bytes, int count) {
  // The digits moved to the top, with zero bytes (read as leading zeros)
  // before them, then combined pairwise: two, four, then eight digits.
  std::uint64_t v = (bytes << (8 * (8 - count))) & 0x0f0f0f0f0f0f0f0fu;
  v = (v * (1 + (10 << 8))) >> 8;
  v = ((v & 0x00ff00ff00ff00ffu) * (1 + (100 << 16))) >> 16;
  return ((v & 0x0000ffff0000ffffu) * (1 + (std::uint64_t{10000} << 32))) >> 32;
}

// Adds the digits from `p` on to `digits`; returns the first byte after them.
inline const char* addDigits(const char* p, const char* const end, std::uint64_t& digits) {
  for (; p < end; ++p) {
    const auto digit = static_cast<unsigned>(*p - '0');
    if (digit > 9) break;
    digits = digits * 10 + digit;
  }
  return p;
}

}  // namespace mantissa_detail

// Scans the plain mantissa at the start of [p, end), which may be empty
// (no digits written). A fraction's first eight digits are taken at once
// when eight bytes lie ahead.
inline PlainMantissa scanPlainMantissa(const char* p, const char* const end) {
  using namespace mantissa_detail;
  PlainMantissa m;
  if (p < end && (*p == '+' || *p == '-')) {
    m.negative = *p == '-';
    ++p;
  }
  m.first = p;
  p = addDigits(p, end, m.digits);
  m.written = p - m.first;
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    if (end - p >= 8) {
      std::uint64_t eight;
      std::memcpy(&eight, p, 8);
      const int count = leadingDigitCount(eight);
      if (count > 0) {
        m.digits = m.digits * kPowersOf10[count] + digitsValue(eight, count);
        p += count;
      }
    }
    p = addDigits(p, end, m.digits);
    m.exponent = -static_cast<std::int32_t>(p - fraction);
    m.written += p - fraction;
  }
  m.end = p;
  return m;
}

// The three stages together (the general way of the reading; its usual
// values are read in one pass by ListReader::readPlainReal4): 6103, 6102
// or 6104 on failure. A value within the reach of the exact shortcut
// (exactMantissaToReal4) is converted by it at once, without the decimal
// number, as the one-pass reading converts it.
RealConversion convertReal4(std::string_view text);

}  // namespace tgram::recio
