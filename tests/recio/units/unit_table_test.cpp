// The unit table: opening and closing units, the file and console record
// ends, buffering and the file's end.
#include "recio/units/unit_table.hpp"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "recio/output/list_output.hpp"
#include "recio/record_io.hpp"
#include "recio/units/unit_output.hpp"
#include "runtime/termination.hpp"
#include "support/concat.hpp"
#include "support/process.hpp"
#include "support/string_sink.hpp"

namespace tgram::recio {
namespace {

namespace fs = std::filesystem;
namespace os = runtime::os;
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
    out_ = os::openFile("console.out", os::Access::Write, os::Creation::CreateNew).handle;
    err_ = os::openFile("console.err", os::Access::Write, os::Creation::CreateNew).handle;
    ConsoleStreams streams;
    streams.input = os::openDevice("NUL", os::Access::Read).handle;
    streams.output = out_;
    streams.error = err_;
    in_ = streams.input;
    units_.emplace(streams);
  }
  void TearDown() override {
    units_.reset();
    os::close(out_);
    os::close(err_);
    os::close(in_);
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
  os::Handle out_ = os::kNoHandle, err_ = os::kNoHandle, in_ = os::kNoHandle;
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
    ASSERT_EQ(os::truncate(out_, 0), os::Error::None);
    os::seekTo(out_, 0);
    units_.emplace(ConsoleStreams{in_, out_, err_, false});
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

// Fields go into the buffer in place while it has room and the general way
// near its end; a field's storage beyond its text never shows, whatever the
// blanks owed before it. The records span several buffers on a file and
// several pieces on the console.
TEST_F(UnitsTest, FieldsAreWholeAcrossTheBufferEnds) {
  ASSERT_EQ(units().openUnit(60, named("fields.txt")), 0);
  for (UnitRecord* unit : {units().find(60), &units().consoleOutput()}) {
    beginUnitOutput(*unit);
    UnitSink sink(*unit);
    std::string expected;
    for (int record = 0; record < 3; ++record) {
      for (int i = 0; i < 300; ++i) {
        const std::int64_t blanks = i % 23 - 3;  // some below 0, some beyond a field's storage
        const std::size_t length = static_cast<std::size_t>(i % 16) + 1;
        FieldText field;
        char* const storage = field.storage();
        std::fill(storage, storage + RecordSink::kFieldStorage, '#');
        for (std::size_t k = 0; k < length; ++k) storage[k] = static_cast<char>('a' + (i + k) % 26);
        field.setLength(static_cast<std::int32_t>(length));
        sink.setOwed(blanks);
        sink.putField(field, 0);
        expected += std::string(static_cast<std::size_t>(std::max<std::int64_t>(blanks, 0)), ' ') +
                    std::string(storage, length);
      }
      sink.endRecord();
      expected += "\r\n";
    }
    unit->lineClosed = false;
    if (unit == units().find(60)) {
      units().closeUnit(60);
      EXPECT_EQ(readFile("fields.txt"), expected);
    } else {
      units().closeAllUnits();
      // Each console record loses its first character, the carriage control
      // (a letter here, which owes the usual line end).
      std::string shown;
      for (std::size_t at = 0; at < expected.size();) {
        const std::size_t end = expected.find("\r\n", at) + 2;
        shown += expected.substr(at + 1, end - at - 1);
        at = end;
      }
      EXPECT_EQ(console(), shown);
    }
  }
}

// List-directed records of reals reach a file whole wherever they end in
// the unit's buffer, also when a record ends in the last field's place and
// the next one finds the buffer full: the bytes of the same records kept as
// strings, each with CR LF.
TEST_F(UnitsTest, ListDirectedRecordsAreWholeAcrossTheBufferEnds) {
  ASSERT_EQ(units().openUnit(60, named("list.txt")), 0);
  UnitRecord& unit = *units().find(60);
  testing::StringSink strings;
  for (int statement = 0; statement < 500; ++statement) {
    CapturedItems items;
    items.addCharacter(std::string(static_cast<std::size_t>(statement % 3), 'x'));  // odd lengths too
    items.addInteger(ItemKind::Integer4, statement);
    for (int i = 0; i < 5 + statement % 17; ++i) {
      items.addReal4(static_cast<float>((statement * 31 + i * 7) % 1000) / (i % 3 == 0 ? -997.0f : 997.0f));
    }
    beginUnitOutput(unit);
    UnitSink sink(unit);
    writeListDirected(items, sink);
    writeListDirected(items, strings);
  }
  units().closeUnit(60);
  std::string expected;
  for (const std::string& record : strings.records()) expected += record + "\r\n";
  EXPECT_EQ(readFile("list.txt"), expected);
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
  std::vector<const char*> names = {"a.txt", "./a.txt", "  a.txt "};
#ifdef _WIN32
  // Windows names are not case-sensitive; the file's identity (volume serial
  // number and file index) finds it under any spelling.
  names.insert(names.end(), {"A.TXT", ".\\a.txt", "sub\\..\\a.txt"});
  fs::create_directory("sub");
#endif
  for (const char* name : names) {
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
  again.carriageControl = "FORTRAN";
  units().openUnit(7, again);
  EXPECT_EQ(units().find(7), unit);
  EXPECT_EQ(unit->carriageControl, CarriageControl::FirstCharacter);
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
#ifndef _WIN32
      // Windows reserves device names even with an extension (see
      // WindowsDeviceNamesOpenDevicesAndNeverFiles).
      {"LPT1.out", "LPT1.out", -1},
#endif
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
  const auto ordinary = std::count_if(std::begin(cases), std::end(cases),
                                      [](const Case& c) { return c.fileCreated != nullptr; });
  EXPECT_EQ(files, 2 + ordinary);  // the two console files and the ordinary names
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

#ifdef _WIN32

// Windows opens no folder as a file: the open itself is refused, for reading
// as well as for writing.
TEST_F(UnitsTest, AFolderIsRefusedAtTheOpen) {
  fs::create_directory("folder");
  const RuntimeError refused = raised([&] { units().openUnit(60, named("folder")); });
  EXPECT_EQ(refused.number(), 6414);
  EXPECT_EQ(refused.kind(), StatementKind::Open);
  EXPECT_EQ(refused.fileName(), "folder");
  EXPECT_EQ(units().find(60), nullptr);
}

// The device names that have no console meaning open the Windows devices of
// those names, and a name reserved for a device never creates a file, even
// with an extension. Which devices exist depends on the machine: a missing
// one is refused like a missing file.
TEST_F(UnitsTest, WindowsDeviceNamesOpenDevicesAndNeverFiles) {
  const char* const names[] = {"COM1", "AUX",  "LINE", "PRN",  "COM2",     "COM3",  "COM4",
                               "LPT1", "LPT2", "LPT3", "LPT4", "LPT1.out", "prn.txt"};
  int unit = 10;
  for (const char* name : names) {
    OpenSpec specifiers = named(name);
    specifiers.action = "READ";  // nothing is ever written to a real port here
    try {
      ASSERT_EQ(units().openUnit(unit, specifiers), 0) << name;
      const UnitRecord& record = *units().find(unit);
      EXPECT_TRUE(runtime::os::isCharacterDevice(record.handle)) << name;
      units().closeUnit(unit);
    } catch (const RuntimeError& error) {
      EXPECT_EQ(error.kind(), StatementKind::Open) << name;
      EXPECT_TRUE(error.number() == 6416 || error.number() == 6414) << name << ": " << error.number();
    }
    ++unit;
  }
  for (const auto& entry : fs::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "console.out" || name == "console.err") << name << " was created";
  }

  // The null device takes any output and stays no file.
  ASSERT_EQ(units().openUnit(40, named("nul.txt")), 0);
  putRecord(*units().find(40), " gone");
  EXPECT_TRUE(runtime::os::isCharacterDevice(units().find(40)->handle));
  units().closeUnit(40);
  EXPECT_FALSE(fs::exists("nul.txt") && fs::is_regular_file("nul.txt"));
}

#else

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

#endif

TEST_F(UnitsTest, AWriteThatFailsDiscardsItsBufferSoTheCloseAddsNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "writes through a symbolic link to /dev/full, a Linux device with no Windows "
                  "counterpart";
#endif
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

TEST_F(UnitsTest, AUnitOpenedWithoutANameIsAScratchFileWhateverItsStatus) {
  for (const char* status : {"", "SCRATCH", "UNKNOWN", "NEW", "REPLACE"}) {
    OpenSpec specifiers;
    if (*status != '\0') specifiers.status = status;
    ASSERT_EQ(units().openUnit(4, specifiers), 0) << status;
    const UnitRecord& unit = *units().find(4);
    EXPECT_TRUE(unit.scratch) << status;
    EXPECT_EQ(unit.fileName.substr(0, 2), "ZZ") << status;
    const std::string name = unit.fileName;
    EXPECT_TRUE(fs::exists(name)) << status;
    units().closeUnit(4);
    EXPECT_FALSE(fs::exists(name)) << status;
  }
  // OLD names nothing that exists.
  OpenSpec old;
  old.status = "OLD";
  const RuntimeError error = raised([&] { units().openUnit(4, old); });
  EXPECT_EQ(error.number(), 6416);
  EXPECT_EQ(units().find(4), nullptr);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(".")) files += entry.is_regular_file();
  EXPECT_EQ(files, 2);  // the console's files only
}

TEST_F(UnitsTest, AppendingKeepsTheOldContents) {
  struct Case {
    const char* name;
    bool byAccess;  // access="APPEND", else position="APPEND"
    const char* before;  // null: no file yet
  };
  const Case cases[] = {
      {"access", true, "old\r\n"},
      {"position", false, "old\r\n"},
      {"access, no final line end", true, "old"},
      {"access, new file", true, nullptr},
  };
  for (const Case& c : cases) {
    if (c.before != nullptr) writeFile("log.txt", c.before);
    OpenSpec specifiers = named("log.txt");
    (c.byAccess ? specifiers.access : specifiers.position) = "APPEND";
    ASSERT_EQ(units().openUnit(8, specifiers), 0) << c.name;
    putRecord(*units().find(8), " new");
    units().closeUnit(8);
    EXPECT_EQ(readFile("log.txt"), concat({c.before ? c.before : "", " new\r\n"})) << c.name;
    fs::remove("log.txt");
  }
}

TEST_F(UnitsTest, DevicesWithoutACounterpartHereAreRefused) {
#ifdef _WIN32
  GTEST_SKIP() << "serial ports and printers are the system's own devices on Windows";
#endif
  writeFile("COM1", "a file, not a port\r\n");
  const char* const names[] = {"COM1", "com2", "COM3.txt", "COM4", "AUX", "aux.dat", "LINE",
                               "PRN",  "prn.log", "LPT1", "LPT2", "LPT3", "LPT4"};
  for (const char* name : names) {
    const RuntimeError error = raised([&] { units().openUnit(11, named(name)); });
    EXPECT_EQ(error.number(), 6416) << name;
    EXPECT_EQ(error.kind(), StatementKind::Open) << name;
    EXPECT_EQ(error.message(), "no such device on this system") << name;
    EXPECT_EQ(units().find(11), nullptr) << name;
  }
  EXPECT_EQ(readFile("COM1"), "a file, not a port\r\n");
  int files = 0;
  for (const auto& entry : fs::directory_iterator(".")) files += entry.is_regular_file();
  EXPECT_EQ(files, 2 + 1);  // the console's files and COM1
}

TEST_F(UnitsTest, ABinaryDeviceGetsNoCarriageControl) {
  for (const char* name : {"CON", "NUL", "ERR"}) {
    OpenSpec specifiers = named(name);
    specifiers.form = "BINARY";
    ASSERT_EQ(units().openUnit(12, specifiers), 0) << name;
    const UnitRecord& unit = *units().find(12);
    EXPECT_TRUE(unit.isDevice) << name;
    EXPECT_EQ(unit.recordKind, RecordKind::SequentialBinary) << name;
    EXPECT_EQ(unit.carriageControl, CarriageControl::List) << name;
    // Text records are refused, not dressed with line ends.
    RecordIo io(units());
    io.beginWrite(12);
    io.writeCharacter("1text");
    EXPECT_EQ(raised([&] { io.endWrite(); }).number(), 6200) << name;
    units().closeUnit(12);
  }
  units().closeAllUnits();
  EXPECT_EQ(console(), "");
  EXPECT_EQ(readFile(scratch_ / "console.err"), "");
}

#ifndef _WIN32
// Runs `check` in a child process as an unprivileged user (when the tests
// run as root); the child's exit status is the number of failed checks.
template <typename F>
void asUnprivileged(const testing::Unprivileged& user, F&& check) {
  ::chmod(".", 0777);
  if (::geteuid() == 0 && (::setgid(user.gid) != 0 || ::setuid(user.uid) != 0)) std::_Exit(100);
  std::_Exit(check());
}
#endif

TEST_F(UnitsTest, ADeleteRefusedAtCloseLeavesNothingConnected) {
#ifdef _WIN32
  GTEST_SKIP() << "needs POSIX permissions";
#else
  const auto user = testing::unprivilegedUser();
  if (!user) GTEST_SKIP() << "no unprivileged user to run as";
  // An explicit DELETE, then exit processing: one report, nothing written
  // later to the closed handle.
  EXPECT_EXIT(asUnprivileged(*user, [&] {
                // A file in a folder that cannot be written cannot be deleted.
                ::mkdir("locked", 0777);
                units().openUnit(7, named("locked/kept.txt"));
                putRecord(*units().find(7), " data");
                ::chmod("locked", 0555);
                int failed = 0;
                try {
                  units().closeUnit(7, "DELETE");
                  ++failed;
                } catch (const RuntimeError& e) {
                  failed += e.number() != 6404 || e.kind() != StatementKind::Close;
                }
                failed += units().find(7) != nullptr;
                try {
                  units().closeAllUnits();
                } catch (const RuntimeError&) {
                  ++failed;
                }
                ::chmod("locked", 0777);
                return failed;
              }),
              ::testing::ExitedWithCode(0), "");
  // A scratch unit reopened on another file: its deletion is refused, the
  // open fails, and neither file is connected.
  EXPECT_EXIT(asUnprivileged(*user, [&] {
                ::mkdir("locked-scratch", 0777);
                if (::chdir("locked-scratch") != 0) return 100;
                units().openUnit(7, OpenSpec{});
                ::chmod(".", 0555);
                int failed = 0;
                try {
                  units().openUnit(7, named("/dev/null"));
                  ++failed;
                } catch (const RuntimeError& e) {
                  failed += e.number() != 6404;
                }
                failed += units().find(7) != nullptr;
                try {
                  units().closeAllUnits();
                } catch (const RuntimeError&) {
                  ++failed;
                }
                ::chmod(".", 0777);
                return failed;
              }),
              ::testing::ExitedWithCode(0), "");
#endif
}

#if defined(__SANITIZE_ADDRESS__)
#define TGRAM_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TGRAM_UNDER_ASAN 1
#endif
#endif

TEST_F(UnitsTest, ABufferThatCannotBeAllocatedLeavesNoDescriptorOpen) {
#if defined(_WIN32)
  GTEST_SKIP() << "needs an address-space limit (setrlimit) and /proc, which only Linux has";
#elif defined(TGRAM_UNDER_ASAN)
  GTEST_SKIP() << "needs an address-space limit, which the sanitizers' own mappings exceed";
#else
  auto openDescriptors = [] {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
  };
  for (const bool scratch : {false, true}) {
    EXPECT_EXIT(
        {
          // Room for the test, not for a buffer of a gigabyte.
          std::size_t pages = 0;
          std::ifstream("/proc/self/statm") >> pages;
          rlimit limit{};
          ::getrlimit(RLIMIT_AS, &limit);
          limit.rlim_cur = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) + (256u << 20);
          if (::setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(100);
          OpenSpec specifiers = scratch ? OpenSpec{} : named("big.txt");
          specifiers.blockSize = INT32_MAX;
          const int before = openDescriptors();
          int failed = 0;
          try {
            units().openUnit(13, specifiers);
            ++failed;
          } catch (const std::bad_alloc&) {
          }
          failed += openDescriptors() != before;
          failed += units().find(13) != nullptr;
          for (const auto& entry : fs::directory_iterator(".")) {
            failed += entry.path().filename().string().rfind("ZZ", 0) == 0;
          }
          std::_Exit(failed);
        },
        ::testing::ExitedWithCode(0), "")
        << (scratch ? "scratch" : "named");
  }
#endif
}

// Exit processing over a real unit table: a close that fails is reported,
// the units after it are still closed with all their output, and the run
// ends with status 1.
TEST_F(UnitsTest, ACloseThatFailsAtExitIsReportedAndTheLaterUnitsAreStillClosed) {
  struct Case {
    const char* name;
    bool raiseFirst;  // the program ends by a report, else by STOP
    int status;
    const char* err;
    const char* out;
  };
  const Case cases[] = {
      {"after STOP", false, 1,
       "\r\nrun-time error F6422: CLOSE(full.txt)\r\n- no space left on device\r\n",
       "shown\r\nStop - Program terminated.\r\n\r\n"},
      {"after a report", true, 1,
       "\r\nrun-time error F6501: READ(in.txt)\r\n- end of file (the file is empty)\r\n"
       "\r\nrun-time error F6422: CLOSE(full.txt)\r\n- no space left on device\r\n",
       "shown\r\n"},
  };
#ifdef _WIN32
  GTEST_SKIP() << "writes through a symbolic link to /dev/full, a Linux device with no Windows "
                  "counterpart";
#endif
  fs::create_symlink("/dev/full", "full.txt");
  for (const Case& c : cases) {
    for (const os::Handle stream : {out_, err_}) {
      ASSERT_EQ(os::truncate(stream, 0), os::Error::None);
      os::seekTo(stream, 0);
    }
    fs::remove("later.txt");
    writeFile("in.txt", "");
    units_.emplace(ConsoleStreams{in_, out_, err_, false});
    runtime::Termination termination(out_, err_);
    termination.registerExitProcessing(&units());
    RecordIo io(units());
    const int status = termination.runProgram([&] {
      units().openUnit(1, named("full.txt"));
      units().openUnit(2, named("later.txt"));
      putRecord(*units().find(1), " lost");
      putRecord(*units().find(2), " kept");
      putRecord(units().consoleOutput(), " shown");
      if (c.raiseFirst) {
        units().openUnit(3, named("in.txt"));
        std::int32_t value = 0;
        io.beginRead(3);
        io.readInteger4(value);
      }
      termination.stopProgram();
    });
    EXPECT_EQ(status, c.status) << c.name;
    EXPECT_EQ(readFile(scratch_ / "console.err"), c.err) << c.name;
    // The console's owed line end is paid after the failed close, as at the
    // end of every run.
    EXPECT_EQ(console(), c.out) << c.name;
    EXPECT_EQ(readFile("later.txt"), " kept\r\n") << c.name;
    EXPECT_EQ(units().find(1), nullptr) << c.name;
    EXPECT_EQ(units().find(2), nullptr) << c.name;
  }
}

}  // namespace
}  // namespace tgram::recio
