// Arbitrary bytes as the text of a real value: the one-pass conversion must
// agree bit for bit with the general stages (scan, decimal to double, double
// to single), and a stored value is always finite.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "recio/input/integer_text.hpp"
#include "recio/input/real_text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tgram::recio;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const RealConversion direct = convertReal4(text);
  RealConversion staged;
  DecimalNumber number;
  staged.error = scanRealText(text, number);
  if (staged.error == 0) {
    const DoubleConversion wide = decimalToDouble(number);
    staged = wide.error != 0 ? RealConversion{0.0f, wide.error}
                             : doubleToReal4(wide.value);
  }
  if (direct.error != staged.error) std::abort();
  if (direct.error == 0) {
    if (std::bit_cast<std::uint32_t>(direct.value) !=
        std::bit_cast<std::uint32_t>(staged.value)) {
      std::abort();
    }
    if (!std::isfinite(direct.value)) std::abort();
  }

  convertInteger(text);
  return 0;
}
