#include "core/edit/edit_commands.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/document/core_text.h"
#include "core/markers/marker_list.h"
#include "core/document/segment_cursor.h"
#include "core/document/internal/segment_edit.h"
#include "core/sources/silence_source.h"
#include "core/document/sound_document.h"
#include "core/edit/format_change.h"
#include "core/edit/stretch_render.h"
#include "core/undo/undo_history.h"
#include "core/sources/view_source.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

std::uint32_t AllChannels(const SoundDocument& document) { return document.channels == 1 ? 1u : 3u; }

// Whether a result of length - old + added frames still fits a document.
bool ResultFits(const SoundDocument& document, std::uint32_t old_length, std::uint32_t added) {
  return std::uint64_t{document.length} - old_length + added <= kMaxFrames;
}

bool RangeInside(const SoundDocument& document, std::uint32_t start, std::uint32_t length) {
  return start <= document.length && length <= document.length - start;
}

float& GainOf(SegmentGain& g, int c) { return c == 0 ? g.gain0 : g.gain1; }
float& OffsetOf(SegmentGain& g, int c) { return c == 0 ? g.offset0 : g.offset1; }

// Drops what reads as nothing and frees blocks that change nothing, looking
// at the document's channels only.
void Compact(SegmentList& list, std::uint16_t channels) {
  for (Segment* s = list.first(); s;) {
    Segment* next = s->next;
    bool offsets_zero = true, gains_zero = true, unity = true;
    if (s->gain) {
      for (int c = 0; c < channels; ++c) {
        const float g = GainOf(*s->gain, c), o = OffsetOf(*s->gain, c);
        offsets_zero = offsets_zero && o == 0.0f;
        gains_zero = gains_zero && g == 0.0f;
        unity = unity && g == 1.0f && o == 0.0f;
      }
    } else {
      gains_zero = false;
    }
    const bool silence = s->source && s->source->kind() == SourceKind::Silence;
    if ((silence && offsets_zero) || (gains_zero && offsets_zero)) {
      list.Remove(s);
    } else if (s->gain && unity) {
      s->gain.reset();
    }
    s = next;
  }
}

// Fills the gaps of `list` (covering [0, length)) with silence segments, so
// that an offset has something to ride on. 2 when memory runs out.
Error FillGaps(SegmentList& list, std::uint32_t length, std::uint32_t rate, std::uint16_t channels) {
  SourceRef silence;
  std::uint32_t at = 0;
  Segment* s = list.first();
  while (at < length) {
    const std::uint32_t gap_end = s ? s->position : length;
    if (gap_end > at) {
      if (!silence) silence = MakeSilenceSource(rate, channels);
      std::unique_ptr<Segment> piece;
      if (!silence || MakeNew(&piece)) return err::kOutOfMemory;
      piece->source = silence;
      piece->position = at;
      piece->length = gap_end - at;
      list.InsertBefore(s, std::move(piece));
    }
    if (!s) break;
    at = s->position + s->length;
    s = s->next;
  }
  return err::kOk;
}

// Gives every segment a gain block and transforms it per channel.
template <typename Change>
Error TransformBlocks(SegmentList& list, std::uint16_t channels, Change change) {
  for (Segment* s = list.first(); s; s = s->next) {
    if (!s->gain && MakeNew(&s->gain)) return err::kOutOfMemory;
    for (int c = 0; c < channels; ++c) change(c, GainOf(*s->gain, c), OffsetOf(*s->gain, c));
  }
  return err::kOk;
}

Error SelectAfter(SoundDocument& document, Error rc, std::uint32_t from, std::uint32_t to) {
  if (rc == err::kOk) SetSelection(document, from, to);
  return rc;
}

