// Minimal stand-in: keeps the text for the stand-in format engine.
#include "recio/format.hpp"

#include <cstring>

namespace tgram::recio {

CompiledFormat compileFormat(const char* text, std::int32_t length) {
  const std::size_t n = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
  return CompiledFormat{std::string(text, n)};
}

}  // namespace tgram::recio
