#include "model/program.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tgram::model {

using recio::kConsoleOutputUnit;

namespace {

constexpr const char* kHeaderFormat = "(X,'h',X,^('p(',I1,',',I1,')',X))";
constexpr const char* kRecordFormat = "(X,I3,X,^(F7.4,X))";

// The console echo of one lag: the lag, then `count` values `stride` apart.
void echoRecord(recio::RecordIo& io, std::int32_t lag, const float* values,
                std::size_t stride, std::int32_t count) {
  io.beginWrite(kConsoleOutputUnit);
  io.writeInteger4(lag);
  for (std::int32_t f = 0; f < count; ++f) {
    io.writeReal4(values[static_cast<std::size_t>(f) * stride]);
  }
  io.endWrite();
}

// The model values of a few lags at a time, copied lag by lag out of the
// table, which holds them column by column: a record then reads its values
// from one short row, not one value from each 4 KB column.
class LagRows {
 public:
  explicit LagRows(const Transiograms& tables)
      : tables_(tables), values_(static_cast<std::size_t>(kLags) * kMaxColumns) {}

  // The values of lag h, one per column.
  const float* row(std::int32_t h) {
    if (h < first_ || h >= first_ + kLags) load(h);
    return &values_[static_cast<std::size_t>(h - first_) * kMaxColumns];
  }

 private:
  static constexpr std::int32_t kLags = 16;

  // Copies the lags from h on: each column gives a few neighbouring values.
  void load(std::int32_t h) {
    first_ = h;
    const std::int32_t lags = std::min(kLags, tables_.maxLag + 1 - h);
    for (std::int32_t f = 0; f < tables_.pairCount; ++f) {
      for (std::int32_t k = 0; k < lags; ++k) {
        values_[static_cast<std::size_t>(k) * kMaxColumns + static_cast<std::size_t>(f)] =
            tables_.tgramModel(f, h + k);
      }
    }
  }

  const Transiograms& tables_;
  std::int32_t first_ = -kLags;
  std::vector<float> values_;
};

void writeMessage(recio::RecordIo& io, const char* text) {
  io.beginWrite(kConsoleOutputUnit);
  io.writeCharacter(text);
  io.endWrite();
}

}  // namespace

void TransiogramProgram::run(recio::RecordIo& io, runtime::Termination& termination) {
  writeMessage(io, " Read experimental transiograms ExpTgrams.txt.");
  readExperimental(io, InputOpening::CreateIfMissing, [&](std::int32_t e) {
    echoRecord(io, expLag[static_cast<std::size_t>(e)], &expTgram(0, e), kMaxPoints, pairCount);
  });
  writeMessage(io, " Calculate Tgram models");
  interpolate();
  writeModels(io);
  writeMessage(io, "Finish!");
  termination.stopProgram();
}

void TransiogramProgram::writeModels(recio::RecordIo& io) {
  recio::OpenSpec output;
  output.file = kModelFile;
  output.status = "UNKNOWN";
  io.openUnit(kModelUnit, output);

  io.beginWrite(kModelUnit);
  io.writeCharacter("Transiogram models by linear interpolation");
  io.endWrite();
  writeMessage(io, "Write linear-interpolated transiogram models");

  // Both formats repeat their group once per column pair: the count given
  // with a statement's first item stays for all its items.
  const std::int32_t columns = pairCount;
  io.beginWrite(kModelUnit, kHeaderFormat);
  io.setRuntimeCounts({columns});
  const std::int32_t categories = categoryCount;
  for (std::int32_t u = 1; u <= categories; ++u) {
    for (std::int32_t v = 1; v <= categories; ++v) {
      io.writeInteger4(u);
      io.writeInteger4(v);
    }
  }
  io.endWrite();

  LagRows rows(*this);
  const std::int32_t top = maxLag;
  for (std::int32_t h = 0; h <= top; ++h) {
    const float* values = rows.row(h);
    io.beginWrite(kModelUnit, kRecordFormat);
    io.setRuntimeCounts({columns});
    io.writeInteger4(h);
    for (std::int32_t f = 0; f < columns; ++f) io.writeReal4(values[f]);
    io.endWrite();
    echoRecord(io, h, values, 1, columns);
  }
  io.closeUnit(kModelUnit);
}

}  // namespace tgram::model
