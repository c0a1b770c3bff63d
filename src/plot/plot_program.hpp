// The plot program: reads the experimental transiograms as tgraminterp
// does, computes the same models, and draws them as an SVG picture.
#pragma once

#include <string>
#include <vector>

#include "recio/units/unit_table.hpp"

namespace tgram::plot {

// The whole run with the given command-line arguments (without the
// program's name). Returns the exit status: 0 when the picture is written,
// 1 when the input cannot be read (with the report tgraminterp gives) or
// the picture cannot be written, 2 for a wrong command line.
int runPlot(const recio::ConsoleStreams& streams, const std::vector<std::string>& arguments);

}  // namespace tgram::plot
