// The grid pair counter on a generated 5-class map (class_map_source.hpp:
// patches with ragged edges, as real class maps have; and, for contrast,
// random noise with no runs), and the whole program on a 10 000 x 10 000
// GeoTIFF of that map: --direction axes, 100 lags. Reports cell pairs per
// second (the ordered pairs that end in the tables, each direction
// counted), and for the whole program its wall time and own peak memory.
// In the same run, a plain loop over every cell and offset counts the same
// map, as the peer the run-based counter is measured against. The first
// run writes the GeoTIFF (about 10 MB) into the benchmark's build folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "class_map_source.hpp"
#include "estimate/raster/grid_estimate.hpp"
#if TGRAM_HAVE_GDAL
#include <gdal.h>
#endif

namespace {

namespace fs = std::filesystem;
using tgram::bench::ClassMapSource;
using namespace tgram::estimate;

constexpr int kLags = 100;

std::uint64_t allPairs(const PairCounts& counts) {
  std::uint64_t pairs = 0;
  for (const LagClassCounts& lagClass : counts.classes) pairs += lagClass.total();
  return pairs;
}

void countGenerated(benchmark::State& state, bool noise) {
  const auto side = state.range(0);
  std::uint64_t pairs = 0;
  for (auto _ : state) {
    ClassMapSource source(side, side, noise);
    raster::GridSettings settings;
    settings.direction = raster::GridDirection::Axes;
    settings.classCount = kLags;
    settings.threads = 2;
    const PairCounts counts = raster::countGridPairs(source, "generated", settings);
    pairs = allPairs(counts);
    benchmark::DoNotOptimize(pairs);
  }
  state.counters["pairs"] = static_cast<double>(pairs);
  state.counters["pairs_per_second"] =
      benchmark::Counter(static_cast<double>(pairs) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_GridPairsClassMap(benchmark::State& state) { countGenerated(state, false); }
void BM_GridPairsNoise(benchmark::State& state) { countGenerated(state, true); }
BENCHMARK(BM_GridPairsClassMap)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GridPairsNoise)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: every cell and offset east and south of the same map held in
// memory as bytes, on 2 threads with tables of their own; west and north
// are the same pairs swapped, so the pooled tables hold twice the pairs.
void BM_PlainLoopClassMap(benchmark::State& state) {
  const auto side = state.range(0);
  std::vector<std::uint8_t> map(static_cast<std::size_t>(side * side));
  {
    ClassMapSource source(side, side, false);
    std::vector<double> values(static_cast<std::size_t>(side * side));
    source.readRows(side, values);
    for (std::size_t i = 0; i < values.size(); ++i) map[i] = static_cast<std::uint8_t>(values[i] - 1);
  }
  std::uint64_t pairs = 0;
  for (auto _ : state) {
    std::vector<std::vector<std::uint64_t>> tables(2, std::vector<std::uint64_t>((kLags + 1) * 25, 0));
    auto count = [&](std::int64_t firstRow, std::int64_t lastRow, std::vector<std::uint64_t>& table) {
      for (std::int64_t r = firstRow; r < lastRow; ++r) {
        const std::uint8_t* row = map.data() + r * side;
        for (std::int64_t d = 1; d <= kLags; ++d) {
          std::uint64_t* lag = table.data() + d * 25;
          for (std::int64_t c = 0; c + d < side; ++c) ++lag[row[c] * 5 + row[c + d]];
          if (r + d < side) {
            const std::uint8_t* below = row + d * side;
            for (std::int64_t c = 0; c < side; ++c) ++lag[row[c] * 5 + below[c]];
          }
        }
      }
    };
    std::thread other(count, side / 2, side, std::ref(tables[1]));
    count(0, side / 2, tables[0]);
    other.join();
    pairs = 0;
    for (const auto& table : tables)
      for (const std::uint64_t n : table) pairs += 2 * n;
    benchmark::DoNotOptimize(pairs);
  }
  state.counters["pairs"] = static_cast<double>(pairs);
  state.counters["pairs_per_second"] =
      benchmark::Counter(static_cast<double>(pairs) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainLoopClassMap)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

#if TGRAM_HAVE_GDAL

// The map as a GeoTIFF (Byte, 256 x 256 tiles, DEFLATE), made once and
// kept in the benchmark's build folder.
fs::path generatedGeoTiff(std::int64_t side) {
  const fs::path path = fs::path(TGRAM_BENCH_DATA_DIR) / ("class-map-" + std::to_string(side) + ".tif");
  if (fs::exists(path)) return path;
  GDALAllRegister();
  const fs::path partial = path.string() + ".partial";
  const char* options[] = {"TILED=YES", "BLOCKXSIZE=256", "BLOCKYSIZE=256", "COMPRESS=DEFLATE", "ZLEVEL=1", nullptr};
  GDALDatasetH dataset = GDALCreate(GDALGetDriverByName("GTiff"), partial.string().c_str(), static_cast<int>(side),
                                    static_cast<int>(side), 1, GDT_Byte, const_cast<char**>(options));
  if (dataset == nullptr) std::abort();
  double transform[6] = {100000, 25, 0, 600000, 0, -25};
  GDALSetGeoTransform(dataset, transform);
  GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
  GDALSetRasterNoDataValue(band, 0);
  ClassMapSource source(side, side, false);
  const std::int64_t rows = 256;
  std::vector<double> values(static_cast<std::size_t>(rows * side));
  for (std::int64_t row = 0; row < side; row += rows) {
    const std::int64_t count = std::min(rows, side - row);
    source.readRows(count, std::span<double>(values.data(), static_cast<std::size_t>(count * side)));
    if (GDALRasterIO(band, GF_Write, 0, static_cast<int>(row), static_cast<int>(side), static_cast<int>(count),
                     values.data(), static_cast<int>(side), static_cast<int>(count), GDT_Float64, 0, 0) != CE_None)
      std::abort();
  }
  GDALClose(dataset);
  fs::rename(partial, path);
  return path;
}

struct ProgramRun {
  double seconds;     // wall time
  double cpuSeconds;  // user and system time of the launcher and the program
  long peakKb;
};

// tgramest through peak_launcher, which reports the program's own peak
// resident memory on descriptor 3.
ProgramRun runEstimate(const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(TGRAM_PEAK_LAUNCHER), const_cast<char*>(TGRAM_ESTIMATE_BINARY)};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int peakPipe[2];
  if (::pipe(peakPipe) != 0) std::abort();
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int none = ::open("/dev/null", O_RDWR);
    ::dup2(none, 0);
    ::dup2(none, 1);
    if (::dup2(peakPipe[1], 3) != 3) ::_exit(125);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(peakPipe[1]);
  char text[32];
  const ssize_t got = ::read(peakPipe[0], text, sizeof text);
  ::close(peakPipe[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got <= 0) std::abort();
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return {std::chrono::duration<double>(end - start).count(), seconds(usage.ru_utime) + seconds(usage.ru_stime),
          std::stol(std::string(text, static_cast<std::size_t>(got)))};
}

std::uint64_t pairsInTable(const fs::path& table) {
  std::ifstream in(table);
  std::string line;
  std::uint64_t pairs = 0;
  bool inPairs = false;
  while (std::getline(in, line)) {
    if (line.rfind("lag,", 0) == 0) {
      inPairs = true;
      continue;
    }
    if (!inPairs || line.size() < 3) continue;
    std::stringstream cut(line);
    std::string field;
    for (int i = 0; i < 7 && std::getline(cut, field, ','); ++i) {
    }
    pairs += std::stoull(field);
  }
  return pairs;
}

void BM_WholeProgramGeoTiff(benchmark::State& state) {
  const auto side = state.range(0);
  const fs::path map = generatedGeoTiff(side);
  const fs::path out = fs::path(TGRAM_BENCH_DATA_DIR) / "raster-run";
  fs::create_directories(out);
  ProgramRun run{};
  for (auto _ : state) {
    run = runEstimate({map.string(), "--direction", "axes", "--max-class", std::to_string(kLags), "-q", "--force",
                       "-o", (out / "ExpTgrams.txt").string()});
    state.SetIterationTime(run.seconds);
  }
  const std::uint64_t pairs = pairsInTable(out / "ExpTgrams.pairs.csv");
  state.counters["pairs"] = static_cast<double>(pairs);
  state.counters["pairs_per_second"] = static_cast<double>(pairs) / run.seconds;
  state.counters["seconds"] = run.seconds;
  // On a machine shared with other work, the CPU time says more than the
  // wall time: on 2 free cores the wall time is about half of it.
  state.counters["cpu_seconds"] = run.cpuSeconds;
  state.counters["peak_MB"] = static_cast<double>(run.peakKb) / 1024.0;
}
BENCHMARK(BM_WholeProgramGeoTiff)->Arg(10000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

#endif

}  // namespace
