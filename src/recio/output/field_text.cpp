#include "recio/output/field_text.hpp"

#include <algorithm>
#include <cstring>

namespace tgram::recio {

void FieldText::append(const char* text, std::int32_t count) {
  if (count <= 0) return;
  const std::int32_t room = kCapacity - length_;
  const std::int32_t n = std::min(count, room);
  std::memcpy(data_ + length_, text, static_cast<std::size_t>(n));
  length_ += n;
  if (n < count) overflow_ = true;
}

void FieldText::appendRepeated(char c, std::int64_t count) {
  if (count <= 0) return;
  const std::int64_t room = kCapacity - length_;
  const std::int64_t n = std::min(count, room);
  if (n <= 0) {
    overflow_ = true;
    return;
  }
  std::memset(data_ + length_, c, static_cast<std::size_t>(n));
  length_ += static_cast<std::int32_t>(n);
  if (n < count) overflow_ = true;
}

}  // namespace tgram::recio
