#include <string>
#include <vector>

#include "estimate/estimate_program.hpp"
#include "runtime/os.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = tgram::runtime::os::startProcess(argc, argv);
  return tgram::estimate::runEstimate(tgram::recio::ConsoleStreams::standard(), arguments);
}
