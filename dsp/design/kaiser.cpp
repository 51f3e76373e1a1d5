#include "dsp/design/kaiser.h"

namespace tidemark::dsp {

double BesselI0(double x) {
  // sum over k of ((x / 2)^k / k!)^2; every term is positive, so the sum
  // stops once a term no longer changes it.
  const double q = x * x / 4.0;
  double sum = 1.0;
  double term = 1.0;
  for (int k = 1; k < 1000; ++k) {
    term *= q / (static_cast<double>(k) * static_cast<double>(k));
    const double next = sum + term;
    if (next == sum) break;
    sum = next;
  }
  return sum;
}

}  // namespace tidemark::dsp
