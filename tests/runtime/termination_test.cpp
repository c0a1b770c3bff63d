// How a run ends: the report layout, STOP, and exit processing.
#include "runtime/termination.hpp"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "runtime/condition.hpp"
#include "runtime/os.hpp"
#include "support/process.hpp"

namespace tgram::runtime {
namespace {

using testing::readFile;
using testing::ScratchDir;

// Standard output and error of a Termination, kept in files.
class Streams {
 public:
  Streams() : out_(create(dir_ / "out")), err_(create(dir_ / "err")) {}
  ~Streams() {
    os::close(out_);
    os::close(err_);
  }
  os::Handle out() const { return out_; }
  os::Handle err() const { return err_; }
  std::string outBytes() const { return readFile(dir_ / "out"); }
  std::string errBytes() const { return readFile(dir_ / "err"); }

 private:
  static os::Handle create(const std::filesystem::path& path) {
    return os::openFile(path.string(), os::Access::Write, os::Creation::CreateNew).handle;
  }

  ScratchDir dir_;
  os::Handle out_;
  os::Handle err_;
};

// Exit processing's view of the units, scripted.
class FakeUnits : public ExitParticipant {
 public:
  bool pending = false;
  int failWith = 0;  // raise this from the first calls of closeAllUnits
  int failures = 1;  // that many times
  int closes = 0;

