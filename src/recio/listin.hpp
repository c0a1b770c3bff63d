// List-directed input: free-form values read from the records of a unit.
#pragma once

#include <cstdint>

#include "recio/unit_record.hpp"

namespace tgram::recio {

// One list-directed read statement on `unit`. Each item call scans, converts
// and stores one value at once; finish() passes to the next record.
class ListReader {
 public:
  explicit ListReader(UnitRecord& unit) : unit_(unit) {}

  void readInteger4(std::int32_t& place);
  void readReal4(float& place);
  // Ends the statement.
  void finish();

 private:
  int take();
  bool scanValue();

  UnitRecord& unit_;
  char text_[260] = {};
  int length_ = 0;
  bool endedAtRecordEnd_ = false;
};

}  // namespace tgram::recio
