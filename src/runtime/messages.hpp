// The message catalogue: one message line per Record I/O condition number.
#pragma once

#include <string_view>

namespace tgram::runtime {

// The message line of condition `number`; empty for a number the catalogue
// does not hold.
std::string_view conditionMessage(int number);

}  // namespace tgram::runtime
