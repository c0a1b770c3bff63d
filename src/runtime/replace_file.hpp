// Writing a whole file so that it is either the old one or the whole new
// one, never a part: the programs that write a file of their own (the
// picture, the estimated transiograms) replace it this way.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tgram::runtime {

// Writes `bytes` to a new file beside `target`, then renames it over
// `target`. On failure nothing is left behind (the new file is removed,
// `target` is untouched) and the reason is returned; empty on success.
std::string replaceFile(const std::filesystem::path& target, std::string_view bytes);

}  // namespace tgram::runtime
