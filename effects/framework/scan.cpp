#include "effects/framework/scan.h"

#include <algorithm>

#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "effects/framework/block_run_worker.h"
#include "effects/framework/progress_scope.h"
#include "platform/error_numbers.h"
#include "platform/page_buffer.h"

namespace tidemark {

Error ScanSelection(ProgressScope& scope, const CEffEntry::SetupParams& params, CEffRun& run, std::string caption) {
  const SoundDocument& document = *params.target;
  if (params.start > document.length || params.length > document.length - params.start) return err::kSizeLimit;
  const std::uint16_t channels = document.channels;
  const std::uint32_t block_frames = EffectBlockFrames(channels);
  PageBuffer work;
  if (const Error rc = work.Allocate(std::size_t{block_frames} * channels * sizeof(float))) return rc;
  float* const block = reinterpret_cast<float*>(work.data());
  scope.SetCaption(std::move(caption));
  return scope.RunWorker([&](ProgressScope& progress) {
    SegmentCursor cursor(document.segments, channels, document.length);
    cursor.Seek(params.start);
    for (std::uint32_t done = 0; done < params.length;) {
      const std::uint32_t n = std::min(block_frames, params.length - done);
      if (const Error rc = cursor.ReadFloat(n, block, channels)) return rc;
      if (const Error rc = run.Process(block, n, channels, params.channel_mask)) return rc;
      done += n;
      progress.Update(done, params.length);
      if (progress.Cancelled()) return err::kCancelled;
    }
    return err::kOk;
  });
}

}  // namespace tidemark
