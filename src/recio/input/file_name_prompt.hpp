// The file name asked for on the console when an open gives a blank name
// and the command line has none left.
#pragma once

#include <cstdint>
#include <string>

#include "recio/units/unit_table.hpp"

namespace tgram::recio {

// Shows the prompt on the console and takes the answer from the console
// input, read like any other console input: after what earlier read
// statements left. A blank answer asks again; at the end of the input no
// name can ever come, and the open fails with 6501.
class ConsoleFileNamePrompt final : public FileNameSource {
 public:
  explicit ConsoleFileNamePrompt(UnitTable& units) : units_(units) {}

  std::string askFileName(std::int32_t unit) override;

 private:
  UnitTable& units_;
};

}  // namespace tgram::recio
