#include "automation/model/model_ops.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "codecs/codec_progress.h"
#include "config/error_codes.h"
#include "core/document/core_text.h"
#include "core/document/segment_cursor.h"
#include "core/edit/edit_commands.h"
#include "core/edit/format_change.h"
#include "core/edit/stretch_render.h"
#include "core/io/work_file_writer.h"
#include "effects/framework/progress_scope.h"
#include "effects/pitch/time_stretch.h"
#include "effects/presets/effect_chain_run.h"
#include "effects/presets/preset_store.h"
#include "platform/alloc.h"

namespace tidemark::NS_SCRIPT {

FrameRange SelectionOf(const SoundDocument& document) {
  FrameRange r;
  GetSelection(document, &r.from, &r.to);
  r.to = std::min(r.to, document.length);
  r.from = std::min(r.from, r.to);
  return r;
}

Error AddGain(SoundDocument& document, double left, double right) {
  const FrameRange sel = SelectionOf(document);
  if (sel.from == sel.to) return err::kOk;
  const ChannelValues factors{static_cast<float>(left), static_cast<float>(document.channels > 1 ? right : left)};
  return ApplyGain(document, sel.from, sel.to - sel.from, factors, GetCoreText(CoreText::kUndoGain));
}

Error AddOffset(SoundDocument& document, std::optional<double> left, std::optional<double> right) {
  const FrameRange sel = SelectionOf(document);
  if (sel.from == sel.to) return err::kOk;
  ChannelValues offsets{};
  if (!left) {
    WaveformStatistics stats;
    if (const Error rc = MeasureSelection(document, '0', &stats)) return rc;
    offsets = {static_cast<float>(-stats.channel[0].offset), static_cast<float>(-stats.channel[1].offset)};
    if (document.channels < 2) offsets[1] = offsets[0];
  } else {
    offsets = {static_cast<float>(*left), static_cast<float>(document.channels > 1 && right ? *right : *left)};
  }
  return ApplyOffset(document, sel.from, sel.to - sel.from, offsets, GetCoreText(CoreText::kUndoOffset));
}

Error DeleteWithSilenceSeconds(SoundDocument& document, double silent_secs) {
  const FrameRange sel = SelectionOf(document);
  const double frames = std::floor(silent_secs * static_cast<double>(document.rate) + 0.5);
  const double result = static_cast<double>(document.length) - (sel.to - sel.from) + frames;
  if (result > static_cast<double>(kMaxFrames)) return err::kTooManyFrames;
  if (sel.from == sel.to && frames <= 0) return err::kOk;
  return DeleteWithSilence(document, sel.from, sel.to, static_cast<std::int64_t>(frames));
}

Error RunChain(SoundDocument& document, std::u16string_view name, std::string* detail) {
  const Error rc = ApplyEffectChain(document, ProgramPresets(), ChainReadPath(), name, detail);
  // An empty selection leaves nothing to do; a script is not told off for it.
  return rc == err::kNoSelectionRaised ? err::kOk : rc;
}

namespace {
bool HasSelection(const SoundDocument& document) {
  const FrameRange sel = SelectionOf(document);
  return sel.from != sel.to;
}
}  // namespace

Error Stretch(SoundDocument& document, double speed, bool smoothing) {
  if (!HasSelection(document)) return err::kOk;
  ProgressScope scope;
  return NS_EFFECT::TimeStretch(scope, document, speed, smoothing);
}

Error PitchAndSpeed(SoundDocument& document, double pitch, double speed, bool for_music) {
  if (!HasSelection(document)) return err::kOk;
  ProgressScope scope;
  return NS_EFFECT::TimeStretch2(scope, document, pitch, speed, for_music);
}

Error MeasureSelection(const SoundDocument& document, char letter, WaveformStatistics* stats) {
  *stats = WaveformStatistics{};
  stats->channels = document.channels;
  const FrameRange sel = SelectionOf(document);
  if (sel.from == sel.to) return err::kOk;
  ProgressScope scope;
  const Error rc = MeasureWaveform(scope, document, sel.from, sel.to - sel.from, std::string_view(&letter, 1), stats);
  return rc == err::kNoSelection ? err::kOk : rc;
}

Error ReplaceSelection(SoundDocument& document, const SoundClip& clip, std::uint32_t mask) {
  const FrameRange sel = SelectionOf(document);
  const std::uint32_t all = document.channels > 1 ? 3u : 1u;
  mask &= all;
  if (mask == 0) mask = all;
  // The clip's length at the document's rate.
  const double clip_frames =
      clip.rate == document.rate ? clip.length
                                 : std::ceil(static_cast<double>(clip.length) * document.rate / clip.rate);
  if (mask == all) {
    if (static_cast<double>(document.length) - (sel.to - sel.from) + clip_frames > kMaxFrames)
      return err::kTooManyFrames;
    if (sel.from == sel.to) return Paste(document, sel.from, clip);
    return PasteOverSelection(document, clip);
  }
  if (static_cast<double>(sel.from) + clip_frames > kMaxFrames) return err::kTooManyFrames;
  return ReplaceChannels(document, sel.from, clip, mask);
}

Error ClipOfSelection(const SoundDocument& document, ClipRef* clip) {
  const FrameRange sel = SelectionOf(document);
  return CopyToClip(document, sel.from, sel.to, clip);
}

Error ClipOfRange(const SoundClip& clip, std::uint32_t from, std::uint32_t to, ClipRef* out) {
  ClipRef copy = NewClip(clip.rate, clip.channels, clip.code);
  if (!copy) return err::kOutOfMemory;
  to = std::min(to, clip.length);
  from = std::min(from, to);
  const Error rc = TryAlloc([&] {
    for (const Segment* s = clip.segments.first(); s; s = s->next) {
      const std::uint32_t begin = std::max(s->position, from);
      const std::uint32_t end = std::min(s->position + s->length, to);
      if (begin >= end) continue;
      auto part = std::make_unique<Segment>();
      part->source = s->source;
      part->position = begin - from;
      part->length = end - begin;
      part->source_offset = s->source_offset + (begin - s->position);
      if (s->gain) part->gain = std::make_unique<SegmentGain>(*s->gain);
      copy->segments.PushBack(std::move(part));
    }
    for (const Marker* m = clip.markers.first(); m; m = m->next) {
      if (m->position < from || m->position > to) continue;
      Marker* c = CloneMarker(*m);
      if (!c) throw std::bad_alloc();
      c->position -= from;
      copy->markers.PushFrontAdopt(c);
    }
  });
  if (rc) return rc;
  // Cloned front first: put the labels back in order.
  MarkerList ordered;
  while (Marker* m = copy->markers.UnlinkAfter(nullptr)) ordered.PushFrontAdopt(m);
  copy->markers = std::move(ordered);
  copy->length = to - from;
  *out = std::move(copy);
  return err::kOk;
}

Error OpenClip(const std::string& path, const OpenOptions& options, ClipRef* clip, DocumentMetadata* tags) {
  SoundFileInfo info;
  SegmentList segments;
  if (const Error rc = OpenSoundFile(path, options, true, &info, &segments)) return rc;
  ClipRef c = NewClip(info.rate, info.channels, info.code);
  if (!c) return err::kOutOfMemory;
  c->length = info.frames;
  c->segments = std::move(segments);
  c->markers = std::move(info.markers);
  *tags = std::move(info.tags);
  *clip = std::move(c);
  return err::kOk;
}

Error ProbeClipSource(const std::string& path, bool* undecoded) {
  *undecoded = false;
  const SoundReader reader = ReaderForPath(path);
  if (reader == SoundReader::kRefused) return err::kOk;
  SoundFileInfo sniffed;
  if (const Error rc = SniffSoundHeader(path, &sniffed)) return rc;
  // A header the sniff does not know goes to a decoder (or is refused) later.
  *undecoded = reader != SoundReader::kPcmProbe || sniffed.kind == PcmFileKind::Raw;
  return err::kOk;
}

namespace {
// Puts a codec open hook in force for its lifetime, restoring the one before.
class OpenProgressHook {
 public:
  explicit OpenProgressHook(CodecProgress hook) : before_(CodecOpenProgress()) {
    SetCodecOpenProgress(std::move(hook));
  }
  ~OpenProgressHook() { SetCodecOpenProgress(std::move(before_)); }
  OpenProgressHook(const OpenProgressHook&) = delete;
  OpenProgressHook& operator=(const OpenProgressHook&) = delete;

