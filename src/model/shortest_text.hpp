// Values as the shortest text that reads back as the same value, as the
// programs show them in their messages, tables and pictures.
#pragma once

#include <charconv>
#include <string>

namespace tgram::model {

// A 4-byte real: its own shortest text, not that of the double it widens to.
inline std::string shortestText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

inline std::string shortestText(double value) {
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace tgram::model
