#include "core/edit/format_change.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/core_options.h"
#include "core/document/core_text.h"
#include "core/document/internal/segment_edit.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/edit/stretch_render.h"
#include "core/io/work_file_writer.h"
#include "core/markers/marker_list.h"
#include "core/undo/undo_history.h"
#include "dsp/resample/resample.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

constexpr std::uint32_t kConvertBlockMs = 200;
constexpr std::uint32_t kCopyBlockFrames = 0x8000;  // without a converter

inline float Finite(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return (bits & 0x7F800000u) == 0x7F800000u ? 0.0f : v;
}

// The frame `frame` of `block` (interleaved, `in` channels) as one sample
// of output channel `c` of `out` channels, before conversion.
inline float MapChannel(const float* frame, std::uint16_t in, std::uint16_t out, std::uint16_t c, MonoFrom mono) {
  if (in == out) return Finite(frame[c]);
  if (in == 1) return Finite(frame[0]);  // mono to stereo: copied
  switch (mono) {
    case MonoFrom::kLeft: return Finite(frame[0]);
    case MonoFrom::kRight: return Finite(frame[1]);
    case MonoFrom::kMix: break;
  }
  return (Finite(frame[0]) + Finite(frame[1])) * 0.5f;
}

// Writes `frames` of the converter's output (`channels` interleaved) as
// `out_channels`: a mono conversion for a stereo result is doubled.
Error WriteMapped(WorkFileWriter& writer, const float* block, std::uint32_t frames, std::uint16_t channels,
                  std::uint16_t out_channels, std::vector<float>& doubled) {
  if (channels == out_channels) return writer.WriteFrames(block, frames, sample_code::kFloat);
  for (std::uint32_t j = 0; j < frames; ++j) doubled[2 * j] = doubled[2 * j + 1] = block[j];
  return writer.WriteFrames(doubled.data(), frames, sample_code::kFloat);
}

// A format change as an undo step: holds the other format and material and
// exchanges them with the document's.
class FormatRecord final : public UndoRecord {
 public:
  struct State {
    std::uint32_t rate = 0;
    std::uint16_t channels = 0;
    SampleCode code = 0;
    std::uint32_t length = 0;
    SegmentList segments;
    MarkerList markers;
    EnvelopeList envelope;
  };

  FormatRecord(State state, std::string name) : state_(std::move(state)), name_(std::move(name)) {}

  Error GetName(std::string* name) const override {
    return TryAlloc([&] { *name = name_; });
  }

  // Exchanges the document's format and material with the held ones.
  void Exchange(SoundDocument& document) {
    std::swap(document.rate, state_.rate);
    std::swap(document.channels, state_.channels);
    std::swap(document.code, state_.code);
    std::swap(document.length, state_.length);
    std::swap(document.segments, state_.segments);
    std::swap(document.markers, state_.markers);
    std::swap(document.envelope, state_.envelope);
    document.format_changed = true;
  }

  static void Announce(SoundDocument& document, std::uint32_t old_length, std::uint16_t old_channels,
                       std::uint32_t flags) {
    if (document.editor) {
      document.editor->Send(editor_msg::kContentReplaced, old_length, document.length);
      if (document.channels != old_channels) document.editor->Send(editor_msg::kChannelsChanged, document.channels, 0);
    }
    SetSelection(document, 0, document.length);
    NotifyDocumentChanged(document, flags | doc_change::kFormat);
  }

  Error Apply(SoundDocument& document, bool redo) override {
    const std::uint32_t old_length = document.length;
    const std::uint16_t old_channels = document.channels;
    Exchange(document);
    std::uint32_t flags = doc_change::kUndoHistory;
    if (document.modification_counter != kStaysModified)
      flags |= doc_change::kContent |
               (StepChangeCounter(document.modification_counter, redo) ? doc_change::kSavedState : 0);
    Announce(document, old_length, old_channels, flags);
    return err::kOk;
  }

  std::size_t ListMarkers(Marker** nodes) const override { return state_.markers.List(nodes); }
  std::size_t ListEnvelopePoints(EnvelopePoint** points) const override { return state_.envelope.List(points); }
  // A whole-document format change has no place in the stored history.
  Error Serialize(ChunkWriter&) const override { return err::kSizeLimit; }
  UndoKind kind() const override { return UndoKind::kFormatChange; }

 private:
  State state_;
  std::string name_;
};

}  // namespace

