// The I/O floor of a run: replays a captured console stream and model file
// with the writes the program makes and nothing else. Each console record is
// one write (the line end owed for the record before, then the record); the
// model file is written in 1024-byte blocks into "TgramModels.txt" of the
// current folder, spread over the console records of the model phase as the
// program does. The time of this process is what any program writing the
// same bytes the same way needs at least.
//
//   io_floor <captured console stream> <captured model file>
//
// Plain POSIX calls only, so that the process starts as quickly as any.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

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

// The end of the console piece starting at `from`: the next line end after
// its own leading one.
std::size_t pieceEnd(const Mapped& console, std::size_t from) {
  std::size_t i = from + 1;
  while (i + 1 < console.size && !(console.data[i] == '\r' && console.data[i + 1] == '\n')) ++i;
  return i + 1 < console.size ? i : console.size;
}

std::size_t countPieces(const Mapped& console, std::size_t from) {
  std::size_t pieces = 0;
  for (std::size_t at = from; at < console.size; at = pieceEnd(console, at)) ++pieces;
  return pieces;
}

}  // namespace

int main(int argc, char** argv) {
  Mapped console;
  Mapped model;
  if (argc != 3 || !mapFile(argv[1], console) || !mapFile(argv[2], model)) return 2;
  const int out = ::open("TgramModels.txt", O_RDWR | O_CREAT, 0666);
  if (out < 0 || ::ftruncate(out, 0) != 0) return 2;

  // The model phase begins with this console record.
  static const char kModelPhase[] = "Write linear-interpolated transiogram models";
  const void* phase = ::memmem(console.data, console.size, kModelPhase, sizeof kModelPhase - 1);
  const std::size_t phaseStart =
      phase == nullptr ? 0 : static_cast<std::size_t>(static_cast<const char*>(phase) - console.data);

  constexpr std::size_t kBlock = 1024;
  const std::size_t blocks = (model.size + kBlock - 1) / kBlock;
  const std::size_t phasePieces = countPieces(console, phaseStart);
  std::size_t piece = 0;  // pieces written since the model phase began
  std::size_t written = 0;
  for (std::size_t at = 0; at < console.size;) {
    const std::size_t end = pieceEnd(console, at);
    if (!writeAll(1, console.data + at, end - at)) return 1;
    if (at >= phaseStart) {
      ++piece;
      // Blocks due by this point of the phase, evenly spread.
      const std::size_t due = phasePieces == 0 ? blocks : blocks * piece / phasePieces;
      for (; written < due && written < blocks; ++written) {
        const std::size_t offset = written * kBlock;
        const std::size_t size = model.size - offset < kBlock ? model.size - offset : kBlock;
        if (!writeAll(out, model.data + offset, size)) return 1;
      }
    }
    at = end;
  }
  for (; written < blocks; ++written) {
    const std::size_t offset = written * kBlock;
    const std::size_t size = model.size - offset < kBlock ? model.size - offset : kBlock;
    if (!writeAll(out, model.data + offset, size)) return 1;
  }
  return ::close(out) == 0 ? 0 : 1;
}
