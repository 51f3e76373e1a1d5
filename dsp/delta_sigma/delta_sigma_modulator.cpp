#include "dsp/delta_sigma/delta_sigma_modulator.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::dsp {
namespace {

constexpr double kInputScale = 0.25;       // PCM full scale to 50 % modulation
constexpr double kLevel = 0.5;             // the quantiser's levels are ±kLevel
constexpr std::size_t kChunkBits = 16384;  // 1-bit samples per channel per pass
// Output bytes in a row with a clipped state after which the loop is taken
// to have lost track of its input and its states are cleared.
constexpr std::uint32_t kRestartRun = 256;

constexpr std::array<std::uint8_t, 256> kReverse = [] {
  std::array<std::uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
    t[i] = static_cast<std::uint8_t>(r);
  }
  return t;
}();

double LoopInput(float sample) {
  double s = sample;
  if (!(std::fabs(s) <= 1.0)) s = s > 0.0 ? 1.0 : (s < 0.0 ? -1.0 : 0.0);
  return s * kInputScale;
}

ChannelPair Abs(ChannelPair v) { return v < ChannelPair{0.0, 0.0} ? -v : v; }

ChannelPair Max(ChannelPair a, ChannelPair b) { return a > b ? a : b; }

ChannelPair Clamp(ChannelPair v, double limit) {
  const ChannelPair hi = {limit, limit}, lo = {-limit, -limit};
  const ChannelPair t = v > hi ? hi : v;
  return t < lo ? lo : t;
}

}  // namespace

Error DeltaSigmaModulator::Init(const DeltaSigmaOptions& options) {
  ratio_ = 0;
  if (options.pcm_rate == 0 || options.one_bit_rate == 0 || options.channels < 1 ||
      options.channels > kMaxChannels ||
      (options.mode != DeltaSigmaMode::kTenthOrder && options.mode != DeltaSigmaMode::kSixthOrder) ||
      options.one_bit_rate % options.pcm_rate != 0)
    return err::kUnsupportedFormat;
  const std::uint32_t ratio = options.one_bit_rate / options.pcm_rate;
  if (ratio < kMinRatio || ratio > kMaxRatio || (ratio & (ratio - 1)) != 0) return err::kUnsupportedFormat;
  if (const Error rc = DesignDeltaSigmaLoop(options.mode, &loop_)) return rc;
  chunk_frames_ = kChunkBits / ratio;
  if (MakeNew(&pcm_, chunk_frames_) || MakeNew(&fine_, kChunkBits)) return err::kOutOfMemory;
  if (const Error rc = interpolator_.Init(ratio, chunk_frames_)) return rc;
  options_ = options;
  ratio_ = ratio;
  Reset();
  return err::kOk;
}

void DeltaSigmaModulator::Reset() {
  interpolator_.Reset();
  std::fill_n(state_, kMaxDeltaSigmaOrder, ChannelPair{0.0, 0.0});
  clip_run_ = 0;
  peak_state_ = 0.0;
  clipped_bytes_ = 0;
  restarts_ = 0;
}

Error DeltaSigmaModulator::Process(const float* interleaved, std::uint32_t frames, std::uint8_t* const* channel_bytes) {
  if (ratio_ == 0) return err::kUnsupportedFormat;
  if (frames == 0) return err::kOk;
  const int channels = options_.channels;
  if (!interleaved || !channel_bytes) return err::kUnsupportedFormat;
  std::uint8_t* out[kMaxChannels] = {};
  for (int c = 0; c < channels; ++c) {
    if (!channel_bytes[c]) return err::kUnsupportedFormat;
    out[c] = channel_bytes[c];
  }
  std::size_t done = 0;
  while (done < frames) {
    const std::size_t n = std::min<std::size_t>(chunk_frames_, frames - done);
    const float* src = interleaved + done * channels;
    for (std::size_t i = 0; i < n; ++i)
      pcm_[i] = channels == 2 ? ChannelPair{LoopInput(src[2 * i]), LoopInput(src[2 * i + 1])}
                              : ChannelPair{LoopInput(src[i]), 0.0};
    interpolator_.Process(pcm_.get(), n, fine_.get());
    const std::size_t samples = n * ratio_;
    // Full-scale PCM overshoots full scale between its samples (a square
    // wave's edges ring by about 9 %), and the loop is only stable up to a
    // little beyond 50 % modulation: hold the interpolated signal to it.
    for (std::size_t i = 0; i < samples; ++i) fine_[i] = Clamp(fine_[i], kInputScale);
    if (loop_.sections == 5)
      Modulate<5>(samples, out);
    else
      Modulate<3>(samples, out);
    for (int c = 0; c < channels; ++c) out[c] += samples / 8;
    done += n;
  }
  return err::kOk;
}

