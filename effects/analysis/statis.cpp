#include "effects/analysis/statis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

namespace {

constexpr float kBelowAll = -std::numeric_limits<float>::infinity();
constexpr float kAboveAll = std::numeric_limits<float>::infinity();

// The menu text without its trailing "...".
std::string PlainMenuText(TextSlot slot) {
  std::string_view text = UiText(slot);
  while (!text.empty() && text.back() == '.') text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

Error CStatis::Create(std::uint32_t flags, std::uint32_t window, std::uint32_t origin, char weighting,
                      std::uint32_t rate, std::unique_ptr<CStatis>* run) {
  if (window == 0) return err::kSizeLimit;
  StatisWeightingPtr filter;
  if (const Error rc = MakeWeighting(weighting, rate, kMaxChannels, &filter)) return rc;
  std::unique_ptr<float[]> ring;
  if ((flags & statis_flag::kShortRms) && MakeNew(&ring, std::size_t{window})) return err::kOutOfMemory;
  std::unique_ptr<CStatis> made;
  if (TryAlloc([&] { made.reset(new CStatis(flags, window, origin, std::move(ring), std::move(filter))); }))
    return err::kOutOfMemory;
  *run = std::move(made);
  return err::kOk;
}

CStatis::CStatis(std::uint32_t flags, std::uint32_t window, std::uint32_t origin, std::unique_ptr<float[]> ring,
                 StatisWeightingPtr weighting)
    : flags_(flags),
      window_(window),
      origin_(origin),
      weighting_(std::move(weighting)),
      ring_(std::move(ring)),
      recompute_every_(std::uint64_t{RecomputeWindows(window)} * window) {
  Reset();
}

void CStatis::Reset() {
  result_ = StatisResult{};
  for (StatisResult::Channel& c : result_.channel) {
    c.maximum = kBelowAll;
    c.minimum = kAboveAll;
  }
  if (ring_) std::fill(ring_.get(), ring_.get() + window_, 0.0f);
  ring_at_ = 0;
  running_ = 0;
  largest_ = -1;
  since_recompute_ = 0;
  recomputes_ = 0;
  if (weighting_) weighting_->Reset();
}

std::string CStatis::GetName() const { return PlainMenuText(text::kMenuExtrasStatistics); }

Error CStatis::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels < 1 || channels > kMaxChannels) return err::kSizeLimit;
  mask &= (1u << channels) - 1;
  result_.mask |= mask;
  const bool squares = (flags_ & (statis_flag::kSquares | statis_flag::kShortRms)) != 0;
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t n = std::min(kChunkFrames, frames - done);
    const float* chunk = buffer + std::size_t{done} * channels;
    const float* squared = chunk;
    if (weighting_ && squares) {
      // Every channel passes the filter (so its state follows the signal);
      // only the masked ones are measured.
      for (std::uint32_t i = 0; i < n * channels; ++i)
        weighted_[i] = weighting_->Filter(static_cast<std::uint16_t>(i % channels), chunk[i]);
      squared = weighted_.data();
    }
    MeasureChunk(chunk, squared, n, channels, mask);
    if (flags_ & statis_flag::kShortRms) MeasureWindow(squared, n, channels, mask);
    result_.frames += n;
    done += n;
  }
  return err::kOk;
}

void CStatis::MeasureChunk(const float* buffer, const float* squared, std::uint32_t frames,
                           std::uint16_t channels, std::uint32_t mask) {
  const std::uint32_t first = origin_ + result_.frames;
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (!(mask & (1u << c))) continue;
    StatisResult::Channel& ch = result_.channel[c];
    // The sums run on in frame order, so any split into blocks gives the
    // same result to the last bit.
    if (flags_ & statis_flag::kSums) {
      double sum = ch.sum;
      for (std::uint32_t i = 0; i < frames; ++i) sum += buffer[std::size_t{i} * channels + c];
      ch.sum = sum;
    }
    if (flags_ & statis_flag::kSquares) {
      double squares = ch.sum_of_squares;
      for (std::uint32_t i = 0; i < frames; ++i) {
        const double x = squared[std::size_t{i} * channels + c];
        squares += x * x;
      }
      ch.sum_of_squares = squares;
    }
    if (flags_ & statis_flag::kExtremes) {
      // Strict comparisons: the first frame reaching an extreme is kept.
      for (std::uint32_t i = 0; i < frames; ++i) {
        const float x = buffer[std::size_t{i} * channels + c];
        if (x > ch.maximum) {
          ch.maximum = x;
          ch.maximum_frame = first + i;
        }
        if (x < ch.minimum) {
          ch.minimum = x;
          ch.minimum_frame = first + i;
        }
      }
    }
  }
}

