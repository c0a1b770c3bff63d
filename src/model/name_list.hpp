// A comma-separated list given on a command line ("A, B ,C"), as the
// programs above the model take category names and other lists.
#pragma once

#include <string>
#include <vector>

namespace tgram::model {

// "A, B ,C" -> {"A", "B", "C"}: blanks and tabs around each item are
// dropped; an empty item stays as an empty string.
inline std::vector<std::string> splitCommaList(const std::string& list) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const std::size_t first = item.find_first_not_of(" \t");
    const std::size_t last = item.find_last_not_of(" \t");
    items.push_back(first == std::string::npos ? std::string() : item.substr(first, last - first + 1));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

}  // namespace tgram::model
