// The estimating program as a whole: the bundled example reproduced, the
// files written together or not at all, the exit statuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "estimate_run.hpp"
#include "table_checks.hpp"
#include "support/process.hpp"

namespace tgram::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kExample = fs::path(TGRAM_EXAMPLES_DIR) / "meuse-soil";

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::vector<std::string> meuseArguments(const ScratchDir& dir) {
  return {"--lag-width",
          "100",
          "--max-class",
          "15",
          "--min-pairs",
          "30",
          "--max-lag",
          "20",
          "-o",
          (dir / "ExpTgrams.txt").string(),
          (kExample / "meuse-soil.csv").string()};
}

TEST(EstimateProgram, ReproducesTheBundledExample) {
  const ScratchDir dir;
  const EstimateRun run = runEstimateWith(meuseArguments(dir));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "tgramest: 155 samples, 3 categories; 13 of 15 lag classes written (3,4,5,6,7,8,9,10,11,12,13,14,15), "
            "maxLag 20\r\ntgramest: " +
                (dir / "ExpTgrams.txt").string() + " and " + (dir / "ExpTgrams.pairs.csv").string() + " written\r\n");
  EXPECT_EQ(readFile(dir / "ExpTgrams.txt"), readFile(kExample / "ExpTgrams.txt"));

  // The pair table holds the figures of pair_counts.tsv.
  const std::string tableText = readFile(dir / "ExpTgrams.pairs.csv");
  const std::vector<std::string> table = linesOf(tableText);
  std::map<std::string, std::vector<std::string>> rows = pairRows(tableText);  // "lag,from,to" -> fields
  const bool minPairsSaid = std::find(table.begin(), table.end(), "# min pairs: 30") != table.end();
  for (const auto& [key, fields] : rows) ASSERT_EQ(fields.size(), 11u) << key;
  EXPECT_TRUE(minPairsSaid);
  EXPECT_NE(std::find(table.begin(), table.end(), "2,2,46,0.296774"), table.end());
  EXPECT_EQ(rows.size(), 16u * 9u);
  std::vector<std::string> expected = split(readFile(kExample / "pair_counts.tsv"), '\n');
  if (!expected.empty() && expected.back().empty()) expected.pop_back();
  ASSERT_EQ(expected.size(), 16u);
  for (std::size_t r = 1; r < expected.size(); ++r) {
    const std::vector<std::string> want = split(expected[r], '\t');
    ASSERT_EQ(want.size(), 17u);
    const std::string& lag = want[0];
    for (int i = 1; i <= 3; ++i) {
      for (int j = 1; j <= 3; ++j) {
        const std::vector<std::string>& got = rows[lag + "," + std::to_string(i) + "," + std::to_string(j)];
        ASSERT_EQ(got.size(), 11u) << lag;
        EXPECT_EQ(got[1], want[1]) << lag;                                                  // distance from
        EXPECT_EQ(got[2], want[2]) << lag;                                                  // distance to
        EXPECT_EQ(got[6], want[7 + static_cast<std::size_t>((i - 1) * 3 + j - 1)]) << lag;  // n_ij
        EXPECT_EQ(got[7], want[3 + static_cast<std::size_t>(i)]) << lag;                    // n_i
        EXPECT_EQ(got[10], want[16] == "yes" ? "written" : "dropped (too few pairs)") << lag;
      }
    }
  }
  EXPECT_EQ(rows["0,1,1"][10], "not estimated");
}

