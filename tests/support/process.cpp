#include "support/process.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace tgram::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "tgram-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  // Let a dropped-privilege run create files here.
  ::chmod(path_.c_str(), 0777);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path programPath() { return fs::path(TGRAM_BINARY); }

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

RunResult runProgram(const fs::path& dir, const RunOptions& options) {
  ScratchDir capture;
  const fs::path outPath = options.stdoutFile.value_or(capture / "stdout");
  const fs::path errPath = capture / "stderr";
  std::string program = programPath().string();
  if (options.user) {
    // The build tree may not be reachable by another user: run a copy.
    const fs::path copy = capture / "tgraminterp";
    fs::copy_file(programPath(), copy);
    ::chmod(copy.c_str(), 0755);
    program = copy.string();
  }

  // Made before the fork: the child only redirects and execs.
  std::vector<std::string> arguments = options.arguments;
  std::vector<char*> argv{program.data()};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || err < 0) ::_exit(125);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    if (options.group && ::setgid(*options.group) != 0) ::_exit(124);
    if (options.user && ::setuid(*options.user) != 0) ::_exit(124);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int wstatus = 0;
  while (::waitpid(pid, &wstatus, 0) < 0) {
  }
  RunResult result;
  if (WIFEXITED(wstatus)) {
    result.status = WEXITSTATUS(wstatus);
  } else if (WIFSIGNALED(wstatus)) {
    result.signal = WTERMSIG(wstatus);
  }
  result.out = options.stdoutFile ? std::string() : readFile(outPath);
  result.err = readFile(errPath);
  return result;
}

std::map<std::string, std::string> snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string name = it->path().lexically_relative(dir).string();
    if (it->is_symlink()) {
      files[name] = "-> " + fs::read_symlink(it->path()).string();
      it.disable_recursion_pending();
    } else if (it->is_directory()) {
      files[name] = "<dir>";
    } else {
      files[name] = readFile(it->path());
    }
  }
  return files;
}

void copyTree(const fs::path& from, const fs::path& to) {
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

std::optional<Unprivileged> unprivilegedUser() {
  if (::geteuid() != 0) return Unprivileged{::geteuid(), ::getegid()};
  if (const passwd* nobody = ::getpwnam("nobody")) {
    return Unprivileged{nobody->pw_uid, nobody->pw_gid};
  }
  return std::nullopt;
}

}  // namespace tgram::testing
