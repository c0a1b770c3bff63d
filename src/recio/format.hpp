// Format strings, compiled once per formatted statement.
#pragma once

#include <cstdint>
#include <string>

namespace tgram::recio {

struct CompiledFormat {
  std::string text;
};

// Compiles `length` bytes of `text` (-1: up to the first NUL byte).
CompiledFormat compileFormat(const char* text, std::int32_t length);

}  // namespace tgram::recio
