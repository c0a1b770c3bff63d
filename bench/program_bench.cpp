// The whole program on a full-size input: 401 experimental points of 400
// values, models for lags 0..1000. Reports wall time and the peak resident
// memory of the program, with standard output to /dev/null and to a file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

// Runs the program once; returns its peak resident memory in kB.
long runOnce(const char* stdoutPath) {
  const std::string dir = workDir().string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || out < 0 || ::chdir(dir.c_str()) != 0) ::_exit(125);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::execl(TGRAM_BINARY, TGRAM_BINARY, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  return usage.ru_maxrss;
}

void run(benchmark::State& state, const char* stdoutPath) {
  long peak = 0;
  for (auto _ : state) peak = std::max(peak, runOnce(stdoutPath));
  state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024.0;
  state.counters["model_MB"] =
      static_cast<double>(fs::file_size(workDir() / "TgramModels.txt")) / 1e6;
}

void BM_WholeRunStdoutToDevNull(benchmark::State& state) { run(state, "/dev/null"); }
void BM_WholeRunStdoutToFile(benchmark::State& state) {
  const std::string console = (workDir() / "console.txt").string();
  run(state, console.c_str());
  state.counters["console_MB"] = static_cast<double>(fs::file_size(console)) / 1e6;
}

BENCHMARK(BM_WholeRunStdoutToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WholeRunStdoutToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
