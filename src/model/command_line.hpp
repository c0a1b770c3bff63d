// What the programs above the model take from their command lines: the
// value of an option, and comma-separated lists ("A, B ,C") such as
// category names.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tgram::model {

// Whether arguments[i] is the option `name` with a value: "name=value", or
// "name" followed by the value as the next argument (`i` then moves to
// it). "name" as the last argument is the option too, with `error` set to
// say that it needs a value.
inline bool optionValue(const std::vector<std::string>& arguments, std::size_t& i,
                        const std::string& name, std::string& value, std::string& error) {
  const std::string& argument = arguments[i];
  if (argument.size() > name.size() && argument.compare(0, name.size() + 1, name + "=") == 0) {
    value = argument.substr(name.size() + 1);
    return true;
  }
  if (argument != name) return false;
  if (i + 1 >= arguments.size()) {
    error = "option " + name + " needs a value";
  } else {
    value = arguments[++i];
  }
  return true;
}

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
