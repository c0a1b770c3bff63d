// The I/O floor of a run: replays a captured console stream and model file
// with the writes the program makes and nothing else. Each console record is
// one write (the line end owed for the record before, then the record); the
// model file is written in 1024-byte blocks into "TgramModels.txt" of the
// current folder, spread evenly over the console records of the model phase
// as the program does. The time of this process is what any program writing
// the same bytes the same way needs at least.
//
//   io_floor <console stream> <console pieces> <model file>
//
// The pieces file holds 32-bit numbers in the machine's byte order: the
// index of the first piece of the model phase, then the length of every
// piece (one write each), so that the replay itself does not search the
// stream. Plain POSIX calls only, so that the process starts as quickly as
// any.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

namespace {

struct Mapped {
  const char* data = nullptr;
  std::size_t size = 0;
};

bool mapFile(const char* path, Mapped& out) {
  const int fd = ::open(path, O_RDONLY);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  out.size = static_cast<std::size_t>(st.st_size);
  if (out.size > 0) {
    void* p = ::mmap(nullptr, out.size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (p == MAP_FAILED) return false;
    out.data = static_cast<const char*>(p);
  }
  ::close(fd);
  return true;
}

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

constexpr std::size_t kBlock = 1024;

bool writeBlock(int fd, const Mapped& model, std::size_t block) {
  const std::size_t offset = block * kBlock;
  const std::size_t size = model.size - offset < kBlock ? model.size - offset : kBlock;
  return writeAll(fd, model.data + offset, size);
}

}  // namespace

int main(int argc, char** argv) {
  Mapped console;
  Mapped pieceFile;
  Mapped model;
  if (argc != 4 || !mapFile(argv[1], console) || !mapFile(argv[2], pieceFile) ||
      !mapFile(argv[3], model) || pieceFile.size < 4) {
    return 2;
  }
  const auto* pieces = reinterpret_cast<const std::uint32_t*>(pieceFile.data);
  const std::size_t pieceCount = pieceFile.size / 4 - 1;
  const std::size_t phaseStart = pieces[0];
  ++pieces;

  const int out = ::open("TgramModels.txt", O_RDWR | O_CREAT, 0666);
  if (out < 0 || ::ftruncate(out, 0) != 0) return 2;
  const std::size_t blocks = (model.size + kBlock - 1) / kBlock;
  const std::size_t phasePieces = pieceCount > phaseStart ? pieceCount - phaseStart : 0;
  std::size_t written = 0;
  std::size_t at = 0;
  for (std::size_t i = 0; i < pieceCount; ++i) {
    if (!writeAll(1, console.data + at, pieces[i])) return 1;
    at += pieces[i];
    if (i >= phaseStart) {
      // Blocks due by this point of the phase, evenly spread.
      const std::size_t due = blocks * (i - phaseStart + 1) / phasePieces;
      for (; written < due; ++written) {
        if (!writeBlock(out, model, written)) return 1;
      }
    }
  }
  for (; written < blocks; ++written) {
    if (!writeBlock(out, model, written)) return 1;
  }
  return ::close(out) == 0 ? 0 : 1;
}
