#include "model/program.hpp"

#include <string>

#include "runtime/condition.hpp"
#include "runtime/fpenv.hpp"

namespace tgram::model {

using recio::kConsoleOutputUnit;
using runtime::StatementKind;

namespace {

constexpr const char* kHeaderFormat = "(X,'h',X,^('p(',I1,',',I1,')',X))";
constexpr const char* kRecordFormat = "(X,I3,X,^(F7.4,X))";

// Counts and lags beyond the tables would address entries outside them: the
// run ends with a report naming the quantity, the value read, where it was
// read and the range.
[[noreturn]] void rejectValue(const std::string& quantity, std::int32_t value,
                              recio::InputPlace place, const std::string& limit) {
  runtime::raiseRuntimeError(6110, StatementKind::Read, kInputFile,
                             quantity + " = " + std::to_string(value) + " at line " +
                                 std::to_string(place.line) + ", column " +
                                 std::to_string(place.column) + ": " + limit);
}

void checkAtMost(const char* quantity, std::int32_t value, recio::InputPlace place,
                 std::int32_t limit) {
  if (value > limit) {
    rejectValue(quantity, value, place, "above the table limit of " + std::to_string(limit));
  }
}

void checkWithin(const std::string& quantity, std::int32_t value, recio::InputPlace place,
                 std::int32_t low, std::int32_t high) {
  if (value < low || value > high) {
    rejectValue(quantity, value, place,
                "outside the table range " + std::to_string(low) + ".." + std::to_string(high));
  }
}

// What the read statement of point e (from 0) reads, for its reports.
recio::ReadDescription pointDescription(std::int32_t e, std::int32_t points,
                                        std::int32_t columns) {
  return {"experimental point " + std::to_string(e + 1) + " of " + std::to_string(points) +
              " (a lag and " + std::to_string(columns) +
              (columns == 1 ? " value)" : " values)"),
          columns + 1};
}

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

void writeMessage(recio::RecordIo& io, const char* text) {
  io.beginWrite(kConsoleOutputUnit);
  io.writeCharacter(text);
  io.endWrite();
}

}  // namespace

TransiogramProgram::TransiogramProgram()
    : expTgram_(static_cast<std::size_t>(kMaxColumns) * kMaxPoints, 0.0f),
      tgramModel_(static_cast<std::size_t>(kMaxColumns) * kLagEntries, 0.0f) {}

void TransiogramProgram::run(recio::RecordIo& io, runtime::Termination& termination) {
  writeMessage(io, " Read experimental transiograms ExpTgrams.txt.");
  readInput(io);
  writeMessage(io, " Calculate Tgram models");
  interpolate();
  writeModels(io);
  writeMessage(io, "Finish!");
  termination.stopProgram();
}

void TransiogramProgram::readInput(recio::RecordIo& io) {
  recio::OpenSpec input;
  input.file = kInputFile;
  io.openUnit(kInputUnit, input);

  io.beginRead(kInputUnit, {"the counts categoryCount and maxLag", 2});
  io.readInteger4(categoryCount);
  const recio::InputPlace categoryCountPlace = io.placeOfLastValue();
  io.readInteger4(maxLag);
  const recio::InputPlace maxLagPlace = io.placeOfLastValue();
  io.endRead();
  checkAtMost("number of categories (categoryCount)", categoryCount, categoryCountPlace,
              kMaxColumns);
  checkAtMost("largest lag (maxLag)", maxLag, maxLagPlace, kMaxLag);

  io.beginRead(kInputUnit, {"the counts pairCount and expLagCount", 2});
  io.readInteger4(pairCount);
  const recio::InputPlace pairCountPlace = io.placeOfLastValue();
  io.readInteger4(expLagCount);
  const recio::InputPlace expLagCountPlace = io.placeOfLastValue();
  io.endRead();
  checkWithin("number of value columns (pairCount)", pairCount, pairCountPlace, 1, kMaxColumns);
  checkWithin("number of experimental points (expLagCount)", expLagCount, expLagCountPlace, 1,
              kMaxPoints);

  const std::int32_t points = expLagCount;
  const std::int32_t columns = pairCount;
  for (std::int32_t e = 0; e < points; ++e) {
    io.beginRead(kInputUnit, pointDescription(e, points, columns));
    io.readInteger4(expLag[static_cast<std::size_t>(e)]);
    const recio::InputPlace lagPlace = io.placeOfLastValue();
    for (std::int32_t f = 0; f < columns; ++f) io.readReal4(expTgram(f, e));
    io.endRead();
    checkWithin("lag of experimental point " + std::to_string(e + 1) + " (expLag)",
                expLag[static_cast<std::size_t>(e)], lagPlace, 0, kMaxLag);
    echoRecord(io, expLag[static_cast<std::size_t>(e)], &expTgram(0, e), kMaxPoints, pairCount);
  }
  io.closeUnit(kInputUnit);
}

void TransiogramProgram::interpolate() {
  const std::int32_t columns = pairCount;
  const std::int32_t segments = expLagCount - 1;
  for (std::int32_t f = 0; f < columns; ++f) {
    for (std::int32_t t = 0; t < segments; ++t) {
      const std::int32_t first = expLag[static_cast<std::size_t>(t)];
      const std::int32_t last = expLag[static_cast<std::size_t>(t + 1)];
      lagSpan = last - first;
      const double left = expTgram(f, t);
      const double right = expTgram(f, t + 1);
      for (std::int32_t i = first; i <= last; ++i) {
        const double a = static_cast<double>(last - i) * left;
        const double b = right * static_cast<double>(i - first);
        tgramModel(f, i) = runtime::storeReal4(runtime::divide(a + b, lagSpan));
      }
    }
  }
  const std::int32_t lastLag = expLag[static_cast<std::size_t>(expLagCount - 1)];
  const std::int32_t top = maxLag;
  for (std::int32_t h = lastLag; h <= top; ++h) {
    for (std::int32_t f = 0; f < columns; ++f) tgramModel(f, h) = tgramModel(f, lastLag);
  }
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

  io.beginWrite(kModelUnit, kHeaderFormat);
  const std::int32_t categories = categoryCount;
  for (std::int32_t u = 1; u <= categories; ++u) {
    for (std::int32_t v = 1; v <= categories; ++v) {
      io.setRuntimeCounts({pairCount});
      io.writeInteger4(u);
      io.setRuntimeCounts({pairCount});
      io.writeInteger4(v);
    }
  }
  io.endWrite();

  const std::int32_t top = maxLag;
  for (std::int32_t h = 0; h <= top; ++h) {
    io.beginWrite(kModelUnit, kRecordFormat);
    io.setRuntimeCounts({pairCount});
    io.writeInteger4(h);
    for (std::int32_t f = 0; f < pairCount; ++f) {
      io.setRuntimeCounts({pairCount});
      io.writeReal4(tgramModel(f, h));
    }
    io.endWrite();
    echoRecord(io, h, &tgramModel(0, h), kLagEntries, pairCount);
  }
  io.closeUnit(kModelUnit);
}

}  // namespace tgram::model
