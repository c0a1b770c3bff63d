#include "estimate/text_table.hpp"

#include <algorithm>
#include <charconv>

#include "estimate/estimate_error.hpp"

namespace tgram::estimate {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isWholeNumber(std::string_view text, long long* value = nullptr) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  long long parsed = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || text.empty()) return false;
  if (value) *value = parsed;
  return true;
}

// The lines of `bytes` (without their LF or CR LF), each with its offset.
struct Line {
  std::string_view text;
  std::int64_t number;
};

std::vector<Line> splitLines(std::string_view bytes) {
  std::vector<Line> lines;
  std::int64_t number = 1;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view text = bytes.substr(start, end - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    lines.push_back({text, number++});
    start = end + 1;
  }
  return lines;
}

// The blank-separated tokens of a line with their columns.
std::vector<TextField> tokens(const Line& line) {
  std::vector<TextField> fields;
  const std::string_view text = line.text;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (isBlank(text[at]) || text[at] == '\r')) ++at;
    if (at >= text.size()) break;
    const std::size_t start = at;
    while (at < text.size() && !isBlank(text[at]) && text[at] != '\r') ++at;
    fields.push_back({std::string(text.substr(start, at - start)), line.number, static_cast<std::int64_t>(start + 1)});
  }
  return fields;
}

class CsvCutter {
 public:
  CsvCutter(std::string_view bytes, const std::filesystem::path& file, char delimiter)
      : bytes_(bytes), file_(file), delimiter_(delimiter) {}

  bool atEnd() const { return pos_ >= bytes_.size(); }

  // The next record and the line it begins on.
  TextRow record() {
    TextRow row;
    row.line = line_;
    while (true) {
      TextField field;
      field.line = line_;
      field.column = static_cast<std::int64_t>(pos_ - lineStart_ + 1);
      if (pos_ < bytes_.size() && bytes_[pos_] == '"') {
        quoted(field);
      } else {
        const std::size_t start = pos_;
        while (pos_ < bytes_.size() && bytes_[pos_] != delimiter_ && bytes_[pos_] != '\n') ++pos_;
        std::string_view text = bytes_.substr(start, pos_ - start);
        if (pos_ < bytes_.size() && bytes_[pos_] == '\n' && !text.empty() && text.back() == '\r') text.remove_suffix(1);
        field.text = std::string(text);
      }
      row.fields.push_back(std::move(field));
      if (pos_ < bytes_.size() && bytes_[pos_] == delimiter_) {
        ++pos_;
        continue;
      }
      if (pos_ < bytes_.size()) newLine();  // at an LF
      return row;
    }
  }

 private:
  void newLine() {
    ++pos_;
    ++line_;
    lineStart_ = pos_;
  }

