// The estimator on 100 000 samples in 2-D, uniform over a square, with the
// lag classes reaching 5 % of its side (10 classes): the pair search and
// count alone on 1 and 2 threads, and the whole run (reading the CSV file,
// counting, writing both files). "visited" is the rate of pairs of samples
// looked at; "counted" the rate of ordered pairs counted in a class.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "estimate/categories.hpp"
#include "estimate/estimate_program.hpp"
#include "estimate/pair_search.hpp"
#include "estimate/sample_table.hpp"
#include "runtime/os.hpp"

namespace {

namespace fs = std::filesystem;
using namespace tgram::estimate;

constexpr double kSide = 100000.0;
constexpr int kClasses = 10;
constexpr double kLagWidth = 0.05 * kSide / (kClasses + 0.5);

const std::string& samplesCsv() {
  static const std::string csv = [] {
    std::mt19937 random(42);
    std::uniform_real_distribution<double> place(0.0, kSide);
    std::uniform_int_distribution<int> category(1, 4);
    std::string text = "x,y,facies\n";
    char row[96];
    for (int s = 0; s < 100000; ++s) {
      std::snprintf(row, sizeof row, "%.3f,%.3f,%d\n", place(random), place(random), category(random));
      text += row;
    }
    return text;
  }();
  return csv;
}

void PairSearch(benchmark::State& state) {
  const SampleTable samples = readSamples(samplesCsv(), "samples.csv", ReadSettings{});
  const Categories categories = assignCategories(samples, std::nullopt, "samples.csv");
  PairSettings settings;
  settings.lagWidth = kLagWidth;
  settings.classCount = kClasses;
  std::uint64_t visited = 0, counted = 0;
  for (auto _ : state) {
    const SearchResult result = countPairs(samples, categories, settings, static_cast<unsigned>(state.range(0)));
    visited += result.visited;
    counted = 0;
    for (const LagClassCounts& lagClass : result.classes) counted += lagClass.total();
    benchmark::DoNotOptimize(result.classes.data());
  }
  state.counters["visited"] = benchmark::Counter(static_cast<double>(visited), benchmark::Counter::kIsRate);
  state.counters["counted"] = benchmark::Counter(static_cast<double>(counted) * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(PairSearch)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void WholeRun(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / ("tgramest-bench-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  std::ofstream(dir / "samples.csv", std::ios::binary) << samplesCsv();
  namespace os = tgram::runtime::os;
  tgram::recio::ConsoleStreams streams;
  const os::Opened null = os::openDevice("NUL", os::Access::Write);
  streams.output = null.handle;
  streams.error = null.handle;
  const std::vector<std::string> arguments = {"--lag-width",
                                              std::to_string(kLagWidth),
                                              "--max-class",
                                              std::to_string(kClasses),
                                              "--threads",
                                              "2",
                                              "--force",
                                              "--quiet",
                                              "-o",
                                              (dir / "ExpTgrams.txt").string(),
                                              (dir / "samples.csv").string()};
  for (auto _ : state) {
    if (runEstimate(streams, arguments) != 0) state.SkipWithError("the run failed");
  }
  os::close(null.handle);
  fs::remove_all(dir);
}
BENCHMARK(WholeRun)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
