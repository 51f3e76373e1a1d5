// The reference model of document reads and edits shared by the cursor,
// segment and undo model tests: sources beside the samples they store, the
// value every read frame must have by the reference conversion rules, random
// edit requests built beside the origins of the frames they insert, and
// where a request leaves the nodes of a list.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/edit_request.h"
#include "core/document/segment.h"
#include "core/sources/silence_source.h"
#include "core/sources/source_list.h"
#include "core/sources/view_source.h"
#include "tests/core/samples/reference_convert.h"
#include "tests/core/source_test_util.h"

namespace tidemark::testing {

// A source and the samples it reads, in its stored code.
struct Stored {
  SourceRef source;
  SampleCode code = sample_code::kS16;
  std::uint16_t channels = 1;
  std::vector<std::uint8_t> samples;
  const std::uint8_t* At(std::uint32_t frame, std::uint16_t c) const {
    return samples.data() + (std::size_t{frame} * channels + c) * BytesPerSample(code);
  }
};

// Random integers, or floats in [-1.25, 1.25] so that some saturate.
inline std::vector<std::uint8_t> StoredSamples(SampleCode code, std::size_t count, std::uint32_t seed) {
  if (!IsFloatCode(code)) return RandomBytes(count * BytesPerSample(code), seed);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> value(-1.25, 1.25);
  std::vector<std::uint8_t> out(count * BytesPerSample(code));
  for (std::size_t i = 0; i < count; ++i) {
    const double x = value(rng);
    reftest::ReferenceSample(reinterpret_cast<const std::uint8_t*>(&x), sample_code::kDouble,
                             &out[i * BytesPerSample(code)], code);
  }
  return out;
}

// A working file in `dir`: a 44-byte WAV header, then random samples.
inline Stored StoredFile(const std::string& dir, SampleCode code, std::uint16_t channels, std::uint32_t frames,
                         std::uint32_t seed) {
  constexpr std::uint32_t kHeader = 44;
  Stored s{{}, code, channels, StoredSamples(code, std::size_t{frames} * channels, seed)};
  std::vector<std::uint8_t> bytes(kHeader, 0);
  std::memcpy(bytes.data(), "RIFF", 4);
  std::memcpy(bytes.data() + 8, "WAVEfmt ", 8);
  std::memcpy(bytes.data() + 36, "data", 4);
  bytes.insert(bytes.end(), s.samples.begin(), s.samples.end());
  const std::string path = dir + "/wav" + std::to_string(seed) + ".tmp";
  WriteWholeFile(path, bytes);
  EXPECT_EQ(OpenFileSource(path, kHeader, 44100, code, channels, frames, 0, nullptr, &s.source), 0u);
  return s;
}

inline Stored StoredSilence(std::uint16_t channels, std::uint32_t frames) {
  return {MakeSilenceSource(44100, channels), sample_code::kS16, channels,
          std::vector<std::uint8_t>(std::size_t{frames} * channels * 2, 0)};
}

// A view of `inner`: stereo doubles the chosen channel (or the only one),
// mono picks it.
inline Stored StoredView(const Stored& inner, std::uint16_t channels, std::uint16_t channel) {
  Stored s{channels == 2 ? MakeStereoView(inner.source, channel) : MakeMonoView(inner.source, channel), inner.code,
           channels, {}};
  const unsigned b = BytesPerSample(inner.code);
  for (std::uint32_t f = 0; f < inner.samples.size() / b / inner.channels; ++f)
    for (std::uint16_t k = 0; k < channels; ++k) {
      const std::uint8_t* p = inner.At(f, inner.channels == 1 ? 0 : channel);
      s.samples.insert(s.samples.end(), p, p + b);
    }
  return s;
}

// An offset on the 16-bit grid, as the dither path applies it.
inline float Quantised(float offset) {
  return static_cast<float>(std::floor((double{offset} + 1.0) * 32768.0 + 0.5) / 32768.0 - 1.0);
}

// Channel c of `frame` of `src` (silence when null) read in `code` through
// `gain` in a list of `channels`: the stored sample as it is when the block
// is unity on every channel, else through float as x * gain + offset. On
// the dither path the offset is quantised and the hook's `delta` added.
inline void ExpectSample(const Stored* src, std::uint32_t frame, std::uint16_t c, std::uint16_t channels,
                         const SegmentGain* gain, SampleCode code, std::uint8_t* out, bool dither = false,
                         float delta = 0.0f) {
  using reftest::ReferenceSample;
  if (!src) {
    const std::int16_t zero = 0;
    return ReferenceSample(reinterpret_cast<const std::uint8_t*>(&zero), sample_code::kS16, out, code);
  }
  auto gain_of = [&](std::uint16_t k) { return !gain || k >= channels ? 1.0f : k == 0 ? gain->gain0 : gain->gain1; };
  auto offset_of = [&](std::uint16_t k) {
    return !gain || k >= channels ? 0.0f : k == 0 ? gain->offset0 : gain->offset1;
  };
  bool unity = true;
  for (std::uint16_t k = 0; k < channels; ++k) unity &= gain_of(k) == 1.0f && offset_of(k) == 0.0f;
  const std::uint8_t* stored = src->At(frame, c);
  if (unity && !dither) return ReferenceSample(stored, src->code, out, code);
  float x;
  ReferenceSample(stored, src->code, reinterpret_cast<std::uint8_t*>(&x), sample_code::kFloat);
  volatile float scaled = x * gain_of(c);
  float y = scaled + (dither ? Quantised(offset_of(c)) : offset_of(c));
  if (dither) y += delta;
  ReferenceSample(reinterpret_cast<const std::uint8_t*>(&y), sample_code::kFloat, out, code);
}

// Where one document frame comes from: a frame of one of the test's sources
// through one of its gain blocks, or a gap (source -1).
struct FrameOrigin {
  int source = -1;
  std::uint32_t frame = 0;
  int gain = -1;  // -1: none
  bool operator==(const FrameOrigin&) const = default;
};

inline std::uint32_t Below(std::mt19937& rng, std::uint32_t n) {
  return n == 0 ? 0 : static_cast<std::uint32_t>(rng() % n);
}

// A random stretch [*from, *from + *n) of a list of `length` frames, at
// most `most` frames long.
inline void RandomStretch(std::mt19937& rng, std::uint32_t length, std::uint32_t most, std::uint32_t* from,
                          std::uint32_t* n) {
  *from = Below(rng, length + 1);
  *n = Below(rng, std::min(length - *from, most) + 1);
}

// One to three pieces of the sources, 1 to `longest` frames each, with one
// of the gain blocks or none (two chances in gains + 2), after a gap of up
// to `widest_gap` frames a third of the time; appended to the request's
// segments and to `inserted`.
inline void AddRandomPieces(std::mt19937& rng, const std::vector<SourceRef>& sources, std::uint32_t source_frames,
                            std::span<const SegmentGain> gains, std::uint32_t longest, std::uint32_t widest_gap,
                            EditRequest* r, std::vector<FrameOrigin>* inserted) {
  for (std::uint32_t piece = 0, pieces = 1 + Below(rng, 3); piece < pieces; ++piece) {
    if (Below(rng, 3) == 0) inserted->resize(inserted->size() + Below(rng, widest_gap));
    const int src = static_cast<int>(Below(rng, static_cast<std::uint32_t>(sources.size())));
    const std::uint32_t n = 1 + Below(rng, longest);
    const std::uint32_t off = Below(rng, source_frames - n);
    const int g = std::max(static_cast<int>(Below(rng, static_cast<std::uint32_t>(gains.size()) + 2)) - 2, -1);
    auto s = std::make_unique<Segment>();
    s->source = sources[static_cast<std::size_t>(src)];
    s->position = static_cast<std::uint32_t>(inserted->size());
    s->length = n;
    s->source_offset = off;
    if (g >= 0) s->gain = std::make_unique<SegmentGain>(gains[static_cast<std::size_t>(g)]);
    r->segments.PushBack(std::move(s));
    for (std::uint32_t i = 0; i < n; ++i) inserted->push_back({src, off + i, g});
  }
}

// Where `r` leaves the entries of a sorted document list: with the flag,
// those inside the replaced stretch go, the request's own (`incoming`, at
// document positions) take their place and later ones move by the change
// of length; without it nothing moves.
template <class Entry>
std::vector<Entry> SpliceEntries(const std::vector<Entry>& list, const std::vector<Entry>& incoming,
                                 const EditRequest& r) {
  if (!r.markers_and_envelope) return list;
  std::vector<Entry> out;
  bool placed = false;
  auto place = [&] {
    if (!placed) out.insert(out.end(), incoming.begin(), incoming.end());
    placed = true;
  };
  for (Entry e : list) {
    if (e.position < r.start) {
      out.push_back(e);
    } else if (e.position < std::uint64_t{r.start} + r.old_length) {
      place();
    } else {
      place();
      e.position = e.position - r.old_length + r.new_length;
      out.push_back(e);
    }
  }
  place();
  return out;
}

}  // namespace tidemark::testing
