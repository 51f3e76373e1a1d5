#include "dsp/filters/weighting.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "dsp/filters/internal/z_map.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {

namespace {

using filters_internal::Complex;
using NS_EFFECT::SBiQuadSection;

// The pole frequencies of IEC 61672 (A, C) and of the B curve, in Hz.
constexpr double kF1 = 20.598997;
constexpr double kF2 = 107.65265;
constexpr double kF3 = 737.86223;
constexpr double kF4 = 12194.217;
constexpr double kF5 = 158.48932;
// Poles above this go to the fitted section instead of the matched transform.
constexpr double kMatchedLimitHz = 5000.0;
constexpr double kTwoPi = 2.0 * M_PI;

// The analog roots (rad/s) of a curve; zeros at DC included.
struct Roots {
  int zeros = 0;
  int poles = 0;
  Complex zero[4];
  Complex pole[6];
};

// The roots of x^2 + b x + c, scaled by `scale`.
void Quadratic(double b, double c, double scale, Complex* r1, Complex* r2) {
  const Complex root = std::sqrt(Complex{b * b - 4.0 * c, 0.0});
  *r1 = scale * (-b + root) / 2.0;
  *r2 = scale * (-b - root) / 2.0;
}

Roots CurveRoots(char letter) {
  Roots r;
  const auto pole = [&](double hz) { r.pole[r.poles++] = -kTwoPi * hz; };
  const auto dc_zeros = [&](int n) {
    for (int i = 0; i < n; ++i) r.zero[r.zeros++] = 0.0;
  };
  switch (letter) {
    case 'A':
      dc_zeros(4), pole(kF1), pole(kF1), pole(kF2), pole(kF3), pole(kF4), pole(kF4);
      break;
    case 'B':
      dc_zeros(3), pole(kF1), pole(kF1), pole(kF5), pole(kF4), pole(kF4);
      break;
    case 'C':
      dc_zeros(2), pole(kF1), pole(kF1), pole(kF4), pole(kF4);
      break;
    default:
      // IEC 537 in Hz: f (p^2 + 1039.6 p + 1037918.48) /
      // ((p^2 + 3424 p + 9837328)(p + 282.7)(p + 1160)), p = jf.
      // Conjugate pairs first: sections take the roots two by two.
      Quadratic(1039.6, 1037918.48, kTwoPi, &r.zero[0], &r.zero[1]);
      r.zeros = 2;
      dc_zeros(1);
      Quadratic(3424.0, 9837328.0, kTwoPi, &r.pole[0], &r.pole[1]);
      r.poles = 2;
      pole(282.7), pole(1160.0);
      break;
  }
  return r;
}

double AnalogMagnitude(const Roots& r, double f) {
  const Complex s{0.0, kTwoPi * f};
  double m = 1.0;
  for (int i = 0; i < r.zeros; ++i) m *= std::abs(s - r.zero[i]);
  for (int i = 0; i < r.poles; ++i) m /= std::abs(s - r.pole[i]);
  return m;
}

double CascadeMagnitude(const SBiQuadSection* s, int n, double omega) {
  double m = 1.0;
  for (int i = 0; i < n; ++i) m *= filters_internal::SectionMagnitude(s[i], omega);
  return m;
}

// Solves the n x n system a x = b (row-major) by elimination with partial
// pivoting; false when it is singular.
bool Solve(long double* a, long double* b, int n) {
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    for (int row = col + 1; row < n; ++row) {
      if (std::fabs(a[row * n + col]) > std::fabs(a[pivot * n + col])) pivot = row;
    }
    if (a[pivot * n + col] == 0) return false;
    if (pivot != col) {
      for (int k = 0; k < n; ++k) std::swap(a[col * n + k], a[pivot * n + k]);
      std::swap(b[col], b[pivot]);
    }
    for (int row = col + 1; row < n; ++row) {
      const long double f = a[row * n + col] / a[col * n + col];
      for (int k = col; k < n; ++k) a[row * n + k] -= f * a[col * n + k];
      b[row] -= f * b[col];
    }
  }
  for (int row = n - 1; row >= 0; --row) {
    for (int k = row + 1; k < n; ++k) b[row] -= a[row * n + k] * b[k];
    b[row] /= a[row * n + row];
  }
  return true;
}

