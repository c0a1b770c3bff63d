// The estimating program's whole run, from the command line to the exit
// status.
#pragma once

#include <string>
#include <vector>

#include "recio/units/unit_table.hpp"

namespace tgram::estimate {

// Reads the samples, counts their pairs, writes ExpTgrams.txt and the pair
// table. Returns 0; 1 when the data or a value is wrong or a file cannot be
// written (nothing is written); 2 for a wrong command line.
int runEstimate(const recio::ConsoleStreams& streams, const std::vector<std::string>& arguments);

}  // namespace tgram::estimate
