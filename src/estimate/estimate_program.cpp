#include "estimate/estimate_program.hpp"

#include <chrono>
#include <new>

#include "estimate/categories.hpp"
#include "estimate/estimate_error.hpp"
#include "estimate/estimate_tables.hpp"
#include "estimate/options.hpp"
#include "estimate/output_files.hpp"
#include "estimate/pair_search.hpp"
#include "estimate/raster/raster_run.hpp"
#include "estimate/sample_table.hpp"
#include "model/shortest_text.hpp"
#include "runtime/os.hpp"
#include "runtime/replace_file.hpp"

namespace tgram::estimate {

namespace {

constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;

// Like everything the programs write, lines end in CR LF.
void say(runtime::os::Handle stream, const std::string& text) { runtime::os::writeAll(stream, text); }

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    if (!text.empty()) text += ", ";
    text += item;
  }
  return text;
}

ReadSettings readSettings(const EstimateOptions& options) {
  ReadSettings settings;
  settings.format = options.format;
  settings.delimiter = options.delimiter;
  settings.missing = options.missing;
  for (const auto* column : {&options.x, &options.y, &options.z}) {
    if (*column) settings.columns.coordinates.push_back(**column);
  }
  settings.columns.category = options.category;
  settings.columns.group = options.group;
  return settings;
}

PairSettings pairSettings(const EstimateOptions& options) {
  PairSettings settings;
  settings.lagWidth = *options.lagWidth;
  settings.classCount = options.maxClass;
  settings.direction = options.direction;
  settings.toleranceDegrees = options.tolerance.value_or(kDefaultTolerance);
  settings.bandwidth = options.bandwidth;
  settings.bothWays = options.bothWays;
  return settings;
}

// The lines that describe the run, for the pair table.
std::vector<std::string> runComments(const EstimateOptions& options, const SampleTable& samples) {
  std::vector<std::string> lines;
  lines.push_back("input: " + shownPath(runtime::pathFromUtf8(options.input)) +
                  (samples.format == FileFormat::Gslib ? " (GSLIB point file)" : " (CSV)"));
  std::string columns = "coordinates: " + joined(samples.coordinateNames) + "; category: " + samples.categoryName;
  if (!samples.groupName.empty()) columns += "; group: " + samples.groupName + " (no pair crosses two groups)";
  lines.push_back(columns);
  lines.push_back("samples: " + std::to_string(samples.size()) + " read, " + std::to_string(samples.skipped) +
                  " skipped (a missing value)");
  if (!options.direction) {
    lines.push_back("direction: all (every pair in both orders)");
  } else {
    std::vector<std::string> components;
    for (const double c : *options.direction) components.push_back(model::shortestText(c));
    std::string direction = "direction: " + joined(components) + "; tolerance " +
                            model::shortestText(options.tolerance.value_or(kDefaultTolerance)) + " degrees";
    if (options.bandwidth) direction += "; bandwidth " + model::shortestText(*options.bandwidth);
    direction += options.bothWays ? "; both ways" : "; ahead only";
    lines.push_back(direction);
  }
  return lines;
}

// A line on standard error now and then once the count has taken a second.
class ProgressLine {
 public:
  ProgressLine(runtime::os::Handle stream, bool quiet) : stream_(stream), quiet_(quiet) {}

  void operator()(std::size_t done, std::size_t total) {
    if (quiet_ || total == 0) return;
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    if (elapsed < std::chrono::seconds(1)) return;
    const auto percent = static_cast<int>(done * 100 / total);
    if (percent / 10 <= shown_ / 10) return;
    shown_ = percent;
    say(stream_, "tgramest: counting pairs: " + std::to_string(percent) + " %\r\n");
  }

 private:
  runtime::os::Handle stream_;
  bool quiet_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  int shown_ = 0;
};

