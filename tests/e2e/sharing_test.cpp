// Windows: another program holds a file open, without sharing it or sharing
// it only for reading (as an editor, a virus scanner or an indexer may).
// The programs must end with a clear report, change nothing they did not
// write whole, and outlast a brief hold of the picture they replace. The
// test process itself holds the files: Windows checks sharing between
// handles, whichever process owns them. (POSIX has no such holds.)
#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/process.hpp"

#ifdef _WIN32

namespace tgram::testing {
namespace {

namespace fs = std::filesystem;

const std::string kInput = "1 3\r\n1 2\r\n0 1.0\r\n2 0.5\r\n";
const std::string kOldModel = "an older model\r\n";
const std::string kOldPicture = "an older picture";

class Sharing : public ::testing::Test {
 protected:
  void SetUp() override {
    work_ = scratch_ / "work";
    fs::create_directory(work_);
    writeFile(work_ / "ExpTgrams.txt", kInput);
    writeFile(work_ / "TgramModels.txt", kOldModel);
    writeFile(work_ / "Transiograms.svg", kOldPicture);
  }

  RunResult run(const fs::path& program, const fs::path& folder) {
    RunOptions options;
    options.program = program;
    return runProgram(folder, options);
  }
  RunResult run(const fs::path& program) { return run(program, work_); }

  // The run without any hold, in a folder of its own.
  RunResult unheld(const fs::path& program) {
    const fs::path free = scratch_ / "free";
    fs::create_directory(free);
    writeFile(free / "ExpTgrams.txt", kInput);
    RunResult result = run(program, free);
    freeModel_ = readFile(free / "TgramModels.txt");
    return result;
  }

  ScratchDir scratch_;
  fs::path work_;
  std::string freeModel_;
};

// A handle on `path` as another program would hold it.
class Hold {
 public:
  Hold(const fs::path& path, DWORD access, DWORD share)
      : handle_(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr)) {}
  ~Hold() { release(); }
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
  void release() {
    if (held()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kNoSharing = 0;

TEST_F(Sharing, TheInputHeldWithoutSharingIsReportedAtItsOpen) {
  Hold hold(work_ / "ExpTgrams.txt", GENERIC_READ | GENERIC_WRITE, kNoSharing);
  ASSERT_TRUE(hold.held());
  for (const fs::path& program : {programPath(), plotProgramPath()}) {
    const RunResult result = run(program);
    EXPECT_EQ(result.status, 1) << program;
    EXPECT_NE(result.err.find("run-time error F6414: OPEN(ExpTgrams.txt)"), std::string::npos) << result.err;
  }
  hold.release();
  EXPECT_EQ(readFile(work_ / "ExpTgrams.txt"), kInput);
  EXPECT_EQ(readFile(work_ / "TgramModels.txt"), kOldModel);
  EXPECT_EQ(readFile(work_ / "Transiograms.svg"), kOldPicture);
}

TEST_F(Sharing, TheInputSharedForReadingIsRead) {
  const RunResult expected = unheld(programPath());
  Hold hold(work_ / "ExpTgrams.txt", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
  ASSERT_TRUE(hold.held());
  const RunResult result = run(programPath());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, expected.out);
  EXPECT_EQ(readFile(work_ / "TgramModels.txt"), freeModel_);
  const RunResult plotted = run(plotProgramPath());
  EXPECT_EQ(plotted.status, 0) << plotted.err;
  EXPECT_NE(readFile(work_ / "Transiograms.svg"), kOldPicture);
  hold.release();
  EXPECT_EQ(readFile(work_ / "ExpTgrams.txt"), kInput);
}

TEST_F(Sharing, TheModelFileHeldIsReportedAndKept) {
  struct Case {
    const char* name;
    DWORD share;
    const char* report;
  };
  const Case cases[] = {
      {"without sharing", kNoSharing, "run-time error F6414: OPEN(TgramModels.txt)"},
      {"shared for reading", FILE_SHARE_READ, "run-time error F6421: WRITE(TgramModels.txt)"},
  };
  for (const Case& c : cases) {
    Hold hold(work_ / "TgramModels.txt", GENERIC_READ, c.share);
    ASSERT_TRUE(hold.held()) << c.name;
    const RunResult result = run(programPath());
    EXPECT_EQ(result.status, 1) << c.name;
    EXPECT_NE(result.err.find(c.report), std::string::npos) << c.name << ": " << result.err;
    hold.release();
    EXPECT_EQ(readFile(work_ / "TgramModels.txt"), kOldModel) << c.name;
  }
}

// A picture held for a moment is replaced once it is free; one held for
// longer than the program waits is kept, and no temporary file stays.
TEST_F(Sharing, APictureHeldForAMomentIsReplacedAndOneHeldLongerIsKept) {
  {
    Hold hold(work_ / "Transiograms.svg", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_TRUE(hold.held());
    const RunResult result = run(plotProgramPath());
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("the picture Transiograms.svg is not written: cannot replace it"),
              std::string::npos)
        << result.err;
  }
  EXPECT_EQ(readFile(work_ / "Transiograms.svg"), kOldPicture);
  EXPECT_EQ(std::distance(fs::directory_iterator(work_), fs::directory_iterator()), 3);

  Hold hold(work_ / "Transiograms.svg", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_TRUE(hold.held());
  // Released a moment after the program has made its new picture, which
  // it renames right after writing it: its first renames fail.
  std::thread releaser([&] {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < giveUp) {
      std::error_code error;
      bool made = false;
      for (const auto& entry : fs::directory_iterator(work_, error)) {
        made = made || entry.path().filename().string().rfind(".tgram-", 0) == 0;
      }
      if (made) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    hold.release();
  });
  const RunResult result = run(plotProgramPath());
  releaser.join();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(readFile(work_ / "Transiograms.svg"), kOldPicture);
  EXPECT_EQ(std::distance(fs::directory_iterator(work_), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace tgram::testing

#endif
