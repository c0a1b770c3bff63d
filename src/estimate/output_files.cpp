#include "estimate/output_files.hpp"

#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "estimate/estimate_error.hpp"
#include "model/pair_table_format.hpp"
#include "runtime/replace_file.hpp"

namespace tgram::estimate {

namespace {

std::optional<std::string> existingBytes(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void checkTarget(const std::filesystem::path& file, const char* what, bool force) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (std::filesystem::is_directory(status)) {
    fail("cannot write " + std::string(what) + " " + shownPath(file) + ": it is a folder");
  }
  if (std::filesystem::exists(status) && !force) {
    fail(std::string(what) + " " + shownPath(file) + " exists (--force replaces it)");
  }
  // The same refusals the write itself makes (read-only, a device name on
  // Windows, a socket...), found before the counting starts.
  if (const std::string refusal = runtime::checkReplaceTarget(file); !refusal.empty()) {
    fail("cannot write " + std::string(what) + " " + shownPath(file) + ": " + refusal);
  }
}

}  // namespace

std::filesystem::path pairTableBeside(const std::filesystem::path& output) {
  std::filesystem::path pairs = output;
  pairs.replace_extension(model::kPairTableExtension);
  return pairs;
}

void checkTargets(const OutputTargets& targets) {
  std::error_code error;
  const bool same = targets.tables.lexically_normal() == targets.pairs.lexically_normal() ||
                    std::filesystem::equivalent(targets.tables, targets.pairs, error);
  if (same) {
    fail("the pair table and the transiograms would be the same file " + shownPath(targets.tables) +
         " (choose another --pairs)");
  }
  for (const auto& [file, what] :
       {std::pair{&targets.tables, "the output"}, std::pair{&targets.pairs, "the pair table"}}) {
    if (!targets.input.empty() && (file->lexically_normal() == targets.input.lexically_normal() ||
                                   std::filesystem::equivalent(*file, targets.input, error))) {
      fail(std::string(what) + " " + shownPath(*file) + " is the data file itself; choose another name");
    }
  }
  checkTarget(targets.tables, "the output", targets.force);
  checkTarget(targets.pairs, "the pair table", targets.force);
}

void writeOutputs(const OutputTargets& targets, const EstimateTables& tables) {
  checkTargets(targets);
  const std::optional<std::string> oldPairs = existingBytes(targets.pairs);
  if (const std::string failure = runtime::replaceFile(targets.pairs, tables.pairTable); !failure.empty()) {
    fail("the pair table " + shownPath(targets.pairs) + " is not written: " + failure);
  }
  if (const std::string failure = runtime::replaceFile(targets.tables, tables.expTgrams); !failure.empty()) {
    // Undo the pair table, so that the two files still belong together.
    std::error_code ignored;
    if (oldPairs) {
      runtime::replaceFile(targets.pairs, *oldPairs);
    } else {
      std::filesystem::remove(targets.pairs, ignored);
    }
    fail("the output " + shownPath(targets.tables) + " is not written: " + failure);
  }
}

}  // namespace tgram::estimate
