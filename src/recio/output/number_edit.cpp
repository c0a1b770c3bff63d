#include "recio/output/number_edit.hpp"

#include <algorithm>
#include <bit>
#include <cstring>


namespace tgram::recio {

namespace {

// ---------------------------------------------------------------------------
// Small helpers for decimal digits

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536"
    "37383940414243444546474849505152535455565758596061626364656667686970717273"
    "7475767778798081828384858687888990919293949596979899";

// Writes the 9 decimal digits of `chunk` (< 10^9), leading zeros included.
void writeNineDigits(std::uint32_t chunk, char* out) {
  out[0] = static_cast<char>('0' + chunk / 100000000);
  chunk %= 100000000;
  const std::uint32_t high = chunk / 10000;  // digits 2..5
  const std::uint32_t low = chunk % 10000;   // digits 6..9
  std::memcpy(out + 1, kDigitPairs + 2 * (high / 100), 2);
  std::memcpy(out + 3, kDigitPairs + 2 * (high % 100), 2);
  std::memcpy(out + 5, kDigitPairs + 2 * (low / 100), 2);
  std::memcpy(out + 7, kDigitPairs + 2 * (low % 100), 2);
}

// Writes the decimal digits of `value` without leading zeros (nothing for 0);
// returns the count.
int writeDecimal(std::uint64_t value, char* out) {
  char tmp[20];
  int n = 0;
  while (value >= 100) {
    const std::uint64_t pair = value % 100;
    value /= 100;
    tmp[n++] = kDigitPairs[2 * pair + 1];
    tmp[n++] = kDigitPairs[2 * pair];
  }
  if (value >= 10) {
    tmp[n++] = kDigitPairs[2 * value + 1];
    tmp[n++] = kDigitPairs[2 * value];
  } else if (value > 0) {
    tmp[n++] = static_cast<char>('0' + value);
  }
  for (int i = 0; i < n; ++i) out[i] = tmp[n - 1 - i];
  return n;
}

// ---------------------------------------------------------------------------
// Digit generation

// A finite value as m x 2^q.
struct BinaryValue {
  std::uint64_t m;
  std::int32_t q;
};

constexpr int kSignificant = 17;  // digits kept
constexpr int kLooked = 18;       // digits looked at (the last one rounds)

// Fills `out` from the first digits of the exact decimal expansion:
// `digits` holds at least `available` digits starting with the first
// significant one (fewer only when the expansion ends there), and the value
// is 0.D1D2... x 10^exponent. Rounds the 17th digit half up by the 18th.
void finishDigits(const char* digits, int available, int exponent,
                  DecimalDigits& out) {
  char d[kLooked];
  for (int i = 0; i < kLooked; ++i) d[i] = i < available ? digits[i] : '0';
  if (d[kSignificant] >= '5') {
    int i = kSignificant - 1;
    while (i >= 0 && d[i] == '9') d[i--] = '0';
    if (i >= 0) {
      ++d[i];
    } else {
      d[0] = '1';
      ++exponent;
    }
  }
  int count = kSignificant;
  while (count > 1 && d[count - 1] == '0') --count;
  std::memcpy(out.digits, d, static_cast<std::size_t>(count));
  out.count = static_cast<std::uint8_t>(count);
  out.exponent = static_cast<std::int16_t>(exponent);
}

// m x 2^q with the integer part and the fraction each in 64 bits: the
// integer part's digits, then the fraction's nine at a time, until 18
// significant digits are known or the fraction runs out.
bool digitsFast(BinaryValue v, DecimalDigits& out) {
  std::uint64_t whole;
  std::uint64_t fraction;  // fraction / 2^64
  if (v.q >= 0) {
    if (v.q >= 64 || (v.q > 0 && (v.m >> (64 - v.q)) != 0)) return false;
    whole = v.m << v.q;
    fraction = 0;
  } else {
    const int k = -v.q;
    if (k > 64) return false;
    whole = k == 64 ? 0 : v.m >> k;
    fraction = k == 64 ? v.m : v.m << (64 - k);
  }

  char buf[80];
  int len = writeDecimal(whole, buf);
  const int wholeDigits = len;
  int first = 0;  // index of the first significant digit
  int significant = len;
  while (fraction != 0 && significant < kLooked) {
    // fraction x 10^9: the high word is the next nine digits.
    constexpr std::uint64_t kChunk = 1000000000;
    const std::uint64_t hiPart = (fraction >> 32) * kChunk;
    const std::uint64_t loPart = (fraction & 0xffffffffu) * kChunk;
    const std::uint64_t chunk = (hiPart + (loPart >> 32)) >> 32;
    fraction = (hiPart << 32) + loPart;
    writeNineDigits(static_cast<std::uint32_t>(chunk), buf + len);
    if (significant == 0) {
      int i = len;
      while (i < len + 9 && buf[i] == '0') ++i;
      if (i < len + 9) {
        first = i;
        significant = len + 9 - i;
      }
    } else {
      significant += 9;
    }
    len += 9;
  }
  finishDigits(buf + first, len - first, wholeDigits - first, out);
  return true;
}

// An unsigned integer of up to kLimbs 32-bit limbs, least significant first;
// large enough for m x 5^1074 of the smallest 8-byte reals.
class BigUnsigned {
 public:
  static constexpr int kLimbs = 84;

