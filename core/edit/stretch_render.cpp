#include "core/edit/stretch_render.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/document/segment_cursor.h"
#include "core/io/work_file_writer.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error RenderThroughProcessor(const RenderStretch& stretch, StretchProcessor& processor,
                             RenderObserver* observer, SegmentList* out, std::uint32_t* frames) {
  if (!stretch.list || stretch.channels < 1 || stretch.channels > 2) return err::kSizeLimit;
  if (stretch.start > stretch.list_length || stretch.length > stretch.list_length - stretch.start)
    return err::kSizeLimit;
  const std::uint32_t tail = processor.TailFrames();
  if (tail > kMaxFrames - stretch.length) return err::kSizeLimit;
  const std::uint32_t total = stretch.length + tail;
  const std::uint16_t ch = stretch.channels;
  const std::uint32_t all = ch == 1 ? 1u : 3u;
  const std::uint32_t mask = stretch.channel_mask & all;
  const std::uint32_t block_frames = RenderBlockFrames(ch);
  const std::size_t block_samples = std::size_t{block_frames} * ch;

  std::unique_ptr<float[]> block;
  // The untouched input, for the channels the processor must not change.
  std::unique_ptr<float[]> kept;
  if (MakeNew(&block, block_samples) || (mask != all && MakeNew(&kept, block_samples))) return err::kOutOfMemory;

  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, stretch.rate, stretch.output_code, ch, total))
    return rc;
  SegmentCursor cursor(*stretch.list, ch, stretch.list_length);
  cursor.Seek(stretch.start);
  for (std::uint32_t done = 0; done < total;) {
    if (observer && observer->Cancelled()) {
      writer.Discard();
      return err::kCancelled;
    }
    const std::uint32_t n = std::min(block_frames, total - done);
    const std::size_t samples = std::size_t{n} * ch;
    // Frames of the stretch in this block; the rest is tail, zero-filled.
    const std::uint32_t from_list = done < stretch.length ? std::min(n, stretch.length - done) : 0;
    if (from_list > 0) {
      if (const Error rc = cursor.ReadFloat(from_list, block.get(), ch)) {
        writer.Discard();
        return rc;
      }
    }
    std::fill(block.get() + std::size_t{from_list} * ch, block.get() + samples, 0.0f);
    if (kept) std::memcpy(kept.get(), block.get(), samples * sizeof(float));
    if (mask != 0) {
      if (const Error rc = processor.Process(block.get(), done, n, ch)) {
        writer.Discard();
        return rc;
      }
    }
    if (kept)
      for (std::uint16_t c = 0; c < ch; ++c)
        if (!(mask & (1u << c)))
          for (std::size_t i = c; i < samples; i += ch) block[i] = kept[i];
    if (const Error rc = writer.WriteFrames(block.get(), n, sample_code::kFloat)) {
      writer.Discard();
      return rc;
    }
    done += n;
    if (observer) observer->Progress(done, total);
  }
  SegmentList made;
  if (const Error rc = writer.Finish(&made)) return rc;
  // Finish places the segments from 0, one per file, in order.
  while (Segment* s = made.first()) out->PushBack(made.Remove(s));
  *frames = total;
  return err::kOk;
}

}  // namespace tidemark
