// Builds the captured items of one write statement, for tests of the
// editing engines: Items().i(5).r(0.5f).c("text").
#pragma once

#include <cstdint>
#include <string_view>

#include "recio/output/items.hpp"

namespace tgram::testing {

class Items {
 public:
  Items& i(std::int32_t v) {
    items_.addInteger(recio::ItemKind::Integer4, v);
    return *this;
  }
  Items& r(float v) {
    items_.addReal4(v);
    return *this;
  }
  Items& r8(double v) {
    items_.addReal8(v);
    return *this;
  }
  Items& c(std::string_view text) {
    items_.addCharacter(text);
    return *this;
  }
  Items& l(std::int32_t v) {
    items_.addLogical(recio::ItemKind::Logical4, v);
    return *this;
  }
  Items& z(float re, float im) {
    items_.addComplex8(re, im);
    return *this;
  }
  Items& z16(double re, double im) {
    items_.addComplex16(re, im);
    return *this;
  }
  const recio::CapturedItems& get() const { return items_; }

 private:
  recio::CapturedItems items_;
};

}  // namespace tgram::testing
