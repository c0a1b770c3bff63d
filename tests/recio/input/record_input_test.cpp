#include "recio/input/record_input.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "input_file.hpp"
#include "runtime/condition.hpp"

namespace tgram::recio {
namespace {

using testing::InputFile;

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

TEST(RecordInput, AFailedReadRaises6500) {
  UnitRecord unit;
  unit.fileName = "ExpTgrams.txt";
  unit.handle = ::open(".", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(unit.handle, 0);
  unit.allocateBuffer(kFileBufferSize);
  RecordInput input(unit);
  try {
    input.take();
    FAIL() << "no condition raised";
  } catch (const runtime::RuntimeError& e) {
    EXPECT_EQ(e.number(), 6500);
  }
  ::close(unit.handle);
}

// A pipe delivers a block in pieces; a short piece is not the end of the
// file and must not get a line feed of its own.
TEST(RecordInput, ShortReadsBeforeTheEndAreJoined) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ASSERT_EQ(::write(fds[1], "12", 2), 2);
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(::write(fds[1], "34\n", 3), 3);
    ::close(fds[1]);
  });
  UnitRecord unit;
  unit.handle = fds[0];
  unit.allocateBuffer(kFileBufferSize);
  RecordInput input(unit);
  std::string got;
  for (int i = 0; i < 5; ++i) got.push_back(static_cast<char>(input.take()));
  writer.join();
  EXPECT_EQ(got, "1234\n");
  EXPECT_THROW(input.take(), runtime::RuntimeError);
  ::close(fds[0]);
}

}  // namespace
}  // namespace tgram::recio
