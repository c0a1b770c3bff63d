// The first stage of editing a real: the decimal digits of its exact value
// (from 64-bit integers where they reach, else from a big integer), and
// their rounding to the places a field shows.
#include "recio/output/decimal_digits.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "recio/output/digit_pairs.hpp"

namespace tgram::recio {

namespace {

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

}  // namespace tgram::recio
