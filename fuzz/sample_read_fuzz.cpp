// Arbitrary bytes as a data file of samples: read as CSV (with each
// delimiter), as GSLIB and by layout, then into categories. Every outcome
// is a table of samples or an EstimateError; nothing else may happen.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "estimate/categories.hpp"
#include "estimate/estimate_error.hpp"
#include "estimate/sample_table.hpp"

using namespace tgram::estimate;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the reading; the rest is the file.
  const std::uint8_t choice = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  ReadSettings settings;
  settings.format = choice % 3 == 0 ? FileFormat::Auto : choice % 3 == 1 ? FileFormat::Csv : FileFormat::Gslib;
  static const char kDelimiters[] = {0, ',', ';', '\t'};
  settings.delimiter = kDelimiters[(choice / 3) % 4];
  if (choice & 0x40) settings.columns.coordinates = {"1", "2"};
  if (choice & 0x80) settings.columns.category = "3";
  try {
    const SampleTable samples = readSamples(bytes, "fuzz.csv", settings);
    if (samples.coordinates.size() != samples.size() * samples.dimensions) __builtin_trap();
    const Categories categories = assignCategories(samples, std::nullopt, "fuzz.csv");
    if (categories.index.size() != samples.size()) __builtin_trap();
  } catch (const EstimateError&) {
  }
  return 0;
}
