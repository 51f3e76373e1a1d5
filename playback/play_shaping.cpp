#include "playback/play_shaping.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tidemark::playback {

namespace {

std::int32_t Load24(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 | static_cast<std::uint32_t>(p[1]) << 16 |
                                   static_cast<std::uint32_t>(p[2]) << 24) >> 8;
}

void Store24(std::uint8_t* p, std::int32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
}

// Multiplies every channel of one frame by num / den.
void Scale(std::uint8_t* frame, SampleCode code, std::uint16_t channels, std::uint64_t num, std::uint64_t den) {
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (code == sample_code::kS16) {
      std::int16_t s;
      std::memcpy(&s, frame + 2 * c, 2);
      const auto r = static_cast<std::int16_t>(static_cast<std::int64_t>(s) * static_cast<std::int64_t>(num) /
                                               static_cast<std::int64_t>(den));
      std::memcpy(frame + 2 * c, &r, 2);
    } else if (code == sample_code::kS24) {
      const std::int64_t s = Load24(frame + 3 * c);
      Store24(frame + 3 * c,
              static_cast<std::int32_t>(s * static_cast<std::int64_t>(num) / static_cast<std::int64_t>(den)));
    } else {
      float s;
      std::memcpy(&s, frame + 4 * c, 4);
      s = s * static_cast<float>(num) / static_cast<float>(den);
      std::memcpy(frame + 4 * c, &s, 4);
    }
  }
}

std::uint32_t Abs16(std::int32_t v) { return static_cast<std::uint32_t>(v < 0 ? -v : v); }

// 16-bit peaks through 16 running maxima, lane j holding channel j % channels
// (channels divides 16): a loop the compiler turns into vector code.
void Peaks16(const std::uint8_t* data, std::uint16_t channels, std::uint32_t frames, std::uint32_t* peaks) {
  constexpr std::size_t kLanes = 16;
  std::uint16_t lane[kLanes] = {};
  const std::size_t samples = static_cast<std::size_t>(frames) * channels;
  const std::size_t whole = samples - samples % kLanes;
  for (std::size_t i = 0; i < whole; i += kLanes) {
    for (std::size_t j = 0; j < kLanes; ++j) {
      std::int16_t s;
      std::memcpy(&s, data + 2 * (i + j), 2);
      // -32768 becomes 32768, which a 16-bit unsigned lane holds.
      const auto a = static_cast<std::uint16_t>(s < 0 ? -s : s);
      lane[j] = std::max(lane[j], a);
    }
  }
  for (std::size_t j = 0; j < kLanes; ++j) peaks[j % channels] = std::max<std::uint32_t>(peaks[j % channels], lane[j]);
  for (std::size_t i = whole; i < samples; ++i) {
    std::int16_t s;
    std::memcpy(&s, data + 2 * i, 2);
    peaks[i % channels] = std::max(peaks[i % channels], Abs16(s));
  }
}

}  // namespace

void ApplyFades(std::uint8_t* data, SampleCode code, std::uint16_t channels, std::uint32_t frames,
                std::uint64_t position, std::uint64_t total, std::uint64_t fade) {
  const std::uint64_t f = fade < total ? fade : total;
  if (f == 0) return;
  const std::size_t frame_bytes = static_cast<std::size_t>(code & sample_code::kSizeMask) * channels;
  // Only the frames inside either fade are touched.
  for (std::uint32_t k = 0; k < frames; ++k) {
    const std::uint64_t i = position + k;
    if (i >= f && i < total - f) {
      k = static_cast<std::uint32_t>(std::min<std::uint64_t>(total - f - position, frames)) - 1;
      continue;
    }
    std::uint8_t* frame = data + k * frame_bytes;
    if (i < f) Scale(frame, code, channels, i, f);
    if (i >= total - f) Scale(frame, code, channels, total - i, f);
  }
}

void MeasurePeaks(const std::uint8_t* data, SampleCode code, std::uint16_t channels, std::uint32_t frames,
                  std::uint32_t* peaks) {
  for (std::uint16_t c = 0; c < channels; ++c) peaks[c] = 0;
  if (code == sample_code::kFloat) {
    for (std::uint16_t c = 0; c < channels; ++c) {
      float v = 0.0f;
      for (std::uint32_t k = 0; k < frames; ++k) {
        float s;
        std::memcpy(&s, data + (static_cast<std::size_t>(k) * channels + c) * 4, 4);
        s = std::fabs(s);
        if (s > v) v = s;  // false for NaN
      }
      peaks[c] = v < 1.0f ? static_cast<std::uint32_t>(std::floor(32768.0f * v + 0.5f)) : 32768u;
    }
    return;
  }
  if (code == sample_code::kS16 && 16 % channels == 0) {
    Peaks16(data, channels, frames, peaks);
    return;
  }
  const std::size_t bytes = code == sample_code::kS24 ? 3 : 2;
  for (std::uint32_t k = 0; k < frames; ++k) {
    for (std::uint16_t c = 0; c < channels; ++c) {
      const std::uint8_t* p = data + (static_cast<std::size_t>(k) * channels + c) * bytes;
      // The upper two bytes of a 24-bit sample are its 16-bit reading.
      const auto s = static_cast<std::int16_t>(p[bytes - 2] | p[bytes - 1] << 8);
      const std::uint32_t a = Abs16(s);
      if (a > peaks[c]) peaks[c] = a;
    }
  }
}

}  // namespace tidemark::playback
