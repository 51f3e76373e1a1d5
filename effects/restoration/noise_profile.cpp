#include "effects/restoration/noise_profile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "effects/framework/progress_scope.h"
#include "effects/restoration/noise_sample.h"
#include "effects/restoration/noise_scan.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_HISS {

namespace {

bool SameGain(const Segment& a, const Segment& b) {
  const SegmentGain unit;
  const SegmentGain& ga = a.gain ? *a.gain : unit;
  const SegmentGain& gb = b.gain ? *b.gain : unit;
  return ga.gain0 == gb.gain0 && ga.offset0 == gb.offset0 && ga.gain1 == gb.gain1 && ga.offset1 == gb.offset1;
}

}  // namespace

std::uint32_t HissFftLength(std::uint32_t rate, int choice) {
  const std::uint32_t base = rate <= 48000 ? 2048 : rate <= 96000 ? 4096 : 8192;
  return base << std::clamp(choice, 0, 3);
}

std::size_t NoiseProfile::ClassifiedBins() const {
  const auto top = static_cast<std::size_t>(std::floor(kClassifiedUpToHz * fft_length / std::max(rate, 1u)));
  return std::min<std::size_t>(fft_length / 2, top) + 1;
}

bool SameMaterial(const SoundClip& a, const SoundClip& b) {
  if (&a == &b) return true;
  if (a.rate != b.rate || a.channels != b.channels || a.length != b.length) return false;
  if (a.segments.size() != b.segments.size()) return false;
  for (const Segment *x = a.segments.first(), *y = b.segments.first(); x && y; x = x->next, y = y->next) {
    if (x->source.get() != y->source.get() || x->length != y->length || x->position != y->position ||
        x->source_offset != y->source_offset || !SameGain(*x, *y))
      return false;
  }
  return true;
}

Error NoiseProfileCache::Get(ProgressScope* scope, const ClipRef& source, std::uint32_t mask,
                             std::uint32_t fft_length, std::shared_ptr<const NoiseProfile>* profile) {
  if (!source) return err::kSizeLimit;
  if (profile_ && profile_->fft_length == fft_length && mask_ == mask && source_ &&
      SameMaterial(*source_, *source)) {
    *profile = profile_;
    return err::kOk;
  }
  CNoiseScan scan;
  if (const Error rc = scan.Init(fft_length, source->channels)) return rc;
  const std::string caption(UiText(text::kFxHissMeasuring));
  if (scope) {
    if (const Error rc = ScanClip(*scope, *source, mask, scan, caption)) return rc;
  } else {
    ProgressScope own;
    if (const Error rc = ScanClip(own, *source, mask, scan, caption)) return rc;
  }
  scan.MeasureShortMaterial();
  if (scan.Frames() == 0) return kTooShort;

  std::shared_ptr<NoiseProfile> made;
  if (const Error rc = TryAlloc([&] {
        made = std::make_shared<NoiseProfile>();
        made->fft_length = fft_length;
        made->rate = source->rate;
        made->channels = source->channels;
        made->channel_mask = mask;
        made->frames = scan.Frames();
        made->power.resize(source->channels);
        made->classes.resize(source->channels);
        for (std::uint16_t c = 0; c < source->channels; ++c) {
          if (!(mask & (1u << c))) continue;
          made->power[c] = scan.MeanPower(c);
          dsp::ClassifyBins(made->power[c], made->ClassifiedBins(), &made->classes[c]);
        }
      }))
    return rc;
  source_ = source;
  mask_ = mask;
  profile_ = std::move(made);
  ++builds_;
  // The sources go before the process-wide source state does (which
  // exists by now): an exit handler registered later runs earlier.
  static const bool registered = std::atexit([] { ProfileCache().Clear(); }) == 0;
  (void)registered;
  *profile = profile_;
  return err::kOk;
}

void NoiseProfileCache::Clear() {
  source_ = ClipRef();
  profile_.reset();
  mask_ = 0;
}

NoiseProfileCache& ProfileCache() {
  static NoiseProfileCache cache;
  return cache;
}

}  // namespace tidemark::NS_EFFECT_HISS
