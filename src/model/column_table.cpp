#include "model/column_table.hpp"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace tgram::model {

namespace {

struct Spare {
  std::size_t size;
  std::unique_ptr<float[]> values;
};

// Storage of finished tables, kept for later ones (the program is
// single-threaded).
std::vector<Spare>& spares() {
  static std::vector<Spare> pool;
  return pool;
}

std::unique_ptr<float[]> takeStorage(std::size_t size) {
  auto& pool = spares();
  for (auto it = pool.begin(); it != pool.end(); ++it) {
    if (it->size == size) {
      std::unique_ptr<float[]> values = std::move(it->values);
      pool.erase(it);
      return values;
    }
  }
  return std::unique_ptr<float[]>(new float[size]);
}

}  // namespace

ColumnTable::ColumnTable(std::size_t columns, std::size_t entries)
    : columns_(columns), entries_(entries), values_(takeStorage(columns * entries)) {}

ColumnTable::~ColumnTable() {
  try {
    spares().push_back(Spare{columns_ * entries_, std::move(values_)});
  } catch (const std::bad_alloc&) {
    // Not kept: the storage is freed with the temporary.
  }
}

void ColumnTable::clearThrough(std::size_t column) {
  const std::size_t end = std::min(column + 1, columns_);
  if (end <= cleared_) return;
  std::fill(values_.get() + cleared_ * entries_, values_.get() + end * entries_, 0.0f);
  cleared_ = end;
}

}  // namespace tgram::model
