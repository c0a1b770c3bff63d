// An interrupt while the model file is being written ends the program by
// the signal's default action: no STOP message, no exit processing, and the
// model file holds only the whole blocks written before it.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/full_size_input.hpp"
#include "support/process.hpp"

namespace tgram::testing {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32

TEST(Interrupt, WhileWritingTheModelLeavesWholeBlocksAndNoStopMessage) {
  GTEST_SKIP() << "sends SIGINT, a POSIX signal; a Windows console's Ctrl+C needs a console, "
                  "which the test runs do not have";
}

#else

constexpr std::string_view kWriteMessage = "Write linear-interpolated transiogram models\r\n";

std::uintmax_t sizeOf(const fs::path& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  return error ? 0 : size;
}

TEST(Interrupt, WhileWritingTheModelLeavesWholeBlocksAndNoStopMessage) {
  ScratchDir dir;
  writeFile(dir / "ExpTgrams.txt", fullSizeInput());
  const fs::path model = dir / "TgramModels.txt";

  int console[2];
  ASSERT_EQ(::pipe(console), 0);
  const std::string program = programPath().string();
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The program starts with the default action for an interrupt, whatever
    // the test runner was started with.
    ::signal(SIGINT, SIG_DFL);
    const int in = ::open("/dev/null", O_RDONLY);
    const int err = ::open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::dup2(in, 0);
    ::dup2(console[1], 1);
    ::dup2(err, 2);
    ::close(console[0]);
    if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(console[1]);

  // Follow the console until the model file has blocks in it, then stop
  // reading: the program blocks on its next console record, in the middle
  // of writing the model.
  std::string out;
  char block[65536];
  while (out.find(kWriteMessage) == std::string::npos || sizeOf(model) < 4 * 1024) {
    const ssize_t n = ::read(console[0], block, sizeof block);
    ASSERT_GT(n, 0) << "the program ended before the model was being written";
    out.append(block, static_cast<std::size_t>(n));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(::kill(pid, SIGINT), 0);
  int wstatus = 0;
  ASSERT_EQ(::waitpid(pid, &wstatus, 0), pid);
  for (ssize_t n; (n = ::read(console[0], block, sizeof block)) > 0;) {
    out.append(block, static_cast<std::size_t>(n));
  }
  ::close(console[0]);

  ASSERT_TRUE(WIFSIGNALED(wstatus));
  EXPECT_EQ(WTERMSIG(wstatus), SIGINT);
  EXPECT_EQ(out.find("Stop - Program terminated."), std::string::npos);
  EXPECT_EQ(readFile(dir / "stderr"), "");
  const std::string interrupted = readFile(model);
  ASSERT_GT(interrupted.size(), 0u);
  EXPECT_EQ(interrupted.size() % 1024, 0u);

  // A later run rewrites the model whole; what the interrupted run left is
  // the beginning of it.
  const RunResult again = runProgram(dir.path());
  EXPECT_EQ(again.status, 0);
  const std::string whole = readFile(model);
  EXPECT_GT(whole.size(), interrupted.size());
  EXPECT_EQ(whole.substr(0, interrupted.size()), interrupted);
  EXPECT_EQ(whole.substr(whole.size() - 2), "\r\n");
}

#endif

}  // namespace
}  // namespace tgram::testing
