// Evaluating the volume envelope. The gain of each frame is computed in
// double precision from the two points around it, exactly in the order
// level_i + (frame - position_i) * (level_i+1 - level_i) / (position_i+1 -
// position_i), and each sample is multiplied in double and rounded once to
// float. Frames whose gain is exactly 1 are not touched at all.
#include <algorithm>
#include <cstddef>

#include "core/document/envelope.h"

namespace tidemark {
namespace {

// The points around a frame: `before` is the last point at or before it
// (null before the first point), `after` the first point after it (null
// after the last). Of points sharing a position the later one is `before`
// from that position on, so two points at one place make a step and no
// stretch between them is ever interpolated.
struct Span {
  const EnvelopePoint* before = nullptr;
  const EnvelopePoint* after = nullptr;
};

// Moves `span` forward to frame `f` (frames only ever grow).
void Advance(Span* span, std::uint64_t f) {
  while (span->after && span->after->position <= f) {
    span->before = span->after;
    span->after = span->after->next;
  }
}

double InterpolatedGain(const EnvelopePoint& a, const EnvelopePoint& b, std::uint64_t f) {
  const double la = a.level, lb = b.level;
  return la + static_cast<double>(f - a.position) * (lb - la) / static_cast<double>(b.position - a.position);
}

double GainAt(const Span& span, std::uint64_t f) {
  if (!span.before) return span.after->level;
  if (!span.after) return span.before->level;
  return InterpolatedGain(*span.before, *span.after, f);
}

void Scale(float* frame, std::uint16_t channels, double gain) {
  for (std::uint16_t c = 0; c < channels; ++c) frame[c] = static_cast<float>(frame[c] * gain);
}

}  // namespace

void EvaluateEnvelope(const EnvelopeList& list, std::uint16_t channels, std::uint32_t first_frame,
                      std::uint32_t frames, float* buffer) {
  if (list.empty() || frames == 0 || channels == 0 || !buffer) return;
  Span span{nullptr, list.first()};
  std::uint64_t f = first_frame;
  const std::uint64_t end = f + frames;
  float* out = buffer;
  while (f < end) {
    Advance(&span, f);
    // The stretch up to the next point (or the end of the buffer).
    const std::uint64_t stop = span.after ? std::min<std::uint64_t>(end, span.after->position) : end;
    const std::size_t n = static_cast<std::size_t>(stop - f);
    if (!span.before || !span.after || span.before->level == span.after->level) {
      // A constant gain: before the first point, after the last, or between equal levels.
      const double gain = span.before ? span.before->level : span.after->level;
      if (gain != 1.0) {
        const std::size_t samples = n * channels;
        for (std::size_t i = 0; i < samples; ++i) out[i] = static_cast<float>(out[i] * gain);
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        const double gain = InterpolatedGain(*span.before, *span.after, f + i);
        if (gain != 1.0) Scale(out + i * channels, channels, gain);
      }
    }
    out += n * channels;
    f = stop;
  }
}

float EnvelopeLevelAt(const EnvelopeList& list, std::uint32_t frame) {
  if (list.empty()) return 1.0f;
  Span span{nullptr, list.first()};
  Advance(&span, frame);
  return static_cast<float>(GainAt(span, frame));
}

}  // namespace tidemark