// Applies a request of `new_length` frames of `material` over
// [start, start + old_length), markers and envelope with it.
Error ApplyMaterial(SoundDocument& document, std::uint32_t start, std::uint32_t old_length,
                    std::uint32_t new_length, EditRequest& material, bool markers, CoreText name) {
  material.start = start;
  material.old_length = old_length;
  material.new_length = new_length;
  material.markers_and_envelope = markers;
  if (!markers) {
    material.markers.Clear();
    material.envelope.Clear();
  }
  const Error rc = ApplyEdit(document, material, GetCoreText(name));
  return SelectAfter(document, rc, start, start + new_length);
}

// Adds, subtracts or substitutes the clip's frames block by block.
class ClipCombiner final : public StretchProcessor {
 public:
  enum class Mode { kAdd, kSubtract, kReplace };
  ClipCombiner(const SegmentList& clip, std::uint32_t clip_length, std::uint16_t channels, std::uint32_t tail,
               Mode mode)
      : cursor_(clip, channels, clip_length), tail_(tail), mode_(mode) {}
  bool Ready() { return MakeNew(&buffer_, std::size_t{RenderBlockFrames(2)} * 2) == err::kOk; }
  std::uint32_t TailFrames() const override { return tail_; }
  Error Process(float* block, std::uint32_t, std::uint32_t frames, std::uint16_t channels) override {
    if (const Error rc = cursor_.ReadFloat(frames, buffer_.get(), channels)) return rc;
    const std::size_t n = std::size_t{frames} * channels;
    switch (mode_) {
      case Mode::kAdd:
        for (std::size_t i = 0; i < n; ++i) block[i] += buffer_[i];
        break;
      case Mode::kSubtract:
        for (std::size_t i = 0; i < n; ++i) block[i] -= buffer_[i];
        break;
      case Mode::kReplace:
        std::copy(buffer_.get(), buffer_.get() + n, block);
        break;
    }
    return err::kOk;
  }

 private:
  SegmentCursor cursor_;
  std::uint32_t tail_;
  Mode mode_;
  std::unique_ptr<float[]> buffer_;
};

// Renders the document stretch [start, start + old) combined with the clip
// material (new_length frames, new_length >= old) and applies it.
Error RenderCombined(SoundDocument& document, std::uint32_t start, std::uint32_t old_length,
                     std::uint32_t new_length, const EditRequest& material, ClipCombiner::Mode mode,
                     std::uint32_t mask, RenderObserver* observer, CoreText name) {
  ClipCombiner combiner(material.segments, new_length, document.channels, new_length - old_length, mode);
  if (!combiner.Ready()) return err::kOutOfMemory;
  RenderStretch stretch;
  stretch.list = &document.segments;
  stretch.list_length = document.length;
  stretch.channels = document.channels;
  stretch.rate = document.rate;
  stretch.start = start;
  stretch.length = old_length;
  stretch.channel_mask = mask;
  EditRequest request;
  std::uint32_t frames = 0;
  if (const Error rc = RenderThroughProcessor(stretch, combiner, observer, &request.segments, &frames))
    return rc;
  return ApplyMaterial(document, start, old_length, frames, request, false, name);
}

// min(position, length) and the frames of the document that a clip of
// `clip_length` frames placed there covers.
// The stretch a clip laid over the document from `position` covers
// ([min(position, length), at most the clip's length), cut at the end), and
// the clip's material for it. 12 when the result would be too long.
Error OverlayMaterial(const SoundDocument& document, std::uint32_t position, const SoundClip& clip,
                      std::uint32_t* start, std::uint32_t* old_length, EditRequest* material) {
  *start = std::min(position, document.length);
  *old_length = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(document.length, std::uint64_t{*start} + clip.length) - *start);
  if (!ResultFits(document, *old_length, clip.length)) return err::kTooManyFrames;
  return ClipMaterialFor(document, clip, material);
}

