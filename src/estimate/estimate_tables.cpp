#include "estimate/estimate_tables.hpp"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <string_view>

#include "estimate/categories.hpp"
#include "estimate/estimate_error.hpp"
#include "model/pair_table_format.hpp"
#include "model/shortest_text.hpp"
#include "model/transiograms.hpp"

namespace tgram::estimate {

namespace {

constexpr const char* kLine = "\r\n";  // the pair table's line end

// Appends the parts in turn (a chain of + on temporaries would insert at
// their front instead).
void append(std::string& text, std::initializer_list<std::string_view> parts) {
  for (const std::string_view part : parts) text.append(part);
}

// A distance or other real as short as reads back exactly ("50", "1007.25").
// A mean separation: ten significant digits are more than any survey holds.
std::string meanText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
  return std::string(buffer, result.ptr);
}

std::string fixedSix(double value) {
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  return std::string(buffer, result.ptr);
}

// A comment line never ends early: line ends inside it become blanks.
std::string commentLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return "# " + text + kLine;
}

bool classWritten(const LagClassCounts& lagClass, std::size_t m, std::uint64_t minPairs) {
  for (std::size_t i = 0; i < m; ++i) {
    const std::uint64_t from = lagClass.fromCount(i, m);
    if (from == 0 || from < minPairs) return false;
  }
  return true;
}

[[noreturn]] void failNoClass(const PairCounts& counts, std::uint64_t minPairs) {
  // The class and category that came nearest: the largest fewest-pairs.
  const std::size_t m = counts.categoryCount();
  std::uint64_t best = 0;
  std::size_t bestClass = 0;
  std::size_t bestCategory = 0;
  for (std::size_t k = 0; k < counts.classes.size(); ++k) {
    std::size_t weakest = 0;
    for (std::size_t i = 1; i < m; ++i) {
      if (counts.classes[k].fromCount(i, m) < counts.classes[k].fromCount(weakest, m)) weakest = i;
    }
    const std::uint64_t n = counts.classes[k].fromCount(weakest, m);
    if (k == 0 || n > best) {
      best = n;
      bestClass = k;
      bestCategory = weakest;
    }
  }
  std::string message = "no lag class has at least " + std::to_string(minPairs == 0 ? 1 : minPairs) +
                        " pairs from every category (--min-pairs)";
  if (!counts.classes.empty()) {
    message += "; the nearest is class " + std::to_string(bestClass + 1) + ", with " + std::to_string(best) +
               " pairs from category " + std::to_string(bestCategory + 1) + " (" + counts.labels[bestCategory] +
               "); try a wider --lag-width, more classes or a smaller --min-pairs";
  }
  fail(message);
}

}  // namespace

std::uint64_t LagClassCounts::total() const {
  std::uint64_t sum = 0;
  for (const std::uint64_t n : pairs) sum += n;
  return sum;
}

std::uint64_t LagClassCounts::fromCount(std::size_t i, std::size_t m) const {
  std::uint64_t sum = 0;
  for (std::size_t j = 0; j < m; ++j) sum += pairs[i * m + j];
  return sum;
}

PairCounts emptyCounts(std::vector<std::string> labels, std::vector<std::uint64_t> members, double lagWidth,
                       int classCount) {
  PairCounts counts;
  const std::size_t m = labels.size();
  counts.labels = std::move(labels);
  counts.members = std::move(members);
  counts.lagWidth = lagWidth;
  counts.classes.resize(static_cast<std::size_t>(classCount));
  for (int k = 1; k <= classCount; ++k) {
    LagClassCounts& lagClass = counts.classes[static_cast<std::size_t>(k - 1)];
    lagClass.distanceFrom = (k - 0.5) * lagWidth;
    lagClass.distanceTo = (k + 0.5) * lagWidth;
    lagClass.pairs.assign(m * m, 0);
  }
  return counts;
}

