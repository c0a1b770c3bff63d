// The entries of number editing that are not inline: an 8-byte real,
// integers and bit patterns.
#include "recio/output/number_edit.hpp"

#include <algorithm>

#include "recio/output/digit_pairs.hpp"

namespace tgram::recio {

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
