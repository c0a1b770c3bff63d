#include "runtime/replace_file.hpp"

#include <cstdint>
#include <cstdio>
#include <random>

#include "runtime/os.hpp"

namespace tgram::runtime {

namespace fs = std::filesystem;

namespace {

// As many links as a POSIX system follows in one name.
constexpr int kMaxLinks = 40;

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

// The folder part of a UTF-8 name, ending in a separator ("" for the
// current folder).
std::string folderOf(const std::string& name) {
  const fs::path parent = pathFromUtf8(name).parent_path();
  return parent.empty() ? std::string() : utf8Of(parent / "");
}

// Where the bytes go, and how.
struct Destination {
  enum class Way { Replace, WriteThrough, Refuse };
  Way way = Way::Refuse;
  std::string name;     // the file to replace or write through
  bool exists = false;  // a file to replace is there
  std::string refusal;  // why not (Way::Refuse)
};

Destination refuse(std::string why) {
  Destination destination;
  destination.refusal = std::move(why);
  return destination;
}

Destination destinationOf(const std::string& target) {
  // What the name leads to decides the way; the kernel follows every link,
  // also those of /dev/stdout and /proc, which name no file of a folder.
  const os::FileStatus followed = os::fileKindOf(target, true);
  if (followed.error != os::Error::None) return refuse(reasonOf(followed.error));
  Destination destination;
  switch (followed.kind) {
    case os::FileKind::Folder: return refuse("it is a folder");
    case os::FileKind::DeviceName: return refuse("it is a device name on Windows");
    case os::FileKind::Link:
    case os::FileKind::Other: return refuse("it is not a regular file, a device or a named pipe");
    case os::FileKind::Device:
    case os::FileKind::Pipe:
      destination.way = Destination::Way::WriteThrough;
      destination.name = target;
      return destination;
    case os::FileKind::Regular:
    case os::FileKind::Missing: break;
  }
  // A file to replace: found by following the links one by one, so that it
  // is replaced in its own folder and the links stay.
  std::string name = target;
  for (int links = 0;; ++links) {
    const os::FileStatus status = os::fileKindOf(name, false);
    if (status.error != os::Error::None) return refuse(reasonOf(status.error));
    if (status.kind != os::FileKind::Link) break;
    if (links == kMaxLinks) return refuse("too many symbolic links");
    const os::LinkText link = os::readLink(name);
    if (link.error != os::Error::None) return refuse(reasonOf(link.error));
    name = pathFromUtf8(link.text).is_absolute() ? link.text : folderOf(name) + link.text;
  }
  destination.exists = followed.kind == os::FileKind::Regular;
  if (destination.exists && !os::mayWrite(name)) {
    return refuse("it is read-only (no permission to write to it)");
  }
  destination.way = Destination::Way::Replace;
  destination.name = std::move(name);
  return destination;
}

std::string writeThrough(const std::string& name, std::string_view bytes) {
  const os::Opened opened = os::openFile(name, os::Access::Write, os::Creation::Existing);
  if (opened.error != os::Error::None) return "cannot open it: " + reasonOf(opened.error);
  os::Error failure = os::writeAll(opened.handle, bytes);
  const os::Error closing = os::close(opened.handle);
  if (failure == os::Error::None) failure = closing;
  if (failure != os::Error::None) return "cannot write it: " + reasonOf(failure);
  return {};
}

// A new, empty file in `folder` with a short name no other file has, so
// that the longest name the folder allows for the target still fits.
struct Temporary {
  os::Handle handle = os::kNoHandle;
  std::string name;
  os::Error error = os::Error::None;
};

Temporary createIn(const std::string& folder) {
  std::random_device seed;
  std::mt19937 random(seed());
  Temporary temporary;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[24];
    std::snprintf(name, sizeof name, ".tgram-%08lx.tmp", static_cast<unsigned long>(random()));
    temporary.name = folder + name;
    const os::Opened opened = os::openFile(temporary.name, os::Access::Write, os::Creation::CreateNew);
    temporary.handle = opened.handle;
    temporary.error = opened.error;
    if (opened.error != os::Error::Exists) break;
  }
  return temporary;
}

std::string replace(const Destination& destination, std::string_view bytes) {
  const Temporary temporary = createIn(folderOf(destination.name));
  if (temporary.error != os::Error::None) {
    return "cannot create a file in its folder: " + reasonOf(temporary.error);
  }
  // On disk before the rename: a crash must not leave an empty file in
  // place of the old one.
  os::Error failure = os::writeAll(temporary.handle, bytes);
  if (failure == os::Error::None) failure = os::flushToDisk(temporary.handle);
  if (failure == os::Error::None && destination.exists) {
    failure = os::copyPermissions(destination.name, temporary.handle);
  }
  const os::Error closing = os::close(temporary.handle);
  if (failure == os::Error::None) failure = closing;
  if (failure != os::Error::None) {
    os::remove(temporary.name);
    return "cannot write it: " + reasonOf(failure);
  }
  if (const os::Error renaming = os::renameReplacing(temporary.name, destination.name);
      renaming != os::Error::None) {
    os::remove(temporary.name);
    return "cannot replace it: " + reasonOf(renaming);
  }
  return {};
}

}  // namespace

std::string replaceFile(const fs::path& target, std::string_view bytes) {
  const Destination destination = destinationOf(utf8Of(target));
  switch (destination.way) {
    case Destination::Way::Refuse: return destination.refusal;
    case Destination::Way::WriteThrough: return writeThrough(destination.name, bytes);
    case Destination::Way::Replace: break;
  }
  return replace(destination, bytes);
}

std::string checkReplaceTarget(const fs::path& target) { return destinationOf(utf8Of(target)).refusal; }

fs::path pathFromUtf8(std::string_view name) { return fs::path(std::u8string(name.begin(), name.end())); }

std::string utf8Of(const fs::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace tgram::runtime
