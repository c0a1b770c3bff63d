#include <string>
#include <vector>

#include "app/entry.hpp"
#include "runtime/os.hpp"

int main(int argc, char** argv) {
  tgram::runtime::os::prepareStandardStreams();
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return tgram::app::runProcess(tgram::recio::ConsoleStreams::standard(), std::move(arguments));
}
