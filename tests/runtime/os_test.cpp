// The system layer: the outcomes the unit layer relies on, the same on every
// platform.
#include "runtime/os.hpp"

#include <gtest/gtest.h>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include <filesystem>
#include <iterator>
#include <set>
#include <string>

#include "support/process.hpp"

namespace tgram::runtime::os {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::ScratchDir;
using testing::writeFile;

class OsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(scratch_.path());
  }
  void TearDown() override { fs::current_path(previous_); }

  ScratchDir scratch_;
  fs::path previous_;
};

TEST_F(OsTest, CreationModesAndTheReasonsOfRefusal) {
  EXPECT_EQ(openFile("missing.txt", Access::ReadWrite, Creation::Existing).error, Error::NotFound);
  EXPECT_FALSE(exists("missing.txt"));

  const Opened created = openFile("new.txt", Access::ReadWrite, Creation::CreateNew);
  ASSERT_EQ(created.error, Error::None);
  EXPECT_TRUE(exists("new.txt"));
  EXPECT_EQ(openFile("new.txt", Access::ReadWrite, Creation::CreateNew).error, Error::Exists);

  // Creating if missing opens an existing file without shortening it.
  ASSERT_EQ(writeAll(created.handle, "kept\r\n"), Error::None);
  ASSERT_EQ(close(created.handle), Error::None);
  const Opened again = openFile("new.txt", Access::ReadWrite, Creation::CreateIfMissing);
  ASSERT_EQ(again.error, Error::None);
  ASSERT_EQ(close(again.handle), Error::None);
  EXPECT_EQ(readFile("new.txt"), "kept\r\n");

  EXPECT_EQ(remove("new.txt"), Error::None);
  EXPECT_FALSE(exists("new.txt"));
  EXPECT_EQ(remove("new.txt"), Error::NotFound);

  fs::create_directory("folder");
  EXPECT_TRUE(exists("folder"));
}

// Every byte is stored as written and read back unchanged: no line-end
// translation and no stop at a 1A byte.
TEST_F(OsTest, BytesPassUntranslated) {
  std::string bytes = "a\r\nb\nc\r\r\n\x1a" "d";
  bytes.push_back('\0');
  bytes += "\xff\r\n";
  const Opened file = openFile("raw.bin", Access::ReadWrite, Creation::CreateNew);
  ASSERT_EQ(file.error, Error::None);
  ASSERT_EQ(writeAll(file.handle, bytes), Error::None);
  ASSERT_EQ(seekTo(file.handle, 0).offset, 0);
  std::string back(64, '?');
  std::size_t filled = 0;
  for (;;) {
    const ReadResult got = read(file.handle, back.data() + filled, back.size() - filled);
    ASSERT_EQ(got.error, Error::None);
    if (got.count == 0) break;
    filled += got.count;
  }
  back.resize(filled);
  EXPECT_EQ(back, bytes);
  ASSERT_EQ(close(file.handle), Error::None);
  EXPECT_EQ(readFile("raw.bin"), bytes);
}

// Offsets beyond 4 GiB: the file's end is set and found there, and setting
// the end leaves the file position where it was.
TEST_F(OsTest, SixtyFourBitOffsetsAndTruncation) {
  const Opened file = openFile("big.bin", Access::ReadWrite, Creation::CreateNew);
  ASSERT_EQ(file.error, Error::None);
  constexpr std::int64_t kBeyond = (std::int64_t{1} << 32) + 10;
  ASSERT_EQ(writeAll(file.handle, "0123456789"), Error::None);
  ASSERT_EQ(truncate(file.handle, kBeyond), Error::None);
  EXPECT_EQ(seekToEnd(file.handle).offset, kBeyond);
  EXPECT_EQ(seekTo(file.handle, kBeyond - 2).offset, kBeyond - 2);

  ASSERT_EQ(seekTo(file.handle, 8).offset, 8);
  ASSERT_EQ(truncate(file.handle, 4), Error::None);
  EXPECT_EQ(seekToEnd(file.handle).offset, 4);
  ASSERT_EQ(close(file.handle), Error::None);
  EXPECT_EQ(readFile("big.bin"), "0123");
}

