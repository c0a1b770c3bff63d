#include <string>
#include <vector>

#include "estimate/estimate_program.hpp"
#include "runtime/os.hpp"

int main(int argc, char** argv) {
  tgram::runtime::os::prepareStandardStreams();
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tgram::estimate::runEstimate(tgram::recio::ConsoleStreams::standard(), arguments);
}
