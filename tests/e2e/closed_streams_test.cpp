// Both programs started without some of their standard streams (closed, as
// a service manager or a script with ">&-" may start them): a file they
// open must never receive what is meant for a missing stream. Each run must
// end as it does with those streams on the null device, and leave the input
// as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/process.hpp"

namespace tgram::testing {
namespace {

namespace fs = std::filesystem;

// The bundled example is longer than one 1024-byte block of input, so that
// the program still holds the input open while it writes to the console.
std::string exampleInput() { return readFile(fs::path(TGRAM_EXAMPLES_DIR) / "meuse-soil" / "ExpTgrams.txt"); }

// The same input with a faulty value in its last record: the report comes
// while the input is still open.
std::string faultyInput() {
  std::string text = exampleInput();
  const std::size_t last = text.rfind(' ');
  return text.substr(0, last + 1) + "0.5x\n";
}

std::string streamsName(const std::vector<Stream>& streams) {
  static const char* const kNames[] = {"input", "output", "error"};
  std::string name;
  for (const Stream stream : streams) name += std::string(name.empty() ? "" : "+") + kNames[static_cast<int>(stream)];
  return name;
}

TEST(ClosedStandardStreams, TheRunEndsAsWithTheNullDeviceAndTheInputStays) {
  struct Program {
    const char* name;
    fs::path path;
  };
  const Program programs[] = {{"tgraminterp", programPath()}, {"tgramplot", plotProgramPath()}};
  const std::vector<std::vector<Stream>> closedSets = {
      {Stream::Input}, {Stream::Output}, {Stream::Error}, {Stream::Input, Stream::Output, Stream::Error}};
  const std::pair<std::string, const char*> inputs[] = {{exampleInput(), "good input"},
                                                        {faultyInput(), "faulty input"}};
  for (const Program& program : programs) {
    for (const auto& [input, inputName] : inputs) {
      for (const std::vector<Stream>& closed : closedSets) {
        const std::string label =
            std::string(program.name) + ", " + streamsName(closed) + " closed, " + inputName;
        ScratchDir scratch;
        const fs::path withNull = scratch / "null";
        const fs::path withClosed = scratch / "closed";
        for (const fs::path& work : {withNull, withClosed}) {
          fs::create_directory(work);
          writeFile(work / "ExpTgrams.txt", input);
        }
        RunOptions nullOptions;
        nullOptions.program = program.path;
        nullOptions.nullDevice = closed;
        RunOptions closedOptions = nullOptions;
        closedOptions.nullDevice.clear();
        closedOptions.closed = closed;
        const RunResult expected = runProgram(withNull, nullOptions);
        const RunResult run = runProgram(withClosed, closedOptions);

        EXPECT_EQ(readFile(withClosed / "ExpTgrams.txt"), input) << label;
        EXPECT_EQ(run.signal, 0) << label;
        EXPECT_EQ(run.status, expected.status) << label;
        EXPECT_EQ(run.out, expected.out) << label;
        EXPECT_EQ(run.err, expected.err) << label;
        EXPECT_EQ(snapshot(withClosed), snapshot(withNull)) << label;
      }
    }
  }
}

}  // namespace
}  // namespace tgram::testing
