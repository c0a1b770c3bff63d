// Arbitrary format strings run over a few items of every kind. Every
// statement must end with its records or with a condition of formatted
// output (a mismatch of item and descriptor, or a fault of the format); a
// format that spins without writing is a hang, found by -timeout. The sink
// stands for a small disk: past 1 MiB it reports a full disk, so that
// formats that write without end stop too.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "recio/format/format_compiler.hpp"
#include "recio/format/format_control.hpp"
#include "recio/output/items.hpp"
#include "recio/output/record_sink.hpp"
#include "runtime/condition.hpp"

namespace {

using tgram::recio::CapturedItems;
using tgram::recio::ItemKind;

constexpr int kDiskFull = 6422;
constexpr std::int64_t kDiskSize = std::int64_t{1} << 20;

// Counts what would be stored; checks that the owed blanks are never
// negative and that every record is ended by the engine, not cut.
class BoundedSink : public tgram::recio::RecordSink {
 public:
  [[noreturn]] void fail(int number) override {
    tgram::runtime::raiseRuntimeError(number, tgram::runtime::StatementKind::Write, "fuzz");
  }
  std::int64_t records = 0;

 protected:
  void finishRecord(std::int64_t owedBlanks) override {
    if (owedBlanks < 0) std::abort();
    store(2);
    ++records;
  }
  void putBlanks(std::int64_t count) override {
    if (count <= 0) std::abort();
    store(count);
  }
  void putText(const char* text, std::size_t length) override {
    if (text == nullptr || length == 0) std::abort();
    store(static_cast<std::int64_t>(length));
  }

 private:
  void store(std::int64_t bytes) {
    if (bytes > kDiskSize - stored_) fail(kDiskFull);
    stored_ += bytes;
  }
  std::int64_t stored_ = 0;
};

bool isFormattedWriteCondition(int number) {
  return (number >= 6205 && number <= 6208) || number == 6971 || number == 6972 ||
         (number >= 6980 && number <= 6991) || number == kDiskFull;
}

const std::int32_t kIntegers[] = {0, 1, -1, 7, 42, 1000, -99999,
                                  std::numeric_limits<std::int32_t>::max(),
                                  std::numeric_limits<std::int32_t>::min()};
const double kReals[] = {0.0, -0.0, 0.5, 1.5, -9.99996, 0.03125, 1e10, 1e-10, 3.4028235e38,
                         1e-45, 1e300, -1e-300, HUGE_VAL, -HUGE_VAL, std::nan("")};
const std::int32_t kCounts[] = {0, 1, 2, 3, -1, 7, 2000000000,
                                std::numeric_limits<std::int32_t>::min()};

template <typename T, std::size_t N>
const T& pick(const T (&table)[N], std::uint8_t byte) {
  return table[byte % N];
}

// Two bytes make one item: its kind, then its value from the tables above.
void addItem(CapturedItems& items, std::uint8_t kind, std::uint8_t value) {
  switch (kind % 8) {
    case 0: items.addInteger(ItemKind::Integer4, pick(kIntegers, value)); break;
    case 1: items.addInteger(value & 1 ? ItemKind::Integer1 : ItemKind::Integer2,
                             static_cast<std::int8_t>(value)); break;
    case 2: items.addReal4(static_cast<float>(pick(kReals, value))); break;
    case 3: items.addReal8(pick(kReals, value)); break;
    case 4: items.addCharacter(std::string("fuzzed text").substr(0, value % 12)); break;
    case 5: items.addLogical(ItemKind::Logical4, value & 1); break;
    case 6: items.addComplex8(static_cast<float>(pick(kReals, value)),
                              static_cast<float>(pick(kReals, value >> 4))); break;
    default: items.addComplex16(pick(kReals, value), pick(kReals, value >> 4)); break;
  }
}

}  // namespace

// Bytes: the number of items (low 4 bits; bit 7: the format ends at its
// first NUL byte), the values of the first four "^" (2 bits each), two bytes
// per item, then the format string.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t itemCount = data[0] & 15u;
  const bool untilNul = (data[0] & 0x80u) != 0;
  const std::uint8_t countBits = data[1];
  data += 2;
  size -= 2;
  if (size < 2 * itemCount) return 0;

  CapturedItems items;
  for (std::size_t i = 0; i < itemCount; ++i) addItem(items, data[2 * i], data[2 * i + 1]);
  data += 2 * itemCount;
  size -= 2 * itemCount;

  tgram::recio::RuntimeCounts counts;
  counts.set({pick(kCounts, countBits & 3u), pick(kCounts, (countBits >> 2) & 3u),
              pick(kCounts, 4 + ((countBits >> 4) & 3u)), pick(kCounts, countBits >> 6)});

  const std::string text(reinterpret_cast<const char*>(data), size);
  const tgram::recio::CompiledFormat format =
      tgram::recio::compileFormat(text.c_str(), untilNul ? -1 : static_cast<std::int32_t>(size));
  if (format.items.empty()) std::abort();
  const auto last = format.items.back().kind;
  if (last != tgram::recio::FormatKind::End && last != tgram::recio::FormatKind::Error) {
    std::abort();
  }

  BoundedSink sink;
  try {
    tgram::recio::runFormattedWrite(format, items, counts, sink);
    if (sink.records < 1) std::abort();  // a statement writes at least one record
  } catch (const tgram::runtime::RuntimeError& e) {
    if (!isFormattedWriteCondition(e.number())) std::abort();
  }
  return 0;
}
