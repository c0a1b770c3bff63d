#include "model/transiograms.hpp"

#include <cmath>
#include <string>
#include <utility>

#include "runtime/condition.hpp"
#include "runtime/fpenv.hpp"

namespace tgram::model {

using runtime::StatementKind;

namespace {

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

}  // namespace

Transiograms::Transiograms()
    : expTgram_(kMaxColumns, kMaxPoints), tgramModel_(kMaxColumns, kLagEntries) {}

void Transiograms::readExperimental(recio::RecordIo& io, InputOpening opening,
                                    const PointObserver& afterPoint, InputTrace* trace) {
  recio::OpenSpec input;
  input.file = kInputFile;
  if (opening == InputOpening::ExistingOnly) {
    input.status = "OLD";
    input.action = "READ";
  }
  io.openUnit(kInputUnit, input);
  io.noteLeftovers(trace != nullptr);
  const auto endRead = [&](const std::string& statement) {
    io.endRead();
    if (trace && io.leftoverOfLastRead()) trace->leftovers.push_back({statement, *io.leftoverOfLastRead()});
  };

  const recio::ReadDescription firstCounts{"the counts categoryCount and maxLag", 2};
  io.beginRead(kInputUnit, firstCounts);
  io.readInteger4(categoryCount);
  const recio::InputPlace categoryCountPlace = io.placeOfLastValue();
  io.readInteger4(maxLag);
  const recio::InputPlace maxLagPlace = io.placeOfLastValue();
  endRead(firstCounts.subject);
  if (trace) trace->maxLagPlace = maxLagPlace;
  checkAtMost("number of categories (categoryCount)", categoryCount, categoryCountPlace,
              kMaxColumns);
  checkAtMost("largest lag (maxLag)", maxLag, maxLagPlace, kMaxLag);

  const recio::ReadDescription secondCounts{"the counts pairCount and expLagCount", 2};
  io.beginRead(kInputUnit, secondCounts);
  io.readInteger4(pairCount);
  const recio::InputPlace pairCountPlace = io.placeOfLastValue();
  io.readInteger4(expLagCount);
  const recio::InputPlace expLagCountPlace = io.placeOfLastValue();
  endRead(secondCounts.subject);
  checkWithin("number of value columns (pairCount)", pairCount, pairCountPlace, 1, kMaxColumns);
  checkWithin("number of experimental points (expLagCount)", expLagCount, expLagCountPlace, 1,
              kMaxPoints);
  // Callers may reach the columns of a point or a lag through one pointer.
  expTgram_.clearColumns(static_cast<std::size_t>(pairCount));
  tgramModel_.clearColumns(static_cast<std::size_t>(pairCount));

  const std::int32_t points = expLagCount;
  const std::int32_t columns = pairCount;
  if (trace) {
    trace->lagPlaces.reserve(static_cast<std::size_t>(points));
    trace->valuePlaces.reserve(static_cast<std::size_t>(points) * static_cast<std::size_t>(columns));
  }
  for (std::int32_t e = 0; e < points; ++e) {
    recio::ReadDescription point = pointDescription(e, points, columns);
    const std::string statement = trace ? point.subject : std::string();
    io.beginRead(kInputUnit, std::move(point));
    io.readInteger4(expLag[static_cast<std::size_t>(e)]);
    const recio::InputPlace lagPlace = io.placeOfLastValue();
    if (trace) {
      trace->lagPlaces.push_back(lagPlace);
      for (std::int32_t f = 0; f < columns; ++f) {
        io.readReal4(expTgram(f, e));
        trace->valuePlaces.push_back(io.placeOfLastValue());
      }
    } else {
      for (std::int32_t f = 0; f < columns; ++f) io.readReal4(expTgram(f, e));
    }
    endRead(statement);
    checkWithin("lag of experimental point " + std::to_string(e + 1) + " (expLag)",
                expLag[static_cast<std::size_t>(e)], lagPlace, 0, kMaxLag);
    if (afterPoint) afterPoint(e);
  }
  io.noteLeftovers(false);
  io.closeUnit(kInputUnit);
}

void Transiograms::interpolate() {
  const std::int32_t columns = pairCount;
  const std::int32_t segments = expLagCount - 1;
  for (std::int32_t f = 0; f < columns; ++f) {
    float* const model = &tgramModel(f, 0);  // the column's lags, cleared
    for (std::int32_t t = 0; t < segments; ++t) {
      const std::int32_t first = expLag[static_cast<std::size_t>(t)];
      const std::int32_t last = expLag[static_cast<std::size_t>(t + 1)];
      lagSpan = last - first;
      const double left = expTgram(f, t);
      const double right = expTgram(f, t + 1);
      // Between two finite 4-byte reals at increasing lags each value lies
      // between them: no operation can fault, so the checks are left out.
      const bool cannotFault = lagSpan > 0 && std::isfinite(left) && std::isfinite(right);
      const double span = lagSpan;
      for (std::int32_t i = first; i <= last; ++i) {
        const double a = static_cast<double>(last - i) * left;
        const double b = right * static_cast<double>(i - first);
        model[i] = cannotFault ? static_cast<float>((a + b) / span)
                               : runtime::storeReal4(runtime::divide(a + b, span));
      }
    }
  }
  const std::int32_t lastLag = expLag[static_cast<std::size_t>(expLagCount - 1)];
  const std::int32_t top = maxLag;
  // Copies only: column by column gives the same table, along the storage.
  for (std::int32_t f = 0; f < columns; ++f) {
    float* const model = &tgramModel(f, 0);
    for (std::int32_t h = lastLag; h <= top; ++h) model[h] = model[lastLag];
  }
}

}  // namespace tgram::model
