// The text of one edited field, as the number editing builds it and the
// record sink places it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tgram::recio {

// The text of one edited field. Texts longer than the capacity are not
// built: the field is marked as overflowing and shows as asterisks.
class FieldText {
 public:
  static constexpr std::int32_t kCapacity = 1024;
  // Bytes that may be read from the start of the storage, whatever the
  // text's length: a text of up to kReadable characters may be copied with
  // fixed-size moves.
  static constexpr std::size_t kReadable = 16;

  void clear() {
    length_ = 0;
    overflow_ = false;
  }
  // Marks the field as too narrow for its value (it shows as asterisks).
  void setOverflow() { overflow_ = true; }
  bool overflow() const { return overflow_; }

  std::int32_t length() const { return length_; }
  std::string_view view() const {
    return std::string_view(data_, static_cast<std::size_t>(length_));
  }
  const char* data() const { return data_; }

  // Appending past the capacity marks the field as overflowing.
  void push(char c) {
    if (length_ < kCapacity) {
      data_[length_++] = c;
    } else {
      overflow_ = true;
    }
  }
  // Replaces the text by `count` (at most kCapacity) characters.
  void assign(const char* text, std::int32_t count) {
    std::memcpy(data_, text, static_cast<std::size_t>(count));
    setLength(count);
  }
  // For writing a whole text of at most kCapacity characters in place:
  // write it at storage(), then set its length.
  char* storage() { return data_; }
  // Replaces the text by the first `count` (at most 16) of the 16 bytes
  // `low` and `high` hold, first character in the lowest byte of `low`.
  void assignWords(std::uint64_t low, std::uint64_t high, std::int32_t count) {
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(data_, &low, 8);
      std::memcpy(data_ + 8, &high, 8);
    } else {
      for (int i = 0; i < 8; ++i) {
        data_[i] = static_cast<char>(low >> (8 * i));
        data_[8 + i] = static_cast<char>(high >> (8 * i));
      }
    }
    setLength(count);
  }
  void setLength(std::int32_t count) {
    length_ = count;
    overflow_ = false;
  }
  void append(const char* text, std::int32_t count);
  void append(std::string_view text) {
    append(text.data(), static_cast<std::int32_t>(text.size()));
  }
  void appendRepeated(char c, std::int64_t count);

 private:
  char data_[kCapacity];
  std::int32_t length_ = 0;
  bool overflow_ = false;
};

}  // namespace tgram::recio
