#include <string>
#include <vector>

#include "plot/plot_program.hpp"
#include "runtime/os.hpp"

int main(int argc, char** argv) {
  tgram::runtime::os::prepareStandardStreams();
  // The console lines (warnings, "written") only report: a reader that has
  // gone must not stop the picture.
  tgram::runtime::os::ignoreBrokenPipes();
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tgram::plot::runPlot(tgram::recio::ConsoleStreams::standard(), arguments);
}