// The clip at the document's rate (and, with `channels_too`, channel
// count): `clip` itself, or a converted copy kept alive by `holder`.
Error ClipForDocument(const SoundDocument& document, const SoundClip& clip, bool channels_too,
                      RenderObserver* observer, ClipRef* holder, const SoundClip** use) {
  *use = &clip;
  if (clip.rate == document.rate && (!channels_too || clip.channels == document.channels)) return err::kOk;
  if (clip.channels < 1 || clip.channels > 2) return err::kUnsupportedFormat;
  if (const Error rc = ConvertClip(clip, document.rate, document.channels, observer, holder)) return rc;
  *use = holder->get();
  return err::kOk;
}

}  // namespace

Error ApplyEdit(SoundDocument& document, EditRequest& request, std::string_view undo_name) {
  if (const Error rc = ReplaceRange(document, request)) return rc;
  RecordEdit(document, request, undo_name);
  return err::kOk;
}

Error ApplyGain(SoundDocument& document, std::uint32_t start, std::uint32_t length, ChannelValues factors,
                std::string_view undo_name) {
  if (!RangeInside(document, start, length)) return err::kSizeLimit;
  const std::uint16_t channels = document.channels;
  bool all_zero = true;
  for (int c = 0; c < channels; ++c) {
    if (!std::isfinite(factors[c])) return err::kSizeLimit;
    all_zero = all_zero && factors[c] == 0.0f;
  }
  if (length == 0) return err::kOk;
  EditRequest request;
  request.start = start;
  request.old_length = request.new_length = length;
  if (!all_zero) {
    if (const Error rc = CopyRange(document.segments, start, length, &request.segments)) return rc;
    if (const Error rc = TransformBlocks(request.segments, channels, [&](int c, float& g, float& o) {
          g *= factors[c];
          o *= factors[c];
        }))
      return rc;
    Compact(request.segments, channels);
  }
  return ApplyEdit(document, request, undo_name);
}

Error ApplyGainMasked(SoundDocument& document, std::uint32_t start, std::uint32_t length,
                      std::uint32_t mask, float factor, std::string_view undo_name) {
  ChannelValues factors{1.0f, 1.0f};
  for (int c = 0; c < 2; ++c)
    if (mask & (1u << c)) factors[c] = factor;
  return ApplyGain(document, start, length, factors, undo_name);
}

Error ApplyOffset(SoundDocument& document, std::uint32_t start, std::uint32_t length, ChannelValues offsets,
                  std::string_view undo_name) {
  if (!RangeInside(document, start, length)) return err::kSizeLimit;
  const std::uint16_t channels = document.channels;
  for (int c = 0; c < channels; ++c)
    if (!std::isfinite(offsets[c])) return err::kSizeLimit;
  if (length == 0) return err::kOk;
  EditRequest request;
  request.start = start;
  request.old_length = request.new_length = length;
  if (const Error rc = CopyRange(document.segments, start, length, &request.segments)) return rc;
  if (const Error rc = FillGaps(request.segments, length, document.rate, channels)) return rc;
  if (const Error rc =
          TransformBlocks(request.segments, channels, [&](int c, float&, float& o) { o += offsets[c]; }))
    return rc;
  Compact(request.segments, channels);
  return ApplyEdit(document, request, undo_name);
}

Error DeleteWithSilence(SoundDocument& document, std::uint32_t from, std::uint32_t to, std::int64_t silent_frames) {
  if (silent_frames < 0 || silent_frames > kMaxFrames || from > to || to > document.length)
    return err::kSizeLimit;
  const auto silent = static_cast<std::uint32_t>(silent_frames);
  if (!ResultFits(document, to - from, silent)) return err::kTooManyFrames;
  EditRequest request;
  return ApplyMaterial(document, from, to - from, silent, request, true, CoreText::kUndoDeleteSelection);
}

Error DeleteSelection(SoundDocument& document) {
  std::uint32_t from, to;
  GetSelection(document, &from, &to);
  to = std::min(to, document.length);
  if (from >= to) return err::kOk;
  EditRequest request;
  return ApplyMaterial(document, from, to - from, 0, request, true, CoreText::kUndoDeleteSelection);
}

