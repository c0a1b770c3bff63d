#include "runtime/replace_file.hpp"

#include <cstdint>
#include <cstdio>
#include <random>
#include <system_error>

#include "runtime/os.hpp"

namespace tgram::runtime {

namespace fs = std::filesystem;

namespace {

std::string reasonOf(os::Error error) {
  switch (error) {
    case os::Error::None: return "no error";
    case os::Error::NotFound: return "no such file or folder";
    case os::Error::Exists: return "the file exists";
    case os::Error::AccessDenied: return "access denied";
    case os::Error::TooManyFiles: return "too many open files";
    case os::Error::BadName: return "the name cannot name a file";
    case os::Error::NoSpace: return "no space left on device";
    case os::Error::TooLarge: return "the file would be too large";
    case os::Error::NoMemory: return "out of memory";
    case os::Error::NotSeekable: return "not a file";
    case os::Error::Interrupted: return "interrupted";
    case os::Error::Other: break;
  }
  return "refused by the system";
}

// A new, empty file beside `target` with a name no other file has.
struct Temporary {
  os::Handle handle = os::kNoHandle;
  std::string name;
  os::Error error = os::Error::None;
};

Temporary createBeside(const fs::path& target) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path();
  std::random_device seed;
  std::mt19937_64 random((static_cast<std::uint64_t>(seed()) << 32) ^ seed());
  Temporary temporary;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    std::string hidden = ".";  // appended piece by piece: g++ 12 -O3 misreads "." + string
    hidden += target.filename().string();
    hidden += suffix;
    temporary.name = (folder / hidden).string();
    const os::Opened opened = os::openFile(temporary.name, os::Access::Write, os::Creation::CreateNew);
    temporary.handle = opened.handle;
    temporary.error = opened.error;
    if (opened.error != os::Error::Exists) break;
  }
  return temporary;
}

}  // namespace

std::string replaceFile(const fs::path& target, std::string_view bytes) {
  const Temporary temporary = createBeside(target);
  if (temporary.error != os::Error::None) {
    return "cannot create a file in its folder: " + reasonOf(temporary.error);
  }
  os::Error failure = os::writeAll(temporary.handle, bytes);
  const os::Error closing = os::close(temporary.handle);
  if (failure == os::Error::None) failure = closing;
  if (failure != os::Error::None) {
    os::remove(temporary.name);
    return "cannot write it: " + reasonOf(failure);
  }
  std::error_code error;
  fs::rename(temporary.name, target, error);
  if (error) {
    os::remove(temporary.name);
    return "cannot replace it: " + error.message();
  }
  return {};
}

}  // namespace tgram::runtime
