#include "plot/pair_table.hpp"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "model/pair_table_format.hpp"
#include "model/shortest_text.hpp"

namespace tgram::plot {

namespace {

// A record of the comma-separated text and the line it starts on.
struct Record {
  std::vector<std::string> fields;
  std::size_t line = 0;
  bool comment = false;  // a line beginning with '#', kept whole in fields[0]
};

// Splits the text into records: fields separated by commas, records by line
// ends (LF or CR LF); a quoted field may hold commas, quotes ("") and line
// ends, as spreadsheets write them.
class CsvReader {
 public:
  explicit CsvReader(std::string_view text) : text_(text) {}

  // The next record, or false at the end of the text. `problem` is set for
  // a quoted field that is never closed.
  bool next(Record& record, std::string& problem) {
    if (at_ >= text_.size()) return false;
    record = Record{};
    record.line = line_;
    if (text_[at_] == '#') {
      const std::size_t end = text_.find('\n', at_);
      std::string_view comment = text_.substr(at_, end == std::string_view::npos ? std::string_view::npos : end - at_);
      if (!comment.empty() && comment.back() == '\r') comment.remove_suffix(1);
      record.comment = true;
      record.fields.emplace_back(comment);
      at_ = end == std::string_view::npos ? text_.size() : end + 1;
      ++line_;
      return true;
    }
    std::string field;
    bool quoted = false;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (quoted) {
        if (c == '"') {
          if (at_ < text_.size() && text_[at_] == '"') {
            field += '"';
            ++at_;
          } else {
            quoted = false;
          }
        } else {
          if (c == '\n') ++line_;
          field += c;
        }
      } else if (c == '"') {
        quoted = true;
      } else if (c == ',') {
        record.fields.push_back(std::move(field));
        field.clear();
      } else if (c == '\n') {
        ++line_;
        break;
      } else if (c != '\r' || (at_ < text_.size() && text_[at_] != '\n')) {
        field += c;
      }
    }
    if (quoted) problem = "line " + std::to_string(record.line) + ": a quoted field is not closed";
    record.fields.push_back(std::move(field));
    return true;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t line_ = 1;
};

bool isEmpty(const Record& record) { return record.fields.size() == 1 && record.fields[0].empty(); }

std::string joined(const std::vector<std::string>& fields, std::size_t count) {
  std::string text;
  for (std::size_t k = 0; k < count && k < fields.size(); ++k) text += (k ? "," : "") + fields[k];
  return text;
}

template <typename Number>
std::optional<Number> numberOf(const std::string& text) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end) return std::nullopt;
  return value;
}

using model::kCategoryHeader;
using model::kPairHeader;
constexpr std::size_t kPairFieldCount = 11;
// The columns by their place in the pair rows.
enum PairField : std::size_t {
  kLag = 0,
  kFrom = 4,
  kTo = 5,
  kPairs = 6,
  kFromPairs = 7,
  kValue = 8,
  kError = 9,
  kStatus = 10
};
using model::kMinPairsComment;
using model::kNotEstimated;
// The table's values and ExpTgrams.txt's are the same six-decimal text;
// read as 4-byte reals they agree to well within this.
constexpr double kValueTolerance = 1e-6;

// One pair row as read.
struct PairRow {
  PointCounts counts;
  std::optional<double> value;
  std::size_t line = 0;
};

class Parser {
 public:
  Parser(std::string_view text, const model::Transiograms& tables) : reader_(text), tables_(tables) {}

