// The second stage of editing a real: the text of each form (fixed,
// exponent, general, scientific, engineering, list-directed) built from
// the decimal digits.
#include <algorithm>
#include <string_view>

#include "recio/output/digit_pairs.hpp"
#include "recio/output/number_edit.hpp"

namespace tgram::recio {

namespace {

// Appends `count` digits of `digits` starting at `from`, continued with
// zeros once the string is exhausted.
void appendDigits(const DecimalDigits& digits, std::int64_t from,
                  std::int64_t count, FieldText& out) {
  if (count <= 0) return;
  const std::int64_t have = std::max<std::int64_t>(0, std::min<std::int64_t>(digits.count - from, count));
  if (have > 0) out.append(digits.digits + from, static_cast<std::int32_t>(have));
  out.appendRepeated('0', count - have);
}

// Sign, integer digits, point and fraction digits for `i` integer digits and
// `t` digits in all (i <= 0: -i zeros after the point come first).
void buildNumber(const DecimalDigits& digits, std::int64_t i, std::int64_t t,
                 bool signPlus, FieldText& out) {
  if (digits.negative) {
    out.push('-');
  } else if (signPlus) {
    out.push('+');
  }
  if (i == 0 && t == 0) out.push('0');
  if (i > 0) appendDigits(digits, 0, i, out);
  out.push('.');
  if (i < 0) out.appendRepeated('0', -i);
  if (i > 0) {
    appendDigits(digits, i, t - i, out);
  } else {
    appendDigits(digits, 0, t, out);
  }
}

// Fills the field of a value that is not finite: its text, cut or padded
// with "." to `width` characters.
void buildNonFinite(const DecimalDigits& digits, std::int32_t width,
                    FieldText& out) {
  const std::string_view text = digits.text();
  if (width <= 0) {
    out.append(text);
    return;
  }
  const auto n = std::min<std::int64_t>(width, static_cast<std::int64_t>(text.size()));
  out.append(text.data(), static_cast<std::int32_t>(n));
  out.appendRepeated('.', width - n);
}

std::int64_t cappedPlaces(std::int64_t places, std::int32_t precision) {
  return std::min<std::int64_t>(places, precision);
}

void buildFixed(DecimalDigits digits, std::int32_t precision,
                const EditParams& p, FieldText& out) {
  const std::int32_t d = std::max(p.d, 0);
  std::int64_t i;
  std::int64_t t;
  if (digits.isZero()) {
    i = 0;
    t = d;
  } else {
    i = std::int64_t{digits.exponent} + p.scale;
    t = i + d;
  }
  if (i < -d) {
    digits.negative = false;
    i = -d;
    t = 0;
  } else if (roundDigits(digits, static_cast<std::int32_t>(cappedPlaces(t, precision)))) {
    ++i;
    ++t;
  }
  buildNumber(digits, i, t, p.signPlus, out);
}

// The exponent part: a letter, a sign and at least e digits, or for e = 2
// and an exponent of three digits the sign and the digits alone. An
// exponent that needs more digits marks the field as overflowing.
void buildExponent(std::int64_t x, const EditParams& p, FieldText& out) {
  const std::uint64_t magnitude =
      x < 0 ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
  char buf[20];
  int needed = writeDecimal(magnitude, buf);
  if (needed == 0) buf[needed++] = '0';
  int places;
  if (p.e == 2 && needed == 3) {
    places = 3;
  } else if (needed > p.e) {
    out.setOverflow();
    return;
  } else {
    out.push(p.exponentLetter);
    places = p.e;
  }
  out.push(x < 0 ? '-' : '+');
  out.appendRepeated('0', places - needed);
  out.append(buf, needed);
}

// Exponent form with `intDigits` digits before the point and `total` digits
// in all; the exponent is the value's exponent less `shift`.
void buildExponentForm(DecimalDigits digits, std::int32_t precision,
                       std::int64_t intDigits, std::int64_t total,
                       std::int64_t shift, const EditParams& p, FieldText& out) {
  const bool zero = digits.isZero();
  const std::int32_t d = std::max(p.d, 0);
  if (intDigits < -d) {
    digits.negative = false;
    intDigits = -d;
    total = 0;
  } else {
    roundDigits(digits, static_cast<std::int32_t>(cappedPlaces(std::max<std::int64_t>(total, 0), precision)));
  }
  buildNumber(digits, intDigits, total, p.signPlus, out);
  buildExponent(zero ? 0 : std::int64_t{digits.exponent} - shift, p, out);
}

void buildExponentPlain(const DecimalDigits& digits, std::int32_t precision,
                        const EditParams& p, FieldText& out) {
  const std::int64_t k = p.scale;
  const std::int64_t d = std::max(p.d, 0);
  buildExponentForm(digits, precision, k, k > 0 ? d + 1 : d + k, k, p, out);
}

void buildScientific(const DecimalDigits& digits, std::int32_t precision,
                     const EditParams& p, FieldText& out) {
  const std::int64_t d = std::max(p.d, 0);
  buildExponentForm(digits, precision, 1, d + 1, 1, p, out);
}

// Engineering form: an exponent that is a multiple of 3 and one to three
// digits before the point.
void buildEngineering(const DecimalDigits& digits, std::int32_t precision,
                      const EditParams& p, FieldText& out) {
  const std::int64_t d = std::max(p.d, 0);
  auto leading = [](std::int64_t n) { return ((n - 1) % 3 + 3) % 3 + 1; };
  if (digits.isZero()) {
    buildExponentForm(digits, precision, 1, d + 1, 1, p, out);
    return;
  }
  DecimalDigits rounded = digits;
  std::int64_t i = leading(rounded.exponent);
  roundDigits(rounded, static_cast<std::int32_t>(cappedPlaces(i + d, precision)));
  i = leading(rounded.exponent);
  buildNumber(rounded, i, i + d, p.signPlus, out);
  buildExponent(std::int64_t{rounded.exponent} - i, p, out);
}

// General form: fixed form followed by blanks where the rounded value lies
// between 0.1 and 10^d, exponent form otherwise.
void buildGeneral(const DecimalDigits& digits, std::int32_t precision,
                  const EditParams& p, FieldText& out) {
  const std::int32_t d = std::max(p.d, 0);
  std::int64_t n = 0;
  bool fixed = true;
  if (!digits.isZero()) {
    DecimalDigits rounded = digits;
    roundDigits(rounded, std::min(d, precision));
    n = rounded.exponent;
    fixed = n >= 0 && n <= d;
  }
  if (!fixed) {
    buildExponentPlain(digits, precision, p, out);
    return;
  }
  EditParams f = p;
  f.scale = 0;
  f.d = static_cast<std::int32_t>(digits.isZero() ? std::max(d - 1, 0) : d - n);
  buildFixed(digits, precision, f, out);
  out.appendRepeated(' ', std::int64_t{std::max(p.e, 0)} + 2);
}

}  // namespace

void editReal(const DecimalDigits& digits, std::int32_t precision,
              const EditParams& p, FieldText& out) {
  out.clear();
  if (!digits.finite) {
    const std::int32_t width = p.form == RealForm::ListDirected ? p.w - 2 : p.w;
    buildNonFinite(digits, width, out);
    return;
  }
  switch (p.form) {
    case RealForm::Fixed:
      buildFixed(digits, precision, p, out);
      break;
    case RealForm::Exponent:
      buildExponentPlain(digits, precision, p, out);
      break;
    case RealForm::General:
      buildGeneral(digits, precision, p, out);
      break;
    case RealForm::Scientific:
      buildScientific(digits, precision, p, out);
      break;
    case RealForm::Engineering:
      buildEngineering(digits, precision, p, out);
      break;
    case RealForm::ListDirected: {
      const std::int64_t n = digits.exponent;
      const bool fixed = !digits.isZero() && n > 0 && n < std::int64_t{p.w} - p.d - 1;
      EditParams q = p;
      q.scale = fixed ? 0 : 1;
      if (fixed) {
        buildFixed(digits, precision, q, out);
      } else {
        buildExponentPlain(digits, precision, q, out);
      }
      break;
    }
  }
}

}  // namespace tgram::recio
