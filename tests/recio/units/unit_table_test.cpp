// The unit table: opening and closing units, the file and console record
// ends, buffering and the file's end.
#include "recio/units/unit_table.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "recio/record_io.hpp"
#include "recio/units/unit_output.hpp"
#include "support/concat.hpp"
#include "support/process.hpp"

namespace tgram::recio {
namespace {

namespace fs = std::filesystem;
using runtime::RuntimeError;
using runtime::StatementKind;
using testing::concat;
using testing::readFile;
using testing::ScratchDir;
using testing::writeFile;

// Runs each test in a scratch folder with the console streams on files.
class UnitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(scratch_.path());
    out_ = ::open("console.out", O_WRONLY | O_CREAT | O_TRUNC, 0666);
    err_ = ::open("console.err", O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ConsoleStreams streams;
    streams.input = ::open("/dev/null", O_RDONLY);
    streams.output = out_;
    streams.error = err_;
    in_ = streams.input;
    units_.emplace(streams);
  }
  void TearDown() override {
    units_.reset();
    ::close(out_);
    ::close(err_);
    ::close(in_);
    fs::current_path(previous_);
  }

  UnitTable& units() { return *units_; }
  std::string console() { return readFile(scratch_ / "console.out"); }

  static OpenSpec named(std::string_view name) {
    OpenSpec specifiers;
    specifiers.file = name;
    return specifiers;
  }
  // One record put straight into a unit's current record.
  static void putRecord(UnitRecord& unit, std::string_view text) {
    beginUnitOutput(unit);
    UnitSink sink(unit);
    sink.put(text);
    sink.endRecord();
    unit.lineClosed = false;
  }
  template <typename F>
  static RuntimeError raised(F&& f) {
    try {
      f();
    } catch (const RuntimeError& error) {
      return error;
    }
    ADD_FAILURE() << "no condition was raised";
    return RuntimeError(0, StatementKind::None, "", "");
  }