TEST(EstimateProgram, ReplacesFilesOnlyWhenAsked) {
  const ScratchDir dir;
  const std::vector<std::string> arguments = meuseArguments(dir);
  // An existing ExpTgrams.txt or pair table: refused, nothing written.
  for (const char* existing : {"ExpTgrams.txt", "ExpTgrams.pairs.csv"}) {
    const ScratchDir other;
    std::vector<std::string> here = arguments;
    here[9] = (other / "ExpTgrams.txt").string();
    writeFile(other / existing, "hand-made\n");
    const EstimateRun run = runEstimateWith(here);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(" exists (--force replaces it); nothing is written\r\n"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(other.path()), (std::map<std::string, std::string>{{existing, "hand-made\n"}}));
  }
  // Never over the data, even with --force.
  {
    const ScratchDir other;
    writeFile(other / "data.csv", "x,y,c\n1,2,A\n3,4,B\n");
    for (const char* option : {"-o", "--pairs"}) {
      const EstimateRun run = runEstimateWith(
          {"--lag-width", "1", "--force", option, (other / "data.csv").string(), (other / "data.csv").string()});
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.err.find("is the data file itself; choose another name"), std::string::npos) << run.err;
      EXPECT_EQ(snapshot(other.path()).size(), 1u);
    }
  }
  writeFile(dir / "ExpTgrams.txt", "hand-made\n");
  writeFile(dir / "ExpTgrams.pairs.csv", "hand-made\n");
  std::vector<std::string> forced = arguments;
  forced.push_back("--force");
  EXPECT_EQ(runEstimateWith(forced).status, 0);
  EXPECT_EQ(readFile(dir / "ExpTgrams.txt"), readFile(kExample / "ExpTgrams.txt"));
  EXPECT_NE(readFile(dir / "ExpTgrams.pairs.csv"), "hand-made\n");
}

TEST(EstimateProgram, WritesBothFilesOrNeither) {
  const ScratchDir dir;
  std::vector<std::string> arguments = meuseArguments(dir);
  // The transiograms cannot be written (no such folder): the pair table
  // written before them is taken back.
  arguments[9] = (dir / "no-folder" / "ExpTgrams.txt").string();
  arguments.insert(arguments.end() - 1, {"--pairs", (dir / "pairs.csv").string()});
  const EstimateRun run = runEstimateWith(arguments);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("is not written"), std::string::npos) << run.err;
  EXPECT_TRUE(snapshot(dir.path()).empty());

  // The same with an older pair table: it is put back as it was.
  writeFile(dir / "pairs.csv", "older\n");
  arguments.insert(arguments.end() - 1, "--force");
  EXPECT_EQ(runEstimateWith(arguments).status, 1);
  EXPECT_EQ(snapshot(dir.path()), (std::map<std::string, std::string>{{"pairs.csv", "older\n"}}));
}

