#include "dsp/delta_sigma/internal/delta_sigma_design.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;

// The out-of-band gain a two-level loop of these orders is allowed. The
// modes' own designs stay below it (1.43 and 1.47) and run stable up to full
// scale; the limit only guards against a design that would not.
constexpr double kMaxOutOfBandGain = 1.60;

// Zeros and poles of the high-pass Chebyshev type II design of `order` whose
// pass band begins (at -3 dB) at `band_edge`, with gain `stop_factor` in the
// stop band below it (bilinear transform, pre-warped at the band edge), in
// conjugate pairs with the lowest zero frequency first. The stop band, where
// the zeros lie, ends at band_edge / cosh(acosh(1 / stop_factor) / order).
void ChebyshevHighPass(int order, double band_edge, double stop_factor, Complex* zeros, Complex* poles) {
  const double eps = stop_factor / std::sqrt(1.0 - stop_factor * stop_factor);
  const double mu = std::asinh(1.0 / eps) / order;
  const double w0 = 2.0 * std::tan(kPi * band_edge) / std::cosh(std::acosh(1.0 / stop_factor) / order);
  const int pairs = order / 2;
  for (int k = 0; k < pairs; ++k) {
    // Analogue low-pass prototype (stop edge 1 rad/s): zero at j / sin(phi),
    // pole at 1 / (-sinh(mu) sin(phi) + j cosh(mu) cos(phi)); the smallest
    // phi gives the lowest high-pass zero.
    const double phi = (2.0 * k + 1.0) * kPi / (2.0 * order);
    const Complex lp_zero(0.0, 1.0 / std::sin(phi));
    const Complex lp_pole = 1.0 / Complex(-std::sinh(mu) * std::sin(phi), std::cosh(mu) * std::cos(phi));
    // Low-pass to high-pass (s -> w0 / s), then the bilinear transform.
    const Complex hp_zero = w0 / lp_zero;
    const Complex hp_pole = w0 / lp_pole;
    const Complex z = (2.0 + hp_zero) / (2.0 - hp_zero);
    const Complex p = (2.0 + hp_pole) / (2.0 - hp_pole);
    zeros[2 * k] = Complex(z.real(), std::fabs(z.imag()));
    zeros[2 * k + 1] = std::conj(zeros[2 * k]);
    poles[2 * k] = Complex(p.real(), std::fabs(p.imag()));
    poles[2 * k + 1] = std::conj(poles[2 * k]);
  }
}

// Gaussian elimination with partial pivoting on the n x n system a x = b
// (row-major a, overwritten). False when the matrix is singular.
bool Solve(std::vector<double>& a, std::vector<double>& b, int n) {
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    for (int r = col + 1; r < n; ++r)
      if (std::fabs(a[r * n + col]) > std::fabs(a[pivot * n + col])) pivot = r;
    if (!(std::fabs(a[pivot * n + col]) > 1e-300)) return false;
    if (pivot != col) {
      for (int c = 0; c < n; ++c) std::swap(a[col * n + c], a[pivot * n + c]);
      std::swap(b[col], b[pivot]);
    }
    for (int r = col + 1; r < n; ++r) {
      const double f = a[r * n + col] / a[col * n + col];
      for (int c = col; c < n; ++c) a[r * n + c] -= f * a[col * n + c];
      b[r] -= f * b[col];
    }
  }
  for (int r = n - 1; r >= 0; --r) {
    double s = b[r];
    for (int c = r + 1; c < n; ++c) s -= a[r * n + c] * b[c];
    b[r] = s / a[r * n + r];
  }
  return std::all_of(b.begin(), b.end(), [](double v) { return std::isfinite(v); });
}

// One sample of the resonator cascade with input w0 into the first section.
void StepCascade(const DeltaSigmaLoop& loop, double w0, double* x) {
  for (int i = loop.sections - 1; i >= 0; --i) {
    const double w = i == 0 ? w0 : x[2 * i - 1];
    x[2 * i] += loop.in_gain[i] * w - loop.fb_gain[i] * x[2 * i + 1];
    x[2 * i + 1] += loop.link_gain[i] * x[2 * i];
  }
}

