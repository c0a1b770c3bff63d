// Reading a full-size experimental file: 401 records of a lag and 400 reals,
// scanned and converted by list-directed read statements.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "recio/input/integer_text.hpp"
#include "recio/input/list_reader.hpp"
#include "recio/input/real_text.hpp"
#include "recio/units/unit_record.hpp"

// Counts the calls of malloc, to show that reading allocates nothing per
// value.
extern "C" void* __libc_malloc(std::size_t size);
namespace {
std::size_t mallocCalls = 0;
}
extern "C" void* malloc(std::size_t size) {
  ++mallocCalls;
  return __libc_malloc(size);
}

namespace {

constexpr int kPoints = 401;
constexpr int kColumns = 400;

// Probabilities as people write them: 0 or 1, or 4 to 8 decimals.
std::string valueText(std::mt19937& random) {
  const unsigned pick = random() % 20;
  if (pick == 0) return "0";
  if (pick == 1) return "1.0";
  const int decimals = 4 + static_cast<int>(random() % 5);
  int scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  char text[16];
  std::snprintf(text, sizeof text, "0.%0*u", decimals,
                static_cast<unsigned>(random() % static_cast<unsigned>(scale)));
  return text;
}

std::string makeInput() {
  std::mt19937 random(42);
  std::string text = "20 1000\r\n400 401\r\n";
  for (int point = 0; point < kPoints; ++point) {
    text += std::to_string(point);
    for (int column = 0; column < kColumns; ++column) {
      text += column % 10 == 0 ? '\t' : ' ';
      text += valueText(random);
    }
    text += "\r\n";
  }
  return text;
}

class InputOnDisk {
 public:
  InputOnDisk() : text_(makeInput()) {
    path_ = "/tmp/tgram-read-bench-XXXXXX";
    const int fd = ::mkstemp(path_.data());
    if (fd < 0 || ::write(fd, text_.data(), text_.size()) !=
                      static_cast<ssize_t>(text_.size())) {
      std::abort();
    }
    ::close(fd);
  }
  ~InputOnDisk() { ::unlink(path_.c_str()); }
  const std::string& path() const { return path_; }
  std::size_t size() const { return text_.size(); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::string path_;
};

const InputOnDisk& input() {
  static const InputOnDisk file;
  return file;
}

// The reading of the program: two statements of two integers, then one
// statement per point.
void readFile(tgram::recio::UnitRecord& unit, float (&values)[kColumns]) {
  using tgram::recio::ListReader;
  std::int32_t a = 0;
  std::int32_t b = 0;
  for (int header = 0; header < 2; ++header) {
    ListReader reader(unit);
    reader.readInteger4(a);
    reader.readInteger4(b);
    reader.finish();
  }
  for (int point = 0; point < kPoints; ++point) {
    ListReader reader(unit);
    std::int32_t lag = 0;
    reader.readInteger4(lag);
    for (float& value : values) reader.readReal4(value);
    reader.finish();
  }
}

void BM_ReadFullInput(benchmark::State& state) {
  tgram::recio::UnitRecord unit;
  unit.fileName = "ExpTgrams.txt";
  unit.handle = ::open(input().path().c_str(), O_RDONLY);
  unit.allocateBuffer(tgram::recio::kFileBufferSize);
  float values[kColumns];
  std::size_t allocations = 0;
  for (auto _ : state) {
    ::lseek(unit.handle, 0, SEEK_SET);
    unit.position = 0;
    unit.lastIndex = -1;
    unit.dataEndsWithLf = true;
    unit.endLfSupplied = false;
    unit.filePosition = 0;
    unit.line = 1;
    unit.lineStart = 0;
    const std::size_t before = mallocCalls;
    readFile(unit, values);
    allocations += mallocCalls - before;
    benchmark::DoNotOptimize(values);
  }
  ::close(unit.handle);
  const auto valuesRead = static_cast<std::int64_t>(kPoints) * (kColumns + 1) + 4;
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(input().size()));
  state.SetItemsProcessed(state.iterations() * valuesRead);
  state.counters["allocs_per_value"] = benchmark::Counter(
      static_cast<double>(allocations) /
      static_cast<double>(state.iterations() * valuesRead));
  state.counters["input_bytes"] = static_cast<double>(input().size());
}
BENCHMARK(BM_ReadFullInput)->Unit(benchmark::kMillisecond);

// The conversion alone, on the texts of the same file.
void BM_ConvertReal4(benchmark::State& state) {
  std::mt19937 random(42);
  std::string texts[1024];
  std::size_t bytes = 0;
  for (auto& text : texts) {
    text = valueText(random);
    bytes += text.size();
  }
  for (auto _ : state) {
    for (const auto& text : texts) {
      benchmark::DoNotOptimize(tgram::recio::convertReal4(text));
    }
  }
  state.SetItemsProcessed(state.iterations() * 1024);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ConvertReal4);

// Texts that need more than the exact fast path: 17 significant digits.
void BM_ConvertReal4LongDigits(benchmark::State& state) {
  std::mt19937_64 random(42);
  std::string texts[1024];
  for (auto& text : texts) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.16e", static_cast<double>(random()) / 3e18);
    text = buffer;
  }
  const std::size_t before = mallocCalls;
  for (auto _ : state) {
    for (const auto& text : texts) {
      benchmark::DoNotOptimize(tgram::recio::convertReal4(text));
    }
  }
  state.SetItemsProcessed(state.iterations() * 1024);
  state.counters["allocs_per_value"] = benchmark::Counter(
      static_cast<double>(mallocCalls - before) /
      static_cast<double>(state.iterations() * 1024));
}
BENCHMARK(BM_ConvertReal4LongDigits);

void BM_ConvertInteger(benchmark::State& state) {
  const std::string texts[] = {"0", "7", "400", "1000", "16#FF", "-2147483648"};
  for (auto _ : state) {
    for (const auto& text : texts) {
      benchmark::DoNotOptimize(tgram::recio::convertInteger(text));
    }
  }
  state.SetItemsProcessed(state.iterations() * 6);
}
BENCHMARK(BM_ConvertInteger);

}  // namespace
