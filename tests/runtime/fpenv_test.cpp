// Floating-point faults: found before a faulting result is stored.
#include "runtime/fpenv.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "runtime/condition.hpp"

namespace tgram::runtime {
namespace {

int faultOf(double num, double den) {
  try {
    divide(num, den);
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.kind(), StatementKind::Math);
    EXPECT_EQ(error.prefix(), 'M');
    return error.number();
  }
  return 0;
}

TEST(FloatingPoint, DivisionFaultsAsTheHardwareWould) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double num, den;
    int fault;  // 0: no fault
  };
  const Case cases[] = {
      {0.0, 0.0, 6101},  {-0.0, 0.0, 6101}, {inf, inf, 6101}, {nan, 2.0, 6101},
      {1.0, 0.0, 6103},  {-1.0, -0.0, 6103}, {DBL_MAX, 0.5, 6104},
      {1.0, 4.0, 0},     {0.0, 5.0, 0},     {1e-320, 3.0, 0},  // underflow is no fault
  };
  for (const Case& c : cases) EXPECT_EQ(faultOf(c.num, c.den), c.fault) << c.num << "/" << c.den;
}

TEST(FloatingPoint, MessageLinesNameTheFault) {
  try {
    divide(0.0, 0.0);
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.message(), "floating-point error: invalid");
  }
  try {
    divide(1.0, 0.0);
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.message(), "floating-point error: divide by zero");
  }
}

TEST(FloatingPoint, StoringRoundsOnceAndOverflowsOnlyBeyondTheSingleRange) {
  EXPECT_EQ(storeReal4(0.1), 0.1f);
  EXPECT_EQ(storeReal4(static_cast<double>(FLT_MAX)), FLT_MAX);
  // Just below halfway to the next power of two still rounds to FLT_MAX.
  EXPECT_EQ(storeReal4(std::nextafter(0x1.ffffffp127, 0.0)), FLT_MAX);
  EXPECT_THROW(storeReal4(0x1.ffffffp127), RuntimeError);
  EXPECT_THROW(storeReal4(-1e39), RuntimeError);
  EXPECT_EQ(storeReal4(1e-46), 0.0f);  // underflow gives zero without a fault
  EXPECT_TRUE(std::signbit(storeReal4(-0.0)));
}

}  // namespace
}  // namespace tgram::runtime
