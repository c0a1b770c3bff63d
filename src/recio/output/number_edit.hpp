// Number editing: the conversion of integers and reals to the text of one
// output field, shared by formatted and list-directed output.
//
// Editing runs in stages: a real is first turned into its decimal digits
// (`toDecimalDigits`), the digits are rounded to the places the field shows
// (`roundDigits`), and the text is built from them (`editReal`). Every stage
// works in fixed buffers, so editing a field never allocates.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "recio/output/edit_params.hpp"
#include "recio/output/field_text.hpp"
#include "recio/output/real4_fast_edit.hpp"

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

// Integer editing: at least `minDigits` digits (zeros in front), "-" for a
// negative value, "+" for others in sign-plus mode unless the value and
// `minDigits` are both 0. No blanks.
void editInteger(std::int32_t value, std::int32_t minDigits, bool signPlus,
                 FieldText& out);

// Real editing under `params`. A field whose exponent does not fit comes
// back marked as overflowing. `precision` caps the significant digits taken
// from the value (kReal4Precision, kReal8Precision).
void editReal(const DecimalDigits& digits, std::int32_t precision,
              const EditParams& params, FieldText& out);
// A 4-byte real: the fast way (real4_fast_edit.hpp) when its parameters are
// marked for it and it takes the value, else the general way, with the same
// result. This is the one place that chooses between them.
[[gnu::always_inline]] inline void editReal(float value, const EditParams& params,
                                            FieldText& out) {
  if (params.real4Fast && editReal4Fast(value, params, out)) return;
  editReal(toDecimalDigits(value), kReal4Precision, params, out);
}
void editReal(double value, const EditParams& params, FieldText& out);

// Hexadecimal (4 bits per digit), octal (3) and binary (1) editing of the
// bit pattern held by `bytes`, most significant byte first: at least
// `minDigits` digits, no sign.
void editBits(const unsigned char* bytes, std::size_t count, int bitsPerDigit,
              std::int32_t minDigits, FieldText& out);

}  // namespace tgram::recio
