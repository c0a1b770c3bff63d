// Running the built program in a scratch folder, for whole-program tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tgram::testing {

// A temporary folder, removed with everything in it when it goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// User and group numbers (POSIX only).
using UserId = std::uint32_t;
using GroupId = std::uint32_t;

// The standard streams by number: 0 input, 1 output, 2 error.
enum class Stream { Input = 0, Output = 1, Error = 2 };

struct RunOptions {
  std::optional<std::filesystem::path> program;  // another program than tgraminterp
  std::vector<Stream> closed;      // started without these standard streams
  std::vector<Stream> nullDevice;  // these on the null device, not captured
  std::optional<UserId> user;  // run as this user (and its group) instead
  std::optional<GroupId> group;
  std::optional<std::filesystem::path> stdoutFile;  // else captured
  std::vector<std::string> arguments;  // given after the program's name
};

struct RunResult {
  std::string out;   // standard output
  std::string err;   // standard error
  int status = -1;   // exit status, or -1 when ended by a signal
  int signal = 0;    // the signal that ended the process, if any
};

// The paths of the built programs.
std::filesystem::path programPath();
std::filesystem::path plotProgramPath();

// Runs the program in `dir` with standard input from the null device and the
// arguments of `options` (none by default); standard output and error go to
// files, never to a terminal, unless `options` closes them or puts them on
// the null device (then they read as empty).
RunResult runProgram(const std::filesystem::path& dir, const RunOptions& options = {});

// Reads a whole file as bytes.
std::string readFile(const std::filesystem::path& path);
// Writes `bytes` to a file, replacing it.
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// The files below `dir`, by relative path: a regular file maps to its bytes,
// a symbolic link to "-> target", a folder to "<dir>".
std::map<std::string, std::string> snapshot(const std::filesystem::path& dir);

// Copies a folder tree, keeping symbolic links as links.
void copyTree(const std::filesystem::path& from, const std::filesystem::path& to);

// An unprivileged user to drop to, when the tests run as root (POSIX only).
struct Unprivileged {
  UserId uid;
  GroupId gid;
};
std::optional<Unprivileged> unprivilegedUser();

}  // namespace tgram::testing
