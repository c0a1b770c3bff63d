// Conversion of the text of a list-directed value into a 4-byte real, in
// three stages: scan the text into an exact decimal number, round that to
// the nearest double, round the double to the nearest single.
#pragma once

#include <cmath>
#include <cstdint>
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
// directly after the mantissa ("1.5-3"). Keeps the first 24 significant
// digits, the 24th rounded up when the next one is 5 or more. Returns 0, or
// 6103 when the text is not wholly one number.
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

// The value (negative ? -1 : 1) x digits x 10^exponent when `digits` and
// the power of ten are both exact doubles (digits <= 2^53, |exponent| <=
// 22): one correctly rounded product or quotient, rounded to the nearest
// single as above. False, leaving `result` alone, for any other.
inline bool exactDecimalToReal4(bool negative, std::uint64_t digits, int exponent,
                                RealConversion& result) {
  if (digits > kExactIntegerLimit || exponent < -22 || exponent > 22) return false;
  double value = static_cast<double>(digits);
  value = exponent >= 0 ? value * kExactPowersOfTen[exponent]
                        : value / kExactPowersOfTen[-exponent];
  result = doubleToReal4(negative ? -value : value);
  return true;
}

// The three stages together: 6103, 6102 or 6104 on failure.
RealConversion convertReal4(std::string_view text);

}  // namespace tgram::recio