Error RenderConverted(const ConvertSource& source, std::uint32_t rate, std::uint16_t channels, MonoFrom mono,
                      RenderObserver* observer, SegmentList* out, std::uint32_t* frames) {
  if (!source.list || source.channels < 1 || source.channels > 2 || channels < 1 || channels > 2 ||
      source.rate == 0 || rate == 0 || source.rate > 0x7FFFFFFFu || rate > 0x7FFFFFFFu)
    return err::kSizeLimit;
  const std::uint64_t total = dsp::ConvertedLength(source.length, rate, source.rate);
  if (total > kMaxFrames) return err::kSizeLimit;
  const auto target = static_cast<std::uint32_t>(total);
  // The converter runs on min(in, out) channels; mono to stereo is doubled after it.
  const std::uint16_t conv_channels = std::min(source.channels, channels);
  std::unique_ptr<dsp::CResample> converter;
  if (const Error rc = dsp::MakeResampler(rate, source.rate, conv_channels, kConvertBlockMs,
                                          GetCoreOptions().resample, &converter))
    return rc;
  const std::uint32_t block_in = converter ? converter->GetInputBlock() : kCopyBlockFrames;
  const std::uint32_t block_out = converter ? converter->GetOutputBlock() : kCopyBlockFrames;
  const std::uint32_t skip_total = converter ? converter->GetOutputLatency() : 0;

  std::vector<float> read, planar, result, doubled;
  if (const Error rc = TryAlloc([&] {
        read.resize(std::size_t{block_in} * source.channels);
        if (!converter) planar.resize(std::size_t{block_in} * conv_channels);
        result.resize(std::size_t{block_out} * conv_channels);
        doubled.resize(std::size_t{block_out} * 2);
      }))
    return rc;

  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, rate, sample_code::kFloat, channels, target)) return rc;
  const auto fail = [&](Error rc) {
    writer.Discard();
    return rc;
  };
  SegmentCursor cursor(*source.list, source.channels, source.length);
  std::uint32_t fed = 0, written = 0, skipped = 0;
  while (written < target) {
    const std::uint32_t real = fed < source.length ? std::min(block_in, source.length - fed) : 0;
    if (real > 0)
      if (const Error rc = cursor.ReadFloat(real, read.data(), source.channels)) return fail(rc);
    std::uint32_t made;
    const float* block;
    if (converter) {
      float* const* in = converter->GetInputPointers();
      for (std::uint16_t c = 0; c < conv_channels; ++c) {
        for (std::uint32_t j = 0; j < real; ++j)
          in[c][j] = MapChannel(read.data() + std::size_t{j} * source.channels, source.channels, conv_channels, c, mono);
        // Behind the material the converter is fed silence until its
        // delayed output is complete.
        std::fill(in[c] + real, in[c] + block_in, 0.0f);
      }
      made = converter->Process(result.data(), block_in);
      block = result.data();
      const std::uint32_t drop = std::min(made, skip_total - skipped);
      skipped += drop;
      block += std::size_t{drop} * conv_channels;
      made -= drop;
    } else {
      for (std::uint32_t j = 0; j < real; ++j)
        for (std::uint16_t c = 0; c < conv_channels; ++c)
          result[std::size_t{j} * conv_channels + c] =
              MapChannel(read.data() + std::size_t{j} * source.channels, source.channels, conv_channels, c, mono);
      made = real;
      block = result.data();
    }
    fed += real;
    made = std::min(made, target - written);
    if (made > 0)
      if (const Error rc = WriteMapped(writer, block, made, conv_channels, channels, doubled)) return fail(rc);
    written += made;
    if (observer) {
      observer->Progress(written, target);
      if (observer->Cancelled()) return fail(err::kCancelled);
    }
  }
  SegmentList made_list;
  if (const Error rc = writer.Finish(&made_list)) return rc;
  while (Segment* s = made_list.first()) out->PushBack(made_list.Remove(s));
  *frames = target;
  return err::kOk;
}

std::uint32_t ScalePosition(std::uint32_t position, std::uint32_t old_rate, std::uint32_t new_rate,
                            std::uint32_t max_position) {
  const std::uint64_t p = old_rate == new_rate ? position : dsp::ConvertedLength(position, new_rate, old_rate);
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(p, max_position));
}

