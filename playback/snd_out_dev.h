// The output device: where the playback engine hands its frames. A device
// owns a ring of equal buffers; the engine fills the current one in place and
// submits it, first every buffer once, then Start, then one buffer each time
// the free event (an eventfd, readable once per freed buffer) fires.
//
// Names: "null" discards at the real pace; "file:PATH" writes exactly the
// submitted frames to a WAV file at the real pace, "file:PATH?fast" as fast
// as they come; anything else is an ALSA PCM name. Names are kept whole,
// since a file device carries a path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/samples/sample_format.h"
#include "platform/error.h"

namespace tidemark::playback {

// What the device is opened for. The code is one of the three output
// formats: sample_code::kS16, kS24 (packed, 3 bytes) or kFloat.
struct OutFormat {
  std::uint32_t rate = 44100;
  std::uint16_t channels = 2;
  SampleCode code = sample_code::kS16;
};

struct OutBuffers {
  std::uint32_t count = 10;
  std::uint32_t frames = 2205;  // frames per buffer
};

class CSndOutDev {
 public:
  CSndOutDev() = default;
  CSndOutDev(const CSndOutDev&) = delete;
  CSndOutDev& operator=(const CSndOutDev&) = delete;
  // Destroying a file device writes its final header.
  virtual ~CSndOutDev() = default;

  // Starts playing what has been submitted so far.
  [[nodiscard]] virtual Error Start() = 0;
  // Stops at once and forgets every queued buffer; the played count and the
  // current buffer return to 0, so the engine can pre-fill again.
  [[nodiscard]] virtual Error Reset() = 0;
  // Takes the oldest freed buffer as the current one (blocks until one is
  // free) and gives the frames played so far.
  [[nodiscard]] virtual Error NextFreeBuffer(std::uint64_t* played) = 0;
  // Queues the current buffer holding `frames` (at most FramesPerBuffer();
  // fewer only for the last buffer of a range).
  [[nodiscard]] virtual Error Submit(std::uint32_t frames) = 0;
  [[nodiscard]] virtual Error Pause() = 0;
  [[nodiscard]] virtual Error Resume() = 0;
  // 0.0 to 1.0; values outside are clamped.
  [[nodiscard]] virtual Error SetVolume(float volume) = 0;
  virtual std::uint8_t* Data() = 0;
  virtual std::uint32_t FramesPerBuffer() const = 0;
  virtual std::uint32_t BufferCount() const = 0;
  virtual int FreeEvent() const = 0;
  // The device's own words for its last failure ("" when none).
  virtual std::string LastError() const = 0;
  // The frames played so far, without taking a buffer.
  virtual std::uint64_t Played() const = 0;

  // No audio sessions here: always false, and the percentage is kept.
  bool AttachSession(std::string_view device, int percent);
  [[nodiscard]] Error SetVolumePercent(int percent);

 protected:
  int session_percent_ = -1;
};

// Checks the format and buffers, then opens the named device. Errors:
// kUnsupportedFormat for an absurd rate, channel count or code;
// kWaveOutOpenFailed when the device cannot be opened, with its words in
// `*detail`.
[[nodiscard]] Error OpenSndOutDev(std::string_view name, const OutFormat& format, const OutBuffers& buffers,
                                  std::unique_ptr<CSndOutDev>* out, std::string* detail);

// Bytes per sample of an output code (0 when it is not one).
std::uint32_t OutSampleBytes(SampleCode code);

struct DeviceName {
  std::string name;
  std::string description;
};
// The ALSA PCMs that can play (or capture), then "null" and "file:PATH".
std::vector<DeviceName> ListDevices(bool capture);

}  // namespace tidemark::playback
