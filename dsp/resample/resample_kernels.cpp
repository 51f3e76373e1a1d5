#include "dsp/resample/internal/resample_kernels.h"

namespace tidemark::dsp::resample_detail {

float DotFloatPortable(const float* coefficients, const float* x, std::size_t n) {
  // Four partial sums keep the dependency chain short.
  float s0 = 0.0f, s1 = 0.0f, s2 = 0.0f, s3 = 0.0f;
  for (std::size_t i = 0; i < n; i += 4) {
    s0 += coefficients[i] * x[i];
    s1 += coefficients[i + 1] * x[i + 1];
    s2 += coefficients[i + 2] * x[i + 2];
    s3 += coefficients[i + 3] * x[i + 3];
  }
  return (s0 + s1) + (s2 + s3);
}

double DotDoublePortable(const double* coefficients, const float* x, std::size_t n) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  for (std::size_t i = 0; i < n; i += 4) {
    s0 += coefficients[i] * double{x[i]};
    s1 += coefficients[i + 1] * double{x[i + 1]};
    s2 += coefficients[i + 2] * double{x[i + 2]};
    s3 += coefficients[i + 3] * double{x[i + 3]};
  }
  return (s0 + s1) + (s2 + s3);
}

// The pair forms sum each channel exactly as the single forms do, so that a
// channel's output does not depend on the channel count.
void DotFloatPairPortable(const float* coefficients, const float* x0, const float* x1, std::size_t n, float* y0,
                          float* y1) {
  *y0 = DotFloatPortable(coefficients, x0, n);
  *y1 = DotFloatPortable(coefficients, x1, n);
}

void DotDoublePairPortable(const double* coefficients, const float* x0, const float* x1, std::size_t n,
                           double* y0, double* y1) {
  *y0 = DotDoublePortable(coefficients, x0, n);
  *y1 = DotDoublePortable(coefficients, x1, n);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return has;
}

}  // namespace tidemark::dsp::resample_detail
