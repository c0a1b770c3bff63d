// The system layer on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "runtime/os.hpp"

namespace tgram::runtime::os {

namespace {

Error errorOf(int number) {
  switch (number) {
    case 0: return Error::None;
    case ENOENT: return Error::NotFound;
    case EEXIST: return Error::Exists;
    case EACCES:
    case EPERM: return Error::AccessDenied;
    case EMFILE:
    case ENFILE: return Error::TooManyFiles;
    case ENAMETOOLONG:
    case EINVAL:
    case ENOTDIR:
    case ELOOP:
    case EILSEQ: return Error::BadName;
    case ENOSPC:
    case EDQUOT: return Error::NoSpace;
    case EFBIG: return Error::TooLarge;
    case ENOMEM: return Error::NoMemory;
    case ESPIPE: return Error::NotSeekable;
    case EINTR: return Error::Interrupted;
    default: return Error::Other;
  }
}

Error lastError() { return errorOf(errno); }

int descriptor(Handle handle) { return static_cast<int>(handle); }

int modeOf(Access access) {
  switch (access) {
    case Access::Read: return O_RDONLY;
    case Access::Write: return O_WRONLY;
    case Access::ReadWrite: break;
  }
  return O_RDWR;
}

Opened openPath(const char* path, int flags) {
  const int fd = ::open(path, flags | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return {kNoHandle, lastError()};
  return {fd, Error::None};
}

FileId idOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
}

}  // namespace

Opened openFile(const std::string& name, Access access, Creation creation) {
  int flags = modeOf(access);
  switch (creation) {
    case Creation::Existing: break;
    case Creation::CreateIfMissing: flags |= O_CREAT; break;
    case Creation::CreateNew: flags |= O_CREAT | O_EXCL; break;
  }
  return openPath(name.c_str(), flags);
}

Opened openDevice(std::string_view device, Access access) {
  if (device == "NUL") return openPath("/dev/null", modeOf(access));
  // Serial ports and printers have no fixed names here: the open is refused
  // rather than taking a file of that name in the current folder.
  return {kNoHandle, Error::NotFound};
}

Scratch createScratchFile(std::string_view pattern) {
  Scratch scratch;
  scratch.name = std::string(pattern);
  const int fd = ::mkstemp(scratch.name.data());
  if (fd < 0) {
    scratch.error = lastError();
    return scratch;
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  scratch.handle = fd;
  return scratch;
}

ReadResult read(Handle handle, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(descriptor(handle), buffer, size);
    if (n >= 0) return {static_cast<std::size_t>(n), Error::None};
    if (errno != EINTR) return {0, lastError()};
  }
}

Error writeAll(Handle handle, std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(descriptor(handle), data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return lastError();
    }
    if (n == 0) return Error::Other;
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return Error::None;
}

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

Position seekTo(Handle handle, std::int64_t offset) {
  const off_t at = ::lseek(descriptor(handle), static_cast<off_t>(offset), SEEK_SET);
  if (at < 0) return {-1, lastError()};
  return {static_cast<std::int64_t>(at), Error::None};
}

Position seekToEnd(Handle handle) {
  const off_t at = ::lseek(descriptor(handle), 0, SEEK_END);
  if (at < 0) return {-1, lastError()};
  return {static_cast<std::int64_t>(at), Error::None};
}

Error truncate(Handle handle, std::int64_t length) {
  if (::ftruncate(descriptor(handle), static_cast<off_t>(length)) != 0) return lastError();
  return Error::None;
}

Error close(Handle handle) {
  if (::close(descriptor(handle)) != 0) return lastError();
  return Error::None;
}

Error remove(const std::string& name) {
  if (::unlink(name.c_str()) != 0) return lastError();
  return Error::None;
}

bool exists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0;
}

FileId identityOf(Handle handle) {
  struct stat st {};
  if (::fstat(descriptor(handle), &st) != 0) return {};
  return idOf(st);
}

FileId identityOfName(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) return {};
  return idOf(st);
}

bool isCharacterDevice(Handle handle) {
  struct stat st {};
  return ::fstat(descriptor(handle), &st) == 0 && S_ISCHR(st.st_mode);
}

bool isRegularFile(Handle handle) {
  struct stat st {};
  return ::fstat(descriptor(handle), &st) == 0 && S_ISREG(st.st_mode);
}

Handle standardInput() { return STDIN_FILENO; }
Handle standardOutput() { return STDOUT_FILENO; }
Handle standardError() { return STDERR_FILENO; }

// POSIX streams never translate anything.
void prepareStandardStreams() {}

}  // namespace tgram::runtime::os
