#include "codecs/replaygain_analysis.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// Multiplies two second-order polynomials.
void Convolve(const double p[3], const double q[3], double out[5]) {
  for (int i = 0; i < 5; ++i) out[i] = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) out[i + j] += p[i] * q[j];
}

}  // namespace

LoudnessMeter::LoudnessMeter(std::uint32_t rate, std::uint16_t channels)
    : channels_(channels), step_frames_(std::max<std::uint32_t>(1, rate / 10)), x_(channels), y_(channels),
      step_sums_(channels, 0.0) {
  // K-weighting at this rate: the high shelf and the high pass of BS.1770,
  // by the bilinear transform of their analogue prototypes.
  const double pi = std::numbers::pi;
  double k = std::tan(pi * 1681.974450955533 / rate);
  const double q1 = 0.7071752369554196;
  const double vh = std::pow(10.0, 3.999843853973347 / 20.0);
  const double vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / q1 + k * k;
  const double shelf_b[3] = {(vh + vb * k / q1 + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q1 + k * k) / a0};
  const double shelf_a[3] = {1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q1 + k * k) / a0};
  k = std::tan(pi * 38.13547087602444 / rate);
  const double q2 = 0.5003270373238773;
  a0 = 1.0 + k / q2 + k * k;
  const double pass_b[3] = {1.0, -2.0, 1.0};
  const double pass_a[3] = {1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q2 + k * k) / a0};
  Convolve(shelf_b, pass_b, b_);
  Convolve(shelf_a, pass_a, a_);
  for (auto& h : x_) h = {};
  for (auto& h : y_) h = {};
}

void LoudnessMeter::Add(std::span<const float> interleaved) {
  const std::size_t frames = interleaved.size() / channels_;
  for (std::size_t i = 0; i < frames; ++i) {
    for (std::size_t c = 0; c < channels_; ++c) {
      float sample = interleaved[i * channels_ + c];
      if (!std::isfinite(sample)) sample = 0.0f;  // never spreads into the sums
      peak_ = std::max(peak_, std::fabs(sample));
      auto& x = x_[c];
      auto& y = y_[c];
      const double in = sample;
      const double out = b_[0] * in + b_[1] * x[0] + b_[2] * x[1] + b_[3] * x[2] + b_[4] * x[3] - a_[1] * y[0] -
                         a_[2] * y[1] - a_[3] * y[2] - a_[4] * y[3];
      x = {in, x[0], x[1], x[2]};
      y = {out, y[0], y[1], y[2]};
      step_sums_[c] += out * out;
    }
    if (++step_filled_ == step_frames_) {
      double sum = 0;
      for (double& s : step_sums_) {
        sum += s / step_frames_;
        s = 0;
      }
      steps_.push_back(sum);
      step_filled_ = 0;
    }
  }
}

double LoudnessMeter::IntegratedLufs() const {
  std::vector<double> blocks;  // mean square of each 400 ms block
  for (std::size_t i = 3; i < steps_.size(); ++i)
    blocks.push_back((steps_[i - 3] + steps_[i - 2] + steps_[i - 1] + steps_[i]) / 4.0);
  const auto loudness = [](double z) { return -0.691 + 10.0 * std::log10(z); };
  const auto mean_above = [&](double gate, std::size_t* count) {
    double sum = 0;
    *count = 0;
    for (double z : blocks)
      if (z > 0 && loudness(z) > gate) {
        sum += z;
        ++*count;
      }
    return *count ? sum / static_cast<double>(*count) : 0.0;
  };
  std::size_t count = 0;
  const double absolute = mean_above(-70.0, &count);
  if (count == 0) return -std::numeric_limits<double>::infinity();
  const double relative = mean_above(loudness(absolute) - 10.0, &count);
  return count ? loudness(relative) : -std::numeric_limits<double>::infinity();
}

Error AnalyseReplayGain(const SoundDocument& document, const CodecProgress& progress, ReplayGainValues* values) {
  LoudnessMeter meter(document.rate, document.channels);
  constexpr std::uint32_t kChunk = 16384;
  std::vector<float> samples(static_cast<std::size_t>(kChunk) * document.channels);
  SegmentCursor cursor(document.segments, document.channels, document.length);
  for (std::uint32_t done = 0; done < document.length;) {
    const std::uint32_t frames = std::min(kChunk, document.length - done);
    if (const Error rc = cursor.ReadFloat(frames, samples.data(), document.channels)) return rc;
    meter.Add(std::span<const float>(samples.data(), static_cast<std::size_t>(frames) * document.channels));
    done += frames;
    if (progress && !progress(done, document.length)) return err::kCancelled;
  }
  const double lufs = meter.IntegratedLufs();
  values->reference_loudness = 89.0;
  values->track_gain = std::isfinite(lufs) ? kReplayGainReferenceLufs - lufs : 0.0;
  values->track_peak = meter.peak();
  return Error{};
}

}  // namespace tidemark
