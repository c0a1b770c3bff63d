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

  void integerDigits(const char* p, const char* const end) {
    for (; p < end; ++p) {
      if (number_.count == 0 && *p == '0') continue;
      if (!keep(*p)) ++number_.exponent;
    }
  }
  void fractionDigits(const char* p, const char* const end) {
    for (; p < end; ++p) {
      if (number_.count == 0 && *p == '0') {
        --number_.exponent;
        continue;
      }
      if (keep(*p)) --number_.exponent;
    }
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

// A real text cut into its parts: the value is the mantissa's times
// 10^exponent.
struct RealParts {
  PlainMantissa mantissa;
  std::int32_t exponent = 0;  // as written, held at kExponentCap
};

// The grammar of scanRealText: 0, or 6103 when the text is not wholly one
// number.
int scanRealParts(std::string_view text, RealParts& parts) {
  const char* const begin = text.data();
  const std::size_t n = text.size();
  parts.mantissa = scanPlainMantissa(begin, begin + n);
  if (parts.mantissa.written == 0) return input::kInvalidReal;
  std::size_t i = static_cast<std::size_t>(parts.mantissa.end - begin);
  if (i == n) return 0;
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
  parts.exponent = negativeExponent ? -written : written;
  return 0;
}

// The decimal number of scanned parts: the collector walks the integer and
// fraction digits that the mantissa's scanner delimited.
DecimalNumber decimalNumber(const RealParts& parts) {
  const PlainMantissa& mantissa = parts.mantissa;
  DecimalNumber number;
  number.negative = mantissa.negative;
  DigitCollector collector(number);
  const std::ptrdiff_t fraction = -mantissa.exponent;
  collector.integerDigits(mantissa.first, mantissa.first + (mantissa.written - fraction));
  collector.fractionDigits(mantissa.end - fraction, mantissa.end);
  collector.finish();
  number.exponent = number.count == 0 ? 0 : number.exponent + parts.exponent;
  return number;
}

// The value of up to kExactMantissaDigits digits.
std::uint64_t digitsValue(const DecimalNumber& number) {
  std::uint64_t value = 0;
  for (std::int32_t i = 0; i < number.count; ++i) {
    value = value * 10 + static_cast<unsigned>(number.digits[i] - '0');
  }
  return value;
}

// The shortcut of exactDecimalToDouble, for at most kExactMantissaDigits
// digits.
bool fastDecimalToDouble(const DecimalNumber& number, double& value) {
  return number.count <= kExactMantissaDigits &&
         exactDecimalToDouble(digitsValue(number), number.exponent, value);
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
  RealParts parts;
  if (const int error = scanRealParts(text, parts); error != 0) return error;
  number = decimalNumber(parts);
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

// A value the exact shortcut reaches takes it at once, as the one-pass
// reading does; the rest goes through the stages.
RealConversion convertReal4(std::string_view text) {
  RealParts parts;
  if (const int error = scanRealParts(text, parts); error != 0) return {0.0f, error};
  RealConversion result;
  if (exactMantissaToReal4(parts.mantissa, parts.exponent, result)) return result;
  const DoubleConversion wide = decimalToDouble(decimalNumber(parts));
  if (wide.error != 0) return {0.0f, wide.error};
  return doubleToReal4(wide.value);
}

}  // namespace tgram::recio
