// The whole program on a full-size input: 401 experimental points of 400
// values, models for lags 0..1000. Reports wall time and the peak resident
// memory of the program, with standard output to /dev/null and to a file,
// and, in the same run, the I/O floor (io_floor replaying the program's
// console stream and model file with the same writes) and the ratio of the
// two.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/full_size_input.hpp"

namespace {

namespace fs = std::filesystem;

using tgram::testing::fullSizeInput;

// The folder the runs share, removed at exit.
char gWorkDir[4096];

const fs::path& workDir() {
  static const fs::path dir = [] {
    const std::string pattern = (fs::temp_directory_path() / "tgram-bench-XXXXXX").string();
    std::snprintf(gWorkDir, sizeof gWorkDir, "%s", pattern.c_str());
    if (::mkdtemp(gWorkDir) == nullptr) std::abort();
    std::ofstream(fs::path(gWorkDir) / "ExpTgrams.txt", std::ios::binary) << fullSizeInput();
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(fs::path(gWorkDir), ignored);
    });
    return fs::path(gWorkDir);
  }();
  return dir;
}

struct RunResult {
  double seconds;     // wall time
  double cpuSeconds;  // user and system time
  long peakKb;        // the program's own peak, when started through the launcher
};

// Runs `binary` with `args` in `dir`, standard output to `stdoutPath`. With
// `measurePeak`, the program starts through peak_launcher, which reports the
// program's own peak resident memory on a pipe: a process forked from here
// and then started by exec is charged with this benchmark's memory at the
// fork. Timed runs start the program directly.
RunResult runProcess(const char* binary, const std::vector<std::string>& args, const std::string& dir,
                     const char* stdoutPath, bool measurePeak = false) {
  std::vector<char*> argv;
  if (measurePeak) argv.push_back(const_cast<char*>(TGRAM_PEAK_LAUNCHER));
  argv.push_back(const_cast<char*>(binary));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int peakPipe[2] = {-1, -1};
  if (measurePeak && ::pipe(peakPipe) != 0) std::abort();
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || ::chdir(dir.c_str()) != 0) ::_exit(125);
    ::dup2(in, 0);
    ::dup2(out, 1);
    if (measurePeak) {
      if (::dup2(peakPipe[1], 3) != 3) ::_exit(125);
      if (peakPipe[0] != 3) ::close(peakPipe[0]);
      if (peakPipe[1] != 3) ::close(peakPipe[1]);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  long peakKb = 0;
  if (measurePeak) {
    ::close(peakPipe[1]);
    char text[32];
    std::size_t got = 0;
    for (ssize_t n; got < sizeof text && (n = ::read(peakPipe[0], text + got, sizeof text - got)) > 0;) {
      got += static_cast<std::size_t>(n);
    }
    ::close(peakPipe[0]);
    for (std::size_t i = 0; i < got; ++i) peakKb = peakKb * 10 + (text[i] - '0');
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  if (measurePeak && peakKb == 0) std::abort();
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return {std::chrono::duration<double>(end - start).count(),
          seconds(usage.ru_utime) + seconds(usage.ru_stime), peakKb};
}

// Runs the program once through the launcher; returns its own peak resident
// memory in kB.
long runOnce(const char* stdoutPath) {
  return runProcess(TGRAM_BINARY, {}, workDir().string(), stdoutPath, true).peakKb;
}

// Cuts the captured console stream as the program writes it, one write per
// record, each but the first beginning with the line end owed for the
// record before, and saves what io_floor needs: the index of the first
// piece of the model phase, then the pieces' lengths. Returns the count.
std::size_t savePieces(const std::string& console, const fs::path& out) {
  std::vector<std::uint32_t> lengths;
  std::size_t start = 0;
  std::size_t phase = 0;
  const std::size_t phaseAt = console.find("Write linear-interpolated transiogram models");
  for (std::size_t i = 1; i + 1 < console.size(); ++i) {
    if (console[i] != '\r' || console[i + 1] != '\n') continue;
    if (phaseAt != std::string::npos && start <= phaseAt && phaseAt < i) phase = lengths.size();
    lengths.push_back(static_cast<std::uint32_t>(i - start));
    start = i;
  }
  lengths.push_back(static_cast<std::uint32_t>(console.size() - start));
  lengths.insert(lengths.begin(), static_cast<std::uint32_t>(phase));
  std::ofstream(out, std::ios::binary)
      .write(reinterpret_cast<const char*>(lengths.data()),
             static_cast<std::streamsize>(lengths.size() * sizeof(std::uint32_t)));
  return lengths.size() - 1;
}

std::string readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The program and the floor, one after the other in every iteration, with
// standard output to /dev/null. The counters are medians over the
// iterations: wall time, and CPU time (user and system), which other work
// on a shared machine disturbs less; ratio_fastest compares the fastest
// runs.
void BM_WholeRunAgainstIoFloor(benchmark::State& state) {
  const fs::path floorDir = workDir() / "floor";
  fs::create_directories(floorDir);
  const std::string console = (workDir() / "console-capture.txt").string();
  const long peak = runOnce(console.c_str());
  fs::copy_file(workDir() / "TgramModels.txt", workDir() / "model-capture.txt",
                fs::copy_options::overwrite_existing);
  const fs::path pieces = workDir() / "console-pieces.bin";
  const std::size_t writes = savePieces(readWhole(console), pieces);
  const std::vector<std::string> floorArgs{console, pieces.string(),
                                           (workDir() / "model-capture.txt").string()};
  std::vector<double> program;
  std::vector<double> floor;
  std::vector<double> programCpu;
  std::vector<double> floorCpu;
  for (auto _ : state) {
    const RunResult run = runProcess(TGRAM_BINARY, {}, workDir().string(), "/dev/null");
    program.push_back(run.seconds);
    programCpu.push_back(run.cpuSeconds);
    const RunResult replay = runProcess(TGRAM_IO_FLOOR, floorArgs, floorDir.string(), "/dev/null");
    floor.push_back(replay.seconds);
    floorCpu.push_back(replay.cpuSeconds);
  }
  // The floor must have written the very same model file.
  if (readWhole(workDir() / "model-capture.txt") != readWhole(floorDir / "TgramModels.txt")) {
    state.SkipWithError("the floor wrote a different model file");
  }
  state.counters["console_writes"] = static_cast<double>(writes);
  const double programMs = median(program) * 1e3;
  const double floorMs = median(floor) * 1e3;
  state.counters["program_ms"] = programMs;
  state.counters["floor_ms"] = floorMs;
  state.counters["ratio"] = programMs / floorMs;
  state.counters["ratio_fastest"] = *std::min_element(program.begin(), program.end()) /
                                    *std::min_element(floor.begin(), floor.end());
  state.counters["program_cpu_ms"] = median(programCpu) * 1e3;
  state.counters["floor_cpu_ms"] = median(floorCpu) * 1e3;
  state.counters["cpu_ratio"] = median(programCpu) / median(floorCpu);
  state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024.0;
}

void run(benchmark::State& state, const char* stdoutPath) {
  long peak = 0;
  for (auto _ : state) peak = std::max(peak, runOnce(stdoutPath));
  state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024.0;
  state.counters["model_MB"] =
      static_cast<double>(fs::file_size(workDir() / "TgramModels.txt")) / 1e6;
}

void BM_WholeRunStdoutToFile(benchmark::State& state) {
  const std::string console = (workDir() / "console.txt").string();
  run(state, console.c_str());
  state.counters["console_MB"] = static_cast<double>(fs::file_size(console)) / 1e6;
}

BENCHMARK(BM_WholeRunAgainstIoFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(21);
BENCHMARK(BM_WholeRunStdoutToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
