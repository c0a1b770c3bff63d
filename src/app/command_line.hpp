// The few arguments the program answers without running.
#pragma once

#include <string>
#include <vector>

namespace tgram::app {

enum class CommandLineRequest { Run, Help, Version };

// "--help" or "-h" asks for the usage text, "--version" for the name and
// version; each only as the one argument given. Anything else runs the
// program as without arguments.
CommandLineRequest commandLineRequest(const std::vector<std::string>& arguments);

}  // namespace tgram::app
