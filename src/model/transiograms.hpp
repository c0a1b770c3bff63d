// The experimental transiograms and their models: the counts and tables of
// a run, reading them from "ExpTgrams.txt", and the linear interpolation.
// Shared by every program that works on transiograms.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/column_table.hpp"
#include "recio/record_io.hpp"

namespace tgram::model {

// The sizes of the tables.
inline constexpr std::int32_t kMaxColumns = 401;      // value columns (category pairs)
inline constexpr std::int32_t kMaxPoints = 401;       // experimental points
inline constexpr std::int32_t kMaxLag = 1000;         // largest lag of the model table
inline constexpr std::int32_t kLagEntries = kMaxLag + 1;

inline constexpr const char* kInputFile = "ExpTgrams.txt";
inline constexpr const char* kModelFile = "TgramModels.txt";
inline constexpr std::int32_t kInputUnit = 50;
inline constexpr std::int32_t kModelUnit = 60;

// The name of value column f when the columns are the pairs of
// `categories` categories (from i to j, row by row): p(i,j), counted from 1,
// as the model file's header names them.
inline std::string pairLabel(std::int32_t f, std::int32_t categories) {
  return "p(" + std::to_string(f / categories + 1) + "," + std::to_string(f % categories + 1) + ")";
}

// How the input file is connected.
enum class InputOpening {
  // Read and write, falling back to read only; a missing file is created
  // empty (and then meets the end of the file at the first read).
  CreateIfMissing,
  // Read only; a missing file is reported as not found and nothing is
  // created.
  ExistingOnly,
};

// Where the parts of "ExpTgrams.txt" stand and what its records left
// unread, gathered while reading when asked: for checks of the input that
// leave the run as it is.
struct InputTrace {
  struct Leftover {
    std::string statement;  // what the read statement reads, as its reports say
    recio::LeftoverValues values;
  };
  recio::InputPlace maxLagPlace;
  std::vector<recio::InputPlace> lagPlaces;    // of each point's lag
  std::vector<recio::InputPlace> valuePlaces;  // of value f of point e at [e * pairCount + f]
  std::vector<Leftover> leftovers;             // in the order of the records
};

// The counts and tables, all zero at start.
class Transiograms {
 public:
  Transiograms();

  // Called after each experimental point is read and checked, with its
  // index, before the next point is read.
  using PointObserver = std::function<void(std::int32_t point)>;

  // Reads "ExpTgrams.txt" on unit 50: the counts, then every experimental
  // point, then closes the unit. Counts and lags outside the tables are
  // refused as soon as the statement that read them ends. Every fault ends
  // the run with its report. With `trace`, also notes where every count,
  // lag and value stands and what each record left unread; what is read
  // and reported is the same.
  void readExperimental(recio::RecordIo& io, InputOpening opening,
                        const PointObserver& afterPoint = {}, InputTrace* trace = nullptr);

  // Interpolation between neighbouring experimental points, then extension
  // of the last experimental value up to maxLag.
  void interpolate();

  std::int32_t categoryCount = 0;
  std::int32_t maxLag = 0;
  std::int32_t pairCount = 0;
  std::int32_t expLagCount = 0;
  std::int32_t lagSpan = 0;
  std::array<std::int32_t, kMaxPoints> expLag{};

  // expTgram[column][point] and tgramModel[column][lag].
  float& expTgram(std::int32_t column, std::int32_t point) { return expTgram_.at(column, point); }
  float expTgram(std::int32_t column, std::int32_t point) const { return expTgram_.at(column, point); }
  float& tgramModel(std::int32_t column, std::int32_t lag) { return tgramModel_.at(column, lag); }
  float tgramModel(std::int32_t column, std::int32_t lag) const { return tgramModel_.at(column, lag); }

 private:
  ColumnTable expTgram_;
  ColumnTable tgramModel_;
};

}  // namespace tgram::model