  ScratchDir scratch_;
  fs::path previous_;
  int out_ = -1, err_ = -1, in_ = -1;
  std::optional<UnitTable> units_;
};

TEST_F(UnitsTest, ConsoleCarriageControlChoosesTheLineEndOwed) {
  struct Case {
    std::vector<std::string> records;
    std::string bytes;  // on standard output, after exit processing
  };
  const std::string longRecord = " " + std::string(200, 'x');
  const Case cases[] = {
      {{" A", " B"}, "A\r\nB\r\n"},
      {{" A", "0B"}, "A\r\n\r\nB\r\n"},
      {{" A", "+B"}, "A\rB\r\n"},
      {{" A", "1B"}, "A\r\n\f\r \rB\r\n"},
      {{"0A"}, "\r\nA\r\n"},
      {{"+A"}, "\rA\r\n"},
      {{"1A"}, "\r\n\f\r \rA\r\n"},
      {{"XA"}, "A\r\n"},
      {{"", " B"}, "\r\nB\r\n"},
      {{" A", "", " B"}, "A\r\n\r\nB\r\n"},
      {{longRecord, " B"}, std::string(200, 'x') + "\r\nB\r\n"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(::ftruncate(out_, 0), 0);
    ::lseek(out_, 0, SEEK_SET);
    units_.emplace(ConsoleStreams{in_, out_, err_, false, false});
    for (const std::string& record : c.records) putRecord(units().consoleOutput(), record);
    units().closeAllUnits();
    EXPECT_EQ(console(), c.bytes) << "records starting " << c.records.front();
  }
}

TEST_F(UnitsTest, FileRecordsAreBufferedAndEndWithCrLf) {
  ASSERT_EQ(units().openUnit(60, named("long.txt")), 0);
  UnitRecord& unit = *units().find(60);
  const std::string text(3000, 'a');
  putRecord(unit, text);
  // Two full buffers have reached the file; the rest waits for the close.
  EXPECT_EQ(fs::file_size("long.txt"), 2048u);
  units().closeUnit(60);
  EXPECT_EQ(readFile("long.txt"), text + "\r\n");
}

TEST_F(UnitsTest, FirstWriteCutsAnOlderFileAndAnUnwrittenOneIsKept) {
  std::string old;
  for (int i = 0; i < 100; ++i) old += "old line " + std::to_string(i) + "\r\n";
  writeFile("model.txt", old);
  writeFile("kept.txt", old);

  units().openUnit(60, named("kept.txt"));
  units().closeUnit(60);
  EXPECT_EQ(readFile("kept.txt"), old);

  units().openUnit(60, named("model.txt"));
  putRecord(*units().find(60), " new");
  units().closeUnit(60);
  EXPECT_EQ(readFile("model.txt"), " new\r\n");
}

TEST_F(UnitsTest, OneFileOnTwoUnitsIsRefused) {
  units().openUnit(1, named("a.txt"));
  for (const char* name : {"a.txt", "./a.txt", "  a.txt "}) {
    const RuntimeError error = raised([&] { units().openUnit(2, named(name)); });
    EXPECT_EQ(error.number(), 6413) << name;
    EXPECT_EQ(error.kind(), StatementKind::Open);
  }
  EXPECT_EQ(units().find(2), nullptr);
}

TEST_F(UnitsTest, ReopeningAConnectedUnitOnItsFileChangesOnlyItsSettings) {
  units().openUnit(7, named("same.txt"));
  UnitRecord* unit = units().find(7);
  putRecord(*unit, " held");
  OpenSpec again = named("same.txt");
  again.blank = "ZERO";
  again.pad = "NO";
  units().openUnit(7, again);
  EXPECT_EQ(units().find(7), unit);
  EXPECT_TRUE(unit->blankZero);
  EXPECT_FALSE(unit->pad);
  EXPECT_EQ(unit->position, 7);  // the record still held in the buffer

  OpenSpec unformatted = named("same.txt");
  unformatted.form = "UNFORMATTED";
  EXPECT_EQ(raised([&] { units().openUnit(7, unformatted); }).number(), 6209);

  units().closeUnit(7);
  EXPECT_EQ(readFile("same.txt"), " held\r\n");
}

TEST_F(UnitsTest, ReopeningOnAnotherFileClosesTheFirst) {
  units().openUnit(7, named("first.txt"));
  putRecord(*units().find(7), " one");
  units().openUnit(7, named("second.txt"));
  EXPECT_EQ(readFile("first.txt"), " one\r\n");
  EXPECT_EQ(units().find(7)->fileName, "second.txt");
}

TEST_F(UnitsTest, ClosingTwiceDoesNothingTheSecondTime) {
  units().openUnit(3, named("twice.txt"));
  putRecord(*units().find(3), " x");
  EXPECT_EQ(units().closeUnit(3), 0);
  EXPECT_EQ(units().closeUnit(3), 0);
  EXPECT_EQ(readFile("twice.txt"), " x\r\n");
  // An unrecognised status closes nothing.
  units().openUnit(3, named("twice.txt"));
  EXPECT_EQ(units().closeUnit(3, "MAYBE"), 6304);
  EXPECT_NE(units().find(3), nullptr);
}

TEST_F(UnitsTest, NamesLoseTheirBlanksAndDeviceNamesNameDevices) {
  struct Case {
    const char* name;
    const char* fileCreated;  // null: a device, no file appears
    int handle;               // for the standard streams; -1 otherwise
  };
  const Case cases[] = {
      {"  padded.txt  ", "padded.txt", -1},
      {"CON", nullptr, 1},
      {"con.txt", nullptr, 1},
      {"User", nullptr, 1},
      {"ERR", nullptr, 2},
      {"NUL", nullptr, -1},
      {"nul.dat", nullptr, -1},
      {"USER.txt", "USER.txt", -1},
      {"ERR.log", "ERR.log", -1},
      {"LPT1.out", "LPT1.out", -1},
      {"CONX", "CONX", -1},
      {"CO.txt", "CO.txt", -1},
  };
  int unit = 10;
  for (const Case& c : cases) {
    ASSERT_EQ(units().openUnit(unit, named(c.name)), 0) << c.name;
    const UnitRecord& record = *units().find(unit);
    if (c.fileCreated != nullptr) {
      EXPECT_FALSE(record.isDevice) << c.name;
      EXPECT_TRUE(fs::exists(c.fileCreated)) << c.name;
      EXPECT_EQ(record.recordKind, RecordKind::SequentialFormatted) << c.name;
    } else {
      EXPECT_TRUE(record.isDevice) << c.name;
      EXPECT_EQ(record.recordKind, RecordKind::Console) << c.name;
      EXPECT_EQ(record.bufferSize, kDeviceBufferSize) << c.name;
    }
    if (c.handle == 1) {
      EXPECT_EQ(record.handle, out_) << c.name;
    } else if (c.handle == 2) {
      EXPECT_EQ(record.handle, err_) << c.name;
    }
    units().closeUnit(unit);
    ++unit;
  }
  // Nothing else appeared.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(".")) files += entry.is_regular_file();
  EXPECT_EQ(files, 2 + 6);  // the two console files and the six ordinary names
}

TEST_F(UnitsTest, ConsoleDeviceUnitWritesItsRecordsAndPaysItsLineEndAtClose) {
  units().openUnit(9, named("CON"));
  putRecord(*units().find(9), " hello");
  putRecord(*units().find(9), " world");
  units().closeUnit(9);
  EXPECT_EQ(console(), "hello\r\nworld\r\n");
}

TEST_F(UnitsTest, StatusRules) {
  writeFile("exists.txt", "content\r\n");
  OpenSpec specifiers = named("missing.txt");
  specifiers.status = "OLD";
  EXPECT_EQ(raised([&] { units().openUnit(1, specifiers); }).number(), 6416);
  EXPECT_FALSE(fs::exists("missing.txt"));

  specifiers = named("exists.txt");
  specifiers.status = "new";
  EXPECT_EQ(raised([&] { units().openUnit(1, specifiers); }).number(), 6415);

  specifiers.status = "REPLACE ";
  units().openUnit(1, specifiers);
  units().closeUnit(1);
  EXPECT_EQ(readFile("exists.txt"), "");

  specifiers = named("x.txt");
  specifiers.status = "SCRATCH";
  const RuntimeError scratchNamed = raised([&] { units().openUnit(1, specifiers); });
  EXPECT_EQ(scratchNamed.number(), 6301);
  EXPECT_EQ(scratchNamed.kind(), StatementKind::None);
}

TEST_F(UnitsTest, ScratchUnitsAreDeletedAtCloseAndCannotBeKept) {
  units().openUnit(4, OpenSpec{});
  const std::string name = units().find(4)->fileName;
  EXPECT_EQ(name.substr(0, 2), "ZZ");
  EXPECT_EQ(name.size(), 8u);
  EXPECT_TRUE(fs::exists(name));
  units().closeUnit(4);
  EXPECT_FALSE(fs::exists(name));

  units().openUnit(4, OpenSpec{});
  const std::string second = units().find(4)->fileName;
  EXPECT_EQ(raised([&] { units().closeUnit(4, "KEEP"); }).number(), 6300);
  // The end of the run deletes it all the same.
  units().closeAllUnits();
  EXPECT_FALSE(fs::exists(second));
}

TEST_F(UnitsTest, UnrecognisedKeywordsAreRefusedBeforeTheOpen) {
  struct Case {
    std::optional<std::string_view> OpenSpec::*field;
    int number;
  };
  const Case cases[] = {
      {&OpenSpec::status, 6304},   {&OpenSpec::mode, 6305},     {&OpenSpec::access, 6306},
      {&OpenSpec::blank, 6307},    {&OpenSpec::form, 6308},     {&OpenSpec::share, 6309},
      {&OpenSpec::position, 6793}, {&OpenSpec::action, 6794},   {&OpenSpec::delimiter, 6796},
      {&OpenSpec::pad, 6798},      {&OpenSpec::carriageControl, 6799},
  };
  for (const Case& c : cases) {
    OpenSpec specifiers = named("k.txt");
    specifiers.*(c.field) = " BOGUS";
    const RuntimeError error = raised([&] { units().openUnit(1, specifiers); });
    EXPECT_EQ(error.number(), c.number);
    EXPECT_EQ(error.kind(), StatementKind::None);
  }
  EXPECT_FALSE(fs::exists("k.txt"));

  OpenSpec lower = named("k.txt");
  lower.status = "unknown   ";
  lower.carriageControl = "list";
  EXPECT_EQ(units().openUnit(1, lower), 0);
}

TEST_F(UnitsTest, UnitNumbersOutsideTheRangeAreRefused) {
  EXPECT_EQ(units().openUnit(32768, named("r.txt")), 6314);
  EXPECT_EQ(units().openUnit(-32768, named("r.txt")), 6314);
  EXPECT_FALSE(fs::exists("r.txt"));
  RecordIo io(units());
  EXPECT_EQ(raised([&] { io.beginWrite(40000); }).number(), 6314);
  EXPECT_EQ(raised([&] { io.beginRead(-40000); }).number(), 6314);
}

TEST_F(UnitsTest, SixtyOneUnitsAtMost) {
  for (int unit = 1; unit <= kUnitSlots; ++unit) {
    ASSERT_EQ(units().openUnit(unit, named(concat({"f", std::to_string(unit)}))), 0);
  }
  const RuntimeError error = raised([&] { units().openUnit(100, named("one-too-many")); });
  EXPECT_EQ(error.number(), 6418);
  EXPECT_EQ(error.fileName(), "one-too-many");
  // The console units do not count against the slots.
  RecordIo io(units());
  io.beginWrite(kConsoleOutputUnit);
  io.writeCharacter(" still");
  io.endWrite();
  units().closeUnit(1);
  EXPECT_EQ(units().openUnit(100, named("one-too-many")), 0);
}

TEST_F(UnitsTest, AFileThatCannotBeOpenedForWritingIsOpenedForReading) {
  fs::create_directory("folder");
  ASSERT_EQ(units().openUnit(60, named("folder")), 0);
  EXPECT_EQ(units().find(60)->action, Action::Read);
  RecordIo io(units());
  io.beginWrite(60);
  io.writeCharacter("x");
  const RuntimeError error = raised([&] { io.endWrite(); });
  EXPECT_EQ(error.number(), 6421);
  EXPECT_EQ(error.kind(), StatementKind::Write);
  EXPECT_EQ(error.fileName(), "folder");
}

TEST_F(UnitsTest, AWriteThatFailsDiscardsItsBufferSoTheCloseAddsNothing) {
  fs::create_symlink("/dev/full", "full.txt");
  units().openUnit(60, named("full.txt"));
  UnitRecord& unit = *units().find(60);
  putRecord(unit, " short");
  const RuntimeError atClose = raised([&] { units().closeUnit(60); });
  EXPECT_EQ(atClose.number(), 6422);
  EXPECT_EQ(atClose.kind(), StatementKind::Close);
  EXPECT_FALSE(unit.dirty);
  // The unit is still connected; closing it again has nothing left to write.
  EXPECT_NO_THROW(units().closeAllUnits());
  EXPECT_EQ(units().find(60), nullptr);
}

}  // namespace
}  // namespace tgram::recio
