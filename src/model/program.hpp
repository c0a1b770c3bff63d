// The program: reads experimental transiograms, interpolates them linearly
// into transiogram models, and writes the models.
#pragma once

#include <array>
#include <cstdint>

#include "model/column_table.hpp"
#include "recio/record_io.hpp"
#include "runtime/termination.hpp"

namespace tgram::model {

// The sizes of the program's tables.
inline constexpr std::int32_t kMaxColumns = 401;      // value columns (category pairs)
inline constexpr std::int32_t kMaxPoints = 401;       // experimental points
inline constexpr std::int32_t kMaxLag = 1000;         // largest lag of the model table
inline constexpr std::int32_t kLagEntries = kMaxLag + 1;

inline constexpr const char* kInputFile = "ExpTgrams.txt";
inline constexpr const char* kModelFile = "TgramModels.txt";
inline constexpr std::int32_t kInputUnit = 50;
inline constexpr std::int32_t kModelUnit = 60;

// The counts and tables of one run, all zero at start.
class TransiogramProgram {
 public:
  TransiogramProgram();

  // The whole run, from the read message to STOP. Never returns.
  [[noreturn]] void run(recio::RecordIo& io, runtime::Termination& termination);

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
  float& tgramModel(std::int32_t column, std::int32_t lag) { return tgramModel_.at(column, lag); }

 private:
  void readInput(recio::RecordIo& io);
  void writeModels(recio::RecordIo& io);

  ColumnTable expTgram_;
  ColumnTable tgramModel_;
};

}  // namespace tgram::model
