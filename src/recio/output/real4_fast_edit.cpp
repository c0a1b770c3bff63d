#include "recio/output/real4_fast_edit.hpp"

#include <array>
#include <bit>
#include <cstring>

#include "recio/output/digit_pairs.hpp"

namespace tgram::recio {

namespace {

// 5^p for p = 0..27, the powers that fit 63 bits.
constexpr int kMaxPower = 27;
constexpr std::array<std::uint64_t, kMaxPower + 1> kPowersOf5 = [] {
  std::array<std::uint64_t, kMaxPower + 1> powers{};
  std::uint64_t p = 1;
  for (auto& entry : powers) {
    entry = p;
    p *= 5;
  }
  return powers;
}();

// value x 10^p split at the decimal point: the whole part, and the first 64
// bits of the fraction (the fraction is fraction / 2^64, cut, never rounded).
struct Scaled {
  std::uint64_t whole;
  std::uint64_t fraction;
};

// m x 2^q x 10^p = (m x 5^p) x 2^(q + p). Needs m < 2^32, 0 <= p <= 27,
// q + p <= 0 and a whole part below 2^64, which the callers' ranges keep.
Scaled scaleByPowerOf10(std::uint32_t m, std::int32_t q, std::int32_t p) {
  // m x 5^p as the 128-bit number high:low.
  const std::uint64_t five = kPowersOf5[static_cast<std::size_t>(p)];
#if defined(__SIZEOF_INT128__)
  __extension__ const unsigned __int128 product = static_cast<unsigned __int128>(five) * m;
  const auto low = static_cast<std::uint64_t>(product);
  const auto high = static_cast<std::uint64_t>(product >> 64);
#else
  const std::uint64_t lowHalf = std::uint64_t{m} * (five & 0xffffffffu);
  const std::uint64_t highHalf = std::uint64_t{m} * (five >> 32);
  const std::uint64_t low = lowHalf + (highHalf << 32);
  const std::uint64_t high = (highHalf >> 32) + (low < lowHalf ? 1 : 0);
#endif
  const std::int32_t s = -(q + p);  // bits after the binary point
  if (s > 0 && s < 64) return {(low >> s) | (high << (64 - s)), low << (64 - s)};
  if (s == 0) return {low, 0};
  if (s == 64) return {high, low};
  if (s < 128) return {high >> (s - 64), (high << (128 - s)) | (low >> (s - 64))};
  if (s < 192) return {0, high >> (s - 128)};
  return {0, 0};
}

// The general way rounds the first 17 digits of the exact value (the 17th
// rounded by the 18th) rather than the value itself. With k <= 7 digits in
// the whole part, that rounds the whole part up exactly when the fraction is
// at least 1/2 - 5 x 10^(k - 18), and changes the whole part's digits or
// the value's decimal exponent only when the fraction is at least
// 1 - 5 x 10^(k - 18). Within 2^-33 (> 5 x 10^-11) below one half or below
// one, the fast way therefore does not decide.
constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
constexpr std::uint64_t kMargin = std::uint64_t{1} << 31;

bool nearRoundingEdge(std::uint64_t fraction) {
  // fraction + kMargin, taken modulo one half, falls below kMargin exactly
  // for the two windows.
  return ((fraction + kMargin) & (kHalf - 1)) < kMargin;
}

// Texts are put together in two 64-bit words, the first character in the
// lowest byte, and stored with two 8-byte moves (the record sink copies
// them the same way).
struct TextWords {
  std::uint64_t low = 0;
  std::uint64_t high = 0;

