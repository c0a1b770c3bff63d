// Items of I/O statements: kind codes and the captured items of a write
// statement.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tgram::recio {

// Kind codes passed with every transfer item.
enum class ItemKind : std::uint8_t {
  Integer1 = 1,
  Integer2 = 2,
  Integer4 = 3,
  Logical1 = 6,
  Logical2 = 7,
  Logical4 = 8,
  Character = 10,
  Real4 = 11,
  Real8 = 12,
  Complex8 = 14,
  Complex16 = 15,
};

inline bool isIntegerKind(ItemKind k) {
  return k == ItemKind::Integer1 || k == ItemKind::Integer2 ||
         k == ItemKind::Integer4;
}
inline bool isLogicalKind(ItemKind k) {
  return k == ItemKind::Logical1 || k == ItemKind::Logical2 ||
         k == ItemKind::Logical4;
}
inline bool isRealKind(ItemKind k) {
  return k == ItemKind::Real4 || k == ItemKind::Real8;
}
inline bool isComplexKind(ItemKind k) {
  return k == ItemKind::Complex8 || k == ItemKind::Complex16;
}

// One item of a write statement, captured by value when it is added.
// Reals keep their exact bits (a 4-byte real is not widened), so that every
// value, not-a-numbers included, is edited as it was given.
struct WriteItem {
  ItemKind kind;
  std::uint32_t length = 0;  // character items: number of characters
  std::uint64_t bits = 0;    // integer/logical value, real bits, text offset,
                             // or the real part of a complex item
  std::uint64_t bits2 = 0;   // the imaginary part of a complex item

  std::int32_t integer() const { return static_cast<std::int32_t>(bits); }
  float real4() const {
    return std::bit_cast<float>(static_cast<std::uint32_t>(bits));
  }
  double real8() const { return std::bit_cast<double>(bits); }
  float imag4() const {
    return std::bit_cast<float>(static_cast<std::uint32_t>(bits2));
  }
  double imag8() const { return std::bit_cast<double>(bits2); }
};

// The items of one write statement, in statement order. Character items are
// copied into one text store, so numeric items cost no allocation each.
class CapturedItems {
 public:
  CapturedItems() { items_.reserve(512); }

  void clear() {
    items_.clear();
    text_.clear();
  }
  void addInteger(ItemKind kind, std::int32_t value) {
    items_.push_back(WriteItem{kind, 0, static_cast<std::uint32_t>(value), 0});
  }
  void addLogical(ItemKind kind, std::int32_t value) { addInteger(kind, value); }
  void addReal4(float value) {
    items_.push_back(
        WriteItem{ItemKind::Real4, 0, std::bit_cast<std::uint32_t>(value), 0});
  }
  void addReal8(double value) {
    items_.push_back(
        WriteItem{ItemKind::Real8, 0, std::bit_cast<std::uint64_t>(value), 0});
  }
  void addComplex8(float re, float im) {
    items_.push_back(WriteItem{ItemKind::Complex8, 0,
                               std::bit_cast<std::uint32_t>(re),
                               std::bit_cast<std::uint32_t>(im)});
  }
  void addComplex16(double re, double im) {
    items_.push_back(WriteItem{ItemKind::Complex16, 0,
                               std::bit_cast<std::uint64_t>(re),
                               std::bit_cast<std::uint64_t>(im)});
  }
  // A negative length counts as 0.
  void addCharacter(const char* text, std::int32_t length) {
    const std::uint32_t n = length > 0 ? static_cast<std::uint32_t>(length) : 0;
    items_.push_back(WriteItem{ItemKind::Character, n, text_.size(), 0});
    text_.append(text, n);
  }
  void addCharacter(std::string_view text) {
    addCharacter(text.data(), static_cast<std::int32_t>(text.size()));
  }

  const std::vector<WriteItem>& items() const { return items_; }
  std::size_t size() const { return items_.size(); }
  const WriteItem& operator[](std::size_t i) const { return items_[i]; }
  // The text of a character item.
  std::string_view text(const WriteItem& item) const {
    return std::string_view(text_).substr(item.bits, item.length);
  }

 private:
  std::vector<WriteItem> items_;
  std::string text_;
};

}  // namespace tgram::recio
