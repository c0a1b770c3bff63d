// The floating-point environment of the run and its faults.
//
// Arithmetic runs in double precision, rounding to nearest with ties to even.
// Invalid operations, division by zero and overflow are faults that end the
// run with a math report; underflow and inexact results are not. Faults are
// found by testing operands and results at the operations that can fault, so
// a faulting result is never stored.
#pragma once

#include <cmath>

namespace tgram::runtime {

enum class MathFault { Invalid, DivideByZero, Overflow };

// Establishes the settings above (rounding to nearest). Called once at
// start-up, before the program's first statement.
void initFloatingPoint();

// Reports `fault` as a math condition (M6101, M6103 or M6104). Never returns.
[[noreturn]] void onFloatingPointFault(MathFault fault);

// divide and storeReal4 with every check, for the operands the quick test
// of each does not pass.
double divideChecked(double num, double den);
float storeReal4Checked(double value);

// The quotient num / den in double precision, faulting as the hardware
// would: 0/0 and operations on NaN are invalid, x/0 divides by zero, and a
// finite quotient too large for a double overflows. A finite dividend, a
// nonzero divisor and a finite quotient leave no fault to find.
inline double divide(double num, double den) {
  const double quotient = num / den;
  if (den != 0.0 && std::isfinite(quotient) && std::isfinite(num)) return quotient;
  return divideChecked(num, den);
}

// The largest magnitude that a 4-byte real rounds to a finite value lies
// below this bound: from halfway between the largest single value and 2^128
// up, rounding to nearest gives infinity.
inline constexpr double kOverflowsSingle = 0x1.ffffffp127;

// Rounds a double-precision result to a 4-byte real when it is stored; a
// finite value beyond the single-precision range overflows.
inline float storeReal4(double value) {
  if (std::fabs(value) < kOverflowsSingle) return static_cast<float>(value);
  return storeReal4Checked(value);
}

}  // namespace tgram::runtime