 private:
  CodecProgress before_;
};
}  // namespace

Error DecodeClip(const std::string& path, const OpenOptions& options, ClipRef* clip, DocumentMetadata* tags) {
  ProgressScope scope;
  const OpenProgressHook hook([&scope](std::uint64_t done, std::uint64_t total) {
    scope.Update(done, total);
    return !scope.Cancelled();
  });
  ClipRef made;
  DocumentMetadata texts;
  const Error rc = scope.RunWorker([&](ProgressScope& s) -> Error {
    s.SetCaption("Decoding");
    return OpenClip(path, options, &made, &texts);
  });
  if (rc) return rc;
  *clip = std::move(made);
  *tags = std::move(texts);
  return err::kOk;
}

Error NewDocument(std::uint32_t rate, std::uint16_t channels, DocumentPtr* document) {
  DocumentDescription d;
  d.format.kind = PcmFileKind::Wave;
  d.format.rate = rate;
  d.format.channels = channels;
  d.format.code = sample_code::kS16;
  SoundDocument* doc = nullptr;
  if (const Error rc = CreateDocument(std::nullopt, SegmentList(), std::move(d), &doc)) return rc;
  doc->kind = PcmFileKind::Wave;
  doc->code = sample_code::kS16;
  document->reset(doc);
  return err::kOk;
}

Error NewDocumentFromClip(const SoundClip& clip, DocumentPtr* document) {
  DocumentDescription d;
  d.format.kind = PcmFileKind::Wave;
  d.format.rate = clip.rate;
  d.format.channels = clip.channels;
  d.format.code = clip.code;
  SoundDocument* doc = nullptr;
  if (const Error rc = CreateDocument(std::nullopt, SegmentList(), std::move(d), &doc)) return rc;
  DocumentPtr owned(doc);
  doc->kind = PcmFileKind::Wave;
  doc->code = NormaliseForKind(PcmFileKind::Wave, clip.code).code;
  if (clip.length) {
    if (const Error rc = Paste(*doc, 0, clip)) return rc;
  }
  *document = std::move(owned);
  return err::kOk;
}

namespace {

// One document of a mixdown, read as float frames of the mixdown's format.
struct MixInput {
  const SegmentList* list = nullptr;
  std::uint32_t length = 0;
  std::uint16_t channels = 0;
  SegmentList converted;  // when the rate differs
};

// Sums block [frame, frame + frames) of every input into `sum`; non-finite
// samples count as 0. Returns the block's peak.
Error SumBlock(std::vector<MixInput>& inputs, std::uint32_t frame, std::uint32_t frames, std::uint16_t channels,
               std::vector<float>& scratch, std::vector<float>& sum, float* peak) {
  std::fill(sum.begin(), sum.begin() + static_cast<std::ptrdiff_t>(frames) * channels, 0.0f);
  for (MixInput& in : inputs) {
    if (frame >= in.length) continue;
    const std::uint32_t n = std::min(frames, in.length - frame);
    SegmentCursor cursor(*in.list, in.channels, in.length);
    cursor.Seek(frame);
    if (in.channels == channels || in.channels == 1) {
      if (const Error rc = cursor.ReadFloat(n, scratch.data(), channels)) return rc;
      for (std::size_t i = 0; i < static_cast<std::size_t>(n) * channels; ++i)
        if (std::isfinite(scratch[i])) sum[i] += scratch[i];
    } else {  // stereo into mono: the mean of the two
      if (const Error rc = cursor.ReadFloat(n, scratch.data(), 2)) return rc;
      for (std::size_t i = 0; i < n; ++i) {
        const float l = std::isfinite(scratch[2 * i]) ? scratch[2 * i] : 0.0f;
        const float r = std::isfinite(scratch[2 * i + 1]) ? scratch[2 * i + 1] : 0.0f;
        sum[i] += 0.5f * (l + r);
      }
    }
  }
  float p = *peak;
  for (std::size_t i = 0; i < static_cast<std::size_t>(frames) * channels; ++i) p = std::max(p, std::fabs(sum[i]));
  *peak = p;
  return err::kOk;
}

}  // namespace

Error MixDown(const std::vector<SoundDocument*>& documents, const std::string& path, ParsedSampleType type,
              const SaveOptions& options) {
  if (documents.empty()) return err::kOk;
  const SoundDocument& first = *documents.front();
  const std::uint32_t rate = first.rate;
  const std::uint16_t channels = first.channels > 1 ? 2 : 1;
  std::vector<MixInput> inputs(documents.size());
  std::uint32_t length = 0;
  for (std::size_t i = 0; i < documents.size(); ++i) {
    const SoundDocument& d = *documents[i];
    MixInput& in = inputs[i];
    in.channels = d.channels;
    if (d.rate == rate) {
      in.list = &d.segments;
      in.length = d.length;
    } else {
      ConvertSource source{&d.segments, d.length, d.rate, d.channels};
      if (const Error rc =
              RenderConverted(source, rate, d.channels, MonoFrom::kMix, nullptr, &in.converted, &in.length))
        return rc;
      in.list = &in.converted;
    }
    length = std::max(length, in.length);
  }
  const std::uint32_t block = RenderBlockFrames(channels);
  std::vector<float> scratch(static_cast<std::size_t>(block) * 2);
  std::vector<float> sum(static_cast<std::size_t>(block) * channels);
  ProgressScope scope;
  // Pass one finds the peak, pass two writes the guarded sum.
  float peak = 0;
  Error rc = scope.RunWorker([&](ProgressScope& s) -> Error {
    s.SetCaption("Mixdown");
    for (std::uint32_t frame = 0; frame < length; frame += std::min(block, length - frame)) {
      if (s.Cancelled()) return err::kCancelled;
      s.Update(frame, length);
      if (const Error e = SumBlock(inputs, frame, std::min(block, length - frame), channels, scratch, sum, &peak))
        return e;
    }
    return err::kOk;
  });
  if (rc) return rc;
  const float scale = peak > 1.0f ? 1.0f / peak : 1.0f;
  WorkFileWriter writer;
  SegmentList mixed;
  rc = scope.RunWorker([&](ProgressScope& s) -> Error {
    if (const Error e = writer.Begin(PcmFileKind::Temp, rate, sample_code::kFloat, channels, length)) return e;
    float ignored = 0;
    for (std::uint32_t frame = 0; frame < length; frame += std::min(block, length - frame)) {
      if (s.Cancelled()) return err::kCancelled;
      s.Update(frame, length);
      const std::uint32_t n = std::min(block, length - frame);
      if (const Error e = SumBlock(inputs, frame, n, channels, scratch, sum, &ignored)) return e;
      if (scale != 1.0f)
        for (std::size_t i = 0; i < static_cast<std::size_t>(n) * channels; ++i) sum[i] *= scale;
      if (const Error e = writer.WriteFrames(sum.data(), n, sample_code::kFloat)) return e;
    }
    return writer.Finish(&mixed);
  });
  if (rc) return rc;
  DocumentDescription d;
  d.format = PcmFormat{PcmFileKind::Temp, rate, channels, sample_code::kFloat};
  d.length = length;
  SoundDocument* doc = nullptr;
  if (const Error e = CreateDocument(std::nullopt, std::move(mixed), std::move(d), &doc)) return e;
  const DocumentPtr held(doc);
  return SaveAs(*doc, path, type.kind, type.code, options);
}

}  // namespace tidemark::NS_SCRIPT