double LoopOutput(const DeltaSigmaLoop& loop, const double* x) {
  double y = 0.0;
  for (int k = 0; k < 2 * loop.sections; ++k) y += loop.out_gain[k] * x[k];
  return y;
}

}  // namespace

NtfShape DeltaSigmaNtfShape(DeltaSigmaMode mode) {
  if (mode == DeltaSigmaMode::kSixthOrder) return {6, 0.03173828, 3.1622776e-7, kMaxOutOfBandGain};
  return {10, 0.020507813, 3.1622776e-6, kMaxOutOfBandGain};
}

double NtfGain(const Ntf& ntf, double f) {
  const Complex z = std::polar(1.0, 2.0 * kPi * f);
  Complex num(1.0), den(1.0);
  for (int i = 0; i < ntf.order; ++i) {
    num *= z - ntf.zeros[i];
    den *= z - ntf.poles[i];
  }
  return std::abs(num / den);
}

double NtfMaxGain(const Ntf& ntf) {
  constexpr int kSteps = 8192;
  double best = 0.0;
  for (int i = 0; i <= kSteps; ++i) best = std::max(best, NtfGain(ntf, 0.5 * i / kSteps));
  return best;
}

void NtfImpulse(const Ntf& ntf, double* out, std::size_t count) {
  // A cascade of second-order sections, one per conjugate pair: the expanded
  // tenth-order polynomials lose the deep stop band to rounding.
  for (std::size_t n = 0; n < count; ++n) out[n] = n == 0 ? 1.0 : 0.0;
  for (int i = 0; i + 1 < ntf.order; i += 2) {
    const double b1 = -2.0 * ntf.zeros[i].real(), b2 = std::norm(ntf.zeros[i]);
    const double a1 = -2.0 * ntf.poles[i].real(), a2 = std::norm(ntf.poles[i]);
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    for (std::size_t n = 0; n < count; ++n) {
      const double x = out[n];
      const double y = x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1, x1 = x, y2 = y1, y1 = y;
      out[n] = y;
    }
  }
}

Error DesignNtf(const NtfShape& shape, Ntf* out) {
  if (shape.order < 2 || shape.order > kMaxDeltaSigmaOrder || shape.order % 2 != 0 || !(shape.band_edge > 0.0) ||
      !(shape.band_edge < 0.25) || !(shape.stop_factor > 0.0) || !(shape.stop_factor < 1.0) || !(shape.max_gain > 1.0))
    return err::kUnsupportedFormat;
  Ntf ntf;
  ntf.order = shape.order;
  auto design = [&](double factor) {
    ChebyshevHighPass(shape.order, shape.band_edge, factor, ntf.zeros, ntf.poles);
    ntf.stop_factor = factor;
    return NtfMaxGain(ntf);
  };
  if (design(shape.stop_factor) > shape.max_gain) {
    // The gain falls as the stop band is made shallower; bisect on the
    // logarithm of the factor between the asked-for one and a mild one.
    double deep = std::log(shape.stop_factor), shallow = std::log(0.5);
    if (design(0.5) > shape.max_gain) return err::kUnsupportedFormat;
    for (int it = 0; it < 60; ++it) {
      const double mid = 0.5 * (deep + shallow);
      (design(std::exp(mid)) > shape.max_gain ? deep : shallow) = mid;
    }
    design(std::exp(shallow));
  }
  *out = ntf;
  return err::kOk;
}

