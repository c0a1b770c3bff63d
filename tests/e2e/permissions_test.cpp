// Files the program may not write, run as an unprivileged user (when the
// tests run as root, the program is started as "nobody").
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/process.hpp"

namespace tgram::testing {
namespace {

namespace fs = std::filesystem;

const std::string kInput = "1 1\r\n1 2\r\n0 0.5\r\n1 0.5\r\n";
const std::string kConsoleBeforeModel =
    " Read experimental transiograms ExpTgrams.txt.\r\n"
    "          0    5.000000E-01\r\n"
    "          1    5.000000E-01\r\n"
    " Calculate Tgram models\r\n";

RunOptions asUnprivileged(const Unprivileged& user) {
  RunOptions options;
  options.user = user.uid;
  options.group = user.gid;
  return options;
}

class Permissions : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "runs the program as another user, which only the POSIX build can do";
#endif
    const auto found = unprivilegedUser();
    if (!found) GTEST_SKIP() << "no unprivileged user to run the program as";
    user_ = *found;
  }
  Unprivileged user_{};
};

TEST_F(Permissions, AModelFileThatCanOnlyBeReadIsRefusedAtTheFirstWrite) {
  ScratchDir dir;
  writeFile(dir / "ExpTgrams.txt", kInput);
  const std::string old = "an older model\r\n";
  writeFile(dir / "TgramModels.txt", old);
  fs::permissions(dir / "TgramModels.txt",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  const RunResult run = runProgram(dir.path(), asUnprivileged(user_));

  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, kConsoleBeforeModel);
  EXPECT_EQ(run.err,
            "\r\nrun-time error F6421: WRITE(TgramModels.txt)\r\n"
            "- write refused: access denied or file locked\r\n");
  EXPECT_EQ(readFile(dir / "TgramModels.txt"), old);
}

TEST_F(Permissions, AModelFileThatCannotBeCreatedIsRefusedAtTheOpen) {
  ScratchDir dir;
  writeFile(dir / "ExpTgrams.txt", kInput);
  fs::permissions(dir.path(), fs::perms::all);
  fs::permissions(dir.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);

  const RunResult run = runProgram(dir.path(), asUnprivileged(user_));
  fs::permissions(dir.path(), fs::perms::all);

  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, kConsoleBeforeModel);
  EXPECT_EQ(run.err, "\r\nrun-time error F6414: OPEN(TgramModels.txt)\r\n- access denied\r\n");
  EXPECT_FALSE(fs::exists(dir / "TgramModels.txt"));
}

}  // namespace
}  // namespace tgram::testing
