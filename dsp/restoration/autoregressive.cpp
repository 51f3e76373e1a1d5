#include "dsp/restoration/autoregressive.h"

#include <algorithm>
#include <cmath>

namespace tidemark::dsp {

bool EstimatePredictionErrorFilter(const float* x, std::size_t n, const double* window, int order, double* c,
                                   double* work) {
  const auto p = static_cast<std::size_t>(order);
  std::fill(c, c + p + 1, 0.0);
  c[0] = 1.0;
  for (std::size_t i = 0; i < n; ++i) work[i] = window[i] * static_cast<double>(x[i]);
  double r[kMaxOrder + 1] = {};
  const std::size_t lags = std::min<std::size_t>(p, kMaxOrder);
  for (std::size_t k = 0; k <= lags; ++k) {
    double sum = 0.0;
    for (std::size_t i = k; i < n; ++i) sum += work[i] * work[i - k];
    r[k] = sum;
  }
  if (!(r[0] > 0.0) || !std::isfinite(r[0])) return false;
  r[0] *= 1.0 + 1e-9;
  double error = r[0];
  double previous[kMaxOrder + 1] = {};
  for (std::size_t i = 1; i <= lags; ++i) {
    double acc = r[i];
    for (std::size_t j = 1; j < i; ++j) acc += c[j] * r[i - j];
    const double k = -acc / error;
    std::copy(c, c + i, previous);
    for (std::size_t j = 1; j < i; ++j) c[j] = previous[j] + k * previous[i - j];
    c[i] = k;
    error *= 1.0 - k * k;
    if (!(error > 0.0)) break;
  }
  return true;
}

bool InterpolateGap(const float* gap, std::size_t m, const double* c, int order, double* out, double* work) {
  const auto p = static_cast<std::size_t>(order);
  const std::size_t band = p + 1;
  double* l = work;                 // m x band: row i holds L[i][i - p .. i]
  double* b = l + m * band;         // right-hand side, then the solution
  double* d = b + m;                // known part of the error, m + p samples
  // R(k) = sum_j c[j] c[j + k]: the entries of the Toeplitz normal matrix.
  double rc[kMaxOrder + 1] = {};
  for (std::size_t k = 0; k <= p; ++k)
    for (std::size_t j = 0; j + k <= p; ++j) rc[k] += c[j] * c[j + k];
  // d[n] = error at gap[n] with the unknowns set to zero.
  for (std::size_t n = 0; n < m + p; ++n) {
    double acc = 0.0;
    for (std::size_t k = 0; k <= p; ++k) {
      const auto at = static_cast<std::ptrdiff_t>(n) - static_cast<std::ptrdiff_t>(k);
      if (at >= 0 && at < static_cast<std::ptrdiff_t>(m)) continue;
      acc += c[k] * static_cast<double>(gap[at]);
    }
    d[n] = acc;
  }
  for (std::size_t i = 0; i < m; ++i) {
    double acc = 0.0;
    for (std::size_t k = 0; k <= p; ++k) acc += c[k] * d[i + k];
    b[i] = -acc;
  }
  // Band Cholesky: A = L L^T, L[i][j] stored at l[i * band + (j + p - i)].
  for (std::size_t i = 0; i < m; ++i) {
    const std::size_t j0 = i >= p ? i - p : 0;
    for (std::size_t j = j0; j <= i; ++j) {
      double sum = rc[i - j];
      const std::size_t k0 = std::max(j0, j >= p ? j - p : 0);
      for (std::size_t k = k0; k < j; ++k) sum -= l[i * band + (k + p - i)] * l[j * band + (k + p - j)];
      if (j == i) {
        if (!(sum > 0.0)) return false;
        l[i * band + p] = std::sqrt(sum);
      } else {
        l[i * band + (j + p - i)] = sum / l[j * band + p];
      }
    }
  }
  // Forward then backward substitution.
  for (std::size_t i = 0; i < m; ++i) {
    double sum = b[i];
    for (std::size_t k = i >= p ? i - p : 0; k < i; ++k) sum -= l[i * band + (k + p - i)] * b[k];
    b[i] = sum / l[i * band + p];
  }
  for (std::size_t i = m; i-- > 0;) {
    double sum = b[i];
    for (std::size_t k = i + 1; k < m && k <= i + p; ++k) sum -= l[k * band + (i + p - k)] * b[k];
    b[i] = sum / l[i * band + p];
  }
  std::copy(b, b + m, out);
  return true;
}

}  // namespace tidemark::dsp
