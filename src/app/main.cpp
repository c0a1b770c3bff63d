#include <string>
#include <vector>

#include "app/entry.hpp"
#include "runtime/os.hpp"

int main(int argc, char** argv) {
  // First of all, before anything is opened.
  std::vector<std::string> arguments = tgram::runtime::os::startProcess(argc, argv);
  return tgram::app::runProcess(tgram::recio::ConsoleStreams::standard(), std::move(arguments));
}
