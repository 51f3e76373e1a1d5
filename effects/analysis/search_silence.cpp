#include "effects/analysis/search_silence.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "config/error_codes.h"
#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "core/document/sound_document.h"
#include "effects/analysis/statis.h"
#include "effects/framework/effect_entry.h"
#include "effects/framework/scan.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

namespace {

// Frame powers of the masked channels: both of two, or one of them.
struct BothPower {
  static double Of(const float* frame, std::uint16_t) {
    const double l = frame[0], r = frame[1];
    return l * l + r * r;
  }
};
struct OnePower {
  static double Of(const float* frame, std::uint16_t channel) {
    const double x = frame[channel];
    return x * x;
  }
};
struct NoPower {
  static double Of(const float*, std::uint16_t) { return 0; }
};

}  // namespace

Error CSearchSilence::Create(const SilenceSettings& settings, std::uint32_t origin,
                             std::unique_ptr<CSearchSilence>* run) {
  if (settings.window == 0 || !std::isfinite(settings.threshold_db)) return err::kSizeLimit;
  StatisWeightingPtr filter;
  if (const Error rc = MakeWeighting(settings.weighting, settings.rate, kMaxChannels, &filter)) return rc;
  std::unique_ptr<double[]> ring;
  if (MakeNew(&ring, std::size_t{settings.window})) return err::kOutOfMemory;
  std::unique_ptr<CSearchSilence> made;
  if (TryAlloc([&] {
        made.reset(new CSearchSilence(settings, origin, std::move(ring), std::move(filter)));
        if (made->weighting_) made->weighted_.resize(std::size_t{kChunkFrames} * kMaxChannels);
      }))
    return err::kOutOfMemory;
  *run = std::move(made);
  return err::kOk;
}

CSearchSilence::CSearchSilence(const SilenceSettings& settings, std::uint32_t origin, std::unique_ptr<double[]> ring,
                               StatisWeightingPtr weighting)
    : settings_(settings),
      origin_(origin),
      weighting_(std::move(weighting)),
      ring_(std::move(ring)),
      recompute_every_(std::uint64_t{RecomputeWindows(settings.window)} * settings.window) {
  Reset();
}

void CSearchSilence::Reset() {
  channels_ = 0;
  mask_ = 0;
  threshold_ = 0;
  std::fill(ring_.get(), ring_.get() + settings_.window, 0.0);
  ring_at_ = 0;
  running_ = 0;
  apart_ = 0;
  nonzero_ = 0;
  since_recompute_ = 0;
  recomputes_ = 0;
  largest_correction_ = 0;
  fed_ = 0;
  last_quiet_end_ = -1;
  classified_ = 0;
  run_start_ = 0;
  run_silent_ = false;
  in_gap_ = false;
  burst_pending_ = false;
  gap_start_ = burst_start_ = sound_start_ = 0;
  gaps_.clear();
  out_of_memory_ = false;
  if (weighting_) weighting_->Reset();
}

std::string CSearchSilence::GetName() const {
  std::string_view text = UiText(text::kMenuExtrasGapSearch);
  while (!text.empty() && text.back() == '.') text.remove_suffix(1);
  return std::string(text);
}

Error CSearchSilence::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels < 1 || channels > kMaxChannels || (channels_ != 0 && channels != channels_)) return err::kSizeLimit;
  if (channels_ == 0) {
    channels_ = channels;
    mask_ = mask & ((1u << channels) - 1);
    threshold_ = static_cast<double>(settings_.window) * std::popcount(mask_) *
                 std::pow(10.0, settings_.threshold_db / 10);
  }
  for (std::uint32_t done = 0; done < frames;) {
    const std::uint32_t n = std::min(kChunkFrames, frames - done);
    const float* chunk = buffer + std::size_t{done} * channels;
    if (weighting_) {
      // Every channel passes the filter, so that its state follows the
      // signal. A non-finite sample would stay in the filter's state for
      // good: the filter sees 0 instead, and the frame gets the sample back
      // afterwards, so that it still counts as sound.
      const std::size_t samples = std::size_t{n} * channels;
      for (std::size_t i = 0; i < samples; ++i) weighted_[i] = std::isfinite(chunk[i]) ? chunk[i] : 0.0f;
      weighting_->Filter(weighted_.data(), n, channels);
      for (std::size_t i = 0; i < samples; ++i)
        if (!std::isfinite(chunk[i])) weighted_[i] = chunk[i];
      chunk = weighted_.data();
    }
    if (channels == 2 && mask_ == 3) Measure<BothPower>(chunk, n, 0);
    else if (mask_ == 0) Measure<NoPower>(chunk, n, 0);
    else Measure<OnePower>(chunk, n, mask_ & 1 ? 0 : 1);
    done += n;
  }
  return out_of_memory_ ? err::kOutOfMemory : err::kOk;
}