Error ScaleMarkers(const MarkerList& list, std::uint32_t old_rate, std::uint32_t new_rate,
                   std::uint32_t max_position, MarkerList* out) {
  MarkerList copy;
  if (const Error rc = CopyMarkerRange(list, 0, 0xFFFFFFFFu, false, &copy)) return rc;
  for (Marker* m = copy.first(); m; m = m->next) m->position = ScalePosition(m->position, old_rate, new_rate, max_position);
  *out = std::move(copy);
  return err::kOk;
}

Error ScaleEnvelope(const EnvelopeList& list, std::uint32_t old_rate, std::uint32_t new_rate,
                    std::uint32_t max_position, EnvelopeList* out) {
  EnvelopeList copy;
  if (const Error rc = CopyEnvelopeRange(list, 0, 0xFFFFFFFFu, &copy)) return rc;
  for (EnvelopePoint* p = copy.first(); p; p = p->next)
    p->position = ScalePosition(p->position, old_rate, new_rate, max_position);
  *out = std::move(copy);
  return err::kOk;
}

Error ConvertClip(const SoundClip& clip, std::uint32_t rate, std::uint16_t channels, RenderObserver* observer,
                  ClipRef* out) {
  ClipRef made = NewClip(rate, channels, clip.code);
  if (!made) return err::kOutOfMemory;
  const ConvertSource source{&clip.segments, clip.length, clip.rate, clip.channels};
  if (const Error rc =
          RenderConverted(source, rate, channels, MonoFrom::kLeft, observer, &made->segments, &made->length))
    return rc;
  if (const Error rc = ScaleMarkers(clip.markers, clip.rate, rate, made->length, &made->markers)) return rc;
  if (const Error rc = ScaleEnvelope(clip.envelope, clip.rate, rate, made->length, &made->envelope)) return rc;
  *out = std::move(made);
  return err::kOk;
}

Error ChangeFormat(SoundDocument& document, const FormatChange& change, RenderObserver* observer) {
  const std::uint32_t rate = change.rate ? change.rate : document.rate;
  const std::uint16_t channels = change.channels ? change.channels : document.channels;
  const SampleCode code = change.code ? change.code : document.code;
  if (!IsValidSampleRate(rate) || channels < 1 || channels > 2) return err::kSizeLimit;
  if (!IsSupportedSampleCode(code)) return err::kUnsupportedFormat;
  if (rate == document.rate && channels == document.channels && code == document.code) return err::kOk;

  FormatRecord::State state;
  state.rate = rate;
  state.channels = channels;
  state.code = code;
  if (rate == document.rate && channels == document.channels) {
    // Only the sample code: the material stays as it is.
    state.length = document.length;
    if (const Error rc = CopyRange(document.segments, 0, document.length, &state.segments)) return rc;
    if (const Error rc = CopyMarkerRange(document.markers, 0, 0xFFFFFFFFu, false, &state.markers)) return rc;
    if (const Error rc = CopyEnvelopeRange(document.envelope, 0, 0xFFFFFFFFu, &state.envelope)) return rc;
  } else {
    if (dsp::ConvertedLength(document.length, rate, document.rate) > kMaxFrames) return err::kSizeLimit;
    const ConvertSource source{&document.segments, document.length, document.rate, document.channels};
    if (const Error rc =
            RenderConverted(source, rate, channels, change.mono, observer, &state.segments, &state.length))
      return rc;
    if (const Error rc = ScaleMarkers(document.markers, document.rate, rate, state.length, &state.markers))
      return rc;
    if (const Error rc = ScaleEnvelope(document.envelope, document.rate, rate, state.length, &state.envelope))
      return rc;
  }

  std::string name;
  if (const Error rc = TryAlloc([&] { name = GetCoreText(CoreText::kUndoFormatChange); })) return rc;
  std::unique_ptr<FormatRecord> record;
  if (const Error rc = MakeNew(&record, std::move(state), std::move(name))) return rc;
  const std::uint32_t old_length = document.length;
  const std::uint16_t old_channels = document.channels;
  const bool was_saved = IsDocumentSaved(document);
  // From here nothing fails: the record takes the old format and material.
  record->Exchange(document);
  if (GetCoreOptions().undo_recording_disabled) {
    ClearUndoHistory(document);
  } else {
    PushUndoRecord(document, std::move(record));
  }
  CountEdit(document);
  FormatRecord::Announce(document, old_length, old_channels,
                         doc_change::kUndoHistory | (was_saved ? doc_change::kSavedState : 0));
  return err::kOk;
}

}  // namespace tidemark