// The samples' pairs counted; "N samples" for the summary line.
PairCounts countSamples(const recio::ConsoleStreams& streams, const EstimateOptions& options,
                        std::string& members) {
  const SampleTable samples = readSampleFile(runtime::pathFromUtf8(options.input), readSettings(options));
  if (options.direction && options.direction->size() != samples.dimensions) {
    fail("--direction has " + std::to_string(options.direction->size()) + " component" +
         (options.direction->size() == 1 ? "" : "s") + ", but the samples have " + std::to_string(samples.dimensions) +
         " coordinate" + (samples.dimensions == 1 ? "" : "s") + " (" + joined(samples.coordinateNames) + ")");
  }
  if (samples.skipped > 0) {
    say(streams.error, "tgramest: " + std::to_string(samples.skipped) + " row" + (samples.skipped == 1 ? "" : "s") +
                           " with a missing value skipped\r\n");
  }
  const Categories categories = assignCategories(samples, options.categories, runtime::pathFromUtf8(options.input));

  ProgressLine progress(streams.error, options.quiet);
  const SearchResult found = countPairs(samples, categories, pairSettings(options), options.threads,
                                        [&progress](std::size_t done, std::size_t total) { progress(done, total); });
  for (const auto& [lineA, lineB] : found.firstConflicts) {
    say(streams.error, "tgramest: warning: the samples of lines " + std::to_string(lineA) + " and " +
                           std::to_string(lineB) +
                           " are at the same place with different categories (never a pair)\r\n");
  }
  if (found.conflicts > found.firstConflicts.size()) {
    say(streams.error, "tgramest: warning: " + std::to_string(found.conflicts - found.firstConflicts.size()) +
                           " more such pairs of samples\r\n");
  }

  PairCounts counts;
  counts.labels = categories.labels;
  counts.members = categories.members;
  counts.lagWidth = *options.lagWidth;
  counts.classes = found.classes;
  counts.comments = runComments(options, samples);
  members = std::to_string(samples.size()) + " samples";
  return counts;
}

// A raster's pairs counted; "N cells" for the summary line.
PairCounts countRasterCells(const recio::ConsoleStreams& streams, const EstimateOptions& options,
                            std::string& members) {
  ProgressLine progress(streams.error, options.quiet);
  PairCounts counts = raster::countRaster(
      options, [&progress](std::size_t done, std::size_t total) { progress(done, total); });
  std::uint64_t cells = 0;
  for (const std::uint64_t n : counts.members) cells += n;
  members = std::to_string(cells) + " cells";
  return counts;
}

void estimate(const recio::ConsoleStreams& streams, const EstimateOptions& options) {
  checkOptions(options);
  OutputTargets targets;
  // Names come in UTF-8 on every system; a path made straight from a
  // std::string would go through the ANSI code page on Windows.
  targets.tables = runtime::pathFromUtf8(options.output);
  targets.pairs = options.pairs ? runtime::pathFromUtf8(*options.pairs) : pairTableBeside(targets.tables);
  targets.force = options.force;
  targets.input = runtime::pathFromUtf8(options.input);
  checkTargets(targets);  // before any work: an existing file is refused at once

  std::string members;
  const PairCounts counts = readsRaster(options) ? countRasterCells(streams, options, members)
                                                 : countSamples(streams, options, members);
  TableSettings tableSettings;
  tableSettings.minPairs = options.minPairs;
  tableSettings.maxLag = options.maxLag;
  const EstimateTables tables = buildTables(counts, tableSettings);
  writeOutputs(targets, tables);

  std::string written;
  for (const int k : tables.writtenLags) {
    if (!written.empty()) written += ',';
    written += std::to_string(k);
  }
  say(streams.output, "tgramest: " + members + ", " + std::to_string(counts.labels.size()) + " categories; " +
                          std::to_string(tables.writtenLags.size()) + " of " + std::to_string(options.maxClass) +
                          " lag classes written (" + written + "), maxLag " + std::to_string(tables.maxLag) + "\r\n");
  say(streams.output, "tgramest: " + shownPath(targets.tables) + " and " + shownPath(targets.pairs) + " written\r\n");
}

}  // namespace

int runEstimate(const recio::ConsoleStreams& streams, const std::vector<std::string>& arguments) {
  const ParsedOptions parsed = parseOptions(arguments);
  if (!parsed.error.empty()) {
    say(streams.error, "tgramest: " + parsed.error + "\r\n\r\n" + usageText());
    return kUsageStatus;
  }
  const EstimateOptions& options = parsed.options;
  if (options.action == EstimateOptions::Action::Help) {
    say(streams.output, usageText());
    return 0;
  }
  if (options.action == EstimateOptions::Action::Version) {
    say(streams.output, "tgramest " TGRAM_VERSION "\r\n");
    return 0;
  }
  try {
    estimate(streams, options);
  } catch (const EstimateError& error) {
    say(streams.error, std::string("tgramest: ") + error.what() + "; nothing is written\r\n");
    return kFailureStatus;
  } catch (const std::bad_alloc&) {
    say(streams.error, "tgramest: memory ran out; nothing is written\r\n");
    return kFailureStatus;
  }
  return 0;
}

}  // namespace tgram::estimate
