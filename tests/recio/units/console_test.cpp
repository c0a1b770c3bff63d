// The console through the real unit table, on a pseudo-terminal: records
// read from a terminal, a read and a write sharing the console, and the
// prompt for a file name.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "recio/record_io.hpp"
#include "recio/units/unit_table.hpp"
#include "support/process.hpp"

namespace tgram::recio {
namespace {

using runtime::RuntimeError;
using runtime::StatementKind;

#ifndef _WIN32

// A pseudo-terminal whose other side stands for the user: bytes written
// there are typed, bytes read there are what the console showed. Lines are
// given to reads one at a time, as a terminal does; there is no echo and
// no translation of line ends. Reading from an empty terminal fails at once
// instead of waiting, so a read that asks for more than was typed is seen.
class Terminal {
 public:
  Terminal() {
    user_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (user_ < 0 || ::grantpt(user_) != 0 || ::unlockpt(user_) != 0) return;
    console_ = ::open(::ptsname(user_), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    if (console_ < 0 || ::tcgetattr(console_, &settings) != 0) return;
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
    settings.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    ready_ = ::tcsetattr(console_, TCSANOW, &settings) == 0 &&
             ::fcntl(user_, F_SETFL, O_NONBLOCK) == 0;
  }
  ~Terminal() {
    if (console_ >= 0) ::close(console_);
    if (user_ >= 0) ::close(user_);
  }
  bool ready() const { return ready_; }
  int console() const { return console_; }

  // "\x04" typed at the start of a line ends the input.
  void type(const std::string& keys) {
    if (keys.empty()) return;
    ASSERT_EQ(::write(user_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  std::string shown() {
    std::string bytes;
    char block[4096];
    for (ssize_t n; (n = ::read(user_, block, sizeof block)) > 0;) bytes.append(block, static_cast<std::size_t>(n));
    return bytes;
  }

 private:
  int user_ = -1;
  int console_ = -1;
  bool ready_ = false;
};

enum class Streams { Terminal, Files, FilesMarkedAsDevices };

// A unit table whose console is the terminal, for both directions.
class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!terminal_.ready()) GTEST_SKIP() << "no pseudo-terminal available";
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(scratch_.path());
  }
  void TearDown() override {
    if (!previous_.empty()) std::filesystem::current_path(previous_);
  }
  ~ConsoleTest() override {
    for (int fd : {input_, output_}) {
      if (fd >= 0) ::close(fd);
    }
  }

  // Both streams on the terminal; or input from a file holding `typed`
  // (an end key ends the file), marked as a device or not, and output to a
  // file.
  void makeUnits(std::vector<std::string> arguments, const std::string& typed,
                 Streams setup = Streams::Terminal) {
    ConsoleStreams streams{terminal_.console(), terminal_.console(), terminal_.console(), true};
    if (setup != Streams::Terminal) {
      testing::writeFile("typed.txt", typed.substr(0, typed.find('\x04')));
      input_ = ::open("typed.txt", O_RDONLY);
      output_ = ::open("shown.txt", O_RDWR | O_CREAT | O_TRUNC, 0666);
      const bool devices = setup == Streams::FilesMarkedAsDevices;
      streams = ConsoleStreams{input_, output_, output_, devices};
    } else {
      terminal_.type(typed);
    }
    units_.emplace(streams, std::move(arguments));
    io_.emplace(*units_);
  }
  std::string shown() { return output_ >= 0 ? testing::readFile("shown.txt") : terminal_.shown(); }

  // Runs a script of statements: "R" reads one integer from the console,
  // "W text" writes a text list-directed, "O" opens unit 20 with a blank
  // name. Gives what was read and opened, the condition that ended the
  // script (0: none) and what the console shows after exit processing.
  struct Outcome {
    std::vector<std::string> results;
    int condition = 0;
    StatementKind kind = StatementKind::None;
    std::string shown;
  };
  Outcome run(const std::vector<std::string>& script) {
    Outcome o;
    try {
      for (const std::string& step : script) {
        if (step == "R") {
          std::int32_t value = 0;
          io_->beginRead(kConsoleInputUnit);
          io_->readInteger4(value);
          io_->endRead();
          o.results.push_back(std::to_string(value));
        } else if (step == "O") {
          OpenSpec specifiers;
          specifiers.file = "   ";
          units_->openUnit(20, specifiers);
          o.results.push_back(units_->find(20)->fileName);
          units_->closeUnit(20, "DELETE");
        } else {
          io_->beginWrite(kConsoleOutputUnit);
          io_->writeCharacter(step.substr(2));
          io_->endWrite();
        }
      }
    } catch (const RuntimeError& e) {
      o.condition = e.number();
      o.kind = e.kind();
    }
    units_->closeAllUnits();
    o.shown = shown();
    return o;
  }

  Terminal terminal_;
  int input_ = -1;
  int output_ = -1;
  testing::ScratchDir scratch_;
  std::filesystem::path previous_;
  std::optional<UnitTable> units_;
  std::optional<RecordIo> io_;
};

const std::string kPrompt = "File name missing or blank - please enter file name\r\nUNIT 20? ";

struct Case {
  const char* name;
  std::vector<std::string> arguments;
  std::string typed;
  std::vector<std::string> script;
  std::vector<std::string> results;
  std::string shown;
  int condition = 0;
  Streams setup = Streams::Terminal;
};

void PrintTo(const Case& c, std::ostream* os) {
  const char* const setups[] = {"terminal", "files", "files marked as devices"};
  *os << c.name << " (" << setups[static_cast<int>(c.setup)] << ")";
}

// Each case on the terminal, then on files in the other setups given.
std::vector<Case> alsoOn(std::initializer_list<Streams> setups, std::vector<Case> cases) {
  const std::size_t n = cases.size();
  for (const Streams setup : setups) {
    for (std::size_t i = 0; i < n; ++i) {
      cases.push_back(cases[i]);
      cases.back().setup = setup;
    }
  }
  return cases;
}

class ConsoleCases : public ConsoleTest, public ::testing::WithParamInterface<Case> {};

TEST_P(ConsoleCases, Run) {
  const Case& c = GetParam();
  makeUnits(c.arguments, c.typed, c.setup);
  const Outcome o = run(c.script);
  EXPECT_EQ(o.results, c.results);
  EXPECT_EQ(o.shown, c.shown);
  EXPECT_EQ(o.condition, c.condition);
}

// Reading a terminal: every line is a record as soon as it is typed.
INSTANTIATE_TEST_SUITE_P(
    Records, ConsoleCases,
    ::testing::Values(
        Case{"a line is read without waiting for more", {}, "12 34\n", {"R"}, {"12"}, ""},
        Case{"one line per statement", {}, "1 2\n3\n", {"R", "R"}, {"1", "3"}, ""},
        Case{"a statement goes on to the next line", {}, "\n\n5\n", {"R"}, {"5"}, ""},
        Case{"a line ended by the end key", {}, "7\x04" "8\n", {"R", "R"}, {"7", "8"}, ""},
        Case{"the end key on an empty line ends the input", {}, "5\n\x04", {"R", "R"}, {"5"},
             "", 6501}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// Reads and writes share the console: a write statement begins a new
// record, and the read after it goes on with the input.
INSTANTIATE_TEST_SUITE_P(
    ReadWriteRead, ConsoleCases,
    ::testing::ValuesIn(alsoOn({Streams::FilesMarkedAsDevices}, {
        Case{"read, write, read", {}, "12 34\n56\n", {"R", "W AB", "R"}, {"12", "56"}, "AB\r\n"},
        Case{"write, read, write", {}, "9\n", {"W A", "R", "W B"}, {"9"}, "A\r\nB\r\n"},
        Case{"two values over a write", {}, "1\n2\n", {"R", "W x", "R", "W y"}, {"1", "2"},
             "x\r\ny\r\n"}})),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// A unit opened with a blank name takes the next command-line argument that
// is not blank, else asks on the console until an answer is not blank.
INSTANTIATE_TEST_SUITE_P(
    BlankName, ConsoleCases,
    ::testing::ValuesIn(alsoOn({Streams::Files}, {
        Case{"an argument", {"", "  arg.txt "}, "", {"O"}, {"arg.txt"}, ""},
        Case{"arguments are used up", {"a.txt"}, "b.txt\n", {"O", "O"}, {"a.txt", "b.txt"},
             kPrompt},
        Case{"asked until the answer is not blank", {}, "\n  \n name.txt \n", {"O"},
             {"name.txt"}, kPrompt + kPrompt + kPrompt},
        Case{"the answer follows what a read left", {}, "5\nname.txt\n\x04", {"R", "O", "R"},
             {"5", "name.txt"}, kPrompt, 6501},
        Case{"the answer line ends with CR LF", {}, "x.txt\r\n", {"O"}, {"x.txt"}, kPrompt},
        Case{"a line owed on the console is ended first", {}, "n.txt\n", {"W hi", "O"},
             {"n.txt"}, "hi\r\n" + kPrompt},
        Case{"the end of the input ends the open", {}, "\n\x04", {"O"}, {},
             kPrompt + kPrompt, 6501}})),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(ConsoleTest, TheEndOfInputAtThePromptIsReportedForTheOpen) {
  makeUnits({}, "\x04");
  const Outcome o = run({"O"});
  EXPECT_EQ(o.condition, 6501);
  EXPECT_EQ(o.kind, StatementKind::Open);
}

#else

TEST(ConsoleTest, NeedsAPseudoTerminal) {
  GTEST_SKIP() << "the console tests drive a POSIX pseudo-terminal";
}

#endif

}  // namespace
}  // namespace tgram::recio
