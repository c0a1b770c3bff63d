#include "estimate/categories.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "estimate/estimate_error.hpp"
#include "model/transiograms.hpp"

namespace tgram::estimate {

namespace {

// The integer a whole-number text stands for ("3", "+3", "-2", "3.000",
// "3e2"), if it is one that a double holds exactly.
std::optional<long long> wholeNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return std::nullopt;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  if (!std::isfinite(value) || std::fabs(value) > 9007199254740992.0 || value != std::floor(value)) return std::nullopt;
  return static_cast<long long>(value);
}

}  // namespace

std::string categoryPairsOverLimit(std::size_t categories) {
  return std::to_string(categories * categories) + " category pairs; tgraminterp takes at most " +
         std::to_string(model::kMaxColumns) + " (at most " + std::to_string(maxCategories()) + " categories)";
}

Categories assignCategories(const SampleTable& samples, const std::optional<std::vector<std::string>>& order,
                            const std::filesystem::path& file) {
  bool codes = true;
  for (const std::string& text : samples.categories) {
    if (!wholeNumber(text)) {
      codes = false;
      break;
    }
  }
  // The key of a value: its integer when every value is a code, else its text.
  const auto keyOf = [&](const std::string& text) { return codes ? std::to_string(*wholeNumber(text)) : text; };

  Categories result;
  std::map<std::string, std::size_t> indexOf;
  if (order) {
    for (const std::string& entry : *order) {
      std::string key = entry;
      if (codes) {
        const std::optional<long long> code = wholeNumber(entry);
        if (!code) {
          fail("--categories: " + shown(entry) + " is not a whole number, but the categories in column " +
               shown(samples.categoryName) + " are codes");
        }
        key = std::to_string(*code);
      }
      if (!indexOf.emplace(key, result.labels.size()).second) {
        fail("--categories: " + shown(entry) + " is given twice");
      }
      result.labels.push_back(key);
    }
  } else {
    std::vector<std::string> keys;
    std::map<std::string, bool> seen;
    for (const std::string& text : samples.categories) {
      if (seen.emplace(keyOf(text), true).second) keys.push_back(keyOf(text));
    }
    if (codes) {
      std::sort(keys.begin(), keys.end(),
                [](const std::string& a, const std::string& b) { return std::stoll(a) < std::stoll(b); });
    } else {
      std::sort(keys.begin(), keys.end());
    }
    for (const std::string& key : keys) {
      indexOf.emplace(key, result.labels.size());
      result.labels.push_back(key);
    }
  }
  const auto m = static_cast<int>(result.labels.size());
  if (m > maxCategories()) {
    fail(std::to_string(m) + " categories in column " + shown(samples.categoryName) +
         (order ? " (--categories)" : " (--category)") + ": at most " + std::to_string(maxCategories()) +
         " fit tgraminterp's tables (" + std::to_string(model::kMaxColumns) + " value columns)");
  }
  result.members.assign(result.labels.size(), 0);
  result.index.resize(samples.size());
  for (std::size_t s = 0; s < samples.size(); ++s) {
    const auto found = indexOf.find(keyOf(samples.categories[s]));
    if (found == indexOf.end()) {
      failAt(file, samples.lines[s], samples.categoryColumns[s],
             "category " + shown(samples.categories[s]) + " is not in the list of --categories");
    }
    result.index[s] = static_cast<std::uint8_t>(found->second);
    ++result.members[found->second];
  }
  if (m < 2) {
    fail(shownPath(file) + ": " + std::to_string(m) + " category in column " + shown(samples.categoryName) +
         ": transition probabilities need at least 2");
  }
  return result;
}

}  // namespace tgram::estimate
