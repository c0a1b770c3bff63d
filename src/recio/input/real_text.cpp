#include "recio/input/real_text.hpp"

#include <charconv>
#include <cmath>

#include "recio/input/input_conditions.hpp"

namespace tgram::recio {

namespace {

// Written exponents are held at this magnitude at most; anything beyond is
// out of every range already.
constexpr std::int32_t kExponentCap = 99999;

// Decimal exponents (of the leading digit) beyond which a nonzero value is
// certainly above the double range or below half its smallest subnormal.
constexpr std::int32_t kAboveDoubleRange = 310;
constexpr std::int32_t kBelowDoubleRange = -400;


bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Collects the significant digits of a mantissa into `number`, keeping track
// of the first digit that did not fit.
class DigitCollector {
 public:
  explicit DigitCollector(DecimalNumber& number) : number_(number) {}

  void integerDigit(char c) {
    if (number_.count == 0 && c == '0') return;
    if (!keep(c)) ++number_.exponent;
  }
  void fractionDigit(char c) {
    if (number_.count == 0 && c == '0') {
      --number_.exponent;
      return;
    }
    if (keep(c)) --number_.exponent;
  }

  // Rounds at the 24th digit and drops trailing zeros.
  void finish() {
    if (firstDropped_ >= '5') roundUp();
    while (number_.count > 0 && number_.digits[number_.count - 1] == '0') {
      --number_.count;
      ++number_.exponent;
    }
  }

 private:
  bool keep(char c) {
    if (number_.count < kRealSignificantDigits) {
      number_.digits[number_.count++] = c;
      return true;
    }
    if (firstDropped_ == 0) firstDropped_ = c;
    return false;
  }

  void roundUp() {
    for (std::int32_t i = number_.count - 1; i >= 0; --i) {
      if (number_.digits[i] != '9') {
        ++number_.digits[i];
        return;
      }
      number_.digits[i] = '0';
    }
    // All nines: the digits become 1 followed by one zero more.
    number_.digits[0] = '1';
    ++number_.exponent;
  }

  DecimalNumber& number_;
  char firstDropped_ = 0;
};

// Digits of a written exponent, held at kExponentCap.
std::size_t scanExponentDigits(std::string_view text, std::size_t i,
                               std::int32_t& value) {
  value = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kExponentCap) value = kExponentCap;
  }
  return i;
}

// The value of up to 19 digits.
std::uint64_t digitsValue(const DecimalNumber& number) {
  std::uint64_t value = 0;
  for (std::int32_t i = 0; i < number.count; ++i) {
    value = value * 10 + static_cast<unsigned>(number.digits[i] - '0');
  }
  return value;
}

// The shortcut of exactDecimalToDouble, for at most 19 digits.
bool fastDecimalToDouble(const DecimalNumber& number, double& value) {
  return number.count <= 19 && exactDecimalToDouble(digitsValue(number), number.exponent, value);
}

// The general case, by the library's correctly rounded conversion of the
// kept digits and the exponent.
DoubleConversion slowDecimalToDouble(const DecimalNumber& number,
                                     std::int32_t leadingExponent) {
  char text[kRealSignificantDigits + 16];
  char* out = text;
  for (std::int32_t i = 0; i < number.count; ++i) *out++ = number.digits[i];
  *out++ = 'e';
  out = std::to_chars(out, text + sizeof text, number.exponent).ptr;
  double value = 0.0;
  const auto result = std::from_chars(text, out, value);
  if (result.ec == std::errc::result_out_of_range) {
    if (leadingExponent > 0) return {0.0, input::kRealOverflow};
    value = 0.0;
  }
  return {value, 0};
}

}  // namespace

int scanRealText(std::string_view text, DecimalNumber& number) {
  number = DecimalNumber{};
  const std::size_t n = text.size();
  std::size_t i = 0;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    number.negative = text[i] == '-';
    ++i;
  }

  DigitCollector collector(number);
  bool sawDigit = false;
  for (; i < n && isDigit(text[i]); ++i) {
    collector.integerDigit(text[i]);
    sawDigit = true;
  }
  if (i < n && text[i] == '.') {
    for (++i; i < n && isDigit(text[i]); ++i) {
      collector.fractionDigit(text[i]);
      sawDigit = true;
    }
  }
  if (!sawDigit) return input::kInvalidReal;

  if (i < n) {
    const char c = text[i];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') ++i;
    else if (c != '+' && c != '-') return input::kInvalidReal;
    bool negativeExponent = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
      negativeExponent = text[i] == '-';
      ++i;
    }
    std::int32_t written = 0;
    const std::size_t end = scanExponentDigits(text, i, written);
    if (end == i || end != n) return input::kInvalidReal;
    i = end;
    number.exponent += negativeExponent ? -written : written;
  }

  collector.finish();
  if (number.count == 0) number.exponent = 0;
  return 0;
}

DoubleConversion decimalToDouble(const DecimalNumber& number) {
  const double zero = number.negative ? -0.0 : 0.0;
  if (number.count == 0) return {zero, 0};
  const std::int32_t leadingExponent = number.exponent + number.count - 1;
  if (leadingExponent > kAboveDoubleRange) return {0.0, input::kRealOverflow};
  if (leadingExponent < kBelowDoubleRange) return {zero, 0};

  DoubleConversion result;
  if (!fastDecimalToDouble(number, result.value)) {
    result = slowDecimalToDouble(number, leadingExponent);
    if (result.error != 0) return result;
  }
  if (number.negative) result.value = -result.value;
  return result;
}


RealConversion convertReal4(std::string_view text) {
  DecimalNumber number;
  if (const int error = scanRealText(text, number); error != 0) {
    return {0.0f, error};
  }
  const DoubleConversion wide = decimalToDouble(number);
  if (wide.error != 0) return {0.0f, wide.error};
  return doubleToReal4(wide.value);
}

}  // namespace tgram::recio