template <int kSections>
void DeltaSigmaModulator::Modulate(std::size_t samples, std::uint8_t* const* out) {
  const DeltaSigmaLoop& k = loop_;
  const bool reverse = options_.lsb_first;
  const bool stereo = options_.channels == 2;
  const ChannelPair* u = fine_.get();
  ChannelPair x[2 * kSections];
  std::copy_n(state_, 2 * kSections, x);
  // The first section's new states are A0 - in_gain[0] v and
  // B0 - link_gain[0] in_gain[0] v with A0, B0 known before the decision v,
  // so the next quantiser input is Y - drive v: only the decision's sign is
  // on the path from one sample to the next.
  const double a_step = k.in_gain[0] * kLevel;
  const double b_step = k.link_gain[0] * k.in_gain[0] * kLevel;
  const double drive = k.out_gain[0] * a_step + k.out_gain[1] * b_step;
  auto quantiser_base = [&](const ChannelPair* s, ChannelPair un) {
    ChannelPair rest = {0.0, 0.0};
    for (int j = 2 * kSections - 1; j >= 0; --j) rest += k.out_gain[j] * s[j];
    return un + rest;
  };
  ChannelPair y = quantiser_base(x, u[0]);
  double peak = peak_state_;
  for (std::size_t i = 0; i < samples; i += 8) {
    unsigned byte0 = 0, byte1 = 0;
    for (int j = 0; j < 8; ++j) {
      const std::size_t n = i + j;
      const auto one = y >= ChannelPair{0.0, 0.0};  // all bits set in a lane whose bit is 1
      byte0 = (byte0 << 1) | static_cast<unsigned>(one[0] & 1);
      byte1 = (byte1 << 1) | static_cast<unsigned>(one[1] & 1);
      const ChannelPair sign = one ? ChannelPair{1.0, 1.0} : ChannelPair{-1.0, -1.0};
      for (int s = kSections - 1; s >= 1; --s) {
        const ChannelPair a = x[2 * s] + k.in_gain[s] * x[2 * s - 1] - k.fb_gain[s] * x[2 * s + 1];
        x[2 * s] = a;
        x[2 * s + 1] += k.link_gain[s] * a;
      }
      const ChannelPair a0 = x[0] + k.in_gain[0] * u[n] - k.fb_gain[0] * x[1];
      const ChannelPair b0 = x[1] + k.link_gain[0] * a0;
      const ChannelPair un = n + 1 < samples ? u[n + 1] : ChannelPair{0.0, 0.0};
      ChannelPair rest = un;
      for (int q = 2 * kSections - 1; q >= 2; --q) rest += k.out_gain[q] * x[q];
      const ChannelPair base = rest + (k.out_gain[0] * a0 + k.out_gain[1] * b0);
      x[0] = a0 - a_step * sign;
      x[1] = b0 - b_step * sign;
      y = base - drive * sign;
    }
    std::uint8_t* d0 = out[0] + i / 8;
    *d0 = static_cast<std::uint8_t>(reverse ? kReverse[byte0] : byte0);
    if (stereo) out[1][i / 8] = static_cast<std::uint8_t>(reverse ? kReverse[byte1 & 0xFF] : byte1 & 0xFF);
    ChannelPair m = Abs(x[0]);
    for (int q = 1; q < 2 * kSections; ++q) m = Max(m, Abs(x[q]));
    // A mono stream's second lane carries silence and is watched all the same.
    const double top = std::max(m[0], m[1]);
    peak = std::max(peak, top);
    if (top > kStateLimit) [[unlikely]] {
      ++clipped_bytes_;
      if (++clip_run_ >= kRestartRun) {
        std::fill_n(x, 2 * kSections, ChannelPair{0.0, 0.0});
        clip_run_ = 0;
        ++restarts_;
      } else {
        for (int q = 0; q < 2 * kSections; ++q) x[q] = Clamp(x[q], kStateLimit);
      }
      const std::size_t next = i + 8;
      y = quantiser_base(x, next < samples ? u[next] : ChannelPair{0.0, 0.0});
    } else {
      clip_run_ = 0;
    }
  }
  std::copy_n(x, 2 * kSections, state_);
  peak_state_ = peak;
}

}  // namespace tidemark::dsp
