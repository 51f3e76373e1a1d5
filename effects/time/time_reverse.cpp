#include "effects/time/time_reverse.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "config/error_codes.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/edit/edit_commands.h"
#include "core/io/work_file_writer.h"
#include "effects/framework/block_run_worker.h"
#include "effects/framework/progress_scope.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_TIMEREV {

namespace {

void ReverseFrames(float* frames, std::uint32_t count, std::uint16_t channels) {
  if (channels == 2 && count > 1) {
    // A stereo frame is eight bytes: swapped as one word.
    for (std::size_t i = 0, j = count - 1; i < j; ++i, --j) {
      std::uint64_t a, b;
      std::memcpy(&a, frames + 2 * i, sizeof a);
      std::memcpy(&b, frames + 2 * j, sizeof b);
      std::memcpy(frames + 2 * i, &b, sizeof b);
      std::memcpy(frames + 2 * j, &a, sizeof a);
    }
    return;
  }
  for (std::uint32_t i = 0, j = count; i + 1 < j; ++i) {
    --j;
    for (std::uint16_t c = 0; c < channels; ++c)
      std::swap(frames[std::size_t{i} * channels + c], frames[std::size_t{j} * channels + c]);
  }
}

}  // namespace

Error RenderReversed(ProgressScope& scope, const SoundDocument& document, std::uint32_t start, std::uint32_t length,
                     SegmentList* out) {
  if (start > document.length || length > document.length - start) return err::kSizeLimit;
  const std::uint16_t channels = document.channels;
  if (channels < 1 || channels > 2) return err::kSizeLimit;
  const std::uint32_t block_frames = EffectBlockFrames(channels);
  std::unique_ptr<float[]> block;
  if (MakeNew(&block, std::size_t{block_frames} * channels)) return err::kOutOfMemory;
  SegmentList made;
  const Error rc = scope.RunWorker([&](ProgressScope& progress) {
    WorkFileWriter writer;
    if (const Error begun = writer.Begin(PcmFileKind::Temp, document.rate, EffectWorkingCode(), channels, length))
      return begun;
    SegmentCursor cursor(document.segments, channels, document.length);
    for (std::uint32_t end = start + length, done = 0; end > start;) {
      const std::uint32_t n = std::min(block_frames, end - start);
      cursor.Seek(end - n);
      if (const Error read = cursor.ReadFloat(n, block.get(), channels)) return read;
      ReverseFrames(block.get(), n, channels);
      if (const Error written = writer.WriteFrames(block.get(), n, sample_code::kFloat)) return written;
      end -= n;
      done += n;
      progress.Update(done, length);
      if (progress.Cancelled()) return err::kCancelled;
    }
    return writer.Finish(&made);
  });
  // A cancel after the last block still drops the files (with `made`).
  if (rc) return rc;
  while (Segment* s = made.first()) out->PushBack(made.Remove(s));
  return err::kOk;
}

CMyEffEntry::CMyEffEntry() : CEffEntry(322) {}

Error CMyEffEntry::Execute(SoundDocument* target) {
  std::uint32_t from = 0, to = 0;
  GetSelection(*target, &from, &to);
  if (to == from) return err::kNoSelection;
  SetupParamsPtr params;
  if (const Error rc = CreateSetupParams(target, 0, &params)) return rc;
  SetSelection(*target, params->start, params->start + params->length);
  const std::string name = GetDisplayName();
  ProgressScope scope;
  scope.SetCaption(name + "...");
  EditRequest request;
  request.start = params->start;
  request.old_length = request.new_length = params->length;
  if (const Error rc = RenderReversed(scope, *target, params->start, params->length, &request.segments)) return rc;
  return ApplyEdit(*target, request, name);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_TIMEREV
