#include "effects/framework/scan.h"

#include <algorithm>
#include <memory>

#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "effects/framework/block_run_worker.h"
#include "effects/framework/progress_scope.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error ScanSelection(ProgressScope& scope, const CEffEntry::SetupParams& params, CEffRun& run, std::string caption) {
  const SoundDocument& document = *params.target;
  if (params.start > document.length || params.length > document.length - params.start) return err::kSizeLimit;
  const std::uint16_t channels = document.channels;
  const std::uint32_t block_frames = EffectBlockFrames(channels);
  std::unique_ptr<float[]> block;
  if (MakeNew(&block, std::size_t{block_frames} * channels)) return err::kOutOfMemory;
  scope.SetCaption(std::move(caption));
  return scope.RunWorker([&](ProgressScope& progress) {
    SegmentCursor cursor(document.segments, channels, document.length);
    cursor.Seek(params.start);
    for (std::uint32_t done = 0; done < params.length;) {
      const std::uint32_t n = std::min(block_frames, params.length - done);
      if (const Error rc = cursor.ReadFloat(n, block.get(), channels)) return rc;
      if (const Error rc = run.Process(block.get(), n, channels, params.channel_mask)) return rc;
      done += n;
      progress.Update(done, params.length);
      if (progress.Cancelled()) return err::kCancelled;
    }
    return err::kOk;
  });
}

}  // namespace tidemark
