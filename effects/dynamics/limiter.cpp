#include "effects/dynamics/limiter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "effects/dynamics/internal/finite.h"
#include "effects/dynamics/std_compress.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT {

namespace {

constexpr std::uint32_t kMaxChannels = 32;
// Frames per step between the quiet pass and the per-frame rules.
constexpr std::uint32_t kPiece = 256;
// Each needed gain is aimed this little lower (1e-6, about 0.00001 dB), so
// the float roundings of the gain ring and the product can never carry an
// output sample past the ceiling.
constexpr double kMargin = 1.0 - 1.0 / (1 << 20);

}  // namespace

Error CLimiter::Init(std::uint32_t rate, std::uint16_t channels, float ceiling, float window_ms, float makeup,
                     bool link) {
  if (rate == 0) return err::kSizeLimit;
  return InitFrames(channels, std::max<std::uint32_t>(rate / 10, 1), CStdCompress::WindowFrames(rate, window_ms),
                    ceiling, makeup, link);
}

Error CLimiter::InitFrames(std::uint16_t channels, std::uint32_t length, std::uint32_t window, float ceiling,
                           float makeup, bool link) {
  if (channels == 0 || channels > kMaxChannels || length == 0) return err::kSizeLimit;
  std::unique_ptr<float[]> delay, gains;
  std::unique_ptr<Ramp[]> ramps;
  if (const Error rc = MakeNew(&delay, std::size_t{length} * channels)) return rc;
  if (const Error rc = MakeNew(&gains, std::size_t{length} * channels)) return rc;
  if (const Error rc = MakeNew(&ramps, std::size_t{channels})) return rc;
  delay_ = std::move(delay);
  gains_ = std::move(gains);
  ramps_ = std::move(ramps);
  channels_ = channels;
  length_ = length;
  window_ = std::clamp<std::uint32_t>(window, 1, length);
  ceiling_ = ceiling;
  makeup_ = makeup;
  linked_ = link && channels == 2;
  Reset();
  return err::kOk;
}

void CLimiter::Reset() {
  if (!delay_) return;
  std::fill_n(delay_.get(), std::size_t{length_} * channels_, 0.0f);
  std::fill_n(gains_.get(), std::size_t{length_} * channels_, 1.0f);
  std::fill_n(ramps_.get(), channels_, Ramp{});
  pos_ = 0;
  smallest_ = 1.0f;
}

void CLimiter::Detect(Ramp& r, float peak) const {
  const double w = window_;
  const bool running = r.left > 0 || r.hold > 0;
  if (peak > ceiling_) {
    const double need = static_cast<double>(ceiling_) / peak * kMargin;
    if (!running) {
      r.target = need;
      r.increment = (need - r.current) / w;
      r.left = window_;
      r.hold = 0;
    } else if (need < r.target) {
      const double s = (need - r.current) / w;
      if (r.increment >= s || r.increment == 0.0) {
        r.target = need;
        r.increment = s;
        r.left = window_;
        r.hold = 0;
      } else {
        // The running ramp falls faster: keep its slope to the new target,
        // then hold there until this peak has left.
        const double frames = std::floor((need - r.current) / r.increment + 0.5);
        const auto n = static_cast<std::uint32_t>(std::clamp(frames, 1.0, w));
        r.target = need;
        r.left = n;
        r.hold = window_ - n;
      }
    } else {
      // Already aimed low enough; the release that follows the ramp and
      // hold must still be at or below `need` when this peak leaves.
      const std::uint32_t busy = r.left + r.hold;
      if (busy < window_) {
        const double rise = (1.0 - r.target) / w;
        const double room = rise > 0.0 ? std::floor((need - r.target) / rise) : w;
        const auto allowed = static_cast<std::uint32_t>(std::clamp(room, 0.0, w));
        if (busy + allowed < window_) r.hold += window_ - allowed - busy;
      }
    }
  } else if (!running && r.target != 1.0) {
    r.target = 1.0;
    r.increment = (1.0 - r.current) / w;
    r.left = window_;
  }
}

