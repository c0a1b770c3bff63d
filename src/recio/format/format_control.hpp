// Formatted output: running a compiled format over a statement's items.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "recio/format/format_compiler.hpp"
#include "recio/output/items.hpp"
#include "recio/output/record_sink.hpp"

namespace tgram::recio {

// The program-wide values of the "^" placeholders of format strings. Entry k
// belongs to the (k+1)-th "^" of whichever format runs; every entry is 0
// until a value is given, and a value stays until it is replaced.
class RuntimeCounts {
 public:
  void set(std::initializer_list<std::int32_t> values) { assign(values.begin(), values.size()); }
  void set(const std::vector<std::int32_t>& values) { assign(values.data(), values.size()); }
  std::int32_t operator[](std::size_t k) const {
    return k < values_.size() ? values_[k] : 0;
  }

 private:
  // Replaces the first `count` entries by `values`.
  void assign(const std::int32_t* values, std::size_t count) {
    if (count > values_.size()) values_.resize(count, 0);
    std::copy(values, values + count, values_.begin());
  }

  std::vector<std::int32_t> values_;
};

// Carries out a formatted write statement: runs `format` over `items`,
// putting the records into `sink`, and ends the last record. Mismatches
// between items and descriptors and faults of the format are raised through
// `sink.fail`.
void runFormattedWrite(const CompiledFormat& format, const CapturedItems& items,
                       const RuntimeCounts& counts, RecordSink& sink);

}  // namespace tgram::recio
