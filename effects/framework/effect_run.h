// The objects that process audio. A block run transforms interleaved float
// frames in place, keeping length and channel count apart from a fixed
// latency the framework compensates; a pull run produces output whose length
// and channel count may differ, pulling its own input from the document.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/error.h"

namespace tidemark {

class CEffRun {
 public:
  virtual ~CEffRun() = default;
  // Transforms `frames` interleaved frames of `channels` channels in place.
  // Channels whose bit in `mask` is clear may be left as they are; the
  // framework restores them. Must not allocate.
  [[nodiscard]] virtual Error Process(float* buffer, std::uint32_t frames, std::uint16_t channels,
                                      std::uint32_t mask) = 0;
  // Back to the initial state (delay lines, counters, filter memories).
  virtual void Reset() = 0;
  // Frames by which the output lags the input.
  virtual std::uint32_t GetLatency() const { return 0; }
  // The display name for the progress caption and the undo label.
  virtual std::string GetName() const = 0;
  // The further query of the run interface; every built-in run answers 0.
  virtual std::uint32_t GetExtra() const { return 0; }
};

using EffRunPtr = std::unique_ptr<CEffRun>;

// Where a pull run reads its input: frames of the document from `first`
// (counted from the document start) as float with `channels` per frame;
// silence past the document's end.
class PullSource {
 public:
  virtual ~PullSource() = default;
  [[nodiscard]] virtual Error Read(std::uint32_t first, std::uint32_t frames, float* dst,
                                   std::uint16_t channels) = 0;
};

class CResampleEffRun {
 public:
  virtual ~CResampleEffRun() = default;
  // The stretch of the document the run consumes and what it gives for it.
  virtual std::uint32_t SourceStart() const = 0;
  virtual std::uint32_t SourceLength() const = 0;
  virtual std::uint32_t OutputLength() const = 0;
  virtual std::uint16_t OutputChannels() const = 0;
  // Delivers the next at most `frames` output frames into `dst`
  // (interleaved, OutputChannels() per frame), reading input from `source`
  // as it needs; `*delivered` gets the count (0 only at the end).
  [[nodiscard]] virtual Error Pull(PullSource& source, float* dst, std::uint32_t frames,
                                   std::uint32_t* delivered) = 0;
  virtual void Reset() = 0;
  virtual std::string GetName() const = 0;
};

using ResampleEffRunPtr = std::unique_ptr<CResampleEffRun>;

}  // namespace tidemark
