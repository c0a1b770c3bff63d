#include "recio/input/file_name_prompt.hpp"

#include <string_view>

#include "recio/input/record_input.hpp"
#include "runtime/os.hpp"

namespace tgram::recio {

std::string ConsoleFileNamePrompt::askFileName(std::int32_t unit) {
  namespace os = runtime::os;
  UnitRecord& out = units_.consoleOutput();
  // The line the console owes ends before the prompt.
  if (out.outputPending && !out.lineClosed) {
    os::writeAll(out.handle, "\r\n");
    out.outputPending = false;
  }
  RecordInput console(units_.consoleInput(), nullptr, runtime::StatementKind::Open);
  for (;;) {
    os::writeAll(out.handle, "File name missing or blank - please enter file name\r\nUNIT " +
                                 std::to_string(unit) + "? ");
    std::string line;
    for (int c = console.takeCountingLines(); c != '\n'; c = console.takeCountingLines()) {
      if (c != '\r' && line.size() <= kFileNameMax) line.push_back(static_cast<char>(c));
    }
    const std::string_view answer = trimBlanks(line);
    if (!answer.empty()) return std::string(answer.substr(0, kFileNameMax));
  }
}

}  // namespace tgram::recio
