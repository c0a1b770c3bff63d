#include "estimate/sample_table.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <system_error>

#include "estimate/estimate_error.hpp"

namespace tgram::estimate {

namespace {

std::string lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

// A number as the data write it: optional sign, digits, point, exponent.
std::optional<double> number(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) return HUGE_VAL;  // refused below as not finite
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// The column a choice names: by name first, then by 1-based number.
std::size_t findColumn(const TextTable& table, const std::string& choice, const char* option,
                       const std::filesystem::path& file) {
  for (std::size_t c = 0; c < table.columnNames.size(); ++c) {
    if (table.columnNames[c] == choice) return c;
  }
  std::size_t number = 0;
  const auto result = std::from_chars(choice.data(), choice.data() + choice.size(), number);
  if (result.ec == std::errc() && result.ptr == choice.data() + choice.size() && number >= 1 &&
      number <= table.columnNames.size()) {
    return number - 1;
  }
  std::string names;
  for (std::size_t c = 0; c < table.columnNames.size() && c < 12; ++c) {
    if (c > 0) names += ", ";
    names += shown(table.columnNames[c]);
  }
  if (table.columnNames.size() > 12) names += ", ...";
  fail(shownPath(file) + ": no column " + shown(choice) + " (" + option + "); the columns are " + names +
       " (or give a number from 1 to " + std::to_string(table.columnNames.size()) + ")");
}

bool isMissingText(std::string_view text) { return text.empty() || text == "NA"; }

}  // namespace

SampleTable readSamples(std::string_view bytes, const std::filesystem::path& file, const ReadSettings& settings) {
  FileFormat format = settings.format;
  if (format == FileFormat::Auto) format = looksLikeGslib(bytes) ? FileFormat::Gslib : FileFormat::Csv;
  const TextTable table = format == FileFormat::Gslib ? readGslibText(bytes, file)
                                                      : readCsvText(bytes, file, CsvLayout{settings.delimiter});
  std::optional<double> missing = settings.missing;
  if (!missing && format == FileFormat::Gslib) missing = kGslibMissing;

  SampleTable samples;
  samples.format = format;
  // The columns.
  std::vector<std::size_t> coordinateColumns;
  if (!settings.columns.coordinates.empty()) {
    static const char* const kOptions[] = {"--x", "--y", "--z"};
    for (std::size_t a = 0; a < settings.columns.coordinates.size(); ++a) {
      coordinateColumns.push_back(findColumn(table, settings.columns.coordinates[a], kOptions[a], file));
    }
  } else {
    for (const char* name : {"x", "y", "z"}) {
      for (std::size_t c = 0; c < table.columnNames.size(); ++c) {
        if (lower(table.columnNames[c]) == name) {
          coordinateColumns.push_back(c);
          break;
        }
      }
    }
    if (coordinateColumns.empty()) {
      fail(shownPath(file) + ": no column is named x, y or z; say which columns hold the coordinates (--x, --y, --z)");
    }
  }
  std::optional<std::size_t> groupColumn;
  if (settings.columns.group) groupColumn = findColumn(table, *settings.columns.group, "--group", file);
  std::size_t categoryColumn = 0;
  if (settings.columns.category) {
    categoryColumn = findColumn(table, *settings.columns.category, "--category", file);
  } else {
    std::vector<std::size_t> others;
    for (std::size_t c = 0; c < table.columnNames.size(); ++c) {
      if (std::find(coordinateColumns.begin(), coordinateColumns.end(), c) == coordinateColumns.end() &&
          groupColumn != c) {
        others.push_back(c);
      }
    }
    if (others.size() != 1) {
      fail(shownPath(file) + ": " + std::to_string(others.size()) +
           " columns besides the coordinates could hold the category; say which one (--category)");
    }
    categoryColumn = others[0];
  }
  for (std::size_t a = 0; a < coordinateColumns.size(); ++a) {
    for (std::size_t b = 0; b < a; ++b) {
      if (coordinateColumns[a] == coordinateColumns[b]) {
        fail(shownPath(file) + ": column " + shown(table.columnNames[coordinateColumns[a]]) +
             " is chosen for two coordinates");
      }
    }
    if (coordinateColumns[a] == categoryColumn || groupColumn == coordinateColumns[a]) {
      fail(shownPath(file) + ": column " + shown(table.columnNames[coordinateColumns[a]]) +
           " is chosen as a coordinate and as the category or group");
    }
  }
  if (groupColumn == categoryColumn) {
    fail(shownPath(file) + ": column " + shown(table.columnNames[categoryColumn]) +
         " is chosen as the category and the group");
  }
  for (const std::size_t c : coordinateColumns) samples.coordinateNames.push_back(table.columnNames[c]);
  samples.categoryName = table.columnNames[categoryColumn];
  if (groupColumn) samples.groupName = table.columnNames[*groupColumn];
  samples.dimensions = coordinateColumns.size();

  // The rows.
  const auto isMissingNumber = [&](double value) { return missing && value <= *missing; };
  samples.coordinates.reserve(table.rows.size() * samples.dimensions);
  for (const TextRow& row : table.rows) {
    ++samples.rows;
    bool skip = false;
    double coordinates[3] = {0, 0, 0};
    for (std::size_t a = 0; a < coordinateColumns.size(); ++a) {
      const TextField& field = row.fields[coordinateColumns[a]];
      const std::string_view text = trimmed(field.text);
      if (isMissingText(text)) {
        skip = true;
        continue;
      }
      const std::optional<double> value = number(text);
      if (!value) {
        failAt(file, field.line, field.column,
               "coordinate " + shown(text) + " in column " + shown(samples.coordinateNames[a]) + " is not a number");
      }
      if (!std::isfinite(*value)) {
        failAt(file, field.line, field.column,
               "coordinate " + shown(text) + " in column " + shown(samples.coordinateNames[a]) + " is not finite");
      }
      if (isMissingNumber(*value)) skip = true;
      coordinates[a] = *value;
    }
    const TextField& categoryField = row.fields[categoryColumn];
    const std::string_view category = trimmed(categoryField.text);
    if (isMissingText(category)) skip = true;
    if (const std::optional<double> code = number(category); code && isMissingNumber(*code)) skip = true;
    std::string_view group;
    if (groupColumn) {
      group = trimmed(row.fields[*groupColumn].text);
      if (isMissingText(group)) skip = true;
    }
    if (skip) {
      ++samples.skipped;
      continue;
    }
    samples.coordinates.insert(samples.coordinates.end(), coordinates, coordinates + samples.dimensions);
    samples.categories.emplace_back(category);
    samples.categoryColumns.push_back(categoryField.column);
    if (groupColumn) samples.groups.emplace_back(group);
    samples.lines.push_back(categoryField.line);
  }
  if (samples.size() == 0) {
    fail(shownPath(file) + ": no sample" +
         (samples.skipped > 0
              ? " with all its values (" + std::to_string(samples.skipped) + " rows with a missing value)"
              : std::string(" (the file has no data rows)")));
  }
  return samples;
}

SampleTable readSampleFile(const std::filesystem::path& file, const ReadSettings& settings) {
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) fail(shownPath(file) + ": is a folder, not a data file");
  std::ifstream in(file, std::ios::binary);
  if (!in) fail(shownPath(file) + ": cannot be opened (missing, or not readable)");
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) fail(shownPath(file) + ": cannot be read");
  if (bytes.empty()) fail(shownPath(file) + ": the file is empty");
  return readSamples(bytes, file, settings);
}

}  // namespace tgram::estimate