  explicit BigUnsigned(std::uint64_t value) {
    limbs_[0] = static_cast<std::uint32_t>(value);
    limbs_[1] = static_cast<std::uint32_t>(value >> 32);
    size_ = limbs_[1] != 0 ? 2 : 1;
  }

  void multiply(std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (int i = 0; i < size_; ++i) {
      const std::uint64_t p = std::uint64_t{limbs_[i]} * factor + carry;
      limbs_[i] = static_cast<std::uint32_t>(p);
      carry = p >> 32;
    }
    if (carry != 0 && size_ < kLimbs) limbs_[size_++] = static_cast<std::uint32_t>(carry);
  }

  void shiftLeft(int bits) {
    while (bits >= 31) {
      multiply(std::uint32_t{1} << 31);
      bits -= 31;
    }
    if (bits > 0) multiply(std::uint32_t{1} << bits);
  }

  void multiplyByPowerOf5(int k) {
    constexpr std::uint32_t kFive13 = 1220703125;  // 5^13
    while (k >= 13) {
      multiply(kFive13);
      k -= 13;
    }
    std::uint32_t rest = 1;
    while (k-- > 0) rest *= 5;
    if (rest != 1) multiply(rest);
  }

  // Divides in place; returns the remainder.
  std::uint32_t divide(std::uint32_t divisor) {
    std::uint64_t rem = 0;
    for (int i = size_ - 1; i >= 0; --i) {
      const std::uint64_t cur = (rem << 32) | limbs_[i];
      limbs_[i] = static_cast<std::uint32_t>(cur / divisor);
      rem = cur % divisor;
    }
    while (size_ > 1 && limbs_[size_ - 1] == 0) --size_;
    return static_cast<std::uint32_t>(rem);
  }

  bool isZero() const { return size_ == 1 && limbs_[0] == 0; }

 private:
  std::uint32_t limbs_[kLimbs] = {};
  int size_;
};

// The exact way for the rest: the value as a big integer N with
// value = N x 10^-scale, whose decimal digits are found nine at a time.
void digitsExact(BinaryValue v, DecimalDigits& out) {
  BigUnsigned n(v.m);
  int scale = 0;
  if (v.q >= 0) {
    n.shiftLeft(v.q);
  } else {
    // m / 2^k = m x 5^k / 10^k
    n.multiplyByPowerOf5(-v.q);
    scale = -v.q;
  }
  constexpr int kMaxChunks = 100;
  std::uint32_t chunks[kMaxChunks];  // least significant first
  int count = 0;
  while (!n.isZero() && count < kMaxChunks) chunks[count++] = n.divide(1000000000);

  // The top chunk without leading zeros, then enough chunks for 18 digits.
  char buf[40];
  int len = writeDecimal(chunks[count - 1], buf);
  const int totalDigits = len + 9 * (count - 1);
  for (int c = count - 2; c >= 0 && len < kLooked; --c) {
    writeNineDigits(chunks[c], buf + len);
    len += 9;
  }
  finishDigits(buf, len, totalDigits - scale, out);
}

void digitsOfFinite(BinaryValue v, bool negative, DecimalDigits& out) {
  out.finite = true;
  if (v.m == 0) {
    out.negative = false;
    out.exponent = 0;
    out.count = 1;
    out.digits[0] = '0';
    return;
  }
  out.negative = negative;
  const int zeros = std::countr_zero(v.m);
  v.m >>= zeros;
  v.q += zeros;
  if (!digitsFast(v, out)) digitsExact(v, out);
}

void setNonFinite(DecimalDigits& out, std::string_view text) {
  out.finite = false;
  out.negative = false;
  out.exponent = 0;
  out.count = static_cast<std::uint8_t>(text.size());
  std::memcpy(out.digits, text.data(), text.size());
}

// A value whose exponent field is all ones: an infinity, the default NaN of
// invalid operations (sign set, only the quiet bit), another quiet NaN or a
// signalling NaN.
void classifyNonFinite(bool negative, std::uint64_t fraction,
                       std::uint64_t quietBit, DecimalDigits& out) {
  if (fraction == 0) {
    setNonFinite(out, "1#INF");
  } else if ((fraction & quietBit) == 0) {
    setNonFinite(out, "1#SNAN");
  } else if (negative && fraction == quietBit) {
    setNonFinite(out, "1#IND");
  } else {
    setNonFinite(out, "1#QNAN");
  }
}

}  // namespace

DecimalDigits toDecimalDigits(float value) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  const bool negative = (bits >> 31) != 0;
  const std::uint32_t field = (bits >> 23) & 0xff;
  const std::uint32_t fraction = bits & 0x7fffff;
  DecimalDigits out;
  if (field == 0xff) {
    classifyNonFinite(negative, fraction, 0x400000, out);
  } else if (field == 0) {
    digitsOfFinite({fraction, -149}, negative, out);
  } else {
    digitsOfFinite({fraction | 0x800000, static_cast<std::int32_t>(field) - 150},
                   negative, out);
  }
  return out;
}

