// Rendering a stretch of a segment list through a processor into new
// working files: the stretch is read as float in blocks of 0x40000 bytes
// (one page-aligned work buffer per render), each block is handed to the
// processor, and the result is written by a
// WorkFileWriter. Channels outside the processing mask are copied from the
// stretch unchanged. A processor whose output lags its input by a latency
// of L frames is fed L frames more, those following the stretch (silence
// past the list's end), and its first L output frames are dropped, so the
// output lines up with the input. A processor may also ask for extra output
// frames behind the stretch (a tail); those reach it zero-filled (and
// unprocessed channels stay silent there). After each block the observer
// sees the progress and may cancel.
#pragma once

#include <cstdint>

#include "core/samples/sample_format.h"
#include "core/document/segment.h"
#include "platform/error.h"

namespace tidemark {

class StretchProcessor {
 public:
  virtual ~StretchProcessor() = default;
  // Extra frames the processor writes behind the stretch.
  virtual std::uint32_t TailFrames() const { return 0; }
  // Frames by which the processor's output lags its input.
  virtual std::uint32_t LatencyFrames() const { return 0; }
  // Processes `frames` interleaved float frames of `channels` channels in
  // place; `first` counts from the start of the stretch (frames at or past
  // the stretch's length belong to the tail). Blocks arrive in order. A
  // non-zero result aborts the render with that error.
  [[nodiscard]] virtual Error Process(float* block, std::uint32_t first, std::uint32_t frames,
                                      std::uint16_t channels) = 0;
};

class RenderObserver {
 public:
  virtual ~RenderObserver() = default;
  // Called after each block with the frames done and the frames in all.
  virtual void Progress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
  // Asked after each block; true stops the render.
  virtual bool Cancelled() { return false; }
};

// What to render: [start, start + length) of `list`, a list of
// `list_length` frames of `channels` channels at `rate`.
struct RenderStretch {
  const SegmentList* list = nullptr;
  std::uint32_t list_length = 0;
  std::uint16_t channels = 2;
  // The channels the processor sees and the output has: 0 for `channels`;
  // 2 from a mono list doubles each sample.
  std::uint16_t output_channels = 0;
  std::uint32_t rate = 44100;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
  std::uint32_t channel_mask = 3;          // bit c: channel c goes through the processor
  SampleCode output_code = sample_code::kFloat;  // the working files' sample code
};

// The frames per block for `channels` float channels (0x40000 bytes).
// The processor sees blocks of this size for the output channels.
constexpr std::uint32_t RenderBlockFrames(std::uint16_t channels) { return 0x40000u / (4u * channels); }

// Renders the stretch and appends the segments over the new working files
// (positions from 0) to `out`; `*frames` receives length + tail. The
// observer's totals count the frames fed (length + latency + tail). Errors:
// 77 when the stretch passes the list's length or the output would pass
// kMaxFrames, -1 (kCancelled) when the observer cancels, 2, the read errors
// of the sources and the working-file writer's errors. On any error the
// working files are deleted and `out` is unchanged.
[[nodiscard]] Error RenderThroughProcessor(const RenderStretch& stretch, StretchProcessor& processor,
                                           RenderObserver* observer, SegmentList* out,
                                           std::uint32_t* frames);

}  // namespace tidemark
