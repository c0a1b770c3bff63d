// The whole program run on arbitrary bytes as "ExpTgrams.txt", in a scratch
// folder. Every run must end by STOP (status 0) or by a report (status 1);
// a run that fails before the model phase must leave no model file, and a
// run that ends by STOP must leave a model file that ends with a record end.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/entry.hpp"

namespace {

// The folder every run works in, made once, in memory where the system
// offers it (creating and cutting files on a disk costs more than a run).
// The fuzzer's own folder is left again after each run, since it reads its
// corpus by relative names. The folder goes when the fuzzer ends.
const char* folder = nullptr;

void removeScratchFolder() {
  const std::string path = folder;
  for (const char* name : {"/ExpTgrams.txt", "/TgramModels.txt"}) ::unlink((path + name).c_str());
  ::rmdir(folder);
}

const char* scratchFolder() {
  static char inMemory[] = "/dev/shm/tgram-fuzz-XXXXXX";
  static char onDisk[] = "/tmp/tgram-fuzz-XXXXXX";
  if (folder == nullptr) {
    folder = ::mkdtemp(inMemory) ? inMemory : ::mkdtemp(onDisk);
    if (folder == nullptr) std::abort();
    std::atexit(removeScratchFolder);
  }
  return folder;
}

void writeInput(const std::uint8_t* data, std::size_t size) {
  const int fd = ::open("ExpTgrams.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) std::abort();
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) std::abort();
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

std::string readFrom(int fd) {
  std::string bytes;
  char block[65536];
  for (ssize_t n; (n = ::pread(fd, block, sizeof block, static_cast<off_t>(bytes.size()))) > 0;) {
    bytes.append(block, static_cast<std::size_t>(n));
  }
  return bytes;
}

std::string readAll(const char* name) {
  const int fd = ::open(name, O_RDONLY);
  if (fd < 0) return {};
  std::string bytes = readFrom(fd);
  ::close(fd);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int home = ::open(".", O_RDONLY | O_DIRECTORY);
  if (home < 0 || ::chdir(scratchFolder()) != 0) std::abort();
  writeInput(data, size);
  ::unlink("TgramModels.txt");

  tgram::recio::ConsoleStreams streams;
  streams.input = ::open("/dev/null", O_RDONLY);
  streams.output = ::memfd_create("console", 0);
  streams.error = ::open("/dev/null", O_WRONLY);
  if (streams.input < 0 || streams.output < 0 || streams.error < 0) std::abort();
  const int status = tgram::app::runProcess(streams, {});
  const std::string console = readFrom(streams.output);
  ::close(streams.input);
  ::close(streams.output);
  ::close(streams.error);

  if (status != 0 && status != 1) std::abort();
  const bool reachedModelPhase =
      console.find("Write linear-interpolated transiogram models") != std::string::npos;
  struct stat st {};
  const bool modelExists = ::stat("TgramModels.txt", &st) == 0;
  if (!reachedModelPhase && modelExists) std::abort();
  if (status == 0) {
    const std::string model = readAll("TgramModels.txt");
    if (model.size() < 2 || model.compare(model.size() - 2, 2, "\r\n") != 0) std::abort();
    if (console.find("Stop - Program terminated.\r\n") == std::string::npos) std::abort();
  }
  if (::fchdir(home) != 0) std::abort();
  ::close(home);
  return 0;
}
