// The system layer on Windows. Every file is a kernel handle used with
// ReadFile and WriteFile, so no byte is ever translated. Names go to the
// system through its ANSI code page.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>

#include "runtime/os.hpp"

namespace tgram::runtime::os {

namespace {

Error errorOf(DWORD number) {
  switch (number) {
    case ERROR_SUCCESS: return Error::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_DRIVE: return Error::NotFound;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return Error::Exists;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED: return Error::AccessDenied;
    case ERROR_TOO_MANY_OPEN_FILES: return Error::TooManyFiles;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_PARAMETER: return Error::BadName;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return Error::NoSpace;
    case ERROR_FILE_TOO_LARGE: return Error::TooLarge;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return Error::NoMemory;
    case ERROR_SEEK_ON_DEVICE:
    case ERROR_NEGATIVE_SEEK: return Error::NotSeekable;
    case ERROR_OPERATION_ABORTED: return Error::Interrupted;
    default: return Error::Other;
  }
}

Error lastError() { return errorOf(::GetLastError()); }

HANDLE native(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle wrap(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

DWORD desiredAccess(Access access) {
  switch (access) {
    case Access::Read: return GENERIC_READ;
    case Access::Write: return GENERIC_WRITE;
    case Access::ReadWrite: break;
  }
  return GENERIC_READ | GENERIC_WRITE;
}

// Other opens of the same file may read, write and delete it, as on POSIX.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Opened openPath(const char* path, Access access, DWORD disposition) {
  // Not inheritable: a null security descriptor with bInheritHandle FALSE.
  const HANDLE h = ::CreateFileA(path, desiredAccess(access), kShareAll, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {kNoHandle, lastError()};
  return {wrap(h), Error::None};
}

FileId idOf(HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) return {};
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
}

Position seek(Handle handle, std::int64_t offset, DWORD from) {
  if (::GetFileType(native(handle)) != FILE_TYPE_DISK) return {-1, Error::NotSeekable};
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER at{};
  if (!::SetFilePointerEx(native(handle), distance, &at, from)) return {-1, lastError()};
  return {static_cast<std::int64_t>(at.QuadPart), Error::None};
}

}  // namespace

Opened openFile(const std::string& name, Access access, Creation creation) {
  DWORD disposition = OPEN_EXISTING;
  switch (creation) {
    case Creation::Existing: break;
    case Creation::CreateIfMissing: disposition = OPEN_ALWAYS; break;
    case Creation::CreateNew: disposition = CREATE_NEW; break;
  }
  return openPath(name.c_str(), access, disposition);
}

Opened openDevice(std::string_view device, Access access) {
  // The system takes a device name as the device in any folder.
  return openPath(std::string(device).c_str(), access, OPEN_EXISTING);
}

Scratch createScratchFile(std::string_view pattern) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  constexpr std::size_t kLetterCount = sizeof kLetters - 1;
  Scratch scratch;
  scratch.name = std::string(pattern);
  const std::size_t places = std::min<std::size_t>(6, scratch.name.size());
  const std::size_t first = scratch.name.size() - places;
  std::uint64_t seed = (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32) ^
                       ::GetTickCount64() ^ reinterpret_cast<std::uintptr_t>(&scratch);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    std::uint64_t bits = seed >> 16;
    for (std::size_t i = first; i < scratch.name.size(); ++i) {
      scratch.name[i] = kLetters[bits % kLetterCount];
      bits /= kLetterCount;
    }
    const Opened opened = openPath(scratch.name.c_str(), Access::ReadWrite, CREATE_NEW);
    if (opened.error != Error::Exists) {
      scratch.handle = opened.handle;
      scratch.error = opened.error;
      return scratch;
    }
  }
  scratch.error = Error::Exists;
  return scratch;
}

ReadResult read(Handle handle, char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (!::ReadFile(native(handle), buffer, want, &got, nullptr)) {
    const DWORD error = ::GetLastError();
    // The writer of a pipe has gone: that is the end of the input.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return {0, Error::None};
    return {0, errorOf(error)};
  }
  return {got, Error::None};
}

Error writeAll(Handle handle, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
    if (!::WriteFile(native(handle), data, piece, &written, nullptr)) return lastError();
    if (written == 0) return Error::Other;
    data += written;
    left -= written;
  }
  return Error::None;
}

void ignoreBrokenPipes() {}

Position seekTo(Handle handle, std::int64_t offset) { return seek(handle, offset, FILE_BEGIN); }

Position seekToEnd(Handle handle) { return seek(handle, 0, FILE_END); }

Error truncate(Handle handle, std::int64_t length) {
  const Position was = seek(handle, 0, FILE_CURRENT);
  if (was.error != Error::None) return was.error;
  const Position at = seek(handle, length, FILE_BEGIN);
  if (at.error != Error::None) return at.error;
  const Error ended = ::SetEndOfFile(native(handle)) ? Error::None : lastError();
  seek(handle, was.offset, FILE_BEGIN);
  return ended;
}

Error close(Handle handle) {
  return ::CloseHandle(native(handle)) ? Error::None : lastError();
}

Error remove(const std::string& name) {
  return ::DeleteFileA(name.c_str()) ? Error::None : lastError();
}

bool exists(const std::string& name) {
  return ::GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileId identityOf(Handle handle) { return idOf(native(handle)); }

FileId identityOfName(const std::string& name) {
  // No access is asked for: only the attributes are read. A folder opens
  // only with backup semantics.
  const HANDLE h = ::CreateFileA(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  const FileId id = idOf(h);
  ::CloseHandle(h);
  return id;
}

bool isCharacterDevice(Handle handle) {
  return ::GetFileType(native(handle)) == FILE_TYPE_CHAR;
}

bool isRegularFile(Handle handle) {
  if (::GetFileType(native(handle)) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileInformationByHandle(native(handle), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

Handle standardInput() { return wrap(::GetStdHandle(STD_INPUT_HANDLE)); }
Handle standardOutput() { return wrap(::GetStdHandle(STD_OUTPUT_HANDLE)); }
Handle standardError() { return wrap(::GetStdHandle(STD_ERROR_HANDLE)); }

void prepareStandardStreams() {
  // The run-time writes the standard handles with WriteFile, which never
  // translates; the C library's own streams are switched to binary as well,
  // so that nothing written through them gains a CR or stops at a 1A byte.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // A failing device or drive is reported to the program as an error, never
  // in a dialog box that waits for a user.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace tgram::runtime::os
