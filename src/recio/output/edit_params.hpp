// The editing parameters of a real: its form and numbers, settled once for
// a descriptor of a compiled format or for the list-directed form, with the
// mark that says whether the fast editing of 4-byte reals may take it.
#pragma once

#include <cstdint>

namespace tgram::recio {

enum class RealForm : std::uint8_t {
  Fixed,        // Fw.d
  Exponent,     // Ew.d[Ee] and Dw.d (with its own exponent letter)
  General,      // Gw.d[Ee]
  Scientific,   // ESw.d[Ee]
  Engineering,  // ENw.d[Ee]
  ListDirected, // fixed or exponent form, as list-directed output chooses
};

struct EditParams {
  std::int32_t w = 0;  // field width
  std::int32_t d = 1;  // digits after the point
  std::int32_t e = 2;  // exponent digits
  std::int32_t scale = 0;
  bool signPlus = false;
  RealForm form = RealForm::Fixed;
  char exponentLetter = 'E';
  // The fast editing (real4_fast_edit.hpp) edits a 4-byte real under these
  // parameters; set by withFastMark, never by hand.
  bool real4Fast = false;
};

// The list-directed form of a real of one size.
constexpr EditParams listDirectedParams(std::int32_t w, std::int32_t d, std::int32_t e) {
  EditParams p;
  p.form = RealForm::ListDirected;
  p.w = w;
  p.d = d;
  p.e = e;
  return p;
}

// The forms the fast editing of 4-byte reals edits: Fw.d with w = 7,
// d = 4, and the list-directed form of a 4-byte real (15, 6, 2); no scale
// factor and no plus sign.
constexpr bool hasReal4FastForm(const EditParams& p) {
  if (p.scale != 0 || p.signPlus) return false;
  if (p.form == RealForm::Fixed) return p.w == 7 && p.d == 4;
  return p.form == RealForm::ListDirected && p.w == 15 && p.d == 6 && p.e == 2;
}

// `p` with its fast mark set as its form says.
constexpr EditParams withFastMark(EditParams p) {
  p.real4Fast = hasReal4FastForm(p);
  return p;
}

inline constexpr EditParams kListDirectedReal4 = withFastMark(listDirectedParams(15, 6, 2));
inline constexpr EditParams kListDirectedReal8 = withFastMark(listDirectedParams(24, 15, 3));

}  // namespace tgram::recio
