// Conversion of the text of a list-directed value into a 4-byte real, in
// three stages: scan the text into an exact decimal number, round that to
// the nearest double, round the double to the nearest single.
#pragma once

#include <cstdint>
#include <string_view>

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

// The single nearest to `value` (ties to even). A magnitude above the largest
// single plus one unit in the last place of a double raises 6104.
RealConversion doubleToReal4(double value);

// The value (negative ? -1 : 1) x digits x 10^exponent when `digits` and
// the power of ten are both exact doubles (digits <= 2^53, |exponent| <=
// 22): one correctly rounded product or quotient, rounded to the nearest
// single as above. False, leaving `result` alone, for any other.
bool exactDecimalToReal4(bool negative, std::uint64_t digits, int exponent,
                         RealConversion& result);

// The three stages together: 6103, 6102 or 6104 on failure.
RealConversion convertReal4(std::string_view text);

}  // namespace tgram::recio