template <typename Power>
void CSearchSilence::Measure(const float* samples, std::uint32_t frames, std::uint16_t channel) {
  // The state lives in locals here, written back around the rare calls; the
  // frames counted apart vary from frame to frame in loud sound, so they are
  // handled without branches.
  const double threshold = threshold_;
  const std::uint32_t window = settings_.window;
  const std::uint64_t every = recompute_every_;
  double* const ring = ring_.get();
  double running = running_;
  std::uint32_t apart = apart_, nonzero = nonzero_, at = ring_at_;
  std::uint64_t fed = fed_, since = since_recompute_, classified = classified_;
  std::int64_t last_quiet_end = last_quiet_end_;
  bool run_silent = run_silent_;
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double p = Power::Of(samples + std::size_t{i} * channels_, channel);
    // NaN fails the comparison too: it is counted apart with the loud frames.
    const bool is_apart = !(p <= threshold);
    const double kept = is_apart ? 0.0 : p;
    const double old = ring[at];
    const bool was_apart = old < 0;
    const double old_kept = was_apart ? 0.0 : old;
    ring[at] = is_apart ? -1.0 : p;
    apart = apart + is_apart - was_apart;
    nonzero = nonzero + (kept > 0) - (old_kept > 0);
    running += kept - old_kept;
    if (++at == window) at = 0;
    ++fed;
    if (++since == every) {
      running = Recompute(running);
      since = 0;
    }
    if (fed < window) continue;
    // The window ending at this frame; its first frame is now final, as no
    // later window holds it.
    if (apart == 0 && (nonzero == 0 || running <= threshold)) last_quiet_end = static_cast<std::int64_t>(fed - 1);
    const bool silent = last_quiet_end >= static_cast<std::int64_t>(fed - window);
    if (silent == run_silent && classified > 0) {
      ++classified;
      continue;
    }
    classified_ = classified;
    run_silent_ = run_silent;
    Classify(silent);
    classified = classified_;
    run_silent = run_silent_;
  }
  running_ = running;
  apart_ = apart;
  nonzero_ = nonzero;
  ring_at_ = at;
  fed_ = fed;
  since_recompute_ = since;
  classified_ = classified;
  last_quiet_end_ = last_quiet_end;
  run_silent_ = run_silent;
}

double CSearchSilence::Recompute(double running) {
  double exact = 0;
  for (std::uint32_t k = 0; k < settings_.window; ++k) exact += std::max(ring_[k], 0.0);
  largest_correction_ = std::max(largest_correction_, std::fabs(exact - running));
  ++recomputes_;
  return exact;
}

void CSearchSilence::Classify(bool silent) {
  if (classified_ == 0) {
    run_silent_ = silent;
  } else if (silent != run_silent_) {
    Run(run_start_, classified_ - run_start_, run_silent_);
    run_start_ = classified_;
    run_silent_ = silent;
  }
  ++classified_;
}

void CSearchSilence::Run(std::uint64_t start, std::uint64_t length, bool silent) {
  // Runs alternate, so a sound run inside a gap is followed by silence or
  // by the stretch's end.
  if (silent) {
    if (!in_gap_) {
      in_gap_ = true;
      gap_start_ = start;
    }
    burst_pending_ = false;
  } else if (in_gap_) {
    if (length <= settings_.burst) {
      burst_pending_ = true;
      burst_start_ = start;
    } else {
      CloseGap(start);
    }
  }
}

void CSearchSilence::CloseGap(std::uint64_t end) {
  in_gap_ = false;
  burst_pending_ = false;
  const bool long_enough = end - gap_start_ >= std::max<std::uint64_t>(settings_.min_gap, 1);
  const bool after_sound = gap_start_ == 0 || gap_start_ - sound_start_ >= settings_.min_sound;
  if (!long_enough || !after_sound) return;
  const SilenceGap gap{static_cast<std::uint32_t>(origin_ + gap_start_), static_cast<std::uint32_t>(origin_ + end)};
  if (TryAlloc([&] { gaps_.push_back(gap); })) out_of_memory_ = true;
  sound_start_ = end;
}

Error CSearchSilence::Finish() {
  for (std::uint64_t f = classified_; f < fed_; ++f) Classify(last_quiet_end_ >= static_cast<std::int64_t>(f));
  if (classified_ > 0) Run(run_start_, classified_ - run_start_, run_silent_);
  if (in_gap_) CloseGap(burst_pending_ ? burst_start_ : classified_);
  return out_of_memory_ ? err::kOutOfMemory : err::kOk;
}

Error SearchSilence(ProgressScope& scope, const SoundDocument& document, std::uint32_t start, std::uint32_t length,
                    std::uint32_t mask, const SilenceSettings& settings, std::vector<SilenceGap>* gaps) {
  if (length == 0) return err::kNoSelection;
  if (document.channels < 1 || document.channels > CSearchSilence::kMaxChannels) return err::kSizeLimit;
  if (start > document.length || length > document.length - start) return err::kSizeLimit;
  std::unique_ptr<CSearchSilence> run;
  if (const Error rc = CSearchSilence::Create(settings, start, &run)) return rc;
  CEffEntry::SetupParams params;
  // The scan only reads the document.
  params.target = const_cast<SoundDocument*>(&document);
  params.start = start;
  params.length = length;
  params.input_channels = params.output_channels = document.channels;
  params.channel_mask = static_cast<std::uint16_t>(mask & (0xFFFFu >> (16 - document.channels)));
  if (const Error rc = ScanSelection(scope, params, *run, run->GetName() + "...")) return rc;
  if (const Error rc = run->Finish()) return rc;
  return TryAlloc([&] { *gaps = run->gaps(); });
}

}  // namespace tidemark::NS_EFFECT
