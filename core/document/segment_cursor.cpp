#include "core/document/segment_cursor.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/samples/sample_convert.h"
#include "core/document/source_format.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// Samples per float block of the gain and dither paths (what a dither hook
// is handed at a time).
constexpr std::size_t kBlockSamples = 1024;
// Samples per source read when a gain block is applied into a float
// destination; 16 KiB stays in the first-level cache.
constexpr std::size_t kStraightSamples = 4096;
// The transform's coefficients repeat with this period; a multiple of both
// channel counts a gain block describes and of the vector width.
constexpr std::size_t kPattern = 16;

std::uint64_t End(const Segment& s) { return std::uint64_t{s.position} + s.length; }

bool Is16Bit(SampleCode code) { return code == sample_code::kS16 || code == sample_code::kS16BE; }

void FillSilence(std::byte* dst, std::size_t samples, SampleCode code) {
  std::memset(dst, code == sample_code::kU8 ? 0x80 : 0, samples * BytesPerSample(code));
}

// A segment's gain block as coefficients repeated over kPattern samples of
// interleaved frames. The cheapest form that applies to every channel is
// chosen; a channel that needs less than that form takes the neutral value
// that gives it bit for bit its own form: gain 1 (x * 1 is x; only a
// signalling NaN comes out quiet) and offset -0.0 (x + -0.0 is x, also for
// -0.0).
struct GainTransform {
  enum class Form { kNone, kAdd, kMultiply, kMultiplyAdd };
  Form form = Form::kNone;
  float gain[kPattern];
  float offset[kPattern];
};

// The 16-bit grid for offsets of dithered material, in double so that the
// grid point is found exactly.
float QuantiseOffset(float offset) {
  const double q = std::floor((static_cast<double>(offset) + 1.0) * 32768.0 + 0.5) / 32768.0 - 1.0;
  return static_cast<float>(q);
}

// The channels' gain and offset of a block; absent or a list wider than a
// block describes gives none.
void ChannelValues(const SegmentGain* g, std::uint16_t channels, float* gains, float* offsets) {
  gains[0] = g ? g->gain0 : 1.0f;
  offsets[0] = g ? g->offset0 : 0.0f;
  gains[1] = g && channels > 1 ? g->gain1 : 1.0f;
  offsets[1] = g && channels > 1 ? g->offset1 : 0.0f;
}

bool HasGainOtherThan1(const SegmentGain* g, std::uint16_t channels) {
  float gains[2], offsets[2];
  ChannelValues(g, channels, gains, offsets);
  return gains[0] != 1.0f || gains[1] != 1.0f;
}

// True when the block changes no sample: it reads like no block at all.
bool IsUnity(const SegmentGain* g, std::uint16_t channels) {
  float gains[2], offsets[2];
  ChannelValues(g, channels, gains, offsets);
  return gains[0] == 1.0f && gains[1] == 1.0f && offsets[0] == 0.0f && offsets[1] == 0.0f;
}

GainTransform MakeTransform(const SegmentGain* g, std::uint16_t channels, bool quantise_offsets) {
  float gains[2], offsets[2];
  ChannelValues(g, channels, gains, offsets);
  if (quantise_offsets) {
    offsets[0] = QuantiseOffset(offsets[0]);
    offsets[1] = QuantiseOffset(offsets[1]);
  }
  bool any_gain = false, any_offset = false;
  for (std::uint16_t c = 0; c < channels; ++c) {
    any_gain |= gains[c] != 1.0f;
    any_offset |= offsets[c] != 0.0f;
  }
  GainTransform t;
  t.form = any_gain ? (any_offset ? GainTransform::Form::kMultiplyAdd : GainTransform::Form::kMultiply)
                    : (any_offset ? GainTransform::Form::kAdd : GainTransform::Form::kNone);
  for (std::size_t i = 0; i < kPattern; ++i) {
    // Lists of more than two channels carry no block, so all their values agree.
    const std::size_t c = std::min<std::size_t>(i % channels, 1);
    t.gain[i] = gains[c];
    // A zero offset in a form that adds must keep -0.0 samples as they are.
    t.offset[i] = offsets[c] == 0.0f ? -0.0f : offsets[c];
  }
  return t;
}

// The kernels write each transformed sample of `in` to `out` (distinct
// blocks) with the coefficients copied into locals, so the inner loop
// becomes a few vector operations. `out` is usually memory that is not in
// the cache yet, so its lines are requested for writing a few lines ahead;
// without that the stores wait for each line in turn. The kernels are also
// compiled for AVX2 and the variant the processor supports is picked when
// the program is loaded; without fused multiply-add both give the same bits.
#define TIDEMARK_GAIN_KERNEL __attribute__((target_clones("avx2", "default")))
constexpr std::size_t kPrefetchSamples = 64;

