// The system layer: every call the run-time makes into the operating system
// goes through the operations declared here. One implementation is built per
// platform (os_posix.cpp, os_win32.cpp); nothing above this header knows
// which one it runs on.
//
// Files are always opened untranslated (binary): the bytes written are the
// bytes stored, and reads return the stored bytes unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tgram::runtime::os {

// An open file, device or standard stream: a descriptor on POSIX, a handle
// on Windows.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Why the system refused an operation, as far as the run-time tells reasons
// apart.
enum class Error {
  None,
  NotFound,      // no such file (or folder on its path)
  Exists,        // the file exists already
  AccessDenied,  // refused for lack of access, or locked
  TooManyFiles,  // the process or the system has too many files open
  BadName,       // the name cannot name a file
  NoSpace,       // the disk or the quota is full
  TooLarge,      // the file would grow beyond the largest size allowed
  NoMemory,
  NotSeekable,   // the handle has no file position (a pipe, a terminal)
  Interrupted,   // a signal interrupted the call
  Other,
};

enum class Access { Read, Write, ReadWrite };

enum class Creation {
  Existing,         // open only what exists
  CreateIfMissing,  // create an empty file when nothing of that name exists
  CreateNew,        // create the file; fail with Exists when it is there
};

struct Opened {
  Handle handle = kNoHandle;
  Error error = Error::None;
};

// Opens the file `name` for `access`, shared with any other open of it. The
// handle is not inherited by programs this process starts, and a terminal
// opened this way never becomes the process's controlling terminal. A
// created file is readable and writable by all that the process allows.
Opened openFile(const std::string& name, Access access, Creation creation);

// Opens the named device `device` ("NUL", "COM1", "PRN", "LPT1"...; upper
// case, without an extension) for `access`. "NUL" is the null device
// everywhere; the other names are the platform's devices where it has them,
// and Error::NotFound where it has none.
Opened openDevice(std::string_view device, Access access);

// Creates a new, empty scratch file in the current folder, named after
// `pattern` with its trailing "XXXXXX" replaced to make the name unique,
// open for reading and writing. `name` receives the name made.
struct Scratch {
  Handle handle = kNoHandle;
  std::string name;
  Error error = Error::None;
};
Scratch createScratchFile(std::string_view pattern);

// Reads at most `size` bytes at the current position; a count of 0 is the
// end of the file. Interrupted reads are retried.
struct ReadResult {
  std::size_t count = 0;
  Error error = Error::None;
};
ReadResult read(Handle handle, char* buffer, std::size_t size);

// Writes all of `bytes`, retrying interrupted and partial writes. Returns
// Error::None, or the reason of the write that failed.
Error writeAll(Handle handle, std::string_view bytes);

// From now on a write to a pipe that nobody reads any more fails with an
// error instead of ending the process: for a program whose console lines
// only report on its work, so that a reader that has gone cannot stop it.
// (On Windows such a write always fails.)
void ignoreBrokenPipes();

// Moves the file position to `offset` from the start, or to the end; gives
// the new position (a 64-bit offset).
struct Position {
  std::int64_t offset = -1;
  Error error = Error::None;
};
Position seekTo(Handle handle, std::int64_t offset);
Position seekToEnd(Handle handle);

// Sets the file's length to `length`, cutting off what lies beyond; the
// file position does not move.
Error truncate(Handle handle, std::int64_t length);

Error close(Handle handle);

// Deletes the file `name`.
Error remove(const std::string& name);

// Whether something of that name exists (its attributes can be read); a
// folder counts.
bool exists(const std::string& name);

// What makes a file the same file under two names or on two handles: device
// and inode on POSIX, volume serial number and file index on Windows.
// `known` is false when the system could not tell.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool known = false;
};
FileId identityOf(Handle handle);
FileId identityOfName(const std::string& name);

// Whether two identities are known and name the same file.
inline bool sameFile(const FileId& a, const FileId& b) {
  return a.known && b.known && a.volume == b.volume && a.index == b.index;
}

// Whether the handle is a character device (a terminal, the console, the
// null device, a serial port).
bool isCharacterDevice(Handle handle);
// Whether the handle is an ordinary file on disk (not a folder, pipe or
// device).
bool isRegularFile(Handle handle);

// The process's standard streams.
Handle standardInput();
Handle standardOutput();
Handle standardError();

// Gets the standard streams ready for raw bytes: no translation of line ends
// or of any other byte, in either direction. Called once at start-up.
void prepareStandardStreams();

}  // namespace tgram::runtime::os
