// Every one of the 2^32 bit patterns of a 4-byte real, edited under F7.4 and
// in the list-directed form the fast way and the general way: wherever the
// fast way takes a value, the texts must be the same. Not part of `make test` (it takes minutes); run it with
// `make exhaustive`. An optional argument gives the number of threads
// (default 2).
#include <algorithm>
#include <bit>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recio/output/real4_fast_check.hpp"

namespace {

using namespace tgram::recio;

struct Form {
  const char* name;
  EditParams params;
};

std::mutex reportLock;
std::atomic<std::uint64_t> mismatches{0};
std::atomic<std::uint64_t> taken[2] = {0, 0};

// Checks the patterns whose top 16 bits are taken from `next`.
void checkSlices(std::atomic<std::uint32_t>& next, const std::vector<Form>& forms) {
  FieldText fast[2];
  FieldText general;
  std::string why;
  std::uint64_t localTaken[2] = {0, 0};
  for (std::uint32_t slice; (slice = next.fetch_add(1)) < 0x10000;) {
    for (std::uint32_t low = 0; low < 0x10000; ++low) {
      const std::uint32_t bits = (slice << 16) | low;
      const float value = std::bit_cast<float>(bits);
      bool took[2];
      for (std::size_t f = 0; f < 2; ++f) took[f] = editReal4Fast(value, forms[f].params, fast[f]);
      if (!took[0] && !took[1]) continue;
      // The digits of the value, once for both forms.
      const DecimalDigits digits = toDecimalDigits(value);
      for (std::size_t f = 0; f < 2; ++f) {
        if (!took[f]) continue;
        ++localTaken[f];
        if (check::compareTexts(fast[f], digits, forms[f].params, general, &why) ==
            check::Outcome::Same) {
          continue;
        }
        if (mismatches.fetch_add(1) < 20) {
          const std::lock_guard<std::mutex> hold(reportLock);
          std::printf("MISMATCH %s bits 0x%08" PRIx32 ": %s\n", forms[f].name, bits, why.c_str());
        }
      }
    }
  }
  for (int f = 0; f < 2; ++f) taken[f] += localTaken[f];
}

}  // namespace

int main(int argc, char** argv) {
  const int threads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
  const std::vector<Form> forms = {{"F7.4", check::fixed74()},
                                   {"list-directed", check::listDirected4()}};
  const auto start = std::chrono::steady_clock::now();
  std::atomic<std::uint32_t> next{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) workers.emplace_back(checkSlices, std::ref(next), std::cref(forms));
  for (std::thread& worker : workers) worker.join();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::uint64_t failed = mismatches.load();
  std::printf("%s: all 2^32 bit patterns, %d threads, %.1f s; taken the fast way: F7.4 %" PRIu64
              ", list-directed %" PRIu64 " (the others are edited the general way only); "
              "%" PRIu64 " mismatches\n",
              failed == 0 ? "PASS" : "FAIL", threads, seconds, taken[0].load(), taken[1].load(),
              failed);
  return failed == 0 ? 0 : 1;
}
