// Reading samples: CSV and GSLIB files into the table of samples, and the
// categories out of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "estimate/categories.hpp"
#include "estimate/estimate_error.hpp"
#include "estimate/sample_table.hpp"
#include "estimate/table_checks.hpp"

namespace tgram::estimate {
namespace {

SampleTable read(const std::string& bytes, ReadSettings settings = {}) {
  return readSamples(bytes, "data.csv", settings);
}

std::string errorOf(const std::string& bytes, ReadSettings settings = {}) {
  return tgram::testing::errorOf([&] { read(bytes, settings); });
}

TEST(SampleReaders, ReadCsvInItsForms) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"commas, LF", "x,y,soil\n1,2,A\n3.5,-4e1,B\n"},
      {"semicolons, CR LF", "x;y;soil\r\n1;2;A\r\n3.5;-4e1;B\r\n"},
      {"tabs, no final line end", "x\ty\tsoil\n1\t2\tA\n3.5\t-4e1\tB"},
      {"quotes, blanks, empty lines", "\"x\",\"y\" , soil\n\n 1 ,\"2\",\"A\"\n\n+3.5,-40,B\n\n"},
      {"byte-order mark", "\xEF\xBB\xBFx,y,soil\n1,2,A\n3.5,-40.0,B\n"},
      {"quoted line end", "x,y,soil\n1,2,\"A\"\n3.5,-40,\"B\"\n"},
  };
  for (const auto& c : cases) {
    const SampleTable samples = read(c.bytes);
    EXPECT_EQ(samples.coordinateNames, (std::vector<std::string>{"x", "y"})) << c.name;
    EXPECT_EQ(samples.categoryName, "soil") << c.name;
    EXPECT_EQ(samples.coordinates, (std::vector<double>{1, 2, 3.5, -40})) << c.name;
    EXPECT_EQ(samples.categories, (std::vector<std::string>{"A", "B"})) << c.name;
  }
}

TEST(SampleReaders, ChooseColumnsByNameOrNumber) {
  const std::string bytes = "id,East,North,depth,unit,hole\n1,10,20,3,\"sand, fine\",H1\n2,11,21,4,clay,H2\n";
  ReadSettings settings;
  settings.columns.coordinates = {"East", "3", "depth"};
  settings.columns.category = "unit";
  settings.columns.group = "6";
  const SampleTable samples = read(bytes, settings);
  EXPECT_EQ(samples.dimensions, 3u);
  EXPECT_EQ(samples.coordinates, (std::vector<double>{10, 20, 3, 11, 21, 4}));
  EXPECT_EQ(samples.categories, (std::vector<std::string>{"sand, fine", "clay"}));
  EXPECT_EQ(samples.groups, (std::vector<std::string>{"H1", "H2"}));
  EXPECT_EQ(samples.lines, (std::vector<std::int64_t>{2, 3}));
}

TEST(SampleReaders, SkipRowsWithAMissingValue) {
  const std::string bytes = "x,y,c\n1,2,A\n,3,B\n4,NA,B\n5,6,\n7,8,C\n9,-999,D\n";
  const SampleTable samples = read(bytes);
  EXPECT_EQ(samples.size(), 3u);  // -999 is a coordinate in a CSV file
  EXPECT_EQ(samples.skipped, 3);
  EXPECT_EQ(samples.rows, 6);
  ReadSettings settings;
  settings.missing = -999;
  EXPECT_EQ(read(bytes, settings).skipped, 4);
}

TEST(SampleReaders, ReadGslibPointFiles) {
  const std::string bytes =
      "Facies samples, one title line\r\n"
      "4   1 2 3 4\r\n"
      "X coordinate\n"
      "y\n"
      "facies code\n"
      "weight\n"
      "  1.0  2.0   1   0.5\n"
      "\n"
      "\t3.0 -5.0 2 1\n"
      "4.0 5.0 -999.0 1\n"
      "-1000 5.0 1 1\n"
      "6 7 3.000 -9\n";
  ReadSettings settings;
  settings.columns.coordinates = {"X coordinate", "y"};
  settings.columns.category = "facies code";
  const SampleTable samples = read(bytes, settings);
  EXPECT_EQ(samples.format, FileFormat::Gslib);
  EXPECT_EQ(samples.coordinates, (std::vector<double>{1, 2, 3, -5, 6, 7}));
  EXPECT_EQ(samples.categories, (std::vector<std::string>{"1", "2", "3.000"}));
  EXPECT_EQ(samples.lines, (std::vector<std::int64_t>{7, 9, 12}));
  EXPECT_EQ(samples.skipped, 2);  // -999 and below are missing
  settings.missing = -5000;
  EXPECT_EQ(read(bytes, settings).skipped, 0);
  settings.format = FileFormat::Csv;  // forced: then the title is the header
  EXPECT_EQ(errorOf(bytes, settings), "data.csv: line 2, column 1: 1 field, but the header has 2 (delimiter \",\")");
}