  // ORs the bytes of `bytes` in from character `at` (0..15) on; characters
  // beyond the 16th are dropped.
  void place(std::uint64_t bytes, unsigned at) {
    if (at == 0) {
      low |= bytes;
    } else if (at < 8) {
      low |= bytes << (8 * at);
      high |= bytes >> (64 - 8 * at);
    } else {
      high |= bytes << (8 * (at - 8));
    }
  }
};

constexpr std::uint64_t kPoint = '.';
constexpr std::uint64_t kMinus = '-';
constexpr std::uint64_t kZeros = 0x3030303030303030u;  // eight "0"

// Quotients by constants as multiplications, whatever the compiler thinks of
// the block they stand in (each exact over the range named).
std::uint32_t div100(std::uint32_t x) {  // x < 10^4
  return static_cast<std::uint32_t>((std::uint64_t{x} * 5243) >> 19);
}
std::uint32_t div10000(std::uint32_t x) {  // any x
  return static_cast<std::uint32_t>((std::uint64_t{x} * 3518437209u) >> 45);
}

// The two digits of `value` (< 100) as two bytes, the first one lowest.
std::uint64_t pair(std::uint32_t value) {
  const auto* p = reinterpret_cast<const unsigned char*>(kDigitPairs + 2 * value);
  return std::uint64_t{p[0]} | (std::uint64_t{p[1]} << 8);
}

// The 4 digits of `value` (< 10^4) as four bytes.
std::uint64_t fourDigits(std::uint32_t value) {
  const std::uint32_t high = div100(value);
  return pair(high) | (pair(value - 100 * high) << 16);
}

// The eight digits of `value` (< 10^8) as eight bytes, the first one
// lowest, worked out side by side in one register: two halves of four
// digits, then four pairs, then eight digits.
std::uint64_t eightDigits(std::uint32_t value) {
  const std::uint32_t high = div10000(value);
  const std::uint64_t halves = high | (std::uint64_t{value - 10000 * high} << 32);
  // Each half (< 10^4) divided by 100: x * 10486 >> 20 is exact there.
  const std::uint64_t hundreds = ((halves * 10486) >> 20) & 0x0000007f0000007fu;
  const std::uint64_t pairs = hundreds | ((halves - 100 * hundreds) << 16);
  // Each pair (< 100) divided by 10: x * 103 >> 10 is exact there.
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000f000f000f000fu;
  return tens | ((pairs - 10 * tens) << 8) | kZeros;
}

// "E", the sign and two digits of a decimal exponent x (-32 <= x < 32) as
// four bytes.
constexpr std::int32_t kExponentBias = 32;
constexpr auto kExponentTexts = [] {
  std::array<std::uint32_t, 2 * kExponentBias> texts{};
  for (std::int32_t x = -kExponentBias; x < kExponentBias; ++x) {
    const std::int32_t magnitude = x < 0 ? -x : x;
    texts[static_cast<std::size_t>(x + kExponentBias)] =
        'E' | (static_cast<std::uint32_t>(x < 0 ? '-' : '+') << 8) |
        (static_cast<std::uint32_t>('0' + magnitude / 10) << 16) |
        (static_cast<std::uint32_t>('0' + magnitude % 10) << 24);
  }
  return texts;
}();

constexpr std::uint32_t kExponentField = 0xff;
constexpr std::uint32_t kImplicitBit = 0x800000;

// F7.4: the value rounded to 4 places. Values of 128 and more, and
// negative values from 99.99995 down, go the general way (the field shows
// asterisks for them anyway).
bool editFixed74(std::uint32_t bits, FieldText& out) {
  const std::uint32_t field = (bits >> 23) & kExponentField;
  if (field >= 127 + 7) return false;
  if (field <= 82) {
    // Zero: ".0000", no sign. Other values below 2^-44 are rare enough to
    // be left to the general way.
    if ((bits & 0x7fffffffu) != 0) return false;
    out.assignWords(0x303030302eu, 0, 5);
    return true;
  }
  // value x 10^4 = (m x 5^4) x 2^-s, with m x 5^4 below 2^34 and s < 64.
  const std::uint64_t m625 = std::uint64_t{(bits & (kImplicitBit - 1)) | kImplicitBit} * 625;
  const std::uint32_t s = 146 - field;
  const std::uint64_t below = m625 << (64 - s);  // the fraction's 64 bits
  if (nearRoundingEdge(below)) return false;
  const auto units = static_cast<std::uint32_t>((m625 >> s) + (below >> 63));
  const bool negative = (bits >> 31) != 0 && units != 0;  // nothing left: no sign

  if (units < 10000) {  // below one: the point and four digits
    std::uint64_t text = kPoint | (fourDigits(units) << 8);
    if (negative) text = kMinus | (text << 8);
    out.assignWords(text, 0, negative ? 6 : 5);
    return true;
  }
  if (negative && units >= 1000000) return false;
  // Sign and integer digits (at most three characters), then the point and
  // four digits.
  const std::uint32_t integer = div10000(units);
  std::uint64_t head;
  unsigned length;
  if (integer >= 100) {
    const std::uint32_t hundreds = div100(integer);
    head = ('0' + hundreds) | (pair(integer - 100 * hundreds) << 8);
    length = 3;
  } else if (integer >= 10) {
    head = pair(integer);
    length = 2;
  } else {
    head = '0' + integer;
    length = 1;
  }
  if (negative) {
    head = kMinus | (head << 8);
    ++length;
  }
  const std::uint64_t tail = kPoint | (fourDigits(units - 10000 * integer) << 8);
  out.assignWords(head | (tail << (8 * length)), 0, static_cast<std::int32_t>(length + 5));
  return true;
}

// The list-directed form of a 4-byte real: 7 significant digits, in F form
// for a decimal exponent n of 1 to 7 (1 <= value < 10^7), else in E form.
// Values from 10^-20 up to 2^24 go this way, and zero.
bool editListDirected(std::uint32_t bits, FieldText& out) {
  const std::uint32_t field = (bits >> 23) & kExponentField;
  const std::uint32_t fraction = bits & (kImplicitBit - 1);
  if (field == 0) {
    if (fraction != 0) return false;
    TextWords zero;  // "0.000000E+00"
    zero.place(0x30303030302e30u, 0);
    zero.place(0x30302b4530u, 7);
    out.assignWords(zero.low, zero.high, 12);
    return true;
  }
  const std::int32_t e2 = static_cast<std::int32_t>(field) - 127;  // 2^e2 <= value < 2^(e2+1)
  const std::int32_t q = e2 - 23;
  const std::uint32_t m = fraction | kImplicitBit;
  // floor(e2 x log10 2) + 1, so that 10^(n-1) <= value < 10^(n+1).
  std::int32_t n = ((e2 * 78913) >> 18) + 1;
  const std::int32_t p = 7 - n;
  if (p < 0 || p > kMaxPower) return false;  // also infinities and NaNs
  const Scaled scaled = scaleByPowerOf10(m, q, p);
  std::uint32_t units;
  if (scaled.whole < 10000000) {
    if (nearRoundingEdge(scaled.fraction)) return false;
    units = static_cast<std::uint32_t>(scaled.whole) + (scaled.fraction >= kHalf ? 1u : 0u);
  } else {
    // value >= 10^n: 8 digits, the last one and the fraction below it
    // decide the rounding. It goes up for a last digit of 5 or more; the
    // edges lie where the last digit is 4 or 9 and the fraction within
    // 10 x 2^-33 below one.
    ++n;
    const auto eight = static_cast<std::uint32_t>(scaled.whole);
    const std::uint32_t seven = static_cast<std::uint32_t>((std::uint64_t{eight} * 3435973837u) >> 35);
    const std::uint32_t last = eight - 10 * seven;
    if ((last == 4 || last == 9) && scaled.fraction >= 0 - 10 * kMargin) return false;
    units = seven + (last >= 5 ? 1u : 0u);
  }
  const bool fixed = n > 0 && n < 8;  // chosen before rounding
  if (units == 10000000) {  // rounded up to a power of ten
    units = 1000000;
    ++n;
  }

  // The 7 digits and a "0" as eight bytes.
  const std::uint64_t digits = eightDigits(10 * units);
  const unsigned sign = (bits >> 31) != 0 ? 1 : 0;
  if (fixed) {
    // n digits, the point, the other digits and zeros: 6 places in all.
    TextWords text;
    if (sign != 0) text.place(kMinus, 0);
    const auto count = static_cast<unsigned>(n);  // 1..8
    const std::uint64_t before = count == 8 ? digits : digits & ((std::uint64_t{1} << (8 * count)) - 1);
    const std::uint64_t after = count == 8 ? kZeros : (digits >> (8 * count)) | (kZeros << (64 - 8 * count));
    text.place(before, sign);
    text.place(kPoint, sign + count);
    text.place(after, sign + count + 1);
    out.assignWords(text.low, text.high, static_cast<std::int32_t>(sign + count + 7));
    return true;
  }
  // One digit, the point, six digits (eight characters), then "E", the
  // exponent's sign and two digits; a minus sign shifts them by one.
  const std::int32_t x = n - 1;  // -21..7 for the values that come this way
  std::uint64_t low = (digits & 0xff) | (kPoint << 8) | ((digits >> 8) << 16);
  std::uint64_t high = kExponentTexts[static_cast<std::size_t>(x + kExponentBias)];
  if (sign != 0) {
    high = (high << 8) | (low >> 56);
    low = (low << 8) | kMinus;
  }
  out.assignWords(low, high, static_cast<std::int32_t>(sign + 12));
  return true;
}

}  // namespace

// Kept out of line, each in a frame of its own, wherever the callers are
// compiled (also with link-time optimisation).
[[gnu::noinline]] bool editFixed74Fast(std::uint32_t bits, FieldText& out) {
  return editFixed74(bits, out);
}

[[gnu::noinline]] bool editListDirectedFast(std::uint32_t bits, FieldText& out) {
  return editListDirected(bits, out);
}

}  // namespace tgram::recio
