#include "plot/input_check.hpp"

#include <cmath>
#include <utility>

#include "model/shortest_text.hpp"
#include "plot/transiogram_picture.hpp"
#include "recio/input/input_report.hpp"

namespace tgram::plot {

namespace {

std::string where(const recio::InputPlace& place) {
  return "line " + std::to_string(place.line) + ", column " + std::to_string(place.column);
}

std::string lineOf(const recio::InputPlace& place) { return "line " + std::to_string(place.line); }

// Collects the warnings of one kind, keeping the first kMaxWarningsOfAKind.
class Kind {
 public:
  explicit Kind(std::vector<std::string>& out, std::string others) : out_(out), others_(std::move(others)) {}
  Kind(const Kind&) = delete;
  Kind& operator=(const Kind&) = delete;
  ~Kind() {
    if (count_ > kMaxWarningsOfAKind) {
      const std::size_t more = count_ - kMaxWarningsOfAKind;
      out_.push_back(std::to_string(more) + " more " + others_ + " not shown");
    }
  }
  void add(const std::string& warning) {
    if (++count_ <= kMaxWarningsOfAKind) out_.push_back(warning);
  }

 private:
  std::vector<std::string>& out_;
  std::string others_;
  std::size_t count_ = 0;
};

void checkLeftovers(const model::InputTrace& trace, std::vector<std::string>& out) {
  Kind kind(out, "records with values left over");
  for (const model::InputTrace::Leftover& left : trace.leftovers) {
    const recio::LeftoverValues& values = left.values;
    std::string warning = where(values.place) + ": values left over at the end of the record of " +
                          left.statement + ", not read: ";
    if (values.repeatsLeft > 0) {
      warning += std::to_string(values.repeatsLeft) + " more of the repeated value " +
                 recio::quotedText(values.text);
    } else {
      warning += recio::quotedText(values.text);
    }
    if (values.commaAfterValue || values.text.find(',') != std::string::npos) {
      warning += " (a comma separates values: a decimal comma, as in 0,7, reads as the two values 0 and 7)";
    }
    kind.add(warning);
  }
}

void checkLags(const model::Transiograms& tables, const model::InputTrace& trace,
               std::vector<std::string>& out) {
  const auto lag = [&](std::int32_t e) { return tables.expLag[static_cast<std::size_t>(e)]; };
  const auto place = [&](std::int32_t e) { return trace.lagPlaces[static_cast<std::size_t>(e)]; };
  const std::int32_t points = tables.expLagCount;
  if (points >= 1 && lag(0) != 0) {
    out.push_back(where(place(0)) + ": the first experimental point is at lag " + std::to_string(lag(0)) +
                  ", not 0: the model is 0 below it");
  }
  {
    Kind kind(out, "lags that do not increase");
    for (std::int32_t e = 1; e < points; ++e) {
      if (lag(e) > lag(e - 1)) continue;
      kind.add(where(place(e)) + ": the lag of experimental point " + std::to_string(e + 1) + " (" +
               std::to_string(lag(e)) + ") does not increase on the lag of point " + std::to_string(e) + " (" +
               std::to_string(lag(e - 1)) + ", " + lineOf(place(e - 1)) + ")");
    }
  }
  if (points >= 1 && tables.maxLag < lag(points - 1)) {
    out.push_back(where(trace.maxLagPlace) + ": maxLag (" + std::to_string(tables.maxLag) +
                  ") is below the last experimental lag (" + std::to_string(lag(points - 1)) + ", " +
                  lineOf(place(points - 1)) + "): the model stops at maxLag");
  }
}

// A value's name: p(i,j) for a matrix of pairs, else its column.
std::string valueName(const model::Transiograms& tables, std::int32_t f, bool matrix) {
  if (!matrix) return "column " + std::to_string(f + 1);
  return model::pairLabel(f, tables.categoryCount);
}

void checkValues(const model::Transiograms& tables, const model::InputTrace& trace, bool matrix,
                 std::vector<std::string>& out) {
  Kind kind(out, "values outside 0..1");
  const std::int32_t columns = tables.pairCount;
  for (std::int32_t e = 0; e < tables.expLagCount; ++e) {
    for (std::int32_t f = 0; f < columns; ++f) {
      const float value = tables.expTgram(f, e);
      if (value >= 0.0f && value <= 1.0f) continue;
      const recio::InputPlace& place = trace.valuePlaces[static_cast<std::size_t>(e) * columns + f];
      kind.add(where(place) + ": " + valueName(tables, f, matrix) + " = " + model::shortestText(value) +
               " of experimental point " + std::to_string(e + 1) + " (lag " +
               std::to_string(tables.expLag[static_cast<std::size_t>(e)]) + ") is outside 0..1");
    }
  }
}

void checkRowSums(const model::Transiograms& tables, const model::InputTrace& trace,
                  std::vector<std::string>& out) {
  Kind kind(out, "rows that do not sum to 1");
  const std::int32_t m = tables.categoryCount;
  // A little room for the 4-byte reals' own rounding of values that were
  // written to the tolerance's precision.
  const double tolerance = kRowSumTolerance + 1e-6;
  for (std::int32_t e = 0; e < tables.expLagCount; ++e) {
    for (std::int32_t i = 0; i < m; ++i) {
      double sum = 0.0;
      for (std::int32_t j = 0; j < m; ++j) sum += tables.expTgram(i * m + j, e);
      if (std::fabs(sum - 1.0) <= tolerance) continue;
      const recio::InputPlace& first = trace.valuePlaces[static_cast<std::size_t>(e) * (m * m) + i * m];
      kind.add(where(first) + ": the row p(" + std::to_string(i + 1) + ",1.." + std::to_string(m) +
               ") of experimental point " + std::to_string(e + 1) + " (lag " +
               std::to_string(tables.expLag[static_cast<std::size_t>(e)]) + ") sums to " +
               model::shortestText(std::round(sum * 1e6) / 1e6) + ", not 1");
    }
  }
}

}  // namespace

std::vector<std::string> checkInput(const model::Transiograms& tables, const model::InputTrace& trace) {
  std::vector<std::string> out;
  const bool matrix = panelGrid(tables).matrix;
  checkLeftovers(trace, out);
  checkLags(tables, trace, out);
  checkValues(tables, trace, matrix, out);
  if (matrix) checkRowSums(tables, trace, out);
  return out;
}

}  // namespace tgram::plot
