// The floating-point environment of the run and its faults.
//
// Arithmetic runs in double precision, rounding to nearest with ties to even.
// Invalid operations, division by zero and overflow are faults that end the
// run with a math report; underflow and inexact results are not. Faults are
// found by testing operands and results at the operations that can fault, so
// a faulting result is never stored.
#pragma once

namespace tgram::runtime {

enum class MathFault { Invalid, DivideByZero, Overflow };

// Establishes the settings above (rounding to nearest). Called once at
// start-up, before the program's first statement.
void initFloatingPoint();

// Reports `fault` as a math condition (M6101, M6103 or M6104). Never returns.
[[noreturn]] void onFloatingPointFault(MathFault fault);

// The quotient num / den in double precision, faulting as the hardware
// would: 0/0 and operations on NaN are invalid, x/0 divides by zero, and a
// finite quotient too large for a double overflows.
double divide(double num, double den);

// Rounds a double-precision result to a 4-byte real when it is stored; a
// finite value beyond the single-precision range overflows.
float storeReal4(double value);

}  // namespace tgram::runtime
