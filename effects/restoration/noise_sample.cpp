#include "effects/restoration/noise_sample.h"

#include <cstdlib>
#include <mutex>

#include "core/document/sound_document.h"
#include "effects/restoration/noise_profile.h"

namespace tidemark::NS_EFFECT_HISS {

namespace {

struct SampleSlot {
  std::mutex lock;
  ClipRef sample;
};

SampleSlot& Slot() {
  static SampleSlot slot;
  return slot;
}

}  // namespace

Error RememberNoiseSample(const SoundDocument& document, std::uint32_t from, std::uint32_t to) {
  if (from > to || to > document.length) return err::kSizeLimit;
  if (to - from < HissFftLength(document.rate, 0)) return kTooShort;
  ClipRef copy;
  if (const Error rc = CopyToClip(document, from, to, &copy)) return rc;
  {
    std::lock_guard<std::mutex> hold(Slot().lock);
    Slot().sample = std::move(copy);
  }
  // The sources go before the process-wide source state does (which
  // exists by now): an exit handler registered later runs earlier.
  static const bool registered = std::atexit(ForgetNoiseSample) == 0;
  (void)registered;
  return err::kOk;
}

void ForgetNoiseSample() {
  ClipRef gone;
  std::lock_guard<std::mutex> hold(Slot().lock);
  gone = std::move(Slot().sample);
}

ClipRef CurrentNoiseSample() {
  std::lock_guard<std::mutex> hold(Slot().lock);
  return Slot().sample;
}

}  // namespace tidemark::NS_EFFECT_HISS
