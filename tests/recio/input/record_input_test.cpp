#include "recio/input/record_input.hpp"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "input_file.hpp"
#include "runtime/condition.hpp"
#include "runtime/os.hpp"
#include "support/process.hpp"

namespace tgram::recio {
namespace {

namespace os = runtime::os;
using testing::InputFile;

// A pipe: bytes written to `writeEnd` are read from `readEnd`.
void makePipe(os::Handle& readEnd, os::Handle& writeEnd) {
#ifdef _WIN32
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  ASSERT_TRUE(::CreatePipe(&read, &write, nullptr, 0));
  readEnd = reinterpret_cast<os::Handle>(read);
  writeEnd = reinterpret_cast<os::Handle>(write);
#else
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  readEnd = fds[0];
  writeEnd = fds[1];
#endif
}

// Every byte the record layer yields until the end of the file.
std::string takeAll(UnitRecord& unit) {
  RecordInput input(unit);
  std::string out;
  for (;;) {
    try {
      out.push_back(static_cast<char>(input.take()));
    } catch (const runtime::RuntimeError& e) {
      EXPECT_EQ(e.number(), 6501);
      return out;
    }
  }
}

struct EndCase {
  const char* name;
  std::string file;
  std::string expected;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.name; }

class RecordInputEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(RecordInputEnd, YieldsTheBytesWithAFinalLineFeed) {
  InputFile file(GetParam().file);
  EXPECT_EQ(takeAll(file.unit()), GetParam().expected);
}

const std::string kBlock(1023, 'x');

INSTANTIATE_TEST_SUITE_P(
    Files, RecordInputEnd,
    ::testing::Values(
        EndCase{"Empty", "", ""},
        EndCase{"EndsWithLf", "1 2\n", "1 2\n"},
        EndCase{"CrLfKept", "1\r\n2\r\n", "1\r\n2\r\n"},
        EndCase{"LastLineWithoutLf", "1\n2", "1\n2\n"},
        EndCase{"LoneCrAtEnd", "1\r", "1\r\n"},
        EndCase{"ExactBlockEndingWithLf", kBlock + "\n", kBlock + "\n"},
        EndCase{"ExactBlockWithoutLf", kBlock + "y", kBlock + "y\n"},
        EndCase{"TwoBlocksWithoutLf", kBlock + "y" + kBlock + "z",
                kBlock + "y" + kBlock + "z\n"},
        EndCase{"OneByteOverABlock", kBlock + "yz", kBlock + "yz\n"},
        EndCase{"ZeroBytesKept", std::string("a\0b", 3), std::string("a\0b\n", 4)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordInput, CountsTheBytesReadFromTheFile) {
  InputFile file(kBlock + "yz");
  takeAll(file.unit());
  EXPECT_EQ(file.unit().filePosition, 1025);
}

TEST(RecordInput, PutBackTakesTheSameByteAgain) {
  InputFile file("ab");
  RecordInput input(file.unit());
  EXPECT_EQ(input.take(), 'a');
  input.putBack();
  EXPECT_EQ(input.take(), 'a');
  EXPECT_EQ(input.take(), 'b');
  EXPECT_EQ(input.take(), '\n');  // supplied
  input.putBack();
  EXPECT_EQ(input.take(), '\n');
}

TEST(RecordInput, PutBackOfASuppliedLineFeedAfterAFullBlock) {
  InputFile file(kBlock + "y");
  RecordInput input(file.unit());
  input.advanceRecord();  // passes the whole block and the supplied LF
  EXPECT_THROW(input.take(), runtime::RuntimeError);
}

TEST(RecordInput, AdvanceRecordPassesCrAndCrossesBlocks) {
  InputFile file("a b\r\n" + kBlock + kBlock + "\nnext\n");
  RecordInput input(file.unit());
  input.advanceRecord();
  input.advanceRecord();
  EXPECT_EQ(input.take(), 'n');
}

TEST(RecordInput, AdvanceRecordAtTheEndRaisesEndOfFile) {
  InputFile file("only\n");
  RecordInput input(file.unit());
  input.advanceRecord();
  try {
    input.advanceRecord();
    FAIL() << "no condition raised";
  } catch (const runtime::RuntimeError& e) {
    EXPECT_EQ(e.number(), 6501);
    EXPECT_EQ(e.kind(), runtime::StatementKind::Read);
    EXPECT_EQ(e.fileName(), "ExpTgrams.txt");
  }
}

TEST(RecordInput, TheEndStaysTheEnd) {
  InputFile file("1");
  RecordInput input(file.unit());
  input.advanceRecord();
  EXPECT_THROW(input.take(), runtime::RuntimeError);
  EXPECT_THROW(input.take(), runtime::RuntimeError);
}

// Handles that cannot be read: a file open for writing only, and (where a
// folder can be opened at all) a folder.
TEST(RecordInput, AFailedReadRaises6500) {
  testing::ScratchDir dir;
  std::vector<os::Handle> handles = {
      os::openFile((dir / "written").string(), os::Access::Write, os::Creation::CreateNew)
          .handle};
#ifndef _WIN32
  handles.push_back(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY));
#endif
  for (const os::Handle handle : handles) {
    ASSERT_NE(handle, os::kNoHandle);
    UnitRecord unit;
    unit.fileName = "ExpTgrams.txt";
    unit.handle = handle;
    unit.allocateBuffer(kFileBufferSize);
    RecordInput input(unit);
    try {
      input.take();
      ADD_FAILURE() << "no condition raised";
    } catch (const runtime::RuntimeError& e) {
      EXPECT_EQ(e.number(), 6500);
    }
    os::close(handle);
  }
}

// A pipe delivers a block in pieces; a short piece is not the end of the
// file and must not get a line feed of its own.
TEST(RecordInput, ShortReadsBeforeTheEndAreJoined) {
  os::Handle readEnd = os::kNoHandle;
  os::Handle writeEnd = os::kNoHandle;
  makePipe(readEnd, writeEnd);
  ASSERT_EQ(os::writeAll(writeEnd, "12"), os::Error::None);
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(os::writeAll(writeEnd, "34\n"), os::Error::None);
    os::close(writeEnd);
  });
  UnitRecord unit;
  unit.handle = readEnd;
  unit.allocateBuffer(kFileBufferSize);
  RecordInput input(unit);
  std::string got;
  for (int i = 0; i < 5; ++i) got.push_back(static_cast<char>(input.take()));
  writer.join();
  EXPECT_EQ(got, "1234\n");
  EXPECT_THROW(input.take(), runtime::RuntimeError);
  os::close(readEnd);
}

}  // namespace
}  // namespace tgram::recio
