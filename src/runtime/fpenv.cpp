#include "runtime/fpenv.hpp"

#include <cfenv>
#include <cmath>
#include <string>

#include "runtime/condition.hpp"

namespace tgram::runtime {

void initFloatingPoint() {
  std::fesetround(FE_TONEAREST);
  std::feclearexcept(FE_ALL_EXCEPT);
}

void onFloatingPointFault(MathFault fault) {
  int number = 6101;
  const char* name = "invalid";
  switch (fault) {
    case MathFault::Invalid: break;
    case MathFault::DivideByZero:
      number = 6103;
      name = "divide by zero";
      break;
    case MathFault::Overflow:
      number = 6104;
      name = "overflow";
      break;
  }
  raiseRuntimeError(number, StatementKind::Math, {},
                    std::string("floating-point error: ") + name);
}

double divideChecked(double num, double den) {
  if (std::isnan(num) || std::isnan(den)) onFloatingPointFault(MathFault::Invalid);
  if (den == 0.0) {
    onFloatingPointFault(num == 0.0 ? MathFault::Invalid
                                    : MathFault::DivideByZero);
  }
  if (std::isinf(num) && std::isinf(den)) onFloatingPointFault(MathFault::Invalid);
  const double quotient = num / den;
  if (std::isinf(quotient) && !std::isinf(num)) {
    onFloatingPointFault(MathFault::Overflow);
  }
  return quotient;
}

float storeReal4Checked(double value) {
  if (std::isfinite(value) && std::fabs(value) >= kOverflowsSingle) {
    onFloatingPointFault(MathFault::Overflow);
  }
  return static_cast<float>(value);
}

}  // namespace tgram::runtime
