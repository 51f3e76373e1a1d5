// Autoregressive (all-pole) models of short stretches of sound: estimating
// the prediction-error filter of a block, and rebuilding a run of missing
// samples from the known ones around it by least-squares AR interpolation
// (the method of Vaseghi and Rayner, and of Godsill and Rayner, for
// restoring clicks on gramophone recordings).
//
// A model of order p predicts x[n] from the p samples before it; the
// prediction-error filter is c[0..p] with c[0] = 1 and c[k] = -a[k], so that
// e[n] = sum_k c[k] x[n - k] is the part of x[n] the past does not explain.
#pragma once

#include <cstddef>

namespace tidemark::dsp {

// Orders run from 1 to kMaxOrder.
inline constexpr int kMaxOrder = 64;

// Doubles of work that EstimatePredictionErrorFilter needs for n samples.
constexpr std::size_t PredictionWorkSize(std::size_t n) { return n; }

// Estimates c[0..order] from x[0, n) by the autocorrelation method over a
// Hann window and the Levinson-Durbin recursion, with a tiny white-noise
// floor (1e-9 of the power) that keeps the filter minimum-phase on pure
// tones. False, with c = {1, 0, ...}, when the block holds no energy.
// `window` holds n Hann weights; `work` PredictionWorkSize(n) doubles.
bool EstimatePredictionErrorFilter(const float* x, std::size_t n, const double* window, int order, double* c,
                                   double* work);

// Doubles of work that InterpolateGap needs for a gap of m samples.
constexpr std::size_t InterpolationWorkSize(std::size_t m, int order) {
  return m * (static_cast<std::size_t>(order) + 1) + m + m + static_cast<std::size_t>(order);
}

// Replaces gap[0, m) by the values that minimise the energy of the
// prediction error over every error sample that depends on them (the m + p
// samples from gap[0] on). The p samples before gap[0] and the p after
// gap[m - 1] must be readable and are taken as known. The normal equations
// are banded Toeplitz (bandwidth p), solved by a band Cholesky
// factorisation in O(m p^2). `out` gets the m new values (gap is left as it
// is); false when the system is not positive definite (c all zero).
bool InterpolateGap(const float* gap, std::size_t m, const double* c, int order, double* out, double* work);

}  // namespace tidemark::dsp
