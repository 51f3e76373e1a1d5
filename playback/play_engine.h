// The playback engine: at most one playback in the process, on a thread of
// its own, asking a source for frames and handing them to an output device.
//
// Notices go to the UI through the process-wide notice queue below (the
// main window's stand-in): state (0 started, 1 pause toggled, 2 stopped),
// levels (a pointer to the peaks of the buffer just played, or none with
// `last` set when the last buffer of a range has been queued), and end
// (a code and a position). The engine posts an end notice with code 0 once
// the device has played out a non-looping range; the UI answers every end
// notice with StopPlayback.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/samples/sample_format.h"
#include "platform/error.h"

namespace tidemark {
struct SoundDocument;
struct Settings;
}

namespace tidemark::playback {

// What the engine asks of its source.
enum SourceKind : std::uint32_t {
  kSourceOpened = 0,
  kSourceEnded = 1,
  kSourceRewind = 2,
  kSourceFill = 3,
  kSourceBufferDone = 4,
  kSourceStarted = 5,
  kSourceRangeChanged = 6,
  kSourceRestarted = 7,
  kSourceFailed = 8,
  kSourceDocument = 11,
  kSourceBeforeStop = 13,
  kSourceAfterStop = 14,
};

struct PlaybackSource {
  std::uint32_t kind = 0;
  std::uint64_t count = 0;  // frames wanted (3), played (4, 5), the total (6, 7), error code (8)
  SampleCode code = sample_code::kS16;
  void* buffer = nullptr;    // kind 3: where the frames go; kind 11: receives the document
  std::uint64_t pair[2] = {0, 0};  // command arguments (6, 7); kind 8: device error; kind 11: start
};
// Answers the request; kinds 2, 6 and 7 answer the total in frames.
using SourceProc = std::uint64_t (*)(void* context, PlaybackSource& request);

// Start flags: the low two bits 1 choose the small buffer count, any other
// non-zero value the large one, 0 the setting.
inline constexpr std::uint32_t kSmallBuffers = 1;
inline constexpr std::uint32_t kLargeBuffers = 2;
inline constexpr std::uint32_t kForce16Bit = 0x100;

inline constexpr std::uint32_t kScalerOff = 0xFFFFFFFFu;

// The speed a 16.16 scaler value plays at (1.0 in the dead band).
double ScalerSpeed(std::uint32_t speed_16_16);

struct PlaySettings {
  std::string device = "default";
  bool output_24bit = false;
  std::uint32_t output_interface = 1;  // 2: 32-bit float
  bool large_buffers = false;          // the buffer-count setting
  int volume_percent = -1;             // negative: none
  // The playback scaler: a 16.16 speed, all ones when it is off. When on,
  // document ranges play through the time-scaling source the method
  // chooses: 0 time-domain (WSOLA), 1 phase vocoder; any other method
  // refuses to play (kUnsupportedFormat). Speeds in the dead band
  // 1/1.03 <= s < 1.03 play at exactly 1.0.
  std::uint32_t scaler_speed = kScalerOff;
  std::uint32_t scaler_method = 0;
  // False when nothing shows the levels (a console reading a pipe): no
  // per-buffer level notices are posted, so the UI's thread is not woken
  // for them; the last-buffer notice still is.
  bool post_levels = true;
};

// The first number of the settings' "Dialog" entry `dialog` ("Record",
// "PlaybackScaler", ...), or `fallback` when the entry or its number is missing.
std::uint32_t DialogNumber(const Settings& settings, std::string_view dialog, std::uint32_t fallback);

// The scaler's method from the settings: "Dialog" entry "PlaybackScaler",
// its first value; 0 (time-domain) when none is kept.
inline std::uint32_t ScalerMethodSetting(const Settings& settings) {
  return DialogNumber(settings, "PlaybackScaler", 0);
}

struct PlayStart {
  SourceProc source = nullptr;
  void* context = nullptr;
  std::uint32_t rate = 44100;
  std::uint16_t channels = 2;
  bool loop = false;
  std::uint32_t flags = kLargeBuffers;
};

// The output code the settings and flags choose.
SampleCode OutputCode(const PlaySettings& settings, std::uint32_t flags);

// Starts a playback. Errors: kPlaybackRunning (40) while one exists,
// kThreadCreate (39), kOutOfMemory (2). Device failures arrive later as an
// end notice.
[[nodiscard]] Error StartPlayback(const PlayStart& start, const PlaySettings& settings);
// Plays [start, start + length) of a document through the document source.
[[nodiscard]] Error PlayDocumentRange(SoundDocument& document, std::uint32_t start, std::uint32_t length, bool loop,
                                      const PlaySettings& settings);
bool PlaybackExists();
bool PlaybackPaused();
// Commands to the playing thread; nothing happens without a playback.
void TogglePause();
void ChangeRange(std::uint64_t a, std::uint64_t b);
void RestartRange(std::uint64_t a, std::uint64_t b);
void SetAnalysisLength(std::uint32_t frames);
void SetPlaybackVolume(int percent);
// Ends the playback (a no-op without one): kind 13, stop and join the
// thread, drop the queued level notices, state notice 2, kind 14, free.
void StopPlayback();

struct PlayNotice {
  enum Kind : std::uint8_t { kState, kLevels, kEnd } kind = kState;
  std::uint32_t value = 0;        // state; end: the code
  std::uint64_t position = 0;     // end: the frame position; levels: frames played
  const std::uint32_t* peaks = nullptr;  // levels: one per channel, valid until the next StopPlayback
  std::uint16_t channels = 0;
  bool last = false;  // levels: the last buffer of the range is queued
  // levels: the last analysis-length frames, one run per channel
  const float* tail = nullptr;
  std::uint32_t tail_frames = 0;
};
// Posts an end notice (sources do, for kind 8).
void PostEndNotice(std::uint32_t code, std::uint64_t position);
// Takes the oldest notice; waits up to `timeout_ms` (0: not at all).
bool TakeNotice(PlayNotice* notice, int timeout_ms);
// The device's own words for the failure of the last end notice with a
// code ("" when it said none), such as ALSA's error text.
std::string LastDeviceError();
// Drops every notice (for a fresh start in tests and after a session).
void ClearNotices();

}  // namespace tidemark::playback
