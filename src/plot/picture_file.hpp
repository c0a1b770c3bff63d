// Where the picture may be written.
#pragma once

#include <filesystem>
#include <string>

namespace tgram::plot {

// Why `target` may not receive the picture (the name of the program's input
// or model file in the current folder, or what runtime::replaceFile
// refuses: a folder, a read-only file...), or empty when it may.
std::string refuseTarget(const std::filesystem::path& target);

}  // namespace tgram::plot