void CStatis::MeasureWindow(const float* squared, std::uint32_t frames, std::uint16_t channels,
                            std::uint32_t mask) {
  const std::uint32_t first = origin_ + result_.frames;
  for (std::uint32_t i = 0; i < frames; ++i) {
    double power = 0;
    for (std::uint16_t c = 0; c < channels; ++c) {
      if (!(mask & (1u << c))) continue;
      const double x = squared[std::size_t{i} * channels + c];
      power += x * x;
    }
    // The ring holds floats; the running sum adds exactly what it holds, so
    // a recomputation only removes the rounding of the additions.
    const float stored = static_cast<float>(power);
    running_ += static_cast<double>(stored) - static_cast<double>(ring_[ring_at_]);
    ring_[ring_at_] = stored;
    if (++ring_at_ == window_) ring_at_ = 0;
    if (++since_recompute_ == recompute_every_) {
      since_recompute_ = 0;
      double exact = 0;
      for (std::uint32_t k = 0; k < window_; ++k) exact += ring_[k];
      running_ = exact;
      ++recomputes_;
    }
    if (running_ > largest_) {
      largest_ = running_;
      result_.largest_window_sum = running_;
      result_.largest_window_end = first + i;
    }
  }
}

StatisResult CStatis::result() const {
  StatisResult out = result_;
  for (std::uint16_t c = 0; c < kMaxChannels; ++c) {
    if (out.frames == 0 || !(out.mask & (1u << c)) || !(flags_ & statis_flag::kExtremes)) {
      out.channel[c].maximum = out.channel[c].minimum = 0;
      out.channel[c].maximum_frame = out.channel[c].minimum_frame = 0;
    }
  }
  return out;
}

std::uint32_t CStatis::MeasuredChannels() const {
  return static_cast<std::uint32_t>(std::popcount(result_.mask));
}

double CStatis::Peak(std::uint32_t* frame) const {
  const StatisResult r = result();
  double peak = 0;
  std::uint32_t at = origin_;
  bool found = false;
  const auto consider = [&](double value, std::uint32_t position) {
    if (!found || value > peak || (value == peak && position < at)) {
      peak = value;
      at = position;
      found = true;
    }
  };
  for (std::uint16_t c = 0; c < kMaxChannels; ++c) {
    if (!(r.mask & (1u << c)) || r.frames == 0) continue;
    consider(std::fabs(double{r.channel[c].maximum}), r.channel[c].maximum_frame);
    consider(std::fabs(double{r.channel[c].minimum}), r.channel[c].minimum_frame);
  }
  if (frame) *frame = at;
  return peak;
}

double CStatis::Rms() const {
  const double n = static_cast<double>(result_.frames) * MeasuredChannels();
  if (n == 0) return 0;
  double squares = 0;
  for (std::uint16_t c = 0; c < kMaxChannels; ++c)
    if (result_.mask & (1u << c)) squares += result_.channel[c].sum_of_squares;
  return std::sqrt(squares / (n < 2 ? n : n - 1));
}

double CStatis::ShortRmsPeak(std::uint32_t* frame) const {
  if (frame) *frame = result_.frames > 0 ? result_.largest_window_end : origin_;
  const std::uint32_t channels = MeasuredChannels();
  if (result_.frames == 0 || channels == 0) return 0;
  return std::sqrt(std::max(0.0, result_.largest_window_sum) / (static_cast<double>(window_) * channels));
}

}  // namespace tidemark::NS_EFFECT
