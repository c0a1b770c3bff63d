#include <string>
#include <vector>

#include "plot/plot_program.hpp"
#include "runtime/os.hpp"

int main(int argc, char** argv) {
  // First of all, before anything is opened.
  const std::vector<std::string> arguments = tgram::runtime::os::startProcess(argc, argv);
  // The console lines (warnings, "written") only report: a reader that has
  // gone must not stop the picture.
  tgram::runtime::os::ignoreBrokenPipes();
  return tgram::plot::runPlot(tgram::recio::ConsoleStreams::standard(), arguments);
}
