// Writing the picture so that its file is either the old one or the whole
// new one, never a part.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tgram::plot {

// Why `target` may not receive the picture (a folder, or the name of the
// program's input or model file in the current folder), or empty when it
// may.
std::string refuseTarget(const std::filesystem::path& target);

// Writes `bytes` to a new file beside `target`, then renames it over
// `target`. On failure nothing is left behind (the new file is removed,
// `target` is untouched) and the reason is returned; empty on success.
std::string replaceFile(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tgram::plot