  void closeAllUnits() override {
    ++closes;
    if (failWith != 0 && failures > 0) {
      --failures;
      raiseRuntimeError(failWith, StatementKind::Close, "model.txt");
    }
  }
  bool consoleOutputPending() const override { return pending; }
};

TEST(ErrorReport, LayoutForEveryKindOfStatement) {
  struct Case {
    int number;
    StatementKind kind;
    const char* file;
    const char* message;
    const char* bytes;
  };
  const Case cases[] = {
      {6501, StatementKind::Read, "ExpTgrams.txt", "end of file",
       "\r\nrun-time error F6501: READ(ExpTgrams.txt)\r\n- end of file\r\n"},
      {6422, StatementKind::Write, "TgramModels.txt", "disk full",
       "\r\nrun-time error F6422: WRITE(TgramModels.txt)\r\n- disk full\r\n"},
      {6422, StatementKind::Close, "TgramModels.txt", "disk full",
       "\r\nrun-time error F6422: CLOSE(TgramModels.txt)\r\n- disk full\r\n"},
      {6416, StatementKind::Open, "a b", "not found",
       "\r\nrun-time error F6416: OPEN(a b)\r\n- not found\r\n"},
      {6101, StatementKind::Math, "", "floating-point error: invalid",
       "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
      {6700, StatementKind::None, "", "out of memory",
       "\r\nrun-time error F6700\r\n- out of memory\r\n"},
      // An empty message line leaves the line after the label empty.
      {6501, StatementKind::Read, "x", "", "\r\nrun-time error F6501: READ(x)\r\n\r\n"},
      // A file name shown for MATH or none is never shown.
      {6304, StatementKind::None, "ignored", "bad status",
       "\r\nrun-time error F6304\r\n- bad status\r\n"},
  };
  for (const Case& c : cases) {
    Streams streams;
    Termination termination(streams.out(), streams.err());
    termination.writeErrorReport(RuntimeError(c.number, c.kind, c.file, c.message));
    EXPECT_EQ(streams.errBytes(), c.bytes);
    EXPECT_EQ(streams.outBytes(), "");
  }
}

TEST(ErrorReport, LongFileNamesAndMessagesAreCut) {
  const std::string name(400, 'n');
  const RuntimeError error(6416, StatementKind::Open, name, std::string(1200, 'm'));
  EXPECT_EQ(error.fileName(), std::string(259, 'n'));
  EXPECT_EQ(error.message(), std::string(999, 'm'));
}

TEST(ErrorReport, CatalogueMessagesComeWithTheCondition) {
  try {
    raiseRuntimeError(6501, StatementKind::Read, "ExpTgrams.txt");
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), 6501);
    EXPECT_EQ(error.prefix(), 'F');
    EXPECT_FALSE(error.message().empty());
  }
}

TEST(Stop, PaysTheOwedLineEndThenTheMessageAndStatusZero) {
  for (const bool pending : {false, true}) {
    Streams streams;
    FakeUnits units;
    units.pending = pending;
    Termination termination(streams.out(), streams.err());
    termination.registerExitProcessing(&units);
    const int status = termination.runProgram([&] { termination.stopProgram(); });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(streams.outBytes(),
              std::string(pending ? "\r\n" : "") + "Stop - Program terminated.\r\n");
    EXPECT_EQ(units.closes, 1);
  }
}

TEST(Stop, WithATextWritesTheText) {
  Streams streams;
  Termination termination(streams.out(), streams.err());
  EXPECT_EQ(termination.runProgram([&] { termination.stopProgram("done"); }), 0);
  EXPECT_EQ(streams.outBytes(), "done\r\n");
}

TEST(ExitProcessing, AReportEndsTheRunWithStatusOneAfterClosingTheUnits) {
  Streams streams;
  FakeUnits units;
  Termination termination(streams.out(), streams.err());
  termination.registerExitProcessing(&units);
  const int status = termination.runProgram(
      [] { raiseRuntimeError(6501, StatementKind::Read, "ExpTgrams.txt"); });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(units.closes, 1);
  EXPECT_TRUE(termination.exitInProgress());
  EXPECT_NE(streams.errBytes().find("F6501: READ(ExpTgrams.txt)"), std::string::npos);
}

// Every close that fails is reported, the closing goes on with the units
// after it, and the run fails: STOP's status 0 becomes 1, a failure status
// stays.
TEST(ExitProcessing, EveryConditionWhileClosingIsReportedAndTheRunFails) {
  struct Case {
    int startStatus;
    int failures;
    int status;
  };
  for (const Case c : {Case{0, 1, 1}, Case{0, 3, 1}, Case{1, 1, 1}, Case{2, 2, 2}}) {
    Streams streams;
    FakeUnits units;
    units.failWith = 6422;
    units.failures = c.failures;
    Termination termination(streams.out(), streams.err());
    termination.registerExitProcessing(&units);
    const int status = termination.runProgram([&] {
      if (c.startStatus == 0) termination.stopProgram();
      if (c.startStatus == 2) termination.exitProgram(2);
      raiseRuntimeError(6501, StatementKind::Read, "in");
    });
    EXPECT_EQ(status, c.status) << c.startStatus;
    EXPECT_EQ(units.closes, c.failures + 1) << "closing goes on after each report";
    std::string closeReports;
    for (int i = 0; i < c.failures; ++i) {
      closeReports += "\r\nrun-time error F6422: CLOSE(model.txt)\r\n- no space left on device\r\n";
    }
    const std::string err = streams.errBytes();
    ASSERT_GE(err.size(), closeReports.size());
    EXPECT_EQ(err.substr(err.size() - closeReports.size()), closeReports);
  }
}

TEST(ExitProcessing, RunsOnce) {
  Streams streams;
  FakeUnits units;
  Termination termination(streams.out(), streams.err());
  termination.registerExitProcessing(&units);
  EXPECT_EQ(termination.runExitProcessing(0), 0);
  EXPECT_EQ(termination.runExitProcessing(1), 1);
  EXPECT_EQ(units.closes, 1);
}

TEST(ExitProcessing, MemoryThatCannotBeObtainedIsReported) {
  Streams streams;
  Termination termination(streams.out(), streams.err());
  EXPECT_EQ(termination.runProgram([] { throw std::bad_alloc(); }), 1);
  EXPECT_EQ(streams.errBytes().substr(0, 23), "\r\nrun-time error F6700\r");
}

}  // namespace
}  // namespace tgram::runtime
