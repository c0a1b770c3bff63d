// Joins texts into one string by appending each in turn.
//
// Tests build expected records out of many small pieces. Chains of `+` that
// begin with a string literal ("x" + std::string) insert at the front of a
// temporary, which g++ 12 at -O3 mistakes for an overlapping copy
// (-Wrestrict); appending says the same without that.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tgram::testing {

inline std::string concat(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (const std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (const std::string_view part : parts) text.append(part);
  return text;
}

}  // namespace tgram::testing
