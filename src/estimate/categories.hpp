// Categories: the distinct values of the category column, in order, and
// each sample's category index.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "estimate/sample_table.hpp"
#include "model/transiograms.hpp"

namespace tgram::estimate {

// The largest number of categories whose pairs fit tgraminterp's tables
// (20: 400 pairs fit its 401 value columns, 441 do not).
constexpr int maxCategories() {
  int m = 1;
  while ((m + 1) * (m + 1) <= model::kMaxColumns) ++m;
  return m;
}

// The end of the message for `categories` categories, too many for those
// tables: "441 category pairs; tgraminterp takes at most 401 (at most 20
// categories)".
std::string categoryPairsOverLimit(std::size_t categories);

struct Categories {
  std::vector<std::string> labels;     // in order
  std::vector<std::uint64_t> members;  // samples per category
  std::vector<std::uint8_t> index;     // per sample, 0-based
};

// Whole numbers (such as "3", "-2" or "3.000") are codes, ordered
// numerically and labelled by their integer text; when any value is not a
// whole number, every value is a label, ordered by its bytes. `order`
// (--categories) gives the order instead; a value not in it is an error
// naming the value and its line. Fewer than 2 or more than maxCategories()
// categories are errors.
Categories assignCategories(const SampleTable& samples, const std::optional<std::vector<std::string>>& order,
                            const std::filesystem::path& file);

}  // namespace tgram::estimate