TEST(EstimateProgram, FailsCleanlyOnBadData) {
  const struct {
    std::string data;
    std::vector<std::string> options;
    std::string message;
  } cases[] = {
      {"x,y,c\n1,2,A\n3,4,B\n5,?6,A\n", {}, "line 4, column 3: coordinate \"?6\" in column \"y\" is not a number"},
      {"x,y,c\n1,2,A\n3,4,B\n", {"--lag-width", "0"}, "--lag-width must be above 0"},
      {"x,y,c\n1,2,A\n3,4,B\n", {"--direction", "0,0"}, "--direction is zero: it needs a component other than 0"},
      {"x,y,c\n1,2,A\n3,4,B\n",
       {"--direction", "1"},
       "--direction has 1 component, but the samples have 2 coordinates (x, y)"},
      {"x,y,c\n1,2,A\n3,4,B\n",
       {"--direction", "1,0", "--tolerance", "90.5"},
       "--tolerance must be above 0 and at most 90 degrees"},
      {"x,y,c\n1,2,A\n3,4,B\n", {"--max-class", "401"}, "--max-class must be from 1 to 400"},
      {"x,y,c\n1,2,A\n1,2,B\n", {}, "lines 2 and 3 are at the same place"},
      {"x,y,c\n1,2,A\n50,2,B\n", {}, "no lag class has at least 30 pairs from every category (--min-pairs)"},
  };
  for (const auto& c : cases) {
    const ScratchDir dir;
    writeFile(dir / "data.csv", c.data);
    std::vector<std::string> arguments = {"--lag-width", "1", "-o", (dir / "out.txt").string()};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    arguments.push_back((dir / "data.csv").string());
    const EstimateRun run = runEstimateWith(arguments);
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("; nothing is written\r\n"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(dir.path()).size(), 1u) << c.message;  // the data file alone
  }
  const EstimateRun missing = runEstimateWith({"--lag-width", "1", "no-such-file.csv"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err,
            "tgramest: no-such-file.csv: cannot be opened (missing, or not readable); nothing is written\r\n");
}

TEST(EstimateProgram, AnswersTheCommandLine) {
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string start;  // of standard error, or of standard output when the status is 0
  } cases[] = {
      {{"--help"}, 0, "Usage: tgramest [options] --lag-width W FILE\r\n"},
      {{"--version"}, 0, "tgramest 1.0\r\n"},
      {{}, 2, "tgramest: no data file given\r\n\r\nUsage: tgramest"},
      {{"a.csv"}, 2, "tgramest: --lag-width is needed"},
      {{"--lag-width", "1", "a.csv", "b.csv"}, 2, "tgramest: more than one data file (a.csv, b.csv)"},
      {{"--lag-width", "wide", "a.csv"}, 2, "tgramest: --lag-width: \"wide\" is not a number"},
      {{"--lag-width", "1", "--tolerance", "10", "a.csv"},
       2,
       "tgramest: --tolerance, --bandwidth and --both-ways need --direction"},
      {{"--lag-width", "1", "--frobnicate", "a.csv"}, 2, "tgramest: unknown option --frobnicate"},
      {{"--lag-width", "1", "--max-class", "3.5", "a.csv"}, 2, "tgramest: --max-class: \"3.5\" is not a whole number"},
      {{"--lag-width"}, 2, "tgramest: option --lag-width needs a value"},
  };
  for (const auto& c : cases) {
    const EstimateRun run = runEstimateWith(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.start;
    const std::string& shown = c.status == 0 ? run.out : run.err;
    EXPECT_EQ(shown.substr(0, c.start.size()), c.start);
    if (c.status == 2) {
      EXPECT_NE(run.err.find("Exit status:"), std::string::npos);
    }
  }
}

TEST(EstimateProgram, EstimatesBoreholeLogs) {
  // Two holes in a GSLIB file, depth down: the vertical transiogram.
  const ScratchDir dir;
  std::string data = "two holes\n3\nhole\ndepth\nfacies\n";
  const char* const codes[] = {"1 1 2 2 1 1 2 2 1 1", "2 2 1 1 2 2 1 1 2 2"};
  for (int hole = 0; hole < 2; ++hole) {
    std::stringstream in(codes[hole]);
    for (int depth = 1; depth <= 10; ++depth) {
      std::string code;
      in >> code;
      data += std::to_string(hole + 1) + " " + std::to_string(depth) + ".0 " + code + "\n";
    }
  }
  writeFile(dir / "logs.dat", data);
  const EstimateRun run = runEstimateWith({"--group", "hole", "--z", "depth", "--category", "facies", "--direction",
                                           "1", "--lag-width", "1", "--max-class", "3", "--min-pairs", "4", "-o",
                                           (dir / "ExpTgrams.txt").string(), (dir / "logs.dat").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  // Lag 1, 9 pairs a hole: 1->1 3+2, 1->2 2+2, 2->1 2+2, 2->2 2+3 (hole 1
  // + hole 2). Lag 2, 8 a hole: always the other code. Lag 3, 7 a hole:
  // 1->1 2+1, 1->2 2+2, 2->1 2+2, 2->2 1+2.
  EXPECT_EQ(readFile(dir / "ExpTgrams.txt"),
            "2 3\n4 4\n"
            "0 1.000000 0.000000 0.000000 1.000000\n"
            "1 0.555556 0.444444 0.444444 0.555556\n"
            "2 0.000000 1.000000 1.000000 0.000000\n"
            "3 0.428571 0.571429 0.571429 0.428571\n");
  EXPECT_NE(readFile(dir / "ExpTgrams.pairs.csv").find("# coordinates: depth; category: facies; group: hole"),
            std::string::npos);
}

}  // namespace
}  // namespace tgram::testing
