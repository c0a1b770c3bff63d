// The output stage's second half: the two files written together, each
// atomically, an existing one replaced only when asked.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "estimate/estimate_tables.hpp"

namespace tgram::estimate {

struct OutputTargets {
  std::filesystem::path tables;  // ExpTgrams.txt or -o FILE
  std::filesystem::path pairs;   // the pair table
  bool force = false;            // replace existing files
  std::filesystem::path input;   // the data read: never replaced, even with force
};

// The pair table beside `output`: its name with ".pairs.csv" in place of
// its extension (ExpTgrams.txt -> ExpTgrams.pairs.csv).
std::filesystem::path pairTableBeside(const std::filesystem::path& output);

// Refuses targets that cannot be written: the two are the same file, one
// is the input or a folder, or one exists and `force` is not set. Raises an
// EstimateError; called before any work, and again just before writing.
void checkTargets(const OutputTargets& targets);

// Checks both targets, then writes the pair table and ExpTgrams.txt, each
// through a temporary file renamed over it. When the second fails, the
// first is put back as it was (removed when it was new).
void writeOutputs(const OutputTargets& targets, const EstimateTables& tables);

}  // namespace tgram::estimate
