// The decimal digits of a real's exact value, the first stage of editing
// it (number_edit.hpp).
#pragma once

#include <cstdint>
#include <string_view>

namespace tgram::recio {

// The decimal form of a real: magnitude = 0.D1D2... x 10^exponent with
// D1 != 0, at most 17 digits and no trailing zeros. Zero is the single digit
// "0" with exponent 0 and no sign. A value that is not finite carries one of
// the texts "1#INF", "1#QNAN", "1#SNAN", "1#IND" instead of digits.
struct DecimalDigits {
  static constexpr int kMaxDigits = 24;

  bool negative = false;
  bool finite = true;
  std::int16_t exponent = 0;
  std::uint8_t count = 0;
  char digits[kMaxDigits] = {};

  std::string_view text() const { return std::string_view(digits, count); }
  bool isZero() const { return finite && count == 1 && digits[0] == '0'; }
};

// Significant digits a rounding may keep: places beyond them are zeros.
inline constexpr std::int32_t kReal4Precision = 7;
inline constexpr std::int32_t kReal8Precision = 16;

// The first 17 significant digits of the exact value, the 17th rounded half
// up by the 18th (ties away from zero).
DecimalDigits toDecimalDigits(float value);
DecimalDigits toDecimalDigits(double value);

// Rounds `digits` to `places` significant digits, half away from zero.
// Returns true when the rounding carried past the first digit (the digits
// became "1" followed by zeros and the exponent rose by one) or, for
// `places` 0, when the value rounded up to one unit of the next place
// (the digits became "1", the exponent unchanged). A value that rounds to
// nothing loses its minus sign.
bool roundDigits(DecimalDigits& digits, std::int32_t places);

}  // namespace tgram::recio
