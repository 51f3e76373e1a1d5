// The lattice-ladder form of an IIR filter: the step-down (Schur-Cohn)
// recursion that tests a denominator and gives its reflection coefficients,
// the conversion of a direct-form filter to reflection and ladder
// coefficients, and the per-channel kernel.
//
// Direct form: H(z) = sum A_k z^-k / sum B_k z^-k with B0 = 1.
// Lattice, per sample and channel with state g0..gN:
//   f = x; acc = 0
//   for i = N down to 1: f -= k_i g_{i-1}; g_i = k_i f + g_{i-1}; acc += g_i c_i
//   g0 = f; y = f c0 + acc
// so stage m's backward output g_m has the transfer z^-m D_m(1/z) / D_N(z),
// where D_m is the order-m step-down polynomial of the denominator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/error.h"

namespace tidemark::NS_EFFECT {

struct SLatticeIIR {
  static constexpr int kMaxOrder = 99;
  int order = 0;                   // N, 0..kMaxOrder
  double k[kMaxOrder + 1] = {};    // reflection coefficients k[1..N]; k[0] unused
  double c[kMaxOrder + 1] = {1.0}; // ladder coefficients c[0..N]
};

}  // namespace tidemark::NS_EFFECT

namespace tidemark::dsp {

// The step-down recursion over `denominator` B0..BN (B0 = 1, order N =
// `order` >= 0): writes k1..kN to reflection[0..N-1] and returns false as
// soon as some |k| >= 1 (or a coefficient is not finite), which means a pole
// on or outside the unit circle. Order 0 is stable.
bool StepDown(const double* denominator, int order, double* reflection);

// Converts the direct form A0..AN over B0..BN (both already divided by B0,
// so denominator[0] = 1) to lattice-ladder form. False, `*out` untouched,
// when the denominator is unstable or order is outside 0..kMaxOrder.
bool DirectToLattice(const double* numerator, const double* denominator, int order,
                     NS_EFFECT::SLatticeIIR* out);

// The running lattice: the coefficients and every channel's g0..gN in one
// contiguous array. Not copyable; move it or keep it in place.
class LatticeKernel {
 public:
  // Takes `filter` for `channels` channels (1..65535) with cleared state;
  // err::kOutOfMemory when the state cannot be allocated (the kernel is then
  // empty and Process does nothing).
  [[nodiscard]] Error Init(const NS_EFFECT::SLatticeIIR& filter, std::uint16_t channels);
  // Clears every channel's g0..gN.
  void Reset();
  // Filters `frames` interleaved frames in place; channels whose bit in
  // `mask` is clear (and channels from 32 on) are left untouched. The result
  // depends only on the samples, never on how they are split into calls.
  void Process(float* buffer, std::size_t frames, std::uint32_t mask);

  const NS_EFFECT::SLatticeIIR& filter() const { return filter_; }
  std::uint16_t channels() const { return channels_; }

 private:
  NS_EFFECT::SLatticeIIR filter_;
  std::uint16_t channels_ = 0;
  std::unique_ptr<double[]> state_;  // channel-major: g0..gN of channel 0, then channel 1, ...
};

}  // namespace tidemark::dsp
