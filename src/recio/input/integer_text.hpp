// Conversion of the text of a list-directed value into a 4-byte integer.
#pragma once

#include <cstdint>
#include <string_view>

namespace tgram::recio {

struct IntegerConversion {
  std::int32_t value = 0;
  int error = 0;  // 0, or the condition number to raise
};

// Converts `text`, which ends at its first zero byte (or at its end).
//
// Decimal: an optional sign, then digits; the magnitude must stay within
// 0..2147483647 ("-2147483648" itself is accepted). The byte 1A hex ends a
// decimal text. A text without digits ("", "+", "-") gives 0.
//
// Based: "base#digits", where an empty or zero base means 16 and any other
// base must lie in 2..36. Digits are 0-9 and a-z in either case; the value
// is an unsigned 32-bit pattern (base 10: at most 2147483647), negated
// afterwards when the text began with "-".
//
// Errors: 6100 out of range, 6101 a character the rules do not allow,
// 6302 a second "#", 6303 a base outside 2..36.
IntegerConversion convertInteger(std::string_view text);

}  // namespace tgram::recio
