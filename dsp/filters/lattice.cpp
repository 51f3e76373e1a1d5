#include "dsp/filters/lattice.h"

#include <cmath>
#include <new>

#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {

namespace {

constexpr int kMax = NS_EFFECT::SLatticeIIR::kMaxOrder;

// One step down: poly holds D_m (poly[0] = 1); on return D_{m-1}, with k_m
// = poly[m] the reflection coefficient. False when |k_m| >= 1.
bool StepOnce(double* poly, int m, double* k) {
  const double km = poly[m];
  if (!(std::fabs(km) < 1.0)) return false;  // also refuses NaN
  const double scale = 1.0 / (1.0 - km * km);
  // D_{m-1}(i) = (D_m(i) - k_m D_m(m - i)) / (1 - k_m^2), pairs (i, m - i) at once.
  for (int i = 1, j = m - 1; i <= j; ++i, --j) {
    const double lo = poly[i];
    const double hi = poly[j];
    poly[i] = (lo - km * hi) * scale;
    poly[j] = (hi - km * lo) * scale;
  }
  poly[m] = 0.0;
  *k = km;
  return true;
}

}  // namespace

bool StepDown(const double* denominator, int order, double* reflection) {
  if (order < 0 || order > kMax) return false;
  double poly[kMax + 1];
  for (int i = 0; i <= order; ++i) {
    if (!std::isfinite(denominator[i])) return false;
    poly[i] = denominator[i];
  }
  for (int m = order; m >= 1; --m) {
    if (!StepOnce(poly, m, &reflection[m - 1])) return false;
  }
  return true;
}

bool DirectToLattice(const double* numerator, const double* denominator, int order,
                     NS_EFFECT::SLatticeIIR* out) {
  if (order < 0 || order > kMax) return false;
  double poly[kMax + 1];
  double rest[kMax + 1];  // the part of the numerator the ladder has not yet taken
  for (int i = 0; i <= order; ++i) {
    if (!std::isfinite(denominator[i]) || !std::isfinite(numerator[i])) return false;
    poly[i] = denominator[i];
    rest[i] = numerator[i];
  }
  NS_EFFECT::SLatticeIIR made;
  made.order = order;
  // Stage m contributes c_m z^-m D_m(1/z), whose z^-m coefficient is D_m(0) = 1,
  // so the ladder is read off from the highest power down.
  for (int m = order; m >= 1; --m) {
    const double cm = rest[m];
    made.c[m] = cm;
    for (int j = 0; j <= m; ++j) rest[j] -= cm * poly[m - j];
    if (!StepOnce(poly, m, &made.k[m])) return false;
  }
  made.c[0] = rest[0];
  *out = made;
  return true;
}

Error LatticeKernel::Init(const NS_EFFECT::SLatticeIIR& filter, std::uint16_t channels) {
  state_.reset();
  channels_ = 0;
  filter_ = filter;
  const std::size_t count = static_cast<std::size_t>(channels) * static_cast<std::size_t>(filter.order + 1);
  const Error rc = MakeNew(&state_, count);
  if (rc) return rc;
  channels_ = channels;
  Reset();
  return err::kOk;
}

void LatticeKernel::Reset() {
  const std::size_t count = static_cast<std::size_t>(channels_) * static_cast<std::size_t>(filter_.order + 1);
  for (std::size_t i = 0; i < count; ++i) state_[i] = 0.0;
}

void LatticeKernel::Process(float* buffer, std::size_t frames, std::uint32_t mask) {
  const int n = filter_.order;
  const double* k = filter_.k;
  const double* c = filter_.c;
  const std::size_t stride = channels_;
  for (std::uint16_t ch = 0; ch < channels_ && ch < 32; ++ch) {
    if (!(mask & (std::uint32_t{1} << ch))) continue;
    double* g = state_.get() + static_cast<std::size_t>(ch) * static_cast<std::size_t>(n + 1);
    float* p = buffer + ch;
    for (std::size_t i = 0; i < frames; ++i, p += stride) {
      double f = static_cast<double>(p[0]);
      double acc = 0.0;
      for (int m = n; m >= 1; --m) {
        f = f - k[m] * g[m - 1];
        g[m] = k[m] * f + g[m - 1];
        acc = acc + g[m] * c[m];
      }
      g[0] = f;
      p[0] = static_cast<float>(f * c[0] + acc);
    }
  }
}

}  // namespace tidemark::dsp
