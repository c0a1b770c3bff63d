#include "support/process.hpp"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace tgram::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "tgram-test-";
    for (int i = 0; i < 6; ++i) name.push_back(kLetters[pick(random)]);
    const fs::path candidate = fs::temp_directory_path() / name;
    if (fs::create_directory(candidate)) {
      path_ = candidate;
      // Let a dropped-privilege run create files here.
      fs::permissions(path_, fs::perms::all);
      return;
    }
  }
  throw std::runtime_error("cannot make a scratch folder");
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path programPath() { return fs::absolute(fs::path(TGRAM_BINARY)); }
fs::path plotProgramPath() { return fs::absolute(fs::path(TGRAM_PLOT_BINARY)); }

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

#ifdef _WIN32

namespace {

// A handle the started program inherits as one of its standard handles.
HANDLE inheritedHandle(const fs::path& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE handle =
      ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot open " + path.string() + " for the program");
  }
  return handle;
}

// One argument as the C library of the started program splits it again:
// quoted when it holds blanks or quotes, with quotes and the backslashes
// before them escaped.
std::wstring quotedArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    out += c;
    backslashes = 0;
  }
  out.append(2 * backslashes, L'\\');
  out += L'"';
  return out;
}

// Whether `stream` is among `streams`.
bool listed(const std::vector<Stream>& streams, Stream stream) {
  return std::find(streams.begin(), streams.end(), stream) != streams.end();
}

// A standard handle for the started program: closed (none), the null
// device, or the file given.
HANDLE standardHandle(const RunOptions& options, Stream stream, const fs::path& path, DWORD access,
                      DWORD disposition) {
  if (listed(options.closed, stream)) return nullptr;
  if (listed(options.nullDevice, stream)) return inheritedHandle(L"NUL", access, OPEN_EXISTING);
  return inheritedHandle(path, access, disposition);
}

// A UTF-8 argument in wide characters (not through the ANSI code page).
std::wstring wideOf(const std::string& argument) {
  return fs::path(std::u8string(argument.begin(), argument.end())).wstring();
}

// Starts the program in `dir` with the standard handles on the null device
// and the files given (or closed, or on the null device, as `options`
// say), and waits for its exit code.
DWORD startAndWait(const fs::path& program, const fs::path& dir, const fs::path& outPath,
                   const fs::path& errPath, const RunOptions& options) {
  const HANDLE in = standardHandle(options, Stream::Input, L"NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE out = standardHandle(options, Stream::Output, outPath, GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE err = standardHandle(options, Stream::Error, errPath, GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring commandLine = quotedArgument(program.wstring());
  for (const std::string& argument : options.arguments) {
    commandLine += L" " + quotedArgument(wideOf(argument));
  }
  PROCESS_INFORMATION process{};
  const BOOL started =
      ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       dir.c_str(), &startup, &process);
  for (const HANDLE h : {in, out, err}) {
    if (h != nullptr) ::CloseHandle(h);
  }
  if (!started) throw std::runtime_error("cannot start " + program.string());
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);

  return exitCode;
}

}  // namespace

RunResult runProgram(const fs::path& dir, const RunOptions& options) {
  if (options.user || options.group) {
    throw std::logic_error("running as another user is not available on Windows");
  }
  ScratchDir capture;
  const fs::path outPath = options.stdoutFile.value_or(capture / "stdout");
  const fs::path errPath = capture / "stderr";
  const fs::path program = options.program.value_or(programPath());

  // Wine now and then fails to start a process at all: it ends at once with
  // a failure status and writes nothing. Such a start is made again (the
  // program always writes something when it runs and fails).
  RunResult result;
  for (int attempt = 1; attempt <= 3; ++attempt) {
    result.status = static_cast<int>(startAndWait(program, dir, outPath, errPath, options));
    const std::string out = readFile(outPath);
    result.out = options.stdoutFile ? std::string() : out;
    result.err = readFile(errPath);
    if (result.status == 0 || !out.empty() || !result.err.empty()) break;
  }
  return result;
}

std::optional<Unprivileged> unprivilegedUser() { return std::nullopt; }

#else

RunResult runProgram(const fs::path& dir, const RunOptions& options) {
  ScratchDir capture;
  const fs::path outPath = options.stdoutFile.value_or(capture / "stdout");
  const fs::path errPath = capture / "stderr";
  std::string program = options.program.value_or(programPath()).string();
  if (options.user) {
    // The build tree may not be reachable by another user: run a copy.
    const fs::path copy = capture / fs::path(program).filename();
    fs::copy_file(program, copy);
    fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
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
    const int nul = ::open("/dev/null", O_RDWR);
    if (in < 0 || out < 0 || err < 0 || nul < 0) ::_exit(125);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (const Stream stream : options.nullDevice) ::dup2(nul, static_cast<int>(stream));
    for (const int fd : {in, out, err, nul}) {
      if (fd > 2) ::close(fd);
    }
    for (const Stream stream : options.closed) ::close(static_cast<int>(stream));
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

std::optional<Unprivileged> unprivilegedUser() {
  if (::geteuid() != 0) return Unprivileged{::geteuid(), ::getegid()};
  if (const passwd* nobody = ::getpwnam("nobody")) {
    return Unprivileged{nobody->pw_uid, nobody->pw_gid};
  }
  return std::nullopt;
}

#endif

std::map<std::string, std::string> snapshot(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string name = it->path().lexically_relative(dir).generic_string();
    if (it->is_symlink()) {
      files[name] = "-> " + fs::read_symlink(it->path()).generic_string();
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

}  // namespace tgram::testing