// Fits N(w) / D(w), N = n0 + n1 cos w (+ n2 cos 2w), D = 1 + d1 cos w
// (+ d2 cos 2w), to target[i]^2 at omega[i] with relative error.
// coef gets n0, n1, [n2,] d1, [d2].
// The fit grid: kPoints log-spaced and kPoints evenly spaced frequencies.
constexpr int kPoints = 300;
constexpr int kGrid = 2 * kPoints;

bool FitSquaredMagnitude(const double* omega, const double* target, int order, double* coef) {
  const int unknowns = 2 * order + 1;
  double d_prev[kGrid];
  for (double& d : d_prev) d = 1.0;
  for (int iteration = 0; iteration < 40; ++iteration) {
    long double ata[25] = {};
    long double atb[5] = {};
    for (int i = 0; i < kGrid; ++i) {
      const double t2 = target[i] * target[i];
      const double w = 1.0 / (d_prev[i] * t2);
      // Residual D t^2 - N = 0, the D's constant 1 moved to the right.
      double row[5];
      int k = 0;
      for (int j = 0; j <= order; ++j) row[k++] = -std::cos(j * omega[i]) * w;
      for (int j = 1; j <= order; ++j) row[k++] = t2 * std::cos(j * omega[i]) * w;
      const double rhs = -t2 * w;
      for (int r = 0; r < unknowns; ++r) {
        for (int c = 0; c < unknowns; ++c) ata[r * unknowns + c] += static_cast<long double>(row[r]) * row[c];
        atb[r] += static_cast<long double>(row[r]) * rhs;
      }
    }
    if (!Solve(ata, atb, unknowns)) return false;
    for (int k = 0; k < unknowns; ++k) coef[k] = static_cast<double>(atb[k]);
    for (int i = 0; i < kGrid; ++i) {
      double d = 1.0;
      for (int j = 1; j <= order; ++j) d += coef[order + j] * std::cos(j * omega[i]);
      if (!(d > 0.0)) return false;
      d_prev[i] = d;
    }
  }
  return true;
}

// The minimum-phase roots of a cosine polynomial c0 + c1 cos w (+ c2 cos 2w)
// that is positive on [0, pi]: its magnitude squared is that of
// prod (1 - zeta_i z^-1), up to a constant. False when it is not positive.
bool SpectralRoots(const double* c, int order, Complex* zeta) {
  for (int i = 0; i <= 1000; ++i) {
    const double w = M_PI * i / 1000.0;
    double v = c[0];
    for (int j = 1; j <= order; ++j) v += c[j] * std::cos(j * w);
    if (!(v > 0.0)) return false;
  }
  // In x = cos w: c0 + c1 x (+ c2 (2x^2 - 1)); each root x_i gives
  // zeta_i with (1 + zeta^2) / (2 zeta) = x_i.
  Complex x[2];
  int count = 0;
  if (order == 2 && std::fabs(c[2]) > 1e-12 * (std::fabs(c[0]) + std::fabs(c[1]))) {
    const double a = 2.0 * c[2];
    const Complex root = std::sqrt(Complex{c[1] * c[1] - 4.0 * a * (c[0] - c[2]), 0.0});
    x[0] = (-c[1] + root) / (2.0 * a);
    x[1] = (-c[1] - root) / (2.0 * a);
    count = 2;
  } else if (c[1] != 0.0) {
    x[0] = -(c[0] - (order == 2 ? c[2] : 0.0)) / c[1];
    count = 1;
  }
  for (int i = 0; i < 2; ++i) zeta[i] = 0.0;
  for (int i = 0; i < count; ++i) {
    const Complex s = std::sqrt(x[i] * x[i] - 1.0);
    const Complex a = x[i] - s;
    const Complex b = x[i] + s;
    zeta[i] = std::abs(a) <= std::abs(b) ? a : b;
  }
  return true;
}

}  // namespace

double WeightingCurveDb(char letter, double f) {
  const Roots r = CurveRoots(letter);
  return 20.0 * std::log10(AnalogMagnitude(r, f) / AnalogMagnitude(r, 1000.0));
}

