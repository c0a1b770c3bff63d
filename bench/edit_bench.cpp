// Editing speed: single fields under F7.4 and in the list-directed real
// form, and whole model-file records (counted, and put into a buffer as a
// file's), over values like the program's.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "recio/output/number_edit.hpp"
#include "recio/format/format_control.hpp"
#include "recio/format/format_compiler.hpp"
#include "recio/output/items.hpp"
#include "recio/output/list_output.hpp"
#include "recio/output/record_sink.hpp"

namespace {

using namespace tgram::recio;

// Counts what it is given and keeps nothing.
class NullSink : public RecordSink {
 public:
  [[noreturn]] void fail(int) override { std::abort(); }
  std::int64_t bytes() const { return bytes_; }

 protected:
  void finishRecord(std::int64_t) override { ++records_; }
  void putBlanks(std::int64_t count) override { bytes_ += count; }
  void putText(const char* text, std::size_t length) override {
    bytes_ += static_cast<std::int64_t>(length) + text[0];
  }

 private:
  std::int64_t bytes_ = 0;
  std::int64_t records_ = 0;
};

// Holds its records in a buffer of a file unit's size with the write window
// open on it, as a unit's sink does, so that fields take the way they take
// into a file; a full buffer is counted and emptied.
class BufferSink : public RecordSink {
 public:
  BufferSink() { openWindow(buffer_, 0, kSize - static_cast<std::int32_t>(2 * kFieldStorage)); }
  [[noreturn]] void fail(int) override { std::abort(); }
  std::int64_t bytes() const { return bytes_ + windowPosition(); }

 protected:
  void finishRecord(std::int64_t owedBlanks) override {
    putBlanks(owedBlanks);
    putText("\r\n", 2);
  }
  void putBlanks(std::int64_t count) override {
    for (; count > 0; --count) putText(" ", 1);
  }
  void putText(const char* text, std::size_t length) override {
    std::int32_t position = windowPosition();
    for (std::size_t i = 0; i < length; ++i) {
      buffer_[position++] = text[i];
      if (position == kSize) {
        bytes_ += position + buffer_[kSize / 2];
        position = 0;
      }
    }
    moveWindow(position);
  }

 private:
  static constexpr std::int32_t kSize = 1024;
  char buffer_[kSize] = {};
  std::int64_t bytes_ = 0;
};

// Transition probabilities as the interpolation makes them: values in
// [0, 1], a few exactly 0 or 1, most with a full 24-bit significand.
std::vector<float> modelValues() {
  std::mt19937 random(42);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::vector<float> values(4096);
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i] = i % 16 == 0 ? 0.0f : i % 16 == 1 ? 1.0f : unit(random);
  }
  return values;
}

// Console echoes also show lags and occasional larger values.
std::vector<float> echoValues() {
  std::vector<float> values = modelValues();
  std::mt19937 random(7);
  std::uniform_real_distribution<float> wide(0.0f, 1000.0f);
  for (std::size_t i = 0; i < values.size(); i += 8) values[i] = wide(random);
  return values;
}

void BM_FixedField(benchmark::State& state) {
  const std::vector<float> values = modelValues();
  EditParams fixed74;
  fixed74.form = RealForm::Fixed;
  fixed74.w = 7;
  fixed74.d = 4;
  // As a compiled F7.4 carries it: with the fast mark.
  const EditParams params = withFastMark(fixed74);
  NullSink sink;
  FieldText field;
  std::size_t i = 0;
  for (auto _ : state) {
    editReal(values[i++ & 4095], params, field);
    sink.owe(1);
    sink.putField(field, params.w);
  }
  benchmark::DoNotOptimize(sink.bytes());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FixedField);

void BM_ListDirectedReal(benchmark::State& state) {
  const std::vector<float> values = echoValues();
  const EditParams& params = kListDirectedReal4;
  FieldText field;
  std::size_t i = 0;
  std::int64_t total = 0;
  for (auto _ : state) {
    editReal(values[i++ & 4095], params, field);
    total += field.length();
  }
  benchmark::DoNotOptimize(total);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ListDirectedReal);

// Model-file records of 16 values (4 categories) under the data format,
// looked up in the format cache once per statement as the program does,
// into `sink`.
template <typename Sink>
void writeModelRecords(benchmark::State& state, Sink& sink) {
  const std::vector<float> values = modelValues();
  RuntimeCounts counts;
  counts.set({16});
  CapturedItems items;
  FormatCache formats;
  std::size_t v = 0;
  for (auto _ : state) {
    const CompiledFormat& format = formats.get("(X,I3,X,^(F7.4,X))", -1);
    items.clear();
    items.addInteger(ItemKind::Integer4, 12);
    for (int k = 0; k < 16; ++k) items.addReal4(values[v++ & 4095]);
    runFormattedWrite(format, items, counts, sink);
  }
  benchmark::DoNotOptimize(sink.bytes());
  state.SetItemsProcessed(state.iterations() * 16);
}

// Into a sink that keeps nothing.
void BM_ModelRecord(benchmark::State& state) {
  NullSink sink;
  writeModelRecords(state, sink);
}
BENCHMARK(BM_ModelRecord);

// Into a buffer, as into the model file.
void BM_ModelRecordBuffered(benchmark::State& state) {
  BufferSink sink;
  writeModelRecords(state, sink);
}
BENCHMARK(BM_ModelRecordBuffered);

// The console echo of one lag with 16 values.
void BM_EchoRecord(benchmark::State& state) {
  const std::vector<float> values = echoValues();
  CapturedItems items;
  NullSink sink;
  std::size_t v = 0;
  for (auto _ : state) {
    items.clear();
    items.addInteger(ItemKind::Integer4, 12);
    for (int k = 0; k < 16; ++k) items.addReal4(values[v++ & 4095]);
    writeListDirected(items, sink);
  }
  benchmark::DoNotOptimize(sink.bytes());
  state.SetItemsProcessed(state.iterations() * 16);
}
BENCHMARK(BM_EchoRecord);

}  // namespace