std::string sixDecimals(std::uint64_t numerator, std::uint64_t denominator) {
  const unsigned __int128 scaled = static_cast<unsigned __int128>(numerator) * 1000000u;
  auto quotient = static_cast<std::uint64_t>(scaled / denominator);
  const auto remainder = static_cast<std::uint64_t>(scaled % denominator);
  // Compare 2 * remainder with the denominator without overflow.
  if (remainder > denominator - remainder || (remainder == denominator - remainder && (quotient & 1) != 0)) {
    ++quotient;
  }
  const std::string fraction = std::to_string(quotient % 1000000);
  std::string text = std::to_string(quotient / 1000000);
  append(text, {".", std::string(6 - fraction.size(), '0'), fraction});
  return text;
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

EstimateTables buildTables(const PairCounts& counts, const TableSettings& settings) {
  const std::size_t m = counts.categoryCount();
  if (m < 2) fail("only " + std::to_string(m) + " category: transition probabilities need at least 2");
  if (m > static_cast<std::size_t>(maxCategories())) {
    fail(std::to_string(m) + " categories give " + categoryPairsOverLimit(m));
  }
  if (counts.classes.size() + 1 > static_cast<std::size_t>(model::kMaxPoints)) {
    fail(std::to_string(counts.classes.size()) + " lag classes: tgraminterp takes at most " +
         std::to_string(model::kMaxPoints - 1) + " besides lag 0");
  }
  EstimateTables tables;
  for (std::size_t k = 1; k <= counts.classes.size(); ++k) {
    if (classWritten(counts.classes[k - 1], m, settings.minPairs)) tables.writtenLags.push_back(static_cast<int>(k));
  }
  if (tables.writtenLags.empty()) failNoClass(counts, settings.minPairs);
  tables.maxLag = settings.maxLag.value_or(tables.writtenLags.back());
  if (tables.maxLag < 0 || tables.maxLag > model::kMaxLag) {
    fail("maxLag " + std::to_string(tables.maxLag) + " is outside 0.." + std::to_string(model::kMaxLag));
  }

  // ExpTgrams.txt: the counts, then one record per lag, lag 0 the identity.
  std::string& exp = tables.expTgrams;
  append(exp, {std::to_string(m), " ", std::to_string(tables.maxLag), "\n"});
  append(exp, {std::to_string(m * m), " ", std::to_string(tables.writtenLags.size() + 1), "\n0"});
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < m; ++j) exp += i == j ? " 1.000000" : " 0.000000";
  }
  exp += "\n";
  for (const int k : tables.writtenLags) {
    const LagClassCounts& lagClass = counts.classes[static_cast<std::size_t>(k - 1)];
    exp += std::to_string(k);
    for (std::size_t i = 0; i < m; ++i) {
      const std::uint64_t from = lagClass.fromCount(i, m);
      for (std::size_t j = 0; j < m; ++j) append(exp, {" ", sixDecimals(lagClass.pairs[i * m + j], from)});
    }
    exp += "\n";
  }

  // The pair table: comments, categories, an empty line, the pairs.
  std::string& table = tables.pairTable;
  table += commentLine("tgramest " TGRAM_VERSION);
  for (const std::string& comment : counts.comments) table += commentLine(comment);
  std::string run;
  append(run, {"lag width: ", model::shortestText(counts.lagWidth), " (in the unit of the coordinates); classes 1..",
               std::to_string(counts.classes.size()), "; written: ", std::to_string(tables.writtenLags.size()),
               "; maxLag: ", std::to_string(tables.maxLag)});
  table += commentLine(run);
  append(table, {model::kMinPairsComment, std::to_string(settings.minPairs), kLine});
  append(table, {model::kCategoryHeader, kLine});
  std::uint64_t allMembers = 0;
  for (const std::uint64_t n : counts.members) allMembers += n;
  for (std::size_t i = 0; i < m; ++i) {
    append(table, {std::to_string(i + 1), ",", csvField(counts.labels[i]), ",", std::to_string(counts.members[i]), ",",
                   allMembers == 0 ? std::string("0.000000") : sixDecimals(counts.members[i], allMembers), kLine});
  }
  append(table, {kLine, model::kPairHeader, kLine});
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < m; ++j) {
      append(table, {"0,0,", model::shortestText(0.5 * counts.lagWidth), ",,", std::to_string(i + 1), ",", std::to_string(j + 1),
                     ",0,0,,,", model::kNotEstimated, kLine});
    }
  }
  std::size_t nextWritten = 0;
  for (std::size_t k = 1; k <= counts.classes.size(); ++k) {
    const LagClassCounts& lagClass = counts.classes[k - 1];
    const bool written =
        nextWritten < tables.writtenLags.size() && tables.writtenLags[nextWritten] == static_cast<int>(k);
    if (written) ++nextWritten;
    std::string range;
    append(range, {std::to_string(k), ",", model::shortestText(lagClass.distanceFrom), ",", model::shortestText(lagClass.distanceTo), ",",
                   lagClass.total() == 0 ? std::string() : meanText(lagClass.meanDistance), ","});
    for (std::size_t i = 0; i < m; ++i) {
      const std::uint64_t from = lagClass.fromCount(i, m);
      for (std::size_t j = 0; j < m; ++j) {
        const std::uint64_t n = lagClass.pairs[i * m + j];
        append(table, {range, std::to_string(i + 1), ",", std::to_string(j + 1), ",", std::to_string(n), ",",
                       std::to_string(from), ","});
        if (from != 0) {
          const double p = static_cast<double>(n) / static_cast<double>(from);
          append(table, {sixDecimals(n, from), ",", fixedSix(std::sqrt(p * (1.0 - p) / static_cast<double>(from)))});
        } else {
          table += ",";
        }
        append(table, {",", written ? "written" : "dropped (too few pairs)", kLine});
      }
    }
  }
  return tables;
}

}  // namespace tgram::estimate