Error SilenceSelection(SoundDocument& document) {
  std::uint32_t from, to;
  GetSelection(document, &from, &to);
  to = std::min(to, document.length);
  if (from >= to) return err::kOk;
  const std::uint32_t mask = GetChannelMask(document);
  if (mask != AllChannels(document)) {
    const Error rc =
        ApplyGainMasked(document, from, to - from, mask, 0.0f, GetCoreText(CoreText::kUndoSilence));
    return SelectAfter(document, rc, from, to);
  }
  EditRequest request;
  return ApplyMaterial(document, from, to - from, to - from, request, false, CoreText::kUndoSilence);
}

Error InsertSilence(SoundDocument& document, std::uint32_t position, std::uint32_t ms) {
  const std::uint64_t frames = (std::uint64_t{document.rate} * ms + 500) / 1000;
  if (frames > kMaxFrames || !ResultFits(document, 0, static_cast<std::uint32_t>(frames)))
    return err::kTooManyFrames;
  if (frames == 0) return err::kOk;
  EditRequest request;
  return ApplyMaterial(document, std::min(position, document.length), 0, static_cast<std::uint32_t>(frames),
                       request, true, CoreText::kUndoInsertSilence);
}

Error ClipMaterialFor(const SoundDocument& document, const SoundClip& clip, EditRequest* material) {
  if (clip.rate != document.rate) return err::kUnsupportedFormat;
  if (clip.channels < 1 || clip.channels > 2) return err::kUnsupportedFormat;
  SegmentList segments;
  if (const Error rc = CopyRange(clip.segments, 0, clip.length, &segments)) return rc;
  if (clip.channels != document.channels) {
    SourceRef silence;
    for (Segment* s = segments.first(); s; s = s->next) {
      if (s->source->kind() == SourceKind::Silence) {
        if (!silence) silence = MakeSilenceSource(document.rate, document.channels);
        s->source = silence;
      } else {
        // Mono into both channels; stereo into mono by its first channel.
        s->source = document.channels == 2 ? MakeStereoView(s->source, 0) : MakeMonoView(s->source, 0);
      }
      if (!s->source) return err::kOutOfMemory;
      if (s->gain) {
        if (document.channels == 2) {
          s->gain->gain1 = s->gain->gain0;
          s->gain->offset1 = s->gain->offset0;
        } else {
          s->gain->gain1 = 1.0f;
          s->gain->offset1 = 0.0f;
        }
      }
    }
  }
  MarkerList markers;
  EnvelopeList envelope;
  if (const Error rc = CopyMarkerRange(clip.markers, 0, clip.length + 1, false, &markers)) return rc;
  if (const Error rc = CopyEnvelopeRange(clip.envelope, 0, clip.length + 1, &envelope)) return rc;
  material->segments = std::move(segments);
  material->markers = std::move(markers);
  material->envelope = std::move(envelope);
  return err::kOk;
}

Error Paste(SoundDocument& document, std::uint32_t position, const SoundClip& given) {
  if (given.length == 0) return err::kOk;
  ClipRef converted;
  const SoundClip* use;
  if (const Error rc = ClipForDocument(document, given, false, nullptr, &converted, &use)) return rc;
  const SoundClip& clip = *use;
  if (clip.length == 0) return err::kOk;
  if (!ResultFits(document, 0, clip.length)) return err::kTooManyFrames;
  EditRequest material;
  if (const Error rc = ClipMaterialFor(document, clip, &material)) return rc;
  return ApplyMaterial(document, std::min(position, document.length), 0, clip.length, material, true,
                       CoreText::kUndoPaste);
}

Error PasteOverSelection(SoundDocument& document, const SoundClip& given) {
  std::uint32_t from, to;
  GetSelection(document, &from, &to);
  to = std::min(to, document.length);
  if (from >= to || given.length == 0) return err::kOk;
  ClipRef converted;
  const SoundClip* use;
  if (const Error rc = ClipForDocument(document, given, false, nullptr, &converted, &use)) return rc;
  const SoundClip& clip = *use;
  if (clip.length == 0) return err::kOk;
  if (!ResultFits(document, to - from, clip.length)) return err::kTooManyFrames;
  EditRequest material;
  if (const Error rc = ClipMaterialFor(document, clip, &material)) return rc;
  return ApplyMaterial(document, from, to - from, clip.length, material, true, CoreText::kUndoPasteOver);
}

