// Whole-program runs over the fixture folders beside this file. Each folder
// holds in/ (the folder the program starts in; an empty one when absent),
// optionally args (the command-line arguments, one per line), and out/: the
// exact standard output and error, the exit status, and files/, exactly
// what the folder holds afterwards.
//
// The Windows build runs the same fixtures. Where Windows itself gives
// another outcome, out/ holds the Windows expectation beside the common one
// (stdout.windows, stderr.windows, status.windows); a fixture that has no
// meaning there holds the reason in windows-skip.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/process.hpp"

namespace tgram::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> fixtureNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(TGRAM_E2E_DIR)) {
    if (fs::exists(entry.path() / "out" / "status")) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The lines of the fixture's args file, if it has one.
std::vector<std::string> argumentsOf(const fs::path& fixture) {
  std::vector<std::string> arguments;
  if (!fs::exists(fixture / "args")) return arguments;
  const std::string text = readFile(fixture / "args");
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    arguments.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

// Shows control bytes so that a difference in line ends can be seen.
std::string visible(const std::string& bytes) {
  std::string out;
  for (char c : bytes) {
    if (c == '\r') {
      out += "<CR>";
    } else if (c == '\n') {
      out += "<LF>\n";
    } else {
      out += c;
    }
  }
  return out;
}

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// The expected bytes of out/`name`, empty when there is no such file.
std::string expectedOutput(const fs::path& out, const std::string& name) {
  const fs::path windows = out / (name + ".windows");
  if (kWindows && fs::exists(windows)) return readFile(windows);
  return fs::exists(out / name) ? readFile(out / name) : std::string();
}

class Fixture : public ::testing::TestWithParam<std::string> {};

TEST_P(Fixture, RunsExactly) {
  const fs::path fixture = fs::path(TGRAM_E2E_DIR) / GetParam();
  if (kWindows && fs::exists(fixture / "windows-skip")) {
    GTEST_SKIP() << readFile(fixture / "windows-skip");
  }
  ScratchDir scratch;
  const fs::path work = scratch / "work";
  if (fs::exists(fixture / "in")) {
    copyTree(fixture / "in", work);
  } else {
    fs::create_directory(work);
  }

  RunOptions options;
  options.arguments = argumentsOf(fixture);
  const RunResult run = runProgram(work, options);

  EXPECT_EQ(run.signal, 0);
  const fs::path out = fixture / "out";
  EXPECT_EQ(std::to_string(run.status) + "\n", expectedOutput(out, "status"));
  EXPECT_EQ(visible(run.out), visible(expectedOutput(out, "stdout")));
  EXPECT_EQ(visible(run.err), visible(expectedOutput(out, "stderr")));

  const fs::path expectedFiles = fixture / "out" / "files";
  const auto expected = fs::exists(expectedFiles) ? snapshot(expectedFiles)
                                                  : std::map<std::string, std::string>{};
  const auto actual = snapshot(work);
  for (const auto& [name, bytes] : expected) {
    const auto it = actual.find(name);
    if (it == actual.end()) {
      ADD_FAILURE() << name << " is missing";
    } else {
      EXPECT_EQ(visible(it->second), visible(bytes)) << "in " << name;
    }
  }
  for (const auto& [name, bytes] : actual) {
    EXPECT_TRUE(expected.count(name)) << name << " should not be there";
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, Fixture, ::testing::ValuesIn(fixtureNames()),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace_if(name.begin(), name.end(),
                                           [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
                                           '_');
                           return name;
                         });

}  // namespace
}  // namespace tgram::testing