TEST_F(OsTest, IdentityTellsOneFileFromAnother) {
  writeFile("one.txt", "1");
  writeFile("two.txt", "2");
  const Opened first = openFile("one.txt", Access::Read, Creation::Existing);
  const Opened second = openFile("one.txt", Access::ReadWrite, Creation::Existing);
  const Opened other = openFile("two.txt", Access::Read, Creation::Existing);
  ASSERT_EQ(first.error, Error::None);
  ASSERT_EQ(second.error, Error::None);
  ASSERT_EQ(other.error, Error::None);

  EXPECT_TRUE(sameFile(identityOf(first.handle), identityOf(second.handle)));
  EXPECT_TRUE(sameFile(identityOf(first.handle), identityOfName("one.txt")));
  EXPECT_TRUE(sameFile(identityOf(first.handle), identityOfName("./one.txt")));
  EXPECT_FALSE(sameFile(identityOf(first.handle), identityOf(other.handle)));
  EXPECT_FALSE(sameFile(identityOf(first.handle), identityOfName("missing.txt")));
  EXPECT_FALSE(sameFile(identityOfName("missing.txt"), identityOfName("missing.txt")));

  EXPECT_TRUE(isRegularFile(first.handle));
  EXPECT_FALSE(isCharacterDevice(first.handle));
  for (const Opened& opened : {first, second, other}) close(opened.handle);
}

TEST_F(OsTest, TheNullDeviceSwallowsWritesAndReadsNothing) {
  const Opened null = openDevice("NUL", Access::ReadWrite);
  ASSERT_EQ(null.error, Error::None);
  EXPECT_TRUE(isCharacterDevice(null.handle));
  EXPECT_FALSE(isRegularFile(null.handle));
  EXPECT_EQ(writeAll(null.handle, "gone\r\n"), Error::None);
  char c = 0;
  const ReadResult got = read(null.handle, &c, 1);
  EXPECT_EQ(got.error, Error::None);
  EXPECT_EQ(got.count, 0u);
  EXPECT_EQ(close(null.handle), Error::None);
}

TEST_F(OsTest, SerialPortsAndPrintersAreNoDevicesHere) {
#ifdef _WIN32
  GTEST_SKIP() << "these names are the system's own devices on Windows";
#else
  writeFile("COM1", "a file of that name\r\n");
  for (const char* name : {"COM1", "COM2", "COM3", "COM4", "PRN", "LPT1", "LPT2", "LPT3", "LPT4"}) {
    const Opened opened = openDevice(name, Access::ReadWrite);
    EXPECT_EQ(opened.error, Error::NotFound) << name;
    EXPECT_EQ(opened.handle, kNoHandle) << name;
  }
  EXPECT_EQ(readFile("COM1"), "a file of that name\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
#endif
}

TEST_F(OsTest, ScratchFilesAreNewAndUnique) {
  std::set<std::string> names;
  for (int i = 0; i < 20; ++i) {
    const Scratch scratch = createScratchFile("ZZXXXXXX");
    ASSERT_EQ(scratch.error, Error::None);
    ASSERT_EQ(scratch.name.size(), 8u);
    EXPECT_EQ(scratch.name.substr(0, 2), "ZZ");
    EXPECT_NE(scratch.name, "ZZXXXXXX");
    EXPECT_TRUE(names.insert(scratch.name).second) << scratch.name << " made twice";
    EXPECT_EQ(writeAll(scratch.handle, "x"), Error::None);
    EXPECT_EQ(close(scratch.handle), Error::None);
    EXPECT_EQ(readFile(scratch.name), "x");
  }
}

#ifdef _WIN32
// Start-up adds its error modes to those the process inherited.
TEST(StartUp, AddsToTheInheritedErrorModes) {
  const UINT before = ::SetErrorMode(SEM_NOGPFAULTERRORBOX);
  startProcess(0, nullptr);
  const UINT now = ::SetErrorMode(before);
  constexpr UINT kAll = SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  EXPECT_EQ(now & kAll, kAll);
}
#endif

}  // namespace
}  // namespace tgram::runtime::os
