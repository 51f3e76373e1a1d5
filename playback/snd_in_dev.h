// The input device: where the recorder takes its frames. A device fills one
// buffer of FramesPerBuffer() frames at a time; the recorder waits for it,
// takes it (Data() holds it until GiveBack), and gives it back.
//
// Names: "null" captures silence at the real pace; "file:PATH" reads a WAV
// file as the input, one buffer per buffer period, "file:PATH?fast" as fast
// as the recorder takes it once Unpace is called (until then at the real
// pace); the file's end ends the input (no looping, no padding: the last
// buffer may be short). Anything else is an ALSA capture PCM.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/samples/sample_format.h"
#include "platform/error.h"

namespace tidemark::playback {

// The capture format. Codes: kU8, kS16, kS24 (packed), kS32, kFloat.
// A rate of 0 asks for the device's own format (a file input's, else
// 44100 Hz, 2 channels, 16-bit); a code of 0 for the device's own code.
struct InFormat {
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;
  SampleCode code = 0;
};

class CSndInDev {
 public:
  CSndInDev() = default;
  CSndInDev(const CSndInDev&) = delete;
  CSndInDev& operator=(const CSndInDev&) = delete;
  virtual ~CSndInDev() = default;

  [[nodiscard]] virtual Error Start() = 0;
  // Stops capturing and forgets what was captured.
  [[nodiscard]] virtual Error Stop() = 0;
  // Waits up to `timeout_ms` for a filled buffer: *ready tells whether one
  // is there, *ended that the input has no more (a file's end).
  [[nodiscard]] virtual Error WaitFilled(int timeout_ms, bool* ready, bool* ended) = 0;
  // Takes the filled buffer; *frames is its frame count.
  [[nodiscard]] virtual Error TakeBuffer(std::uint32_t* frames) = 0;
  virtual void GiveBack() = 0;
  [[nodiscard]] virtual Error Pause() = 0;
  [[nodiscard]] virtual Error Resume() = 0;
  virtual const std::uint8_t* Data() const = 0;
  virtual std::uint32_t FramesPerBuffer() const = 0;
  virtual const InFormat& Format() const = 0;
  // The device's own words for its last failure ("" when none).
  virtual std::string LastError() const = 0;
  // A fast file input stops pacing; other devices ignore it.
  virtual void Unpace() {}
  // When the next buffer will be filled, for a device paced by the clock
  // rather than by hardware (none for those): the recorder sleeps until
  // then instead of waking every WaitFilled slice.
  virtual std::optional<std::chrono::steady_clock::time_point> NextDue() const { return std::nullopt; }
};

// Opens the named input device. `wanted` may leave the rate or the code to
// the device (see InFormat); the buffer holds `buffer_frames` frames (0: a
// tenth of a second). Errors: kUnsupportedFormat for an absurd rate,
// channel count or code; kWaveInOpenFailed when the device cannot be opened
// or cannot give the format, with its words in `*detail`.
[[nodiscard]] Error OpenSndInDev(std::string_view name, const InFormat& wanted, std::uint32_t buffer_frames,
                                 std::unique_ptr<CSndInDev>* out, std::string* detail);

// Bytes per sample of a capture code (0 when it is not one).
std::uint32_t InSampleBytes(SampleCode code);

}  // namespace tidemark::playback