template <int kChannels, bool kLinked>
void CLimiter::Run(float* buffer, std::uint32_t frames, std::uint32_t mask) {
  const std::uint32_t ch = kChannels > 0 ? static_cast<std::uint32_t>(kChannels) : channels_;
  const std::uint32_t groups = kLinked ? 1 : ch;
  bool masked[kMaxChannels];
  for (std::uint32_t c = 0; c < ch; ++c) masked[c] = (mask >> c) & 1u;
  const std::uint32_t back = length_ - window_;
  float smallest = smallest_;
  for (std::uint32_t f = 0; f < frames; ++f) {
    std::uint32_t slot = pos_ + back;
    if (slot >= length_) slot -= length_;
    float applied[kMaxChannels];
    for (std::uint32_t k = 0; k < groups; ++k) {
      Ramp& r = ramps_[k];
      if (r.left >= 2) {
        r.current += r.increment;
        --r.left;
      } else if (r.left == 1) {
        r.current = r.target;
        r.increment = 0.0;
        r.left = 0;
      } else if (r.hold > 0) {
        --r.hold;
      }
      float* ring = gains_.get() + std::size_t{k} * length_;
      ring[slot] = static_cast<float>(r.current);
      const bool unity = r.left == 0 && r.hold == 0 && r.current == 1.0;
      r.idle = unity ? std::min(r.idle + 1, length_) : 0;
      const float g = ring[pos_];
      smallest = std::min(smallest, g);
      applied[k] = makeup_ * g;
    }
    float* line = delay_.get() + std::size_t{pos_} * ch;
    float* x = buffer + std::size_t{f} * ch;
    float peak = 0.0f;
    for (std::uint32_t c = 0; c < ch; ++c) {
      const float y = line[c];
      const float in = dynamics::FiniteOrZero(x[c]);
      line[c] = in;
      x[c] = masked[c] ? y * applied[kLinked ? 0 : c] : y;
      const float a = masked[c] ? std::fabs(in) : 0.0f;
      if constexpr (kLinked) {
        peak = std::max(peak, a);
      } else {
        Ramp& r = ramps_[c];
        if (a > ceiling_ || (r.left == 0 && r.hold == 0 && r.target != 1.0)) Detect(r, a);
      }
    }
    if constexpr (kLinked) {
      Ramp& r = ramps_[0];
      if (peak > ceiling_ || (r.left == 0 && r.hold == 0 && r.target != 1.0)) Detect(r, peak);
    }
    if (++pos_ == length_) pos_ = 0;
  }
  smallest_ = smallest;
}

bool CLimiter::Idle() const {
  const std::uint32_t groups = linked_ ? 1 : channels_;
  for (std::uint32_t k = 0; k < groups; ++k) {
    const Ramp& r = ramps_[k];
    if (r.idle < length_ || r.left != 0 || r.hold != 0 || r.target != 1.0) return false;
  }
  return true;
}

bool CLimiter::PassQuiet(float* buffer, std::uint32_t frames) {
  const std::size_t samples = std::size_t{frames} * channels_;
  // The largest |x| by its bits (non-negative floats order as their bit
  // patterns; non-finite samples count as 0), a loop that vectorises.
  std::uint32_t top = 0;
  for (std::size_t i = 0; i < samples; ++i) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(buffer[i]) & 0x7fffffffu;
    top = std::max(top, bits >= 0x7f800000u ? 0u : bits);
  }
  if (std::bit_cast<float>(top) > ceiling_) return false;
  // What the per-frame rules do here: every gain in the ring is 1 and
  // stays 1, so the output is the delayed input times M.
  float* line = delay_.get() + std::size_t{pos_} * channels_;
  for (std::size_t i = 0; i < samples; ++i) {
    const float y = line[i];
    line[i] = dynamics::FiniteOrZero(buffer[i]);
    buffer[i] = y * makeup_;
  }
  pos_ += frames;
  if (pos_ == length_) pos_ = 0;
  smallest_ = std::min(smallest_, 1.0f);
  return true;
}

Error CLimiter::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels != channels_ || !delay_) return err::kLayoutMismatch;
  smallest_ = frames ? std::numeric_limits<float>::max() : 1.0f;
  const std::uint32_t all = channels >= 32 ? ~0u : (1u << channels) - 1;
  const bool every_channel = (mask & all) == all;
  for (std::uint32_t done = 0; done < frames;) {
    std::uint32_t n = std::min(frames - done, kPiece);
    float* piece = buffer + std::size_t{done} * channels;
    done += n;
    // While nothing comes near the ceiling, pieces pass as a plain delay.
    if (every_channel && Idle()) {
      const std::uint32_t contiguous = std::min(n, length_ - pos_);
      if (PassQuiet(piece, contiguous)) {
        done -= n - contiguous;
        continue;
      }
    }
    if (linked_) {
      Run<2, true>(piece, n, mask);
    } else if (channels == 1) {
      Run<1, false>(piece, n, mask);
    } else if (channels == 2) {
      Run<2, false>(piece, n, mask);
    } else {
      Run<0, false>(piece, n, mask);
    }
  }
  return err::kOk;
}

}  // namespace tidemark::NS_EFFECT
