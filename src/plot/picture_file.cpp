#include "plot/picture_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#include "model/transiograms.hpp"

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
  if (lowered(target.filename().string()) != lowered(name)) return false;
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  return fs::equivalent(folder, ".", error);
}

std::string systemReason(int number) { return std::strerror(number); }

}  // namespace

std::string refuseTarget(const fs::path& target) {
  std::error_code error;
  if (fs::is_directory(target, error)) return "it is a folder";
  for (const char* name : {model::kInputFile, model::kModelFile}) {
    if (namesFileHere(target, name)) return std::string("it is ") + name + ", which the plot never changes";
  }
  return {};
}

std::string replaceFile(const fs::path& target, std::string_view bytes) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path();
  std::random_device seed;
  std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
  fs::path temporary;
  std::error_code error;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    temporary = folder / ("." + target.filename().string() + suffix);
    if (!fs::exists(temporary, error)) break;
  }

  std::FILE* file = std::fopen(temporary.string().c_str(), "wb");
  if (file == nullptr) return "cannot create a file in its folder: " + systemReason(errno);
  const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
  int failure = written == bytes.size() && std::fflush(file) == 0 ? 0 : errno;
  if (std::fclose(file) != 0 && failure == 0) failure = errno != 0 ? errno : EIO;
  if (failure != 0) {
    fs::remove(temporary, error);
    return "cannot write it: " + systemReason(failure);
  }
  fs::rename(temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return "cannot replace it: " + error.message();
  }
  return {};
}

}  // namespace tgram::plot
