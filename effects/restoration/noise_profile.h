// The noise profile hiss reduction works against: the noise power per
// frequency bin of each measured channel for one FFT length, with the
// classes of its bins up to 24 kHz, and the cache that keeps the last one
// until its FFT length or its source changes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/edit/sound_clip.h"
#include "dsp/spectral/spectral_classes.h"
#include "platform/error.h"

namespace tidemark {
class ProgressScope;
}

namespace tidemark::NS_EFFECT_HISS {

// The FFT length for a document of `rate` Hz and the block's choice 0..3:
// 2048 up to 48 kHz, 4096 up to 96 kHz, 8192 above, doubled for each step
// of the choice.
std::uint32_t HissFftLength(std::uint32_t rate, int choice);

// Bins at or below this frequency are classified.
inline constexpr double kClassifiedUpToHz = 24000.0;

struct NoiseProfile {
  std::uint32_t fft_length = 0;
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;      // of the source
  std::uint32_t channel_mask = 0;  // the channels measured
  std::uint64_t frames = 0;        // whole frames averaged per channel
  // Per channel of the source, fft_length / 2 + 1 mean powers (empty for a
  // channel not measured), and the classes of the first ClassifiedBins().
  std::vector<std::vector<float>> power;
  std::vector<std::vector<dsp::BinClass>> classes;

  // min(fft_length / 2, the bin of 24 kHz) + 1.
  std::size_t ClassifiedBins() const;
};

// Whether two clips hold the same material: the same format and length
// and segment for segment the same source, offsets and gains.
bool SameMaterial(const SoundClip& a, const SoundClip& b);

// Keeps the last profile measured; one per program.
class NoiseProfileCache {
 public:
  // The profile of the channels in `mask` of `source` for `fft_length`.
  // Measured by a CNoiseScan (under `scope`, or a scope of its own when
  // null) unless the cached one has that length and mask and a source of
  // the same material; a source shorter than one frame is measured as
  // CNoiseScan::MeasureShortMaterial says. kTooShort for an empty source;
  // 0xFFFFFFFF when cancelled (the cache then is as it was).
  [[nodiscard]] Error Get(ProgressScope* scope, const ClipRef& source, std::uint32_t mask, std::uint32_t fft_length,
                          std::shared_ptr<const NoiseProfile>* profile);
  // How many profiles have been measured.
  std::uint32_t builds() const { return builds_; }
  void Clear();

 private:
  ClipRef source_;  // keeps the sources alive, so their addresses stay unique
  std::uint32_t mask_ = 0;
  std::shared_ptr<const NoiseProfile> profile_;
  std::uint32_t builds_ = 0;
};

NoiseProfileCache& ProfileCache();

}  // namespace tidemark::NS_EFFECT_HISS
