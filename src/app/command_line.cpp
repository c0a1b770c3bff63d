#include "app/command_line.hpp"

namespace tgram::app {

CommandLineRequest commandLineRequest(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) return CommandLineRequest::Run;
  const std::string& argument = arguments.front();
  if (argument == "--help" || argument == "-h") return CommandLineRequest::Help;
  if (argument == "--version") return CommandLineRequest::Version;
  return CommandLineRequest::Run;
}

}  // namespace tgram::app
