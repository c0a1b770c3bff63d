#include "recio/input/integer_text.hpp"

#include "recio/input/input_conditions.hpp"

namespace tgram::recio {

namespace {

constexpr std::uint64_t kSignedMax = 2147483647u;
constexpr std::uint64_t kUnsignedMax = 4294967295u;
constexpr char kEndOfText = '\x1a';

// The value of a digit or letter in a based integer, or 99 for anything else.
int digitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

IntegerConversion signedResult(std::uint32_t magnitude, bool negative) {
  const std::uint32_t bits = negative ? 0u - magnitude : magnitude;
  return {static_cast<std::int32_t>(bits), 0};
}

IntegerConversion fault(int number) { return {0, number}; }

// The digits after "base#", up to the end of the text.
IntegerConversion convertBased(std::string_view digits, std::uint32_t base,
                               bool negative) {
  const std::uint64_t limit = base == 10 ? kSignedMax : kUnsignedMax;
  std::uint64_t value = 0;
  for (const char ch : digits) {
    if (ch == '#') return fault(input::kSecondBaseMark);
    const int digit = digitValue(static_cast<unsigned char>(ch));
    if (digit >= static_cast<int>(base)) return fault(input::kInvalidInteger);
    value = value * base + static_cast<unsigned>(digit);
    if (value > limit) return fault(input::kIntegerOverflow);
  }
  return signedResult(static_cast<std::uint32_t>(value), negative);
}

}  // namespace

IntegerConversion convertInteger(std::string_view text) {
  if (const auto end = text.find('\0'); end != std::string_view::npos) {
    text = text.substr(0, end);
  }
  if (text == "-2147483648") return {INT32_MIN, 0};

  std::size_t i = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    i = 1;
  }
  std::uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch >= '0' && ch <= '9') {
      value = value * 10 + static_cast<unsigned>(ch - '0');
      if (value > kSignedMax) return fault(input::kIntegerOverflow);
    } else if (ch == kEndOfText) {
      break;
    } else if (ch == '#') {
      const std::uint64_t base = value == 0 ? 16 : value;
      if (base < 2 || base > 36) return fault(input::kBadBase);
      return convertBased(text.substr(i + 1), static_cast<std::uint32_t>(base),
                          negative);
    } else {
      return fault(input::kInvalidInteger);
    }
  }
  return signedResult(static_cast<std::uint32_t>(value), negative);
}

}  // namespace tgram::recio
