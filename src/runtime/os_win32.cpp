// The system layer on Windows. Every file is a kernel handle used with
// ReadFile and WriteFile, so no byte is ever translated. Names are UTF-8
// inside the programs and go to the system as wide characters, so that the
// ANSI code page never limits them.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <vector>

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

// A UTF-8 name as the system's wide characters. Bytes that are not UTF-8
// cannot name a file: the name becomes empty, which every call refuses.
std::wstring wide(const std::string& name) {
  if (name.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                         static_cast<int>(name.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), static_cast<int>(name.size()),
                        out.data(), size);
  return out;
}

std::string utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.pop_back();  // the terminating zero
  return out;
}

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

Opened openPath(const std::wstring& path, Access access, DWORD disposition) {
  // Not inheritable: a null security descriptor with bInheritHandle FALSE.
  const HANDLE h = ::CreateFileW(path.c_str(), desiredAccess(access), kShareAll, nullptr, disposition,
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
  return openPath(wide(name), access, disposition);
}

Opened openDevice(std::string_view device, Access access) {
  // The system takes a device name as the device in any folder.
  return openPath(wide(std::string(device)), access, OPEN_EXISTING);
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
    const Opened opened = openPath(wide(scratch.name), Access::ReadWrite, CREATE_NEW);
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
  return ::DeleteFileW(wide(name).c_str()) ? Error::None : lastError();
}

bool exists(const std::string& name) {
  return ::GetFileAttributesW(wide(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileId identityOf(Handle handle) { return idOf(native(handle)); }

FileId identityOfName(const std::string& name) {
  // No access is asked for: only the attributes are read. A folder opens
  // only with backup semantics.
  const HANDLE h = ::CreateFileW(wide(name).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
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

namespace {

// A standard handle the process was started without is opened on the null
// device, so that the program's writes to it go nowhere and fail nothing.
void openMissingStandardHandle(DWORD which) {
  const HANDLE h = ::GetStdHandle(which);
  if (h != nullptr && h != INVALID_HANDLE_VALUE) return;
  const HANDLE null = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (null == INVALID_HANDLE_VALUE || !::SetStdHandle(which, null)) ::ExitProcess(1);
}

void setBinary(FILE* stream) {
  const int fd = _fileno(stream);
  if (fd >= 0) _setmode(fd, _O_BINARY);
}

// Windows' own device names, whatever the folder and extension: the last
// path component up to its first dot (blanks and colons at its end ignored,
// as "COM1:" names the port), in any letter case.
bool isDeviceName(const std::string& name) {
  const std::size_t slash = name.find_last_of("/\\");
  std::string base = name.substr(slash == std::string::npos ? 0 : slash + 1);
  if (slash == std::string::npos && base.size() > 2 && base[1] == ':') base.erase(0, 2);  // "C:NUL"
  base = base.substr(0, base.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == ':')) base.pop_back();
  for (char& c : base) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$") {
    return true;
  }
  return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

std::vector<std::string> startProcess(int, char**) {
  openMissingStandardHandle(STD_INPUT_HANDLE);
  openMissingStandardHandle(STD_OUTPUT_HANDLE);
  openMissingStandardHandle(STD_ERROR_HANDLE);
  // The run-time writes the standard handles with WriteFile, which never
  // translates; the C library's own streams are switched to binary as well,
  // so that nothing written through them gains a CR or stops at a 1A byte.
  setBinary(stdin);
  setBinary(stdout);
  setBinary(stderr);
  // A failing device or drive is reported to the program as an error, never
  // in a dialog box that waits for a user; the modes the process inherited
  // stay.
  const UINT inherited = ::SetErrorMode(0);
  ::SetErrorMode(inherited | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

  // The arguments as typed, in UTF-8: the narrow ones the C library gives
  // have gone through the ANSI code page.
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) arguments.push_back(utf8(words[i]));
    ::LocalFree(words);
  }
  return arguments;
}

FileStatus fileKindOf(const std::string& name, bool) {
  if (isDeviceName(name)) return {FileKind::DeviceName, Error::None};
  const DWORD attributes = ::GetFileAttributesW(wide(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    // A missing folder on the way is found by whatever creates the file.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return {FileKind::Missing, Error::None};
    }
    return {FileKind::Missing, errorOf(error)};
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {FileKind::Folder, Error::None};
  return {FileKind::Regular, Error::None};
}

LinkText readLink(const std::string&) { return {{}, Error::BadName}; }

bool mayWrite(const std::string& name) {
  const DWORD attributes = ::GetFileAttributesW(wide(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

Error flushToDisk(Handle handle) {
  return ::FlushFileBuffers(native(handle)) ? Error::None : lastError();
}

Error copyPermissions(const std::string& model, Handle handle) {
  const DWORD attributes = ::GetFileAttributesW(wide(model).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return lastError();
  constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
  FILE_BASIC_INFO info{};
  info.FileAttributes = (attributes & kKept) != 0 ? (attributes & kKept) : FILE_ATTRIBUTE_NORMAL;
  return ::SetFileInformationByHandle(native(handle), FileBasicInfo, &info, sizeof info) ? Error::None
                                                                                        : lastError();
}

Error renameReplacing(const std::string& from, const std::string& to) {
  const std::wstring source = wide(from);
  const std::wstring target = wide(to);
  // Another program that has just opened either file (a virus scanner, an
  // indexer) makes the rename fail for a moment: it is tried again, with
  // growing pauses, for about two seconds in all.
  DWORD pause = 10;
  for (DWORD waited = 0;; waited += pause, pause = std::min<DWORD>(pause * 2, 250)) {
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return Error::None;
    }
    const DWORD error = ::GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || waited >= 2000) {
      return errorOf(error);
    }
    ::Sleep(pause);
  }
}

}  // namespace tgram::runtime::os
