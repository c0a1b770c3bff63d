// The samples of a data file as one plain table: coordinates, category
// text, group, and the line each came from. Readers fill it; the pair
// search reads it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "estimate/text_table.hpp"

namespace tgram::estimate {

// The columns to use, each by name or by 1-based number (a name that
// matches a column wins over a number).
struct ColumnChoice {
  // --x, --y, --z as given, in that order; empty: the columns named x, y
  // and z (any case) that the file has.
  std::vector<std::string> coordinates;
  // --category; absent: the one column that is neither a coordinate nor
  // the group.
  std::optional<std::string> category;
  std::optional<std::string> group;  // --group
};

struct ReadSettings {
  FileFormat format = FileFormat::Auto;
  char delimiter = 0;             // CSV only; 0: found from the header
  std::optional<double> missing;  // values at or below are missing; GSLIB default -999
  ColumnChoice columns;
};

inline constexpr double kGslibMissing = -999.0;

struct SampleTable {
  FileFormat format = FileFormat::Csv;  // as read
  std::vector<std::string> coordinateNames;
  std::string categoryName;
  std::string groupName;  // empty without --group
  std::size_t dimensions = 0;
  std::vector<double> coordinates;            // sample s, axis a at [s * dimensions + a]
  std::vector<std::string> categories;        // the category field's text, blanks removed
  std::vector<std::int64_t> categoryColumns;  // where each category field begins
  std::vector<std::string> groups;            // the group field's text (empty vector without --group)
  std::vector<std::int64_t> lines;            // the line each sample begins on
  std::int64_t rows = 0;                      // data rows read
  std::int64_t skipped = 0;                   // rows with a missing value

  std::size_t size() const { return lines.size(); }
};

// Reads the samples out of a file's bytes. Raises an EstimateError naming
// the file, line and column for a value that cannot be used: an unknown
// column, a coordinate that is not a finite number. A row with a missing
// value (an empty field, NA, or a number at or below the missing code) is
// skipped and counted.
SampleTable readSamples(std::string_view bytes, const std::filesystem::path& file, const ReadSettings& settings);

// The same, from the file itself (an unreadable, empty or folder name is
// an EstimateError).
SampleTable readSampleFile(const std::filesystem::path& file, const ReadSettings& settings);

}  // namespace tgram::estimate
