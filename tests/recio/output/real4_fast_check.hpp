// The comparison behind the checks of the fast way of editing 4-byte reals:
// its texts against those of the general stages.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

#include "recio/output/number_edit.hpp"
#include "recio/output/real4_fast_edit.hpp"

namespace tgram::recio::check {

// The forms that go the fast way, as their callers give them.
inline EditParams fixed74() {
  EditParams p;
  p.form = RealForm::Fixed;
  p.w = 7;
  p.d = 4;
  return withFastMark(p);
}
inline EditParams listDirected4() {
  return kListDirectedReal4;
}

enum class Outcome { Declined, Same, Different };

// Compares a text the fast way made with the general way's text from the
// value's `digits`.
inline Outcome compareTexts(const FieldText& fast, const DecimalDigits& digits,
                            const EditParams& params, FieldText& general, std::string* why) {
  editReal(digits, kReal4Precision, params, general);
  if (fast.view() == general.view() && fast.overflow() == general.overflow()) return Outcome::Same;
  if (why != nullptr) {
    *why = "fast \"" + std::string(fast.view()) + (fast.overflow() ? "\" (overflow)" : "\"") +
           ", general \"" + std::string(general.view()) +
           (general.overflow() ? "\" (overflow)" : "\"");
  }
  return Outcome::Different;
}

// Edits the 4-byte real with bit pattern `bits` the fast way and, when the
// fast way takes it, the general way too. A declined value is edited by the
// general stages alone (editReal tries the fast way first and falls back),
// so only the values the fast way takes can differ. On a difference `why`
// tells both results.
inline Outcome compareWithGeneral(std::uint32_t bits, const EditParams& params, FieldText& fast,
                                  FieldText& general, std::string* why = nullptr) {
  const float value = std::bit_cast<float>(bits);
  if (!editReal4Fast(value, params, fast)) return Outcome::Declined;
  return compareTexts(fast, toDecimalDigits(value), params, general, why);
}

}  // namespace tgram::recio::check
