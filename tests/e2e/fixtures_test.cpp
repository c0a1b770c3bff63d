// Whole-program runs over the fixture folders beside this file. Each folder
// holds in/ (the folder the program starts in; an empty one when absent),
// optionally args (the command-line arguments, one per line), and out/: the
// exact standard output and error, the exit status, and files/, exactly
// what the folder holds afterwards.
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

class Fixture : public ::testing::TestWithParam<std::string> {};

TEST_P(Fixture, RunsExactly) {
  const fs::path fixture = fs::path(TGRAM_E2E_DIR) / GetParam();
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
  EXPECT_EQ(std::to_string(run.status) + "\n", readFile(fixture / "out" / "status"));
  EXPECT_EQ(visible(run.out), visible(readFile(fixture / "out" / "stdout")));
  const fs::path expectedErr = fixture / "out" / "stderr";
  EXPECT_EQ(visible(run.err), visible(fs::exists(expectedErr) ? readFile(expectedErr) : ""));

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
