// Number editing: the conversion of integers and reals to the text of one
// output field, shared by formatted and list-directed output.
//
// Editing runs in stages, one file each: a real is first turned into its
// decimal digits and these are rounded to the places the field shows
// (decimal_digits), the text of its form is built from them (real_forms,
// `editReal` of DecimalDigits), and the text is a FieldText (field_text).
// A 4-byte real under the forms the program writes most goes the fast way
// (real4_fast_edit) when editReal below chooses it. Every stage works in
// fixed buffers, so editing a field never allocates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "recio/output/decimal_digits.hpp"
#include "recio/output/edit_params.hpp"
#include "recio/output/field_text.hpp"
#include "recio/output/real4_fast_edit.hpp"

namespace tgram::recio {

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
