// Long FIR filtering by uniformly partitioned fast convolution.
//
// The response is cut into K partitions of P = 4096 frames whose 8192-point
// spectra are made once by Prepare(). Input is gathered per channel in
// partitions of P frames; each full partition is transformed together with
// the one before it and pushed into the channel's frequency-domain delay
// line, the K response spectra are multiplied with the K most recent input
// spectra and summed, and the valid half of the inverse transform
// (overlap-save) becomes the output of the next P input frames. Hence the
// latency P plus the pre-delay the response declares.
//
// The work is an OpenMP parallel region of min(K, threads) threads. The
// whole partitions one Process() call completes (up to 16) share one
// region: their forward transforms, then their multiply-accumulates in
// order, then their inverse transforms, so a call pays one fork and join,
// not one per partition. Within a phase the threads take jobs as they come
// (each starting at its own share), so a thread the machine is slow to
// wake does not hold up the others. One pass over the K
// response spectra and the delay line serves up to 16 outputs (at most K):
// this partition's, and the sums of the following ones without their
// newest terms, which each adds as its spectrum arrives. The stream from
// memory per output is so a sixteenth of a plain pass's, at the same
// latency. The spectra are stored in tiles of 64 bins, and the
// multiply-accumulate's jobs are groups of tiles; every bin sums its
// products in the same order whatever thread takes its group, so the
// output does not depend on the thread count bit for bit, nor on how the
// input is split into calls. All masked channels share the region (with two channels and
// mask 3, the stereo path). The region always runs the threads asked for
// (the runtime's dynamic adjustment would follow the machine's load
// average). A lone partition that only adds its newest products runs on
// the calling thread.
//
// Channel mapping: a response per document channel; a mono response serves
// every channel; a stereo response on a mono document is the mean of its
// two channels; otherwise document channel c uses response channel
// min(c, responses - 1).
//
// Non-finite input samples enter the convolution as 0 (a single NaN would
// otherwise poison K partitions of every output bin).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "effects/framework/effect_run.h"
#include "platform/error.h"

namespace tidemark {
class ProgressScope;
}

namespace tidemark::NS_EFFECT {

class CPartConv : public CEffRun {
 public:
  static constexpr std::uint32_t kPartition = 4096;
  static constexpr std::uint32_t kTransform = 2 * kPartition;
  // Responses longer than this are refused (err::kSizeLimit).
  static constexpr std::uint32_t kMaxLength = 0x7FFFFFFFu;

  // `responses[r]` holds `length` samples of response channel r
  // (`channels` of them, 1 or 2). With `normalise` the output scale becomes
  // Normalisation() of the responses; `delay` is the pre-delay in frames
  // that the response carries before its direct sound (capped at K x P).
  // Errors: 2 (memory), 77 (length 0 or over kMaxLength, channels not 1..2).
  [[nodiscard]] virtual Error Prepare(const float* const* responses, std::uint32_t length,
                                      std::uint16_t channels, bool normalise, std::uint32_t delay) = 0;

  // Partitions per response (K).
  virtual std::uint32_t Partitions() const = 0;
  // The factor the inverse transform's output is multiplied by.
  virtual double OutputScale() const = 0;
  // At most this many threads in the multiply-accumulate (0: the runtime's).
  virtual void SetThreadLimit(int threads) = 0;
  // Checked after each partition's multiply-accumulate; a set cancel flag
  // ends Process() with err::kCancelled (the rest of its batch is dropped).
  virtual void SetCancel(ProgressScope* scope) = 0;
};

template <typename T>
class CPartConvStd final : public CPartConv {
 public:
  // A run for documents of `channels` channels at `rate` Hz (the rate sets
  // the normalisation's weighting).
  CPartConvStd(std::uint16_t channels, std::uint32_t rate);
  ~CPartConvStd() override;

  [[nodiscard]] Error Prepare(const float* const* responses, std::uint32_t length, std::uint16_t channels,
                              bool normalise, std::uint32_t delay) override;
  [[nodiscard]] Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                              std::uint32_t mask) override;
  void Reset() override;
  std::uint32_t GetLatency() const override { return pre_delay_ + kPartition; }
  std::string GetName() const override { return "Convolution"; }

  std::uint32_t Partitions() const override { return partitions_; }
  double OutputScale() const override { return scale_; }
  void SetThreadLimit(int threads) override { thread_limit_ = threads; }
  // The threads that ran the latest batch holding a pass.
  int LastTeam() const { return team_; }
  void SetCancel(ProgressScope* scope) override { cancel_ = scope; }
  // The output of the latest full partition of `channel` in the run's own
  // precision (before rounding to float), kPartition frames.
  const T* LastPartition(std::uint16_t channel) const;

 private:
  struct State;
  // Runs `batch` whole partitions whose input is in time slots 1 .. batch
  // into out slots 1 .. batch.
  [[nodiscard]] Error RunBatch(std::uint32_t batch, std::uint32_t mask);

  std::uint16_t channels_;
  std::uint32_t rate_;
  std::uint32_t partitions_ = 0;
  std::uint32_t pre_delay_ = 0;
  double scale_ = 0.0;
  int thread_limit_ = 0;
  int team_ = 0;
  ProgressScope* cancel_ = nullptr;
  std::unique_ptr<State> s_;
};

extern template class CPartConvStd<float>;
extern template class CPartConvStd<double>;

// The normalisation factor of a response set (see part_conv.cpp): 1 / sqrt
// of the energy, or sqrt(w / peak) when the weighted peak dominates.
[[nodiscard]] Error ConvolutionNormalisation(const float* const* responses, std::uint32_t length,
                                             std::uint16_t channels, std::uint32_t rate, double* factor);

// A convolution run (double precision when `precise`) prepared with the
// responses, wrapped in the clip guard with a lookahead of `guard` frames.
[[nodiscard]] Error MakeConvolutionRun(const float* const* responses, std::uint32_t length,
                                       std::uint16_t response_channels, std::uint16_t channels,
                                       std::uint32_t rate, bool normalise, std::uint32_t delay, bool precise,
                                       EffRunPtr* run, ProgressScope* cancel = nullptr);

// The clip guard's lookahead after a convolution: 2 ms, at least 1 frame.
std::uint32_t ConvolutionGuardFrames(std::uint32_t rate);

}  // namespace tidemark::NS_EFFECT