Error DesignWeighting(char letter, double rate, NS_EFFECT::SBiQuadFilter* out) {
  if (letter < 'A' || letter > 'D' || !(rate >= kMinWeightingRate) || !std::isfinite(rate)) return err::kSizeLimit;
  const Roots r = CurveRoots(letter);
  const double t = 1.0 / rate;

  // The matched images: zeros and poles in the order listed, two per
  // section; the high poles are left out.
  Complex zeros[4];
  Complex poles[6];
  int nz = 0;
  int np = 0;
  for (int i = 0; i < r.zeros; ++i) zeros[nz++] = std::exp(r.zero[i] * t);
  for (int i = 0; i < r.poles; ++i) {
    if (std::abs(r.pole[i]) < kTwoPi * kMatchedLimitHz) poles[np++] = std::exp(r.pole[i] * t);
  }
  NS_EFFECT::SBiQuadFilter made;
  const int matched = (std::max(nz, np) + 1) / 2;
  for (int s = 0; s < matched; ++s) {
    const auto at = [](const Complex* v, int n, int i) { return i < n ? v[i] : Complex{}; };
    made.sections[s] = filters_internal::SectionFromRoots(at(zeros, nz, 2 * s), at(zeros, nz, 2 * s + 1),
                                                          at(poles, np, 2 * s), at(poles, np, 2 * s + 1));
  }
  made.count = matched;

  // What the matched part misses, on a grid dense at both ends.
  const double f_max = std::min(0.45 * rate, 22000.0);
  double omega[kGrid];
  double target[kGrid];
  for (int i = 0; i < kPoints; ++i) {
    const double u = static_cast<double>(i) / (kPoints - 1);
    const double f[2] = {5.0 * std::pow(f_max / 5.0, u), 5.0 + (f_max - 5.0) * u};
    for (int j = 0; j < 2; ++j) {
      omega[2 * i + j] = kTwoPi * f[j] * t;
      target[2 * i + j] = AnalogMagnitude(r, f[j]) / CascadeMagnitude(made.sections, made.count, omega[2 * i + j]);
    }
  }
  const double peak = *std::max_element(target, target + kGrid);
  for (double& v : target) v /= peak;

  // A, B, C: the square of a first-order fit to the root of the ratio. D: a
  // second-order fit, or the first-order one if that fails.
  SBiQuadSection correction;
  bool fitted = false;
  if (letter == 'D') {
    double coef[5];
    Complex zn[2], zd[2];
    if (FitSquaredMagnitude(omega, target, 2, coef)) {
      const double n[3] = {coef[0], coef[1], coef[2]};
      const double d[3] = {1.0, coef[3], coef[4]};
      if (SpectralRoots(n, 2, zn) && SpectralRoots(d, 2, zd)) {
        correction = filters_internal::SectionFromRoots(zn[0], zn[1], zd[0], zd[1]);
        fitted = true;
      }
    }
  }
  if (!fitted) {
    const double power = letter == 'D' ? 1.0 : 0.5;
    double root[kGrid];
    for (int i = 0; i < kGrid; ++i) root[i] = std::pow(target[i], power);
    double coef[3];
    Complex zn[2], zd[2];
    if (!FitSquaredMagnitude(omega, root, 1, coef)) return err::kSizeLimit;
    const double n[2] = {coef[0], coef[1]};
    const double d[2] = {1.0, coef[2]};
    if (!SpectralRoots(n, 1, zn) || !SpectralRoots(d, 1, zd)) return err::kSizeLimit;
    correction = letter == 'D' ? filters_internal::SectionFromRoots(zn[0], 0.0, zd[0], 0.0)
                               : filters_internal::SectionFromRoots(zn[0], zn[0], zd[0], zd[0]);
  }
  made.sections[made.count++] = correction;

  const double reference = kTwoPi * 1000.0 * t;
  for (int s = 0; s < made.count; ++s) {
    SBiQuadSection& c = made.sections[s];
    const double scale = 1.0 / filters_internal::SectionMagnitude(c, reference);
    c.b0 *= scale;
    c.b1 *= scale;
    c.b2 *= scale;
  }
  made.gain = 1.0;
  *out = made;
  return err::kOk;
}

}  // namespace tidemark::dsp
