#include "dsp/filters/internal/elliptic.h"

#include <cmath>

namespace tidemark::dsp::filters_internal {

namespace {

using Complex = std::complex<double>;

// The descending Landen moduli v1, v2, ... of k, down to below 1e-16 (at
// most kMax of them: each squares the previous one, roughly).
constexpr int kMax = 12;

int Landen(double k, double* v) {
  int n = 0;
  while (n < kMax) {
    const double kc = std::sqrt((1.0 - k) * (1.0 + k));
    k = (k / (1.0 + kc)) * (k / (1.0 + kc));
    v[n++] = k;
    if (k < 1e-16) break;
  }
  return n;
}

Complex Ascend(Complex w, const double* v, int n) {
  for (int i = n - 1; i >= 0; --i) w = (1.0 + v[i]) * w / (1.0 + v[i] * w * w);
  return w;
}

}  // namespace

Complex Cde(Complex u, double k) {
  double v[kMax];
  const int n = Landen(k, v);
  return Ascend(std::cos(u * (M_PI / 2)), v, n);
}

Complex Sne(Complex u, double k) {
  double v[kMax];
  const int n = Landen(k, v);
  return Ascend(std::sin(u * (M_PI / 2)), v, n);
}

Complex Asne(Complex w, double k) {
  double v[kMax];
  const int n = Landen(k, v);
  for (int i = 0; i < n; ++i) {
    const double prev = i == 0 ? k : v[i - 1];
    w = w / (1.0 + std::sqrt(1.0 - w * w * (prev * prev))) * (2.0 / (1.0 + v[i]));
  }
  // The inverse of cd, then sn(u) = cd(1 - u).
  return 1.0 - std::acos(w) * (2.0 / M_PI);
}

double EllipticComplementaryModulus(int n, double k1) {
  const double kc1 = std::sqrt((1.0 - k1) * (1.0 + k1));
  double product = 1.0;
  for (int i = 1; i <= n / 2; ++i) {
    const double s = Sne(static_cast<double>(2 * i - 1) / n, kc1).real();
    product *= s * s * s * s;
  }
  return std::pow(kc1, n) * product;
}

}  // namespace tidemark::dsp::filters_internal