TEST(SampleReaders, SayWhereTheInputIsWrong) {
  ReadSettings gslib;
  gslib.columns.category = "3";
  const struct {
    std::string bytes;
    ReadSettings settings;
    std::string error;
  } cases[] = {
      {"x,y,c\n1,2,A\n3,4x,B\n", {}, "data.csv: line 3, column 3: coordinate \"4x\" in column \"y\" is not a number"},
      {"x,y,c\n1,inf,A\n", {}, "data.csv: line 2, column 3: coordinate \"inf\" in column \"y\" is not finite"},
      {"x,y,c\n1,nan,A\n", {}, "data.csv: line 2, column 3: coordinate \"nan\" in column \"y\" is not finite"},
      {"x,y,c\n1,1e999,A\n", {}, "data.csv: line 2, column 3: coordinate \"1e999\" in column \"y\" is not finite"},
      {"x,y,c\n1,\"\x1b[2J\\\",A\n",
       {},
       "data.csv: line 2, column 3: coordinate \"\\x1b[2J\\\\\" in column \"y\" is not a number"},
      {"x,y,c\n1,2,A\n3,4\n", {}, "data.csv: line 3, column 3: 2 fields, but the header has 3 (delimiter \",\")"},
      {"x,y,c\n1,2,A,B\n", {}, "data.csv: line 2, column 7: 4 fields, but the header has 3 (delimiter \",\")"},
      {"x,y,c\n1,2,\"A\n", {}, "data.csv: line 2, column 5: a quoted field is not closed before the end of the file"},
      {"x,y,c\n1,\"2\"x,A\n", {}, "data.csv: line 2, column 6: text \"x,A\" after the closing quote of a field"},
      {"x,y,c\n", {}, "data.csv: no sample (the file has no data rows)"},
      {"\n\n", {}, "data.csv: the file is empty (a CSV file needs a header row)"},
      {"a,b,c\n1,2,3\n",
       {},
       "data.csv: no column is named x, y or z; say which columns hold the coordinates (--x, --y, --z)"},
      {"x,y,c,d\n1,2,3,4\n",
       {},
       "data.csv: 2 columns besides the coordinates could hold the category; say which one (--category)"},
      {"title\n3\nx\ny\nc\n1 2 3\n4 5\n", gslib,
       "data.csv: line 7, column 3: 2 values, but the file names 3 variables"},
      {"title\n3\nx\ny\n", gslib, "data.csv: end of file after line 4: 3 variable names expected, 2 found"},
  };
  for (const auto& c : cases) EXPECT_EQ(errorOf(c.bytes, c.settings), c.error) << c.bytes;
  ReadSettings unknown;
  unknown.columns.category = "soil";
  EXPECT_EQ(
      errorOf("x,y,c\n1,2,A\n", unknown),
      "data.csv: no column \"soil\" (--category); the columns are \"x\", \"y\", \"c\" (or give a number from 1 to 3)");
}

TEST(SampleReaders, RecogniseGslibByItsLayout) {
  EXPECT_TRUE(looksLikeGslib("title\n3\nx\ny\nfacies\n1 2 3\n"));
  EXPECT_TRUE(looksLikeGslib("\n2 1 2\nx\ncode\n"));
  EXPECT_FALSE(looksLikeGslib("x,y,c\n1,2,3\n"));
  EXPECT_FALSE(looksLikeGslib("x\ty\tc\n1\t2\t3\n4\t5\t6\n"));  // a table of whole numbers
  EXPECT_FALSE(looksLikeGslib("x y c\n1.5 2 3\n"));
  EXPECT_FALSE(looksLikeGslib(""));
}

Categories categoriesOf(const std::string& bytes, const std::optional<std::vector<std::string>>& order = {}) {
  return assignCategories(read(bytes), order, "data.csv");
}

std::string categoryError(const std::string& bytes, const std::optional<std::vector<std::string>>& order = {}) {
  return tgram::testing::errorOf([&] { categoriesOf(bytes, order); });
}

TEST(SampleCategories, OrderCodesByValueAndLabelsByBytes) {
  const Categories codes = categoriesOf("x,c\n1,10\n2,9\n3,-1\n4,9.0\n5,+10\n");
  EXPECT_EQ(codes.labels, (std::vector<std::string>{"-1", "9", "10"}));
  EXPECT_EQ(codes.members, (std::vector<std::uint64_t>{1, 2, 2}));
  EXPECT_EQ(codes.index, (std::vector<std::uint8_t>{2, 1, 0, 1, 2}));
  const Categories labels = categoriesOf("x,c\n1,sand\n2,Clay\n3,10\n4,9\n");
  EXPECT_EQ(labels.labels, (std::vector<std::string>{"10", "9", "Clay", "sand"}));
  const Categories given = categoriesOf("x,c\n1,3\n2,1\n3,2\n", std::vector<std::string>{"3", "1", "2"});
  EXPECT_EQ(given.labels, (std::vector<std::string>{"3", "1", "2"}));
  EXPECT_EQ(given.index, (std::vector<std::uint8_t>{0, 1, 2}));
}

TEST(SampleCategories, RefuseWhatDoesNotFit) {
  EXPECT_EQ(categoryError("x,c\n1,A\n2,B\n3,Peat\n", std::vector<std::string>{"A", "B"}),
            "data.csv: line 4, column 3: category \"Peat\" is not in the list of --categories");
  EXPECT_EQ(categoryError("x,c\n1,A\n2,A\n"),
            "data.csv: 1 category in column \"c\": transition probabilities need at least 2");
  std::string many = "x,c\n";
  for (int k = 0; k < 21; ++k) many += std::to_string(k) + "," + std::to_string(k) + "\n";
  EXPECT_EQ(categoryError(many),
            "21 categories in column \"c\" (--category): at most 20 fit tgraminterp's tables (401 value columns)");
  EXPECT_EQ(categoryError("x,c\n1,1\n2,2\n", std::vector<std::string>{"1", "1.0"}),
            "--categories: \"1.0\" is given twice");
  EXPECT_EQ(maxCategories(), 20);
}

}  // namespace
}  // namespace tgram::estimate
