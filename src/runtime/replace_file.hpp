// Writing a whole file so that it is either the old one or the whole new
// one, never a part: the programs that write a file of their own (the
// picture, the estimated transiograms) replace it this way.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tgram::runtime {

// Writes `bytes` to `target`. Empty on success, else the reason, worded to
// follow "<name> is not written: " (for example "it is a folder").
//
// What happens depends on what `target` names:
// - nothing, or a regular file the process may write to: the bytes go to a
//   new file with a short name of its own (".tgram-XXXXXXXX.tmp") in the
//   target's folder, are flushed to disk, and that file is renamed over the
//   target in one step (on Windows, retried for a moment while another
//   program holds either file). A replaced file keeps its permissions (the
//   mode bits on POSIX, and the owner where the process may set it; the
//   hidden, system and archive attributes on Windows). On any failure the
//   new file is removed and the target is as it was.
// - a symbolic link (or a chain of them): the file it leads to is replaced
//   as above, in that file's own folder; the links stay as they are. A link
//   that leads to nothing gets its file created.
// - a device or a named pipe: written through, never replaced or created
//   (so /dev/stdout sends the bytes down the program's standard output).
// - anything else is refused, before anything is written: a folder, a
//   socket, a regular file the process may not write to (read-only), a
//   name Windows takes as a device in any folder (NUL, COM1, LPT1.txt...).
//
// Names beyond ASCII work on every system when `target` is built from
// wide characters or UTF-8 (pathFromUtf8), never from a std::string in the
// ANSI code page.
std::string replaceFile(const std::filesystem::path& target, std::string_view bytes);

// The refusals of replaceFile alone, for a program that checks its target
// before it starts its work: empty when replaceFile may try to write
// `target`. A folder that does not exist is found only by the write.
std::string checkReplaceTarget(const std::filesystem::path& target);

// A path from a name in UTF-8 (a command-line argument), and a path's name
// in UTF-8, the same on every system.
std::filesystem::path pathFromUtf8(std::string_view name);
std::string utf8Of(const std::filesystem::path& path);

}  // namespace tgram::runtime
