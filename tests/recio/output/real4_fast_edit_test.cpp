// The fast way of editing 4-byte reals: the same texts as the general way
// on a sample of every exponent and on the values next to each rounding
// edge (the whole 2^32 comparison is `make exhaustive`), and the values
// the program meets take the fast way.
#include "recio/output/real4_fast_edit.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "recio/output/real4_fast_check.hpp"

namespace tgram::recio {
namespace {

struct NamedForm {
  const char* name;
  EditParams params;
};

const NamedForm kForms[] = {{"F7.4", check::fixed74()}, {"list-directed", check::listDirected4()}};

// Compares both ways on `bits` and on its negative; returns how many of the
// two the fast way took.
int expectSameAsGeneral(std::uint32_t bits, const NamedForm& form) {
  FieldText fast;
  FieldText general;
  std::string why;
  int taken = 0;
  for (const std::uint32_t b : {bits & 0x7fffffffu, bits | 0x80000000u}) {
    const check::Outcome outcome = check::compareWithGeneral(b, form.params, fast, general, &why);
    EXPECT_NE(outcome, check::Outcome::Different)
        << form.name << " bits 0x" << std::hex << b << ": " << why;
    if (outcome != check::Outcome::Declined) ++taken;
  }
  return taken;
}

TEST(Real4FastEdit, SameAsGeneralOnEveryExponent) {
  std::mt19937 random(1103);
  for (const NamedForm& form : kForms) {
    for (std::uint32_t field = 0; field <= 0xff; ++field) {
      std::vector<std::uint32_t> fractions{0, 1, 0x7fffff, 0x400000, 0x3fffff};
      for (int i = 0; i < 300; ++i) fractions.push_back(random() & 0x7fffff);
      for (const std::uint32_t fraction : fractions) {
        expectSameAsGeneral((field << 23) | fraction, form);
      }
      if (HasFailure()) return;
    }
  }
}

// The values on both sides of each rounding edge: the halves between two
// results of F7.4 (k/10^4 + 1/2 x 10^-4) and of 7 significant digits, and
// the powers of ten, where the form and the exponent change.
TEST(Real4FastEdit, SameAsGeneralNextToRoundingEdges) {
  std::vector<double> edges;
  for (int k = 0; k < 1300000; k += 31) edges.push_back((k + 0.5) / 1e4);
  std::mt19937 random(907);
  for (int n = -20; n <= 8; ++n) {
    edges.push_back(std::pow(10.0, n));
    for (int i = 0; i < 400; ++i) {
      const double digits = 1000000 + random() % 9000000 + 0.5;
      edges.push_back(digits * std::pow(10.0, n - 7));
    }
  }
  for (const NamedForm& form : kForms) {
    for (const double edge : edges) {
      const float nearest = static_cast<float>(edge);
      const std::uint32_t bits = std::bit_cast<std::uint32_t>(nearest);
      for (const std::uint32_t b : {bits - 2, bits - 1, bits, bits + 1, bits + 2}) {
        expectSameAsGeneral(b, form);
      }
      if (HasFailure()) return;
    }
  }
}

// Probabilities, lags and the usual magnitudes of transiogram values take
// the fast way; the edges it leaves to the general way are rare.
TEST(Real4FastEdit, TheProgramsValuesTakeTheFastWay) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> probability(0.0f, 1.0f);
  std::uniform_real_distribution<float> lag(0.0f, 1000.0f);
  int taken[2] = {0, 0};
  constexpr int kValues = 20000;
  for (int i = 0; i < kValues; ++i) {
    const float p = probability(random);
    taken[0] += expectSameAsGeneral(std::bit_cast<std::uint32_t>(p), kForms[0]);
    taken[1] += expectSameAsGeneral(std::bit_cast<std::uint32_t>(i % 2 ? p : lag(random)), kForms[1]);
  }
  EXPECT_GE(taken[0], 2 * kValues - 2);
  EXPECT_GE(taken[1], 2 * kValues - 2);
  FieldText out;
  for (const float v : {0.0f, -0.0f, 1.0f, 0.5f, 0.25f, 1e-6f, 99.5f, 1e-20f, 9999999.0f}) {
    EXPECT_TRUE(editReal4Fast(v, check::listDirected4(), out)) << v;
  }
  for (const float v : {0.0f, -0.0f, 1.0f, -0.5f, 0.03125f, 0.99996f, 1e-12f, 127.9f}) {
    EXPECT_TRUE(editReal4Fast(v, check::fixed74(), out)) << v;
  }
}

}  // namespace
}  // namespace tgram::recio
