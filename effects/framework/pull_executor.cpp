#include "effects/framework/block_run_worker.h"

#include <algorithm>
#include <memory>

#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/edit/channel_conversion.h"
#include "core/edit/edit_commands.h"
#include "core/io/work_file_writer.h"
#include "effects/framework/internal/effect_result.h"
#include "effects/framework/progress_scope.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/page_buffer.h"

namespace tidemark {

namespace {

// The document as a pull run's input: any frames, silence past the end.
class DocumentPullSource : public PullSource {
 public:
  explicit DocumentPullSource(const SoundDocument& document)
      : document_(document), cursor_(document.segments, document.channels, document.length) {}

  Error Read(std::uint32_t first, std::uint32_t frames, float* dst, std::uint16_t channels) override {
    const std::uint32_t real = first >= document_.length ? 0 : std::min(frames, document_.length - first);
    if (real > 0) {
      cursor_.Seek(first);
      if (const Error rc = cursor_.ReadFloat(real, dst, channels)) return rc;
    }
    std::fill(dst + std::size_t{real} * channels, dst + std::size_t{frames} * channels, 0.0f);
    return err::kOk;
  }

 private:
  const SoundDocument& document_;
  SegmentCursor cursor_;
};

// Pulls the whole output into working files.
Error PullAll(ProgressScope& scope, const SoundDocument& document, CResampleEffRun& run, std::uint32_t mask,
              SegmentList* out, std::uint32_t* frames) {
  const std::uint16_t oc = run.OutputChannels();
  const std::uint32_t all = oc == 1 ? 1u : 3u;
  const std::uint32_t total = run.OutputLength();
  const std::uint32_t block_frames = EffectBlockFrames(oc);
  // The work buffer: 0x40000 bytes of whole pages, allocated once per run.
  PageBuffer work;
  if (const Error rc = work.Allocate(std::size_t{block_frames} * oc * sizeof(float))) return rc;
  float* const block = reinterpret_cast<float*>(work.data());
  std::unique_ptr<float[]> kept;
  if ((mask & all) != all && MakeNew(&kept, std::size_t{block_frames} * oc)) return err::kOutOfMemory;
  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, document.rate, EffectWorkingCode(), oc, total)) return rc;
  const auto fail = [&](Error rc) {
    writer.Discard();
    return rc;
  };
  DocumentPullSource source(document), restore(document);
  std::uint32_t done = 0;
  while (done < total) {
    std::uint32_t got = 0;
    const std::uint32_t asked = std::min(block_frames, total - done);
    if (const Error rc = run.Pull(source, block, asked, &got)) return fail(rc);
    if (got == 0) break;
    if (got > asked) return fail(err::kSizeLimit);
    if (kept) {
      // The unprocessed channels keep the document's samples at the same
      // place (silence past the consumed stretch).
      const std::uint32_t at = run.SourceStart() + done;
      const std::uint32_t end = run.SourceStart() + run.SourceLength();
      const std::uint32_t real = at >= end ? 0 : std::min(got, end - at);
      if (const Error rc = restore.Read(at, real, kept.get(), oc)) return fail(rc);
      std::fill(kept.get() + std::size_t{real} * oc, kept.get() + std::size_t{got} * oc, 0.0f);
      for (std::uint16_t c = 0; c < oc; ++c)
        if (!(mask & (1u << c)))
          for (std::size_t i = c; i < std::size_t{got} * oc; i += oc) block[i] = kept[i];
    }
    if (const Error rc = writer.WriteFrames(block, got, sample_code::kFloat)) return fail(rc);
    done += got;
    scope.Update(done, total);
    if (scope.Cancelled()) return fail(err::kCancelled);
  }
  if (done != total) return fail(err::kSizeLimit);
  SegmentList made;
  if (const Error rc = writer.Finish(&made)) return rc;
  while (Segment* s = made.first()) out->PushBack(made.Remove(s));
  *frames = done;
  return err::kOk;
}

}  // namespace

Error ProcessPullRun(ProgressScope& scope, const CEffEntry::SetupParams& params, CResampleEffRun& run) {
  SoundDocument& document = *params.target;
  const std::uint16_t oc = run.OutputChannels();
  if (oc < 1 || oc > 2 || oc < document.channels) return err::kSizeLimit;
  const std::uint32_t start = run.SourceStart();
  const std::uint32_t length = run.SourceLength();
  if (start > document.length || length > document.length - start) return err::kSizeLimit;
  if (run.OutputLength() > kMaxFrames - (document.length - length)) return err::kSizeLimit;
  const std::uint32_t mask = oc == document.channels ? params.channel_mask : (oc == 1 ? 1u : 3u);
  if (document.channels == 2 && document.editor)
    document.editor->Send(effect_msg::kChannelsProcessed, mask, 0);
  StereoConversion stereo;
  if (oc > document.channels)
    if (const Error rc = stereo.Prepare(document)) return rc;
  EditRequest request;
  request.start = start;
  request.old_length = length;
  scope.SetCaption(run.GetName() + "...");
  if (const Error rc = scope.RunWorker([&](ProgressScope& progress) {
        return PullAll(progress, document, run, mask, &request.segments, &request.new_length);
      }))
    return rc;
  return PutEffectResult(document, stereo, request, run.GetName());
}

}  // namespace tidemark
