#include "dsp/filters/lowpass_highpass.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "dsp/filters/internal/elliptic.h"
#include "dsp/filters/internal/z_map.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {

namespace {

using filters_internal::Complex;

constexpr Complex kJ{0.0, 1.0};

double Epsilon(double db) { return std::sqrt(std::pow(10.0, db / 10.0) - 1.0); }

// The upper-half-plane poles (and, when finite, zeros) of an order-2L
// prototype, pole i paired with zero i; zeros at infinity are marked by
// `finite_zeros` false.
struct Prototype {
  int pairs = 0;
  Complex poles[kMaxLowpassHighpassSections];
  Complex zeros[kMaxLowpassHighpassSections];
  bool finite_zeros = false;
};

// Butterworth (ripple_db 0) and Chebyshev I: poles on an ellipse.
Prototype AllPole(int order, double ripple_db) {
  Prototype p;
  p.pairs = order / 2;
  const double mu = ripple_db > 0 ? std::asinh(1.0 / Epsilon(ripple_db)) / order : 0.0;
  const double re = ripple_db > 0 ? std::sinh(mu) : 1.0;
  const double im = ripple_db > 0 ? std::cosh(mu) : 1.0;
  for (int i = 0; i < p.pairs; ++i) {
    const double theta = M_PI * (2 * i + 1) / (2.0 * order);
    p.poles[i] = {-re * std::sin(theta), im * std::cos(theta)};
  }
  return p;
}

// Chebyshev II with the stopband edge at 1 rad/s: the inverted Chebyshev I
// poles of the stopband epsilon, zeros at j / cos(theta).
Prototype Inverse(int order, double stop_db) {
  Prototype p;
  p.pairs = order / 2;
  p.finite_zeros = true;
  const double mu = std::asinh(Epsilon(stop_db)) / order;
  for (int i = 0; i < p.pairs; ++i) {
    const double theta = M_PI * (2 * i + 1) / (2.0 * order);
    p.poles[i] = std::conj(1.0 / Complex{-std::sinh(mu) * std::sin(theta), std::cosh(mu) * std::cos(theta)});
    p.zeros[i] = Complex{0.0, 1.0 / std::cos(theta)};
  }
  return p;
}

// Elliptic with the ripple edge at 1 rad/s.
Prototype Elliptic(int order, double ripple_db, double stop_db) {
  Prototype p;
  p.pairs = order / 2;
  p.finite_zeros = true;
  const double ep = Epsilon(ripple_db);
  const double k1 = ep / Epsilon(stop_db);
  const double kc = filters_internal::EllipticComplementaryModulus(order, k1);
  const double k = std::sqrt((1.0 - kc) * (1.0 + kc));
  const Complex v0 = -kJ * filters_internal::Asne(kJ / ep, k1) / static_cast<double>(order);
  for (int i = 0; i < p.pairs; ++i) {
    const double u = (2 * i + 1) / static_cast<double>(order);
    p.zeros[i] = kJ / (k * filters_internal::Cde(u, k).real());
    Complex pole = kJ * filters_internal::Cde(u - kJ * v0, k);
    if (pole.imag() < 0) pole = std::conj(pole);
    if (pole.real() > 0) pole = -std::conj(pole);  // the left half-plane root of the pair
    p.poles[i] = pole;
  }
  return p;
}

}  // namespace

double ClampRelativeFrequency(double f_over_rate) { return std::min(f_over_rate, kMaxRelativeFrequency); }

int EllipticOrder(int sections, double stopband_db) {
  const double k1 = Epsilon(kPassbandRippleDb) / Epsilon(-stopband_db);
  for (int order = 2; order < 2 * sections; order += 2) {
    const double kc = filters_internal::EllipticComplementaryModulus(order, k1);
    // 1/k <= ratio, with k = sqrt(1 - kc^2).
    if (1.0 - kc * kc >= 1.0 / (kEllipticTransitionRatio * kEllipticTransitionRatio)) return order;
  }
  return 2 * sections;
}

Error DesignLowpassHighpass(const LowpassHighpassParams& params, NS_EFFECT::SBiQuadFilter* out) {
  const int m = params.sections;
  if (m < 1 || m > kMaxLowpassHighpassSections) return err::kSizeLimit;
  if (!(params.cutoff > 0.0)) return err::kSizeLimit;
  if (!(params.stopband_db < -kPassbandRippleDb)) return err::kSizeLimit;
  const double stop_db = -params.stopband_db;
  Prototype proto;
  switch (params.design) {
    case FilterDesign::kButterworth: proto = AllPole(2 * m, 0.0); break;
    case FilterDesign::kChebyshev1: proto = AllPole(2 * m, kPassbandRippleDb); break;
    case FilterDesign::kChebyshev2: proto = Inverse(2 * m, stop_db); break;
    case FilterDesign::kElliptic:
      proto = Elliptic(EllipticOrder(m, params.stopband_db), kPassbandRippleDb, stop_db);
      break;
    default: return err::kSizeLimit;
  }
  const double edge = 2.0 * M_PI * ClampRelativeFrequency(params.cutoff);
  const filters_internal::ZMap map(edge, params.highpass);
  NS_EFFECT::SBiQuadFilter made;
  made.count = m;
  // Low-Q pairs first; the pass-through sections of a lowered elliptic order last.
  for (int i = 0; i < proto.pairs; ++i) {
    const int from = proto.pairs - 1 - i;
    const Complex pole = map.Root(proto.poles[from]);
    const Complex zero = proto.finite_zeros ? map.Root(proto.zeros[from]) : Complex{map.Infinity(), 0.0};
    NS_EFFECT::SBiQuadSection s = filters_internal::SectionFromRoots(zero, std::conj(zero), pole, std::conj(pole));
    filters_internal::NormaliseSection(&s, params.highpass);
    made.sections[i] = s;
  }
  for (int i = proto.pairs; i < m; ++i) made.sections[i] = NS_EFFECT::SBiQuadSection{};
  *out = made;
  return err::kOk;
}

}  // namespace tidemark::dsp
