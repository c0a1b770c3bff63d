// A table of real values stored column by column, zero at start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tgram::model {

// `columns` columns of `entries` values each. A column is cleared the first
// time it is reached, and the storage of a finished table is kept for the
// next one of the same size: a run that uses few columns neither allocates
// nor clears the whole table (the fuzz target and the tests run the program
// many times in one process).
class ColumnTable {
 public:
  ColumnTable(std::size_t columns, std::size_t entries);
  ~ColumnTable();
  ColumnTable(const ColumnTable&) = delete;
  ColumnTable& operator=(const ColumnTable&) = delete;

  float& at(std::int32_t column, std::int32_t entry) {
    const auto c = static_cast<std::size_t>(column);
    if (c >= cleared_) clearThrough(c);
    return values_[c * entries_ + static_cast<std::size_t>(entry)];
  }
  float at(std::int32_t column, std::int32_t entry) const {
    const auto c = static_cast<std::size_t>(column);
    return c < cleared_ ? values_[c * entries_ + static_cast<std::size_t>(entry)] : 0.0f;
  }

  // Clears the first `count` columns now, so that they may also be reached
  // through a pointer to an entry of column 0.
  void clearColumns(std::size_t count) {
    if (count > cleared_) clearThrough(count - 1);
  }

 private:
  void clearThrough(std::size_t column);

  std::size_t columns_;
  std::size_t entries_;
  std::size_t cleared_ = 0;  // columns 0 .. cleared_-1 hold values of this table
  std::unique_ptr<float[]> values_;
};

}  // namespace tgram::model