Error PasteOverwrite(SoundDocument& document, std::uint32_t position, const SoundClip& given) {
  if (given.length == 0) return err::kOk;
  ClipRef converted;
  const SoundClip* use;
  if (const Error rc = ClipForDocument(document, given, false, nullptr, &converted, &use)) return rc;
  const SoundClip& clip = *use;
  if (clip.length == 0) return err::kOk;
  std::uint32_t start, old_length;
  EditRequest material;
  if (const Error rc = OverlayMaterial(document, position, clip, &start, &old_length, &material)) return rc;
  return ApplyMaterial(document, start, old_length, clip.length, material, true, CoreText::kUndoPasteOverwrite);
}

Error PasteExact(SoundDocument& document, std::uint32_t position, const SoundClip* clip) {
  if (!clip || clip->length == 0 || clip->rate != document.rate || clip->channels != document.channels)
    return err::kClipMismatch;
  return Paste(document, position, *clip);
}

Error MixPaste(SoundDocument& document, std::uint32_t position, const SoundClip& given, bool subtract,
               RenderObserver* observer) {
  if (given.length == 0) return err::kOk;
  ClipRef converted;
  const SoundClip* use;
  if (const Error rc = ClipForDocument(document, given, false, observer, &converted, &use)) return rc;
  const SoundClip& clip = *use;
  if (clip.length == 0) return err::kOk;
  std::uint32_t start, old_length;
  EditRequest material;
  if (const Error rc = OverlayMaterial(document, position, clip, &start, &old_length, &material)) return rc;
  const CoreText name = subtract ? CoreText::kUndoMixPasteSubtract : CoreText::kUndoMixPaste;
  const std::uint32_t mask = GetChannelMask(document);
  if (mask == AllChannels(document)) {
    SegmentList stretch;
    if (const Error rc = CopyRange(document.segments, start, old_length, &stretch)) return rc;
    if (stretch.empty()) {
      // Nothing to add to: the clip alone, negated through its gain blocks.
      if (subtract) {
        if (const Error rc = TransformBlocks(material.segments, document.channels,
                                                     [](int, float& g, float& o) {
                                                       g = -g;
                                                       o = -o;
                                                     }))
          return rc;
      }
      return ApplyMaterial(document, start, old_length, clip.length, material, false, name);
    }
    if (material.segments.empty()) {
      // A silent clip leaves the document's material; it only grows.
      EditRequest request;
      request.segments = std::move(stretch);
      return ApplyMaterial(document, start, old_length, clip.length, request, false, name);
    }
  }
  return RenderCombined(document, start, old_length, clip.length, material,
                        subtract ? ClipCombiner::Mode::kSubtract : ClipCombiner::Mode::kAdd, mask, observer, name);
}

Error ReplaceChannels(SoundDocument& document, std::uint32_t start, const SoundClip& given,
                      std::uint32_t mask, RenderObserver* observer) {
  if (given.length == 0 || (mask & AllChannels(document)) == 0) return err::kOk;
  ClipRef converted;
  const SoundClip* use;
  if (const Error rc = ClipForDocument(document, given, true, observer, &converted, &use)) return rc;
  const SoundClip& clip = *use;
  if (clip.length == 0) return err::kOk;
  std::uint32_t at, old_length;
  EditRequest material;
  if (const Error rc = OverlayMaterial(document, start, clip, &at, &old_length, &material)) return rc;
  return RenderCombined(document, at, old_length, clip.length, material, ClipCombiner::Mode::kReplace, mask,
                        observer, CoreText::kUndoReplaceChannels);
}

}  // namespace tidemark
