// The process entry: start-up in order, then the program routine.
#pragma once

#include <string>
#include <vector>

#include "recio/units/unit_table.hpp"

namespace tgram::app {

// Sets up the floating-point environment, the unit table with its console
// records and exit processing, then runs the program once. Returns the
// status the process ends with.
int runProcess(const recio::ConsoleStreams& streams, std::vector<std::string> arguments);

}  // namespace tgram::app