  PairTableReading parse() {
    PairTableReading reading;
    PairTable table;
    std::string& problem = reading.problem;
    Record record;
    // The comments, then the category table's header.
    while (nextRecord(record, problem) && record.comment) {
      const std::string& comment = record.fields[0];
      if (comment.rfind(kMinPairsComment, 0) == 0) {
        table.minPairs = numberOf<std::int64_t>(comment.substr(std::string_view(kMinPairsComment).size()));
        if (!table.minPairs || *table.minPairs < 0) return failed(record, "the minimum pairs is not a whole number");
      }
    }
    if (!problem.empty()) return reading;
    if (record.comment || joined(record.fields, record.fields.size()) != kCategoryHeader) {
      return failed(record, std::string("the category table's header \"") + kCategoryHeader + "\" is missing");
    }
    while (nextRecord(record, problem) && !isEmpty(record)) {
      if (record.comment) continue;  // a reader skips every comment line
      if (record.fields.size() < 2 ||
          numberOf<std::int64_t>(record.fields[0]) != static_cast<std::int64_t>(table.labels.size() + 1)) {
        return failed(record, "category " + std::to_string(table.labels.size() + 1) + " is expected");
      }
      table.labels.push_back(record.fields[1]);
    }
    if (!problem.empty()) return reading;
    const std::int32_t m = tables_.categoryCount;
    if (static_cast<std::int64_t>(table.labels.size()) != m || static_cast<std::int64_t>(m) * m != tables_.pairCount) {
      reading.problem = "it has " + std::to_string(table.labels.size()) + " categor" +
                        (table.labels.size() == 1 ? "y" : "ies") + ", but " + model::kInputFile + " has " +
                        std::to_string(m) + " categories and " + std::to_string(tables_.pairCount) + " value columns";
      return reading;
    }
    if (!nextRecord(record, problem) || joined(record.fields, kPairFieldCount) != kPairHeader) {
      return failed(record, std::string("the pair rows' header \"") + kPairHeader + "\" is missing");
    }
    std::map<std::int64_t, std::vector<std::optional<PairRow>>> rows;
    while (nextRecord(record, problem)) {
      if (isEmpty(record) || record.comment) continue;
      if (record.fields.size() < kPairFieldCount) return failed(record, "a pair row has too few fields");
      const auto lag = numberOf<std::int64_t>(record.fields[kLag]);
      const auto from = numberOf<std::int32_t>(record.fields[kFrom]);
      const auto to = numberOf<std::int32_t>(record.fields[kTo]);
      if (!lag || !from || !to || *from < 1 || *from > m || *to < 1 || *to > m) {
        return failed(record, "a pair row's lag or categories are not readable");
      }
      PairRow row;
      row.line = record.line;
      row.counts.estimated = record.fields[kStatus] != kNotEstimated;
      const auto pairs = numberOf<std::int64_t>(record.fields[kPairs]);
      const auto fromPairs = numberOf<std::int64_t>(record.fields[kFromPairs]);
      if (!pairs || !fromPairs || *pairs < 0 || *pairs > *fromPairs) {
        return failed(record, "the counts n_ij and n_i are not readable");
      }
      row.counts.pairs = *pairs;
      row.counts.fromPairs = *fromPairs;
      row.value = numberOf<double>(record.fields[kValue]);
      row.counts.standardError = numberOf<double>(record.fields[kError]);
      if ((!record.fields[kValue].empty() && !row.value) ||
          (!record.fields[kError].empty() &&
           (!row.counts.standardError || !std::isfinite(*row.counts.standardError) || *row.counts.standardError < 0))) {
        return failed(record, "p_ij or its standard error is not readable");
      }
      auto& ofLag = rows[*lag];
      ofLag.resize(static_cast<std::size_t>(tables_.pairCount));
      auto& slot = ofLag[static_cast<std::size_t>((*from - 1) * m + (*to - 1))];
      if (slot) return failed(record, "a second row for the same lag and pair");
      slot = row;
    }
    if (!problem.empty()) return reading;
    // Each experimental point of the input must be in the table, with the
    // same value.
    for (std::int32_t e = 0; e < tables_.expLagCount; ++e) {
      const std::int32_t lag = tables_.expLag[static_cast<std::size_t>(e)];
      const auto found = rows.find(lag);
      if (found == rows.end()) {
        reading.problem = "it holds no rows for lag " + std::to_string(lag) + " of " + model::kInputFile;
        return reading;
      }
      for (std::int32_t f = 0; f < tables_.pairCount; ++f) {
        const auto& row = found->second[static_cast<std::size_t>(f)];
        if (!row) {
          reading.problem = "it holds no row for " + model::pairLabel(f, m) + " at lag " + std::to_string(lag);
          return reading;
        }
        if (row->counts.estimated &&
            (!row->value || std::fabs(*row->value - tables_.expTgram(f, e)) > kValueTolerance)) {
          reading.problem =
              "line " + std::to_string(row->line) + ": " + model::pairLabel(f, m) + " at lag " + std::to_string(lag) +
              (row->value ? " is " + model::shortestText(*row->value) + " here but " + model::shortestText(tables_.expTgram(f, e))
                          : std::string(" has no estimate here but a value")) +
              " in " + model::kInputFile;
          return reading;
        }
        table.points.push_back(row->counts);
      }
    }
    reading.table = std::move(table);
    return reading;
  }

 private:
  bool nextRecord(Record& record, std::string& problem) {
    record = Record{};
    return reader_.next(record, problem) && problem.empty();
  }

  static PairTableReading failed(const Record& record, const std::string& what) {
    PairTableReading reading;
    reading.problem = (record.line ? "line " + std::to_string(record.line) + ": " : std::string("at its end: ")) + what;
    return reading;
  }

  CsvReader reader_;
  const model::Transiograms& tables_;
};

}  // namespace

PairTableReading parsePairTable(std::string_view text, const model::Transiograms& tables) {
  return Parser(text, tables).parse();
}

PairTableReading readPairTable(const std::filesystem::path& file, bool mayBeMissing, const model::Transiograms& tables) {
  PairTableReading reading;
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (!std::filesystem::exists(status)) {
    if (!mayBeMissing) reading.problem = "the file is not found";
    return reading;
  }
  if (std::filesystem::is_directory(status)) {
    reading.problem = "it is a folder";
    return reading;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open()) {
    reading.problem = "it cannot be opened";
    return reading;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    reading.problem = "it cannot be read";
    return reading;
  }
  return parsePairTable(text, tables);
}

}  // namespace tgram::plot
