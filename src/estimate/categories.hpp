// Categories: the distinct values of the category column, in order, and
// each sample's category index.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "estimate/sample_table.hpp"

namespace tgram::estimate {

// The largest number of categories whose pairs fit tgraminterp's tables.
int maxCategories();

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
