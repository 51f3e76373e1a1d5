// TEMPORARY, on the console branch only: a plain stand-in for the
// statistics so that the console's stats command links and runs before the
// statistics run lands. Dropped when the branches are merged (app's CMake
// file compiles it only while it exists).
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/document/sound_document.h"
#include "effects/analysis/waveform_statistics.h"
#include "effects/framework/effect_run.h"
#include "effects/framework/progress_scope.h"
#include "effects/framework/scan.h"
#include "config/error_codes.h"

namespace tidemark {
namespace {

class StubStatisticsRun final : public CEffRun {
 public:
  StubStatisticsRun(std::uint16_t channels, std::uint32_t window) : channels_(channels), ring_(window, 0.0) {}

  Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t) override {
    for (std::uint32_t f = 0; f < frames; ++f, ++frame_) {
      double power = 0;
      for (std::uint16_t c = 0; c < channels; ++c) {
        const double x = buffer[std::size_t{f} * channels + c];
        Channel& ch = channel_[c];
        if (frame_ == 0 || x > ch.max) ch.max = x, ch.max_at = frame_;
        if (frame_ == 0 || x < ch.min) ch.min = x, ch.min_at = frame_;
        ch.sum += x;
        ch.squares += x * x;
        power += x * x;
      }
      window_sum_ += power - ring_[at_];
      ring_[at_] = power;
      at_ = (at_ + 1) % ring_.size();
      if (frame_ == 0 || window_sum_ > best_window_) best_window_ = window_sum_, best_at_ = frame_;
    }
    return err::kOk;
  }
  void Reset() override {}
  std::string GetName() const override { return "Statistics"; }

  void Fill(std::uint32_t start, WaveformStatistics* out) const {
    const double n = static_cast<double>(frame_);
    double squares = 0;
    out->channels = channels_;
    for (std::uint16_t c = 0; c < channels_; ++c) {
      const Channel& ch = channel_[c];
      ChannelStatistics& o = out->channel[c];
      o.instant_max = ch.max;
      o.instant_min = ch.min;
      o.offset = ch.sum / n;
      const double divisor = n < 2 ? n : n - 1;
      o.mean_square = ch.squares / divisor;
      o.variance = (ch.squares - n * o.offset * o.offset) / divisor;
      squares += ch.squares;
      const double peak = std::max(std::fabs(ch.max), std::fabs(ch.min));
      if (c == 0 || peak > out->instant_peak) {
        out->instant_peak = peak;
        out->instant_peak_pos = start + (std::fabs(ch.max) >= std::fabs(ch.min) ? ch.max_at : ch.min_at);
      }
    }
    const double total = n * channels_;
    out->rms = std::sqrt(squares / (total == 1 ? 1 : total - 1));
    out->short_rms_peak = std::sqrt(std::max(0.0, best_window_) / (double(ring_.size()) * channels_));
    out->short_rms_peak_pos = start + best_at_;
  }

 private:
  struct Channel {
    double max = 0, min = 0, sum = 0, squares = 0;
    std::uint32_t max_at = 0, min_at = 0;
  };
  std::uint16_t channels_;
  Channel channel_[2];
  std::vector<double> ring_;
  std::size_t at_ = 0;
  double window_sum_ = 0, best_window_ = 0;
  std::uint32_t frame_ = 0, best_at_ = 0;
};

}  // namespace

Error MeasureWaveform(ProgressScope& scope, const SoundDocument& document, std::uint32_t start, std::uint32_t length,
                      std::string_view weighting, WaveformStatistics* result) {
  if (!weighting.empty() && weighting != "0") return err::kSizeLimit;
  if (length == 0) return err::kNoSelection;
  if (document.channels < 1 || document.channels > 2) return err::kUnsupportedFormat;
  CEffEntry::SetupParams params;
  params.target = const_cast<SoundDocument*>(&document);  // only read
  params.start = start;
  params.length = length;
  params.input_channels = params.output_channels = document.channels;
  params.channel_mask = static_cast<std::uint16_t>((1u << document.channels) - 1);
  StubStatisticsRun run(document.channels, std::max<std::uint32_t>(1, document.rate));
  if (const Error rc = ScanSelection(scope, params, run, "Statistics...")) return rc;
  WaveformStatistics measured;
  run.Fill(start, &measured);
  *result = measured;
  return err::kOk;
}

}  // namespace tidemark
