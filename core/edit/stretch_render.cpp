#include "core/edit/stretch_render.h"

#include <algorithm>
#include <memory>

#include "core/document/segment_cursor.h"
#include "core/io/work_file_writer.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/page_buffer.h"

namespace tidemark {

namespace {

// What one render needs besides its arguments.
struct RenderPlan {
  std::uint16_t in_channels = 0;
  std::uint16_t out_channels = 0;
  std::uint32_t mask = 0;  // processed channels
  std::uint32_t all = 0;   // every output channel
  std::uint32_t latency = 0;
  std::uint32_t fed_total = 0;   // length + latency + tail
  std::uint32_t from_list = 0;   // fed frames that come from the list (the rest are silence)
  std::uint32_t out_total = 0;   // length + tail
};

Error Plan(const RenderStretch& stretch, const StretchProcessor& processor, RenderPlan* plan) {
  if (!stretch.list || stretch.channels < 1 || stretch.channels > 2) return err::kSizeLimit;
  if (stretch.start > stretch.list_length || stretch.length > stretch.list_length - stretch.start)
    return err::kSizeLimit;
  plan->in_channels = stretch.channels;
  plan->out_channels = stretch.output_channels ? stretch.output_channels : stretch.channels;
  if (plan->out_channels != plan->in_channels && !(plan->in_channels == 1 && plan->out_channels == 2))
    return err::kSizeLimit;
  const std::uint64_t tail = processor.TailFrames();
  const std::uint64_t latency = processor.LatencyFrames();
  if (tail > kMaxFrames - stretch.length || latency > kMaxFrames) return err::kSizeLimit;
  plan->all = plan->out_channels == 1 ? 1u : 3u;
  plan->mask = stretch.channel_mask & plan->all;
  plan->latency = static_cast<std::uint32_t>(latency);
  plan->out_total = stretch.length + static_cast<std::uint32_t>(tail);
  const std::uint64_t fed = std::uint64_t{plan->out_total} + latency;
  if (fed > 0xFFFFFFFFu) return err::kSizeLimit;
  plan->fed_total = static_cast<std::uint32_t>(fed);
  // The latency frames come from behind the stretch while the list lasts.
  const std::uint64_t behind = stretch.list_length - stretch.start - stretch.length;
  plan->from_list = stretch.length + static_cast<std::uint32_t>(std::min<std::uint64_t>(latency, behind));
  return err::kOk;
}

// Reads `n` frames of `channels` from `cursor`, of which the first `real`
// come from the list and the rest are silence.
Error ReadPadded(SegmentCursor& cursor, std::uint32_t real, std::uint32_t n, float* dst, std::uint16_t channels) {
  if (real > 0)
    if (const Error rc = cursor.ReadFloat(real, dst, channels)) return rc;
  std::fill(dst + std::size_t{real} * channels, dst + std::size_t{n} * channels, 0.0f);
  return err::kOk;
}

std::uint32_t Clip(std::uint32_t position, std::uint32_t n, std::uint32_t end) {
  return position >= end ? 0 : std::min(n, end - position);
}

}  // namespace

Error RenderThroughProcessor(const RenderStretch& stretch, StretchProcessor& processor,
                             RenderObserver* observer, SegmentList* out, std::uint32_t* frames) {
  RenderPlan plan;
  if (const Error rc = Plan(stretch, processor, &plan)) return rc;
  const std::uint16_t ch = plan.out_channels;
  const std::uint32_t block_frames = RenderBlockFrames(ch);
  const std::size_t block_samples = std::size_t{block_frames} * ch;

  // The work buffer: 0x40000 bytes of whole pages, allocated once per render.
  PageBuffer work;
  if (const Error rc = work.Allocate(block_samples * sizeof(float))) return rc;
  float* const block = reinterpret_cast<float*>(work.data());
  // The untouched input at the output's positions, for the channels the
  // processor must not change.
  std::unique_ptr<float[]> kept;
  if (plan.mask != plan.all && MakeNew(&kept, block_samples)) return err::kOutOfMemory;

  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, stretch.rate, stretch.output_code, ch, plan.out_total))
    return rc;
  SegmentCursor cursor(*stretch.list, stretch.channels, stretch.list_length);
  cursor.Seek(stretch.start);
  SegmentCursor restore(*stretch.list, stretch.channels, stretch.list_length);
  restore.Seek(stretch.start);
  const auto fail = [&](Error rc) {
    writer.Discard();
    return rc;
  };
  for (std::uint32_t fed = 0; fed < plan.fed_total;) {
    const std::uint32_t n = std::min(block_frames, plan.fed_total - fed);
    if (const Error rc = ReadPadded(cursor, Clip(fed, n, plan.from_list), n, block, ch)) return fail(rc);
    if (plan.mask != 0)
      if (const Error rc = processor.Process(block, fed, n, ch)) return fail(rc);
    // The first `latency` frames fed produce nothing that is kept.
    const std::uint32_t skip = fed < plan.latency ? std::min(n, plan.latency - fed) : 0;
    const std::uint32_t m = n - skip;
    float* kept_out = block + std::size_t{skip} * ch;
    if (kept && m > 0) {
      const std::uint32_t position = fed + skip - plan.latency;
      if (const Error rc = ReadPadded(restore, Clip(position, m, stretch.length), m, kept.get(), ch))
        return fail(rc);
      for (std::uint16_t c = 0; c < ch; ++c)
        if (!(plan.mask & (1u << c)))
          for (std::size_t i = c; i < std::size_t{m} * ch; i += ch) kept_out[i] = kept[i];
    }
    if (m > 0)
      if (const Error rc = writer.WriteFrames(kept_out, m, sample_code::kFloat)) return fail(rc);
    fed += n;
    if (observer) {
      observer->Progress(fed, plan.fed_total);
      if (observer->Cancelled()) return fail(err::kCancelled);
    }
  }
  SegmentList made;
  if (const Error rc = writer.Finish(&made)) return rc;
  // Finish places the segments from 0, one per file, in order.
  while (Segment* s = made.first()) out->PushBack(made.Remove(s));
  *frames = plan.out_total;
  return err::kOk;
}

}  // namespace tidemark
