// The effect preview's source: a document range read as float, passed
// through a processor (an effect's block run) and converted to the output
// code. The processor is reset whenever the range starts again (the first
// fill, every loop), so each pass sounds like the effect applied once.
#pragma once

#include <cstdint>
#include <memory>

#include "playback/play_engine.h"

namespace tidemark::playback {

class PreviewProcessor {
 public:
  virtual ~PreviewProcessor() = default;
  // Transforms `frames` interleaved float frames in place. Runs on the
  // playback thread.
  [[nodiscard]] virtual Error Process(float* frames_data, std::uint32_t frames, std::uint16_t channels) = 0;
  // Back to the initial state.
  virtual void Reset() = 0;
  // Frames by which the output lags the input; the source drops that many
  // first frames, feeding the document behind the range (silence past its
  // end) to make up for them.
  virtual std::uint32_t Latency() const { return 0; }
  // Bit c set: channel c is processed; the others play the range as it is.
  virtual std::uint32_t ChannelMask() const { return 0xFFFFFFFFu; }
};

// A change of the playing preview's settings, made on the caller's thread
// and applied on the playback thread between two blocks, so the processor
// goes on without a restart (the compressors' live Reconfigure).
class PreviewChange {
 public:
  virtual ~PreviewChange() = default;
  // A failure ends the preview with that error, as a device failure does.
  [[nodiscard]] virtual Error ApplyTo(PreviewProcessor& processor) = 0;
};

// Hands `change` to the playing preview: applied before the next block it
// fills (a change not yet applied is replaced). False, and the change
// dropped, when no preview plays.
bool ChangePreview(std::unique_ptr<PreviewChange> change);
bool PreviewPlaying();

// Plays [start, start + length) of `document` through `processor` (owned by
// the playback from here on, also when starting fails). Non-finite output
// samples play as silence.
[[nodiscard]] Error PlayPreview(SoundDocument& document, std::uint32_t start, std::uint32_t length, bool loop,
                                std::unique_ptr<PreviewProcessor> processor, const PlaySettings& settings);

}  // namespace tidemark::playback
