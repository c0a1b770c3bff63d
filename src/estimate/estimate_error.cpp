#include "estimate/estimate_error.hpp"

#include "recio/input/input_report.hpp"

namespace tgram::estimate {

void fail(const std::string& message) { throw EstimateError(message); }

void failAt(const std::filesystem::path& file, std::int64_t line, std::int64_t column, const std::string& message) {
  fail(shownPath(file) + ": line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message);
}

std::string shown(std::string_view text) { return recio::quotedText(text); }

std::string shownPath(const std::filesystem::path& file) {
  // Printable names as they are; a name with a byte that could move the
  // terminal is shown quoted and escaped in full.
  const std::string name = file.string();
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7f || c == '"') {
      std::string escaped;
      for (std::size_t start = 0; start < name.size(); start += recio::kShownTextMax) {
        const std::string piece = recio::quotedText(std::string_view(name).substr(start, recio::kShownTextMax));
        escaped += piece.substr(1, piece.size() - 2);
      }
      return "\"" + escaped + "\"";
    }
  }
  return name;
}

}  // namespace tgram::estimate
