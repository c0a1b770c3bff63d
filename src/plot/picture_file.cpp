#include "plot/picture_file.hpp"

#include <system_error>

#include "model/transiograms.hpp"
#include "runtime/replace_file.hpp"

namespace tgram::plot {

namespace fs = std::filesystem;

namespace {

std::string lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Whether `target` names `name` in the current folder: the same file when
// both exist, else the same name (letter case ignored, as some file
// systems do) in a folder that is the current one.
bool namesFileHere(const fs::path& target, const char* name) {
  std::error_code error;
  if (fs::exists(target, error) && fs::exists(name, error) && fs::equivalent(target, name, error)) {
    return true;
  }
  if (lowered(runtime::utf8Of(target.filename())) != lowered(name)) return false;
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  return fs::equivalent(folder, ".", error);
}

}  // namespace

std::string refuseTarget(const fs::path& target) {
  for (const char* name : {model::kInputFile, model::kModelFile}) {
    if (namesFileHere(target, name)) return std::string("it is ") + name + ", which the plot never changes";
  }
  return runtime::checkReplaceTarget(target);
}

}  // namespace tgram::plot