DecimalDigits toDecimalDigits(double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const std::uint32_t field = static_cast<std::uint32_t>(bits >> 52) & 0x7ff;
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  DecimalDigits out;
  if (field == 0x7ff) {
    classifyNonFinite(negative, fraction, std::uint64_t{1} << 51, out);
  } else if (field == 0) {
    digitsOfFinite({fraction, -1074}, negative, out);
  } else {
    digitsOfFinite({fraction | (std::uint64_t{1} << 52),
                    static_cast<std::int32_t>(field) - 1075},
                   negative, out);
  }
  return out;
}

bool roundDigits(DecimalDigits& digits, std::int32_t places) {
  if (!digits.finite) return false;
  if (places < 0) places = 0;
  if (digits.count <= places) return false;
  const char next = digits.digits[places];
  if (next <= '4') {
    digits.count = static_cast<std::uint8_t>(places);
    if (places == 0) digits.negative = false;
    return false;
  }
  if (places == 0) {
    digits.digits[0] = '1';
    digits.count = 1;
    return true;
  }
  digits.count = static_cast<std::uint8_t>(places);
  int i = places - 1;
  while (i >= 0 && digits.digits[i] == '9') digits.digits[i--] = '0';
  if (i >= 0) {
    ++digits.digits[i];
    return false;
  }
  digits.digits[0] = '1';
  digits.digits[places] = '0';
  digits.count = static_cast<std::uint8_t>(places + 1);
  ++digits.exponent;
  return true;
}

// ---------------------------------------------------------------------------
// Building real texts

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

void editReal(double value, const EditParams& params, FieldText& out) {
  editReal(toDecimalDigits(value), kReal8Precision, params, out);
}

// ---------------------------------------------------------------------------
// Integers and bit patterns

void editInteger(std::int32_t value, std::int32_t minDigits, bool signPlus,
                 FieldText& out) {
  out.clear();
  const std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  char buf[12];
  const int n = writeDecimal(magnitude, buf);
  if (value < 0) {
    out.push('-');
  } else if (signPlus && !(value == 0 && minDigits == 0)) {
    out.push('+');
  }
  out.appendRepeated('0', std::int64_t{minDigits} - n);
  out.append(buf, n);
}

void editBits(const unsigned char* bytes, std::size_t count, int bitsPerDigit,
              std::int32_t minDigits, FieldText& out) {
  out.clear();
  const std::int64_t totalBits = static_cast<std::int64_t>(count) * 8;
  const std::int64_t digitCount = (totalBits + bitsPerDigit - 1) / bitsPerDigit;
  auto bitAt = [&](std::int64_t b) -> unsigned {
    if (b >= totalBits) return 0;
    const unsigned char byte = bytes[count - 1 - static_cast<std::size_t>(b / 8)];
    return (byte >> (b % 8)) & 1u;
  };
  auto digitAt = [&](std::int64_t j) -> unsigned {
    unsigned v = 0;
    for (int k = bitsPerDigit - 1; k >= 0; --k) v = (v << 1) | bitAt(j * bitsPerDigit + k);
    return v;
  };
  std::int64_t top = digitCount - 1;
  while (top >= 0 && digitAt(top) == 0) --top;
  out.appendRepeated('0', std::int64_t{minDigits} - (top + 1));
  for (std::int64_t j = top; j >= 0 && !out.overflow(); --j) {
    out.push("0123456789ABCDEF"[digitAt(j)]);
  }
}

}  // namespace tgram::recio
