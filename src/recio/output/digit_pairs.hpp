// The two decimal digits of every number below 100, and the decimal digits
// of whole numbers written with them: shared by every stage of number
// editing and by the fast editing of 4-byte reals.
#pragma once

#include <cstdint>
#include <cstring>

namespace tgram::recio {

// Digits of n (0..99) at 2n and 2n + 1.
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536"
    "37383940414243444546474849505152535455565758596061626364656667686970717273"
    "7475767778798081828384858687888990919293949596979899";

// Writes the 9 decimal digits of `chunk` (< 10^9), leading zeros included.
inline void writeNineDigits(std::uint32_t chunk, char* out) {
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
inline int writeDecimal(std::uint64_t value, char* out) {
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

}  // namespace tgram::recio
