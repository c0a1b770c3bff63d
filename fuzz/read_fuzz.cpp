// Arbitrary bytes as the input file of list-directed read statements of
// integers and reals. Every statement must either succeed or raise a
// condition of reading whose message is one printable line within 999
// characters; a stored real is always finite; every value read has a
// place in the file (line and column from 1).
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "recio/input/list_reader.hpp"
#include "recio/units/unit_record.hpp"
#include "runtime/condition.hpp"

namespace {

constexpr int kMaxStatements = 64;

bool isReadCondition(int number) {
  switch (number) {
    case 6100: case 6101: case 6102: case 6103: case 6104:
    case 6302: case 6303:
    case 6501: case 6502: case 6503: case 6504:
      return true;
    default:
      return false;
  }
}

// The first byte gives the number of items per statement (1..16), the next
// two choose integer (0) or real (1) for each; the rest is the file.
void readAll(tgram::recio::UnitRecord& unit, int itemCount, unsigned kinds) {
  using tgram::recio::ListReader;
  for (int statement = 0; statement < kMaxStatements; ++statement) {
    ListReader reader(unit);
    for (int item = 0; item < itemCount; ++item) {
      if ((kinds >> item) & 1u) {
        float value = 0.0f;
        reader.readReal4(value);
        if (!std::isfinite(value)) std::abort();
      } else {
        std::int32_t value = 0;
        reader.readInteger4(value);
      }
      const tgram::recio::InputPlace place = reader.placeOfLastValue();
      if (place.line < 1 || place.column < 1) std::abort();
    }
    reader.finish();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int itemCount = 1 + data[0] % 16;
  const unsigned kinds = data[1] | (unsigned{data[2]} << 8);
  data += 3;
  size -= 3;

  const int fd = ::memfd_create("ExpTgrams.txt", 0);
  if (fd < 0) std::abort();
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
  ::lseek(fd, 0, SEEK_SET);

  tgram::recio::UnitRecord unit;
  unit.fileName = "ExpTgrams.txt";
  unit.handle = fd;
  unit.allocateBuffer(tgram::recio::kFileBufferSize);
  try {
    readAll(unit, itemCount, kinds);
  } catch (const tgram::runtime::RuntimeError& e) {
    if (!isReadCondition(e.number())) std::abort();
    if (e.message().size() > tgram::runtime::kMessageLineMax) std::abort();
    for (const char ch : e.message()) {
      if (ch < 0x20 || ch > 0x7e) std::abort();
    }
  }
  ::close(fd);
  return 0;
}