Error RealiseDeltaSigmaLoop(const Ntf& ntf, DeltaSigmaLoop* out) {
  const int order = ntf.order;
  if (order < 2 || order > kMaxDeltaSigmaOrder || order % 2 != 0) return err::kUnsupportedFormat;
  DeltaSigmaLoop loop;
  loop.sections = order / 2;
  loop.ntf = ntf;
  for (int i = 0; i < loop.sections; ++i) {
    const Complex z = ntf.zeros[2 * i];
    if (std::fabs(std::abs(z) - 1.0) > 1e-9 || std::abs(ntf.zeros[2 * i + 1] - std::conj(z)) > 1e-9)
      return err::kUnsupportedFormat;
    loop.in_gain[i] = 1.0;
    loop.link_gain[i] = 1.0;
    loop.fb_gain[i] = 2.0 - 2.0 * z.real();
  }

  // Loop filter H = 1 / NTF - 1 = D / N - 1, whose impulse response the states
  // must combine to: sum_k out_gain[k] h_k[n] = q[n] for n = 1 .. order.
  // D / N is the NTF with zeros and poles swapped; its impulse response comes
  // from second-order sections, which keep the deep stop band intact.
  Ntf inverse = ntf;
  std::copy(ntf.poles, ntf.poles + order, inverse.zeros);
  std::copy(ntf.zeros, ntf.zeros + order, inverse.poles);
  double q[kMaxDeltaSigmaOrder + 1];
  NtfImpulse(inverse, q, static_cast<std::size_t>(order) + 1);
  std::vector<double> a(static_cast<std::size_t>(order * order)), b(static_cast<std::size_t>(order));
  double x[kMaxDeltaSigmaOrder] = {};
  for (int n = 1; n <= order; ++n) {
    StepCascade(loop, n == 1 ? 1.0 : 0.0, x);
    for (int k = 0; k < order; ++k) a[(n - 1) * order + k] = x[k];
    b[n - 1] = q[n];
  }
  if (!Solve(a, b, order)) return err::kUnsupportedFormat;
  for (int k = 0; k < order; ++k) loop.out_gain[k] = b[k];

  // Scale every state to unit RMS per unit RMS of white quantisation error:
  // the root sum of squares of its response to an error impulse.
  constexpr std::size_t kScaleLength = 1 << 15;
  std::vector<double> states(kScaleLength * order);
  std::vector<double> impulse(kScaleLength, 0.0), response(kScaleLength);
  impulse[0] = 1.0;
  RunLinearLoop(loop, impulse.data(), kScaleLength, response.data(), states.data());
  double scale[kMaxDeltaSigmaOrder];
  for (int k = 0; k < order; ++k) {
    double sum = 0.0;
    for (std::size_t n = 0; n < kScaleLength; ++n) sum += states[n * order + k] * states[n * order + k];
    if (!(sum > 0.0) || !std::isfinite(sum)) return err::kUnsupportedFormat;
    scale[k] = std::sqrt(sum);
  }
  for (int i = 0; i < loop.sections; ++i) {
    const double sa = scale[2 * i], sb = scale[2 * i + 1];
    const double sw = i == 0 ? 1.0 : scale[2 * i - 1];
    loop.in_gain[i] *= sw / sa;
    loop.fb_gain[i] *= sb / sa;
    loop.link_gain[i] *= sa / sb;
  }
  for (int k = 0; k < order; ++k) loop.out_gain[k] *= scale[k];
  *out = loop;
  return err::kOk;
}

Error DesignDeltaSigmaLoop(DeltaSigmaMode mode, DeltaSigmaLoop* out) {
  Ntf ntf;
  if (const Error rc = DesignNtf(DeltaSigmaNtfShape(mode), &ntf)) return rc;
  return RealiseDeltaSigmaLoop(ntf, out);
}

void RunLinearLoop(const DeltaSigmaLoop& loop, const double* error, std::size_t count, double* out,
                   double* states) {
  const int order = 2 * loop.sections;
  double x[kMaxDeltaSigmaOrder] = {};
  for (std::size_t n = 0; n < count; ++n) {
    if (states) std::copy(x, x + order, states + n * order);
    const double v = LoopOutput(loop, x) + error[n];
    out[n] = v;
    StepCascade(loop, -v, x);
  }
}

}  // namespace tidemark::dsp
