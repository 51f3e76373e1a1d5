// The inner loops of the polyphase converter: dot products of a kernel row
// with a stretch of history. `n` is a multiple of 8. The AVX2 variants sum
// in another order, so they agree with the portable ones within rounding.
#pragma once

#include <cstddef>

namespace tidemark::dsp::resample_detail {

using DotFloatFn = float (*)(const float* coefficients, const float* x, std::size_t n);
using DotDoubleFn = double (*)(const double* coefficients, const float* x, std::size_t n);
// Two channels against one row: each coefficient is loaded once.
using DotFloatPairFn = void (*)(const float* coefficients, const float* x0, const float* x1, std::size_t n,
                                float* y0, float* y1);
using DotDoublePairFn = void (*)(const double* coefficients, const float* x0, const float* x1, std::size_t n,
                                 double* y0, double* y1);

float DotFloatPortable(const float* coefficients, const float* x, std::size_t n);
double DotDoublePortable(const double* coefficients, const float* x, std::size_t n);
void DotFloatPairPortable(const float* coefficients, const float* x0, const float* x1, std::size_t n, float* y0,
                          float* y1);
void DotDoublePairPortable(const double* coefficients, const float* x0, const float* x1, std::size_t n,
                           double* y0, double* y1);
void DotFloatPairAvx2(const float* coefficients, const float* x0, const float* x1, std::size_t n, float* y0,
                      float* y1);
void DotDoublePairAvx2(const double* coefficients, const float* x0, const float* x1, std::size_t n, double* y0,
                       double* y1);
float DotFloatAvx2(const float* coefficients, const float* x, std::size_t n);
double DotDoubleAvx2(const double* coefficients, const float* x, std::size_t n);

// Whether this processor runs the AVX2 and FMA variants.
bool HasAvx2();

}  // namespace tidemark::dsp::resample_detail