  void quoted(TextField& field) {
    const std::int64_t line = line_;
    const std::int64_t column = field.column;
    ++pos_;
    while (true) {
      if (pos_ >= bytes_.size()) failAt(file_, line, column, "a quoted field is not closed before the end of the file");
      const char c = bytes_[pos_];
      if (c == '"') {
        if (pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '"') {
          field.text += '"';
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      field.text += c;
      if (c == '\n') {
        newLine();
      } else {
        ++pos_;
      }
    }
    // After the closing quote: blanks, then the delimiter, the line's end
    // or the file's.
    while (pos_ < bytes_.size() && bytes_[pos_] != delimiter_ && isBlank(bytes_[pos_])) ++pos_;
    if (pos_ < bytes_.size() && bytes_[pos_] == '\r' && (pos_ + 1 == bytes_.size() || bytes_[pos_ + 1] == '\n')) ++pos_;
    if (pos_ < bytes_.size() && bytes_[pos_] != delimiter_ && bytes_[pos_] != '\n') {
      const std::size_t end = std::min(bytes_.find('\n', pos_), bytes_.size());
      failAt(file_, line_, static_cast<std::int64_t>(pos_ - lineStart_ + 1),
             "text " + shown(bytes_.substr(pos_, end - pos_)) + " after the closing quote of a field");
    }
  }

  std::string_view bytes_;
  const std::filesystem::path& file_;
  char delimiter_;
  std::size_t pos_ = 0;
  std::int64_t line_ = 1;
  std::size_t lineStart_ = 0;
};

char findDelimiter(std::string_view bytes) {
  std::size_t commas = 0, semicolons = 0, tabs = 0;
  bool inQuotes = false;
  for (const char c : bytes) {
    if (c == '"') inQuotes = !inQuotes;
    if (inQuotes) continue;
    if (c == '\n') break;
    commas += c == ',';
    semicolons += c == ';';
    tabs += c == '\t';
  }
  if (semicolons > commas && semicolons >= tabs) return ';';
  if (tabs > commas && tabs > semicolons) return '\t';
  return ',';
}

std::string counted(std::size_t n, const char* thing) { return std::to_string(n) + " " + thing + (n == 1 ? "" : "s"); }

bool isEmptyRecord(const TextRow& row) { return row.fields.size() == 1 && trimmed(row.fields[0].text).empty(); }

}  // namespace

TextTable readCsvText(std::string_view bytes, const std::filesystem::path& file, CsvLayout layout) {
  std::size_t bom = 0;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bom = 3;
  const std::string_view body = bytes.substr(bom);
  const char delimiter = layout.delimiter != 0 ? layout.delimiter : findDelimiter(body);
  CsvCutter cutter(body, file, delimiter);
  TextTable table;
  // The header: the first record that is not empty.
  while (!cutter.atEnd()) {
    TextRow header = cutter.record();
    if (isEmptyRecord(header)) continue;
    for (const TextField& field : header.fields) table.columnNames.emplace_back(trimmed(field.text));
    break;
  }
  if (table.columnNames.empty()) fail(shownPath(file) + ": the file is empty (a CSV file needs a header row)");
  while (!cutter.atEnd()) {
    TextRow row = cutter.record();
    if (isEmptyRecord(row)) continue;
    if (row.fields.size() != table.columnNames.size()) {
      const TextField& at =
          row.fields.size() > table.columnNames.size() ? row.fields[table.columnNames.size()] : row.fields.back();
      failAt(file, at.line, at.column,
             counted(row.fields.size(), "field") + ", but the header has " + std::to_string(table.columnNames.size()) +
                 " (delimiter " + (delimiter == '\t' ? std::string("tab") : shown(std::string(1, delimiter))) + ")");
    }
    table.rows.push_back(std::move(row));
  }
  return table;
}

TextTable readGslibText(std::string_view bytes, const std::filesystem::path& file) {
  const std::vector<Line> lines = splitLines(bytes);
  if (lines.empty()) fail(shownPath(file) + ": the file is empty");
  if (lines.size() < 2) fail(shownPath(file) + ": end of file after line 1: the number of variables is missing");
  const std::vector<TextField> countLine = tokens(lines[1]);
  long long count = 0;
  if (countLine.empty()) failAt(file, 2, 1, "the number of variables is missing");
  if (!isWholeNumber(countLine[0].text, &count) || count < 1 || count > 100000) {
    failAt(file, 2, countLine[0].column,
           "the number of variables " + shown(countLine[0].text) + " is not a whole number from 1 to 100000");
  }
  const auto n = static_cast<std::size_t>(count);
  if (lines.size() < 2 + n) {
    fail(shownPath(file) + ": end of file after line " + std::to_string(lines.size()) + ": " + std::to_string(n) +
         " variable names expected, " + std::to_string(lines.size() - 2) + " found");
  }
  TextTable table;
  for (std::size_t k = 0; k < n; ++k) table.columnNames.emplace_back(trimmed(lines[2 + k].text));
  for (std::size_t k = 2 + n; k < lines.size(); ++k) {
    TextRow row;
    row.line = lines[k].number;
    row.fields = tokens(lines[k]);
    if (row.fields.empty()) continue;
    if (row.fields.size() != n) {
      const TextField& at = row.fields.size() > n ? row.fields[n] : row.fields.back();
      failAt(file, at.line, at.column,
             counted(row.fields.size(), "value") + ", but the file names " + counted(n, "variable"));
    }
    table.rows.push_back(std::move(row));
  }
  return table;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool looksLikeGslib(std::string_view bytes) {
  const std::vector<Line> lines = splitLines(bytes.substr(0, std::min<std::size_t>(bytes.size(), 1 << 16)));
  if (lines.size() < 3) return false;
  if (lines[1].text.find_first_of(",;") != std::string_view::npos) return false;
  const std::vector<TextField> numbers = tokens(lines[1]);
  long long count = 0;
  if (numbers.empty() || !isWholeNumber(numbers[0].text, &count) || count < 1) return false;
  for (const TextField& number : numbers) {
    if (!isWholeNumber(number.text)) return false;
  }
  // The first name is not a row of numbers (as the second row of a
  // blank-separated table of whole numbers would be).
  for (const TextField& word : tokens(lines[2])) {
    double value = 0;
    const auto result = std::from_chars(word.text.data(), word.text.data() + word.text.size(), value);
    if (result.ec != std::errc() || result.ptr != word.text.data() + word.text.size()) return true;
  }
  return false;
}

}  // namespace tgram::estimate
