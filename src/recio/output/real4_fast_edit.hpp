// The fast way to edit a 4-byte real under the two forms the program writes
// by the hundred thousand: F7.4 (the model file) and the list-directed form
// (the console echo).
//
// A 4-byte real is m x 2^q with m below 2^24. Its value times 10^p splits
// exactly into a whole part and a fraction with one 64 x 64-bit product and
// a shift, and the whole part already holds every digit the field shows.
// The fraction decides the rounding. The digits the general way keeps (the
// first 17, rounded by the 18th) can round differently only when the
// fraction lies within 5 x 10^-11 below one half or below one; values there
// (and values outside the ranges below) go the general way, so the fast way
// never has to be right about them.
#pragma once

#include <bit>
#include <cstdint>

#include "recio/output/edit_params.hpp"
#include "recio/output/field_text.hpp"

namespace tgram::recio {

// The fast editing of the bits of a 4-byte real under F7.4 and in the
// list-directed form: true, with `out` holding exactly what the general way
// gives, or false, leaving `out` unspecified, for a value the fast way
// leaves to the general one.
bool editFixed74Fast(std::uint32_t bits, FieldText& out);
bool editListDirectedFast(std::uint32_t bits, FieldText& out);

// The same for `value` under `params`, a form marked `real4Fast`: F7.4 when
// its form is Fixed, else the list-directed form.
[[gnu::always_inline]] inline bool editReal4Fast(float value, const EditParams& params, FieldText& out) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  return params.form == RealForm::Fixed ? editFixed74Fast(bits, out) : editListDirectedFast(bits, out);
}

}  // namespace tgram::recio
