// The system layer: every call the run-time makes into the operating system
// goes through the operations declared here. One implementation is built per
// platform (os_posix.cpp, os_win32.cpp); nothing above this header knows
// which one it runs on.
//
// Files are always opened untranslated (binary): the bytes written are the
// bytes stored, and reads return the stored bytes unchanged.
//
// Names are UTF-8 everywhere: on Windows they are converted to the system's
// wide characters, so that any name Windows allows can be used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// The start-up of every program of the project: the first call of its main,
// before anything is opened.
// - A standard stream the process was started without (closed) is opened on
//   the null device, so that no file the program opens later can take its
//   number and receive what is meant for the stream. When even that is
//   impossible the process ends at once with status 1, having written
//   nothing.
// - The standard streams are made ready for raw bytes: no translation of
//   line ends or of any other byte, in either direction.
// - A failing device or drive is reported to the program as an error, never
//   in a dialog box (Windows; added to the modes the process inherited).
// Returns the command-line arguments after the program's name, in UTF-8 (on
// Windows taken from the wide-character command line, whatever the code
// page).
std::vector<std::string> startProcess(int argc, char** argv);

// What a name names, as far as writing a whole file is concerned.
enum class FileKind {
  Missing,     // nothing of that name (a symbolic link to nothing, when followed)
  Regular,     // an ordinary file
  Folder,
  Device,      // a character or block device
  Pipe,        // a named pipe
  Link,        // a symbolic link (only when links are not followed)
  DeviceName,  // a name the system takes as a device wherever it stands
               // (Windows: NUL, CON, COM1, LPT1.txt...)
  Other,       // a socket or anything else
};
struct FileStatus {
  FileKind kind = FileKind::Missing;
  Error error = Error::None;  // why the kind could not be told (kind Missing)
};
// The kind of `name`, following symbolic links or not.
FileStatus fileKindOf(const std::string& name, bool followLinks);

// The text of the symbolic link `name` (a name relative to the link's
// folder, or absolute).
struct LinkText {
  std::string text;
  Error error = Error::None;
};
LinkText readLink(const std::string& name);

// Whether this process may write to the existing file `name` (its
// permissions, a read-only attribute, a read-only file system).
bool mayWrite(const std::string& name);

// Makes the file's data reach the disk before the call returns.
Error flushToDisk(Handle handle);

// Gives the open file `handle` the permissions (and, where the process may,
// the owner) of the file `model`: the mode bits on POSIX, the hidden, system
// and archive attributes on Windows.
Error copyPermissions(const std::string& model, Handle handle);

// Renames `from` to `to` in the same folder, replacing `to` in one step.
// On Windows a sharing violation or access denial (another program, such as
// a virus scanner or an indexer, briefly holding either file) is retried for
// up to about two seconds.
Error renameReplacing(const std::string& from, const std::string& to);

}  // namespace tgram::runtime::os