TIDEMARK_GAIN_KERNEL void AddOffsets(const float* __restrict in, float* __restrict out, std::size_t n,
                                     const float* pattern) {
  float o[kPattern];
  std::memcpy(o, pattern, sizeof o);
  std::size_t i = 0;
  for (; i + kPattern <= n; i += kPattern) {
    __builtin_prefetch(out + i + kPrefetchSamples, 1);
    for (std::size_t j = 0; j < kPattern; ++j) out[i + j] = in[i + j] + o[j];
  }
  for (std::size_t j = 0; i < n; ++i, ++j) out[i] = in[i] + o[j];
}

TIDEMARK_GAIN_KERNEL void MultiplyGains(const float* __restrict in, float* __restrict out, std::size_t n,
                                        const float* pattern) {
  float g[kPattern];
  std::memcpy(g, pattern, sizeof g);
  std::size_t i = 0;
  for (; i + kPattern <= n; i += kPattern) {
    __builtin_prefetch(out + i + kPrefetchSamples, 1);
    for (std::size_t j = 0; j < kPattern; ++j) out[i + j] = in[i + j] * g[j];
  }
  for (std::size_t j = 0; i < n; ++i, ++j) out[i] = in[i] * g[j];
}

TIDEMARK_GAIN_KERNEL void MultiplyAdd(const float* __restrict in, float* __restrict out, std::size_t n,
                                      const float* gain_pattern, const float* offset_pattern) {
  float g[kPattern], o[kPattern];
  std::memcpy(g, gain_pattern, sizeof g);
  std::memcpy(o, offset_pattern, sizeof o);
  std::size_t i = 0;
  for (; i + kPattern <= n; i += kPattern) {
    __builtin_prefetch(out + i + kPrefetchSamples, 1);
    for (std::size_t j = 0; j < kPattern; ++j) out[i + j] = in[i + j] * g[j] + o[j];
  }
  for (std::size_t j = 0; i < n; ++i, ++j) out[i] = in[i] * g[j] + o[j];
}

// 16-bit samples scaled to float and transformed in one pass. The same bits
// as converting first and applying any form after: the scaling (value x
// 2^-15) is exact, and the neutral gain 1 and offset -0.0 of the forms that
// leave out a step change no value that a 16-bit sample can give.
TIDEMARK_GAIN_KERNEL void MultiplyAdd16(const std::int16_t* __restrict in, float* __restrict out, std::size_t n,
                                        const float* gain_pattern, const float* offset_pattern) {
  constexpr float kScale = 1.0f / 32768.0f;
  float g[kPattern], o[kPattern];
  std::memcpy(g, gain_pattern, sizeof g);
  std::memcpy(o, offset_pattern, sizeof o);
  std::size_t i = 0;
  for (; i + kPattern <= n; i += kPattern) {
    __builtin_prefetch(out + i + kPrefetchSamples, 1);
    for (std::size_t j = 0; j < kPattern; ++j) out[i + j] = static_cast<float>(in[i + j]) * kScale * g[j] + o[j];
  }
  for (std::size_t j = 0; i < n; ++i, ++j) out[i] = static_cast<float>(in[i]) * kScale * g[j] + o[j];
}

#undef TIDEMARK_GAIN_KERNEL

// Transforms `n` interleaved samples that start on a frame boundary from
// `in` into `out`; gives the block that holds the result (`in` itself when
// the transform changes nothing).
float* Apply(const GainTransform& t, float* in, float* out, std::size_t n) {
  switch (t.form) {
    case GainTransform::Form::kNone:
      return in;
    case GainTransform::Form::kAdd:
      AddOffsets(in, out, n, t.offset);
      break;
    case GainTransform::Form::kMultiply:
      MultiplyGains(in, out, n, t.gain);
      break;
    case GainTransform::Form::kMultiplyAdd:
      MultiplyAdd(in, out, n, t.gain, t.offset);
      break;
  }
  return out;
}

// Reads `count` frames of `source` from `first` as float, block by block,
// applies `t` and, when given, the dither hook, and converts to `code`. The
// source fills a block that stays in the processor's cache. A float
// destination without a hook receives the transformed samples straight
// from it, in larger blocks (fewer source calls), so its memory is written
// once, as on the plain path.
Error ReadThroughFloat(SoundSource& source, std::uint32_t first, std::uint32_t count, std::byte* dst,
                       SampleCode code, std::uint16_t channels, const GainTransform& t,
                       DitherHook* hook) {
  alignas(64) float area[kStraightSamples];
  static_assert(kStraightSamples >= 2 * kBlockSamples);
  const bool straight = code == sample_code::kFloat && !hook && t.form != GainTransform::Form::kNone &&
                        reinterpret_cast<std::uintptr_t>(dst) % alignof(float) == 0;
  // 16-bit material is read as stored and scaled within the transform.
  const bool fused = straight && NativeSampleCode(&source) == sample_code::kS16;
  alignas(64) std::int16_t stored[kStraightSamples];
  float* const block = area;
  float* const result = area + kBlockSamples;
  const std::size_t block_frames = (straight ? kStraightSamples : kBlockSamples) / channels;
  const std::size_t out_frame_bytes = std::size_t{channels} * BytesPerSample(code);
  while (count > 0) {
    const auto frames = static_cast<std::uint32_t>(std::min<std::size_t>(count, block_frames));
    const std::size_t samples = std::size_t{frames} * channels;
    if (fused) {
      if (const Error rc = source.Read(first, frames, stored, sample_code::kS16)) return rc;
      MultiplyAdd16(stored, reinterpret_cast<float*>(dst), samples, t.gain, t.offset);
    } else if (const Error rc = source.Read(first, frames, block, sample_code::kFloat)) {
      return rc;
    } else if (straight) {
      Apply(t, block, reinterpret_cast<float*>(dst), samples);
    } else {
      float* done = Apply(t, block, result, samples);
      if (hook) hook->Apply(done, frames, channels);
      Convert(done, dst, samples, sample_code::kFloat, code);
    }
    dst += frames * out_frame_bytes;
    first += frames;
    count -= frames;
  }
  return err::kOk;
}

