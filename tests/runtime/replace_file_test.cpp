// Replacing a whole file: the outcomes another program relies on, the same
// on every system (links, devices and modes: tests/plot's whole-program
// tests of the picture's target).
#include "runtime/replace_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/process.hpp"

namespace tgram::runtime {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::ScratchDir;
using testing::writeFile;

std::size_t entriesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(ReplaceFile, WritesANewFileAndReplacesAnOldOneLeavingNothingElse) {
  ScratchDir scratch;
  // Names beyond ASCII, given in UTF-8, as the programs get them.
  const std::string folder = "Gr\xC3\xB6\xC3\x9F" "e";  // Größe
  fs::create_directory(scratch.path() / pathFromUtf8(folder));
  // plain.txt, é.txt, Größe/Кривые 図.txt
  for (const std::string& name : {std::string("plain.txt"), std::string("\xC3\xA9.txt"),
                                 folder + "/\xD0\x9A\xD1\x80\xD0\xB8\xD0\xB2\xD1\x8B\xD0\xB5 \xE5\x9B\xB3.txt"}) {
    const fs::path target = scratch.path() / pathFromUtf8(name);
    EXPECT_EQ(checkReplaceTarget(target), "") << name;
    EXPECT_EQ(replaceFile(target, "first\r\n"), "") << name;
    EXPECT_EQ(readFile(target), "first\r\n") << name;
    EXPECT_EQ(replaceFile(target, "second"), "") << name;
    EXPECT_EQ(readFile(target), "second") << name;
    EXPECT_EQ(utf8Of(target.filename()), utf8Of(pathFromUtf8(name).filename()));
  }
  EXPECT_EQ(entriesIn(scratch.path()), 3u);  // plain.txt, é.txt, Größe
  EXPECT_EQ(entriesIn(scratch.path() / pathFromUtf8(folder)), 1u);
}

TEST(ReplaceFile, RefusalsAndFailuresLeaveEverythingAsItWas) {
  ScratchDir scratch;
  fs::create_directory(scratch / "folder");
  struct Case {
    fs::path target;
    const char* reason;
    bool foundBeforehand;  // by checkReplaceTarget
  };
  const Case cases[] = {
      {scratch / "folder", "it is a folder", true},
      {scratch / "missing" / "file.txt", "cannot create a file in its folder: no such file or folder", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(replaceFile(c.target, "bytes"), c.reason) << c.target;
    EXPECT_EQ(checkReplaceTarget(c.target), c.foundBeforehand ? c.reason : "") << c.target;
  }
  EXPECT_EQ(entriesIn(scratch.path()), 1u);
  EXPECT_EQ(entriesIn(scratch / "folder"), 0u);
}

}  // namespace
}  // namespace tgram::runtime
