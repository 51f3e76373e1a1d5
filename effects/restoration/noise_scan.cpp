#include "effects/restoration/noise_scan.h"

#include <algorithm>
#include <cmath>

#include "core/document/segment_cursor.h"
#include "dsp/spectral/stft_denoiser.h"
#include "effects/framework/block_run_worker.h"
#include "effects/framework/progress_scope.h"
#include "platform/alloc.h"
#include "platform/page_buffer.h"

namespace tidemark::NS_EFFECT_HISS {

Error CNoiseScan::Init(std::uint32_t fft_length, std::uint16_t channels) {
  if (const Error rc = plan_.Init(fft_length)) return rc;
  if (fft_length < 8 || channels < 1) return err::kSizeLimit;
  n_ = fft_length;
  return TryAlloc([&] {
    window_.resize(n_);
    dsp::SqrtHannWindow(n_, window_.data());
    spectrum_.resize(n_);
    work_.resize(plan_.work_size());
    channels_.resize(channels);
    for (Channel& c : channels_) {
      c.input.reserve(n_);
      c.sum.assign(n_ / 2 + 1, 0.0);
    }
  });
}

void CNoiseScan::Reset() {
  for (Channel& c : channels_) {
    c.input.clear();
    std::fill(c.sum.begin(), c.sum.end(), 0.0);
    c.frames = 0;
  }
  frames_ = 0;
}

std::string CNoiseScan::GetName() const { return "Noise profile"; }

void CNoiseScan::Measure(Channel& channel) {
  float* const s = spectrum_.data();
  for (std::uint32_t i = 0; i < n_; ++i) s[i] = channel.input[i] * window_[i];
  plan_.Forward(s, s, work_.data());
  const std::uint32_t half = n_ / 2;
  channel.sum[0] += double{s[0]} * s[0];
  channel.sum[half] += double{s[1]} * s[1];
  for (std::uint32_t k = 1; k < half; ++k)
    channel.sum[k] += double{s[2 * k]} * s[2 * k] + double{s[2 * k + 1]} * s[2 * k + 1];
  ++channel.frames;
  // Half a frame on: the second half becomes the next frame's first.
  channel.input.erase(channel.input.begin(), channel.input.begin() + half);
}

Error CNoiseScan::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels != channels_.size()) return err::kLayoutMismatch;
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (!(mask & (1u << c))) continue;
    Channel& channel = channels_[c];
    for (std::uint32_t f = 0; f < frames; ++f) {
      const float x = buffer[std::size_t{f} * channels + c];
      channel.input.push_back(std::isfinite(x) ? std::clamp(x, -dsp::kSampleLimit, dsp::kSampleLimit) : 0.0f);
      if (channel.input.size() == n_) Measure(channel);
    }
    frames_ = std::max(frames_, channel.frames);
  }
  return err::kOk;
}

void CNoiseScan::MeasureShortMaterial() {
  const std::uint32_t half = n_ / 2;
  for (Channel& channel : channels_) {
    if (channel.frames > 0 || channel.input.empty()) continue;
    float* const s = spectrum_.data();
    std::fill(s, s + n_, 0.0f);
    std::copy(channel.input.begin(), channel.input.end(), s);
    plan_.Forward(s, s, work_.data());
    // The square-root Hann window's energy is n / 2.
    const double scale = static_cast<double>(half) / static_cast<double>(channel.input.size());
    channel.sum[0] = scale * s[0] * s[0];
    channel.sum[half] = scale * s[1] * s[1];
    for (std::uint32_t k = 1; k < half; ++k)
      channel.sum[k] = scale * (double{s[2 * k]} * s[2 * k] + double{s[2 * k + 1]} * s[2 * k + 1]);
    channel.frames = 1;
    channel.input.clear();
    frames_ = 1;
  }
}

std::vector<float> CNoiseScan::MeanPower(std::uint16_t channel) const {
  const Channel& c = channels_.at(channel);
  std::vector<float> mean(c.sum.size(), 0.0f);
  if (c.frames > 0)
    for (std::size_t k = 0; k < mean.size(); ++k) mean[k] = static_cast<float>(c.sum[k] / static_cast<double>(c.frames));
  return mean;
}

Error ScanClip(ProgressScope& scope, const SoundClip& clip, std::uint32_t mask, CEffRun& run, std::string caption) {
  const std::uint16_t channels = clip.channels;
  const std::uint32_t block_frames = EffectBlockFrames(channels);
  PageBuffer work;
  if (const Error rc = work.Allocate(std::size_t{block_frames} * channels * sizeof(float))) return rc;
  float* const block = reinterpret_cast<float*>(work.data());
  scope.SetCaption(std::move(caption));
  return scope.RunWorker([&](ProgressScope& progress) {
    SegmentCursor cursor(clip.segments, channels, clip.length);
    cursor.Seek(0);
    for (std::uint32_t done = 0; done < clip.length;) {
      const std::uint32_t n = std::min(block_frames, clip.length - done);
      if (const Error rc = cursor.ReadFloat(n, block, channels)) return rc;
      if (const Error rc = run.Process(block, n, channels, mask)) return rc;
      done += n;
      progress.Update(done, clip.length);
      if (progress.Cancelled()) return err::kCancelled;
    }
    return err::kOk;
  });
}

}  // namespace tidemark::NS_EFFECT_HISS
