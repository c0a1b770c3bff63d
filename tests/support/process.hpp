// Running the built program in a scratch folder, for whole-program tests.
#pragma once

#include <sys/types.h>

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

struct RunOptions {
  std::optional<uid_t> user;  // run as this user (and its group) instead
  std::optional<gid_t> group;
  std::optional<std::filesystem::path> stdoutFile;  // else captured
  std::vector<std::string> arguments;  // given after the program's name
};

struct RunResult {
  std::string out;   // standard output
  std::string err;   // standard error
  int status = -1;   // exit status, or -1 when ended by a signal
  int signal = 0;    // the signal that ended the process, if any
};

// The path of the built program.
std::filesystem::path programPath();

// Runs the program in `dir` with standard input from /dev/null and the
// arguments of `options` (none by default).
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

// An unprivileged user to drop to, when the tests run as root.
struct Unprivileged {
  uid_t uid;
  gid_t gid;
};
std::optional<Unprivileged> unprivilegedUser();

}  // namespace tgram::testing
