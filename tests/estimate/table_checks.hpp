// What the estimating program's tests read back: the message of a raised
// error, and the rows of a pair table cut into their fields.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "estimate/estimate_error.hpp"

namespace tgram::testing {

// The message of the EstimateError that `action` raises, or "(no error)".
template <typename Action>
std::string errorOf(Action&& action) {
  try {
    action();
  } catch (const estimate::EstimateError& error) {
    return error.what();
  }
  return "(no error)";
}

// `line` cut at every `delimiter`; one that ends the line leaves an empty
// last field.
inline std::vector<std::string> split(const std::string& line, char delimiter) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, delimiter)) fields.push_back(field);
  if (!line.empty() && line.back() == delimiter) fields.emplace_back();
  return fields;
}

// The pair rows of a pair table (every row after the pair rows' header,
// lag 0 included), cut into their fields: "lag,from,to" -> fields. A row
// too short to name its lag and pair is kept under its own text.
inline std::map<std::string, std::vector<std::string>> pairRows(const std::string& table) {
  std::map<std::string, std::vector<std::string>> rows;
  std::istringstream in(table);
  std::string line;
  bool inPairs = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "lag,distance_from,distance_to,mean_distance,from,to,n_ij,n_i,p_ij,standard_error,status") {
      inPairs = true;
      continue;
    }
    if (!inPairs || line.empty()) continue;
    std::vector<std::string> fields = split(line, ',');
    const std::string key = fields.size() < 6 ? line : fields[0] + "," + fields[4] + "," + fields[5];
    rows[key] = std::move(fields);
  }
  return rows;
}

}  // namespace tgram::testing