// Reads `count` frames of segment `s` from source frame `first`.
Error ReadSegment(const Segment& s, std::uint16_t channels, std::uint32_t first, std::uint32_t count,
                  std::byte* dst, SampleCode dst_code, DitherHook* dither) {
  // A gain block that changes nothing reads like an absent one, so wide
  // material keeps its full precision.
  const SegmentGain* gain = s.gain && !IsUnity(s.gain.get(), channels) ? s.gain.get() : nullptr;
  const bool dithered =
      dither && (HasGainOtherThan1(gain, channels) || IsWiderThan16Bits(NativeSampleCode(s.source.get())));
  if (!gain && !dithered) return s.source->Read(first, count, dst, dst_code);
  // The block describes two channels.
  if (gain && channels > 2) return err::kSizeLimit;
  const GainTransform t = MakeTransform(gain, channels, dithered);
  return ReadThroughFloat(*s.source.get(), first, count, dst, dst_code, channels, t, dithered ? dither : nullptr);
}

}  // namespace

SegmentCursor::SegmentCursor(const SegmentList& list, std::uint16_t channels, std::uint32_t length)
    : list_(list), channels_(channels), length_(length), current_(list.first()) {}

void SegmentCursor::Seek(std::uint32_t frame) {
  // From where the cursor stands: back over segments that still end after
  // the frame, then forward over those that end at or before it.
  Segment* s = current_ ? current_ : list_.last();
  while (s && s->prev && End(*s->prev) > frame) s = s->prev;
  while (s && End(*s) <= frame) s = s->next;
  current_ = s;
  frame_ = frame;
}

Error SegmentCursor::Read(std::uint32_t frames, void* dst, SampleCode dst_code, DitherHook* dither) {
  if (frames == 0) return err::kOk;
  if (!dst || !IsSupportedSampleCode(dst_code) || channels_ == 0) return err::kSizeLimit;
  if (std::uint64_t{frame_} + frames > length_) return err::kSizeLimit;
  if (!Is16Bit(dst_code)) dither = nullptr;

  auto* out = static_cast<std::byte*>(dst);
  const std::size_t frame_bytes = std::size_t{channels_} * BytesPerSample(dst_code);
  while (frames > 0) {
    while (current_ && End(*current_) <= frame_) current_ = current_->next;
    std::uint32_t n;
    if (!current_ || current_->position > frame_) {
      n = current_ ? std::min(frames, current_->position - frame_) : frames;
      FillSilence(out, std::size_t{n} * channels_, dst_code);
    } else {
      Segment& s = *current_;
      // A segment that a document could not hold, or whose source would
      // write frames of another width than this list's, is refused before
      // anything of it is read.
      if (End(s) > length_ || !s.source || s.source->channels() != channels_) return err::kSizeLimit;
      n = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, End(s) - frame_));
      const std::uint64_t first = std::uint64_t{s.source_offset} + (frame_ - s.position);
      if (first + n > 0xFFFFFFFFu) return err::kSizeLimit;
      const Error rc = ReadSegment(s, channels_, static_cast<std::uint32_t>(first), n, out, dst_code, dither);
      if (rc != err::kOk) return rc;
    }
    out += std::size_t{n} * frame_bytes;
    frame_ += n;
    frames -= n;
  }
  while (current_ && End(*current_) <= frame_) current_ = current_->next;
  return err::kOk;
}

Error SegmentCursor::ReadFloat(std::uint32_t frames, float* dst, std::uint16_t wanted_channels) {
  if (frames == 0) return err::kOk;
  if (wanted_channels == channels_) return Read(frames, dst, sample_code::kFloat);
  if (!dst || channels_ != 1 || wanted_channels != 2) return err::kSizeLimit;
  // Mono into the back half, then spread forward: sample i moves to 2i and
  // 2i + 1, which lie at or before its own place, so nothing is overwritten
  // before it is read.
  float* mono = dst + frames;
  if (const Error rc = Read(frames, mono, sample_code::kFloat)) return rc;
  for (std::size_t i = 0; i < frames; ++i) {
    const float x = mono[i];
    dst[2 * i] = x;
    dst[2 * i + 1] = x;
  }
  return err::kOk;
}

}  // namespace tidemark
