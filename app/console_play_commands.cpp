// The console editor's playback commands: play (the selection, or the whole
// document when nothing is selected), play all, play cursor, play loop,
// pause, stop, volume and the device choice. A play waits until the range
// has played out (Ctrl-C stops it); from a terminal it shows the peak of
// each channel and the position on one status line. A looped play returns
// at once and runs until stop.
#include <cmath>
#include <cstdio>
#include <string>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "config/text_slots.h"
#include "core/document/sound_document.h"
#include "playback/play_engine.h"
#include "playback/preview_source.h"
#include "playback/snd_out_dev.h"

namespace tidemark::console {
namespace {

// For this session only.
playback::PlaySettings& Settings() {
  static playback::PlaySettings settings;
  return settings;
}
// The session's settings for one play: levels only where a meter shows them.
playback::PlaySettings SettingsFor(const Session& s) {
  playback::PlaySettings settings = Settings();
  settings.post_levels = s.interactive();
  return settings;
}
std::string& InputDevice() {
  static std::string name = "default";
  return name;
}

// "-6.0" dBFS of a 16-bit-scale peak, "-inf" for silence.
std::string Decibels(std::uint32_t peak) {
  if (peak == 0) return " -inf";
  char text[16];
  std::snprintf(text, sizeof text, "%5.1f", 20.0 * std::log10(peak / 32768.0));
  return text;
}

// A bar of 20 cells over -60..0 dBFS with '|' at the held peak.
std::string Bar(std::uint32_t peak, std::uint32_t hold) {
  auto cells = [](std::uint32_t p) {
    if (p == 0) return 0;
    const double db = 20.0 * std::log10(p / 32768.0);
    return db <= -60.0 ? 0 : static_cast<int>((db + 60.0) / 3.0 + 0.5);
  };
  std::string bar(20, ' ');
  for (int i = 0; i < cells(peak) && i < 20; ++i) bar[static_cast<std::size_t>(i)] = '#';
  const int h = cells(hold);
  if (h > 0) bar[static_cast<std::size_t>(std::min(h, 20) - 1)] = '|';
  return bar;
}

class Meter {
 public:
  Meter(Session& s, std::uint32_t rate, std::uint32_t start) : s_(s), rate_(rate), start_(start) {}
  void Show(const playback::PlayNotice& n) {
    if (!s_.interactive() || n.peaks == nullptr) return;
    std::string line(1, '\r');
    line.append(Time(start_ + n.position));
    for (std::uint16_t c = 0; c < n.channels && c < 8; ++c) {
      hold_[c] = std::max(hold_[c], n.peaks[c]);
      line.append("  [").append(Bar(n.peaks[c], hold_[c])).append("]").append(Decibels(n.peaks[c]));
    }
    s_.err() << line << " dB" << std::flush;
    shown_ = true;
  }
  ~Meter() {
    if (shown_) s_.err() << '\n';
  }

 private:
  std::string Time(std::uint64_t frame) const {
    char text[32];
    const double seconds = static_cast<double>(frame) / rate_;
    std::snprintf(text, sizeof text, "%d:%06.3f", static_cast<int>(seconds / 60), std::fmod(seconds, 60.0));
    return text;
  }
  Session& s_;
  std::uint32_t rate_;
  std::uint32_t start_;
  std::uint32_t hold_[8] = {};
  bool shown_ = false;
};

// Waits for the end notice; the playback is stopped either way.
Result WaitPlayedOut(Session& s, std::uint32_t rate, std::uint32_t start) {
  Meter meter(s, rate, start);
  const auto& cancel = s.progress_hooks().cancel_requested;
  // Without a Ctrl-C hook there is nothing to look at between notices.
  const int wait_ms = cancel ? kCancelPollMs : kNoticeWaitMs;
  playback::PlayNotice n;
  for (;;) {
    if (cancel && cancel()) {
      playback::StopPlayback();
      return Result::kDone;
    }
    if (!playback::TakeNotice(&n, wait_ms)) continue;
    if (n.kind == playback::PlayNotice::kLevels) meter.Show(n);
    if (n.kind != playback::PlayNotice::kEnd) continue;
    playback::StopPlayback();
    playback::ClearNotices();
    if (n.value == 0) return Result::kDone;
    if (const std::string words = playback::LastDeviceError(); !words.empty()) s.err() << "error: " << words << '\n';
    return s.Fail(Error(n.value));
  }
}

}  // namespace

void SetPlaybackScalerMethod(std::uint32_t method) { Settings().scaler_method = method; }

Result PlayCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  const std::string mode = args.empty() ? "" : args[0];
  if (!mode.empty() && mode != "all" && mode != "cursor" && mode != "loop") return s.Usage("play");
  // Play while playing toggles the pause.
  if (playback::PlaybackExists()) {
    playback::TogglePause();
    return Result::kDone;
  }
  std::uint32_t from = 0, to = 0;
  GetSelection(d, &from, &to);
  std::uint32_t start = 0, length = d.length;
  if (mode == "cursor") {
    start = std::min(from, d.length);
    length = d.length - start;
  } else if (mode != "all" && from != to) {
    start = from;
    length = to - from;
  }
  if (length == 0) return s.Notice(text::kConsoleNothingSelected);
  playback::ClearNotices();
  if (const Error rc = playback::PlayDocumentRange(d, start, length, mode == "loop", SettingsFor(s)))
    return s.Fail(rc);
  if (mode == "loop") return Result::kDone;
  return WaitPlayedOut(s, d.rate, start);
}

Result PlayPreviewRange(Session& s, std::uint32_t start, std::uint32_t length,
                        std::unique_ptr<playback::PreviewProcessor> processor, bool loop) {
  SoundDocument& d = *s.active();
  playback::ClearNotices();
  if (const Error rc = playback::PlayPreview(d, start, length, loop, std::move(processor), SettingsFor(s)))
    return s.Fail(rc);
  if (loop) return Result::kDone;
  return WaitPlayedOut(s, d.rate, start);
}

Result PauseCommand(Session& s, const CommandArgs&) {
  if (!playback::PlaybackExists()) return s.Notice(text::kStatusStopped);
  playback::TogglePause();
  return Result::kDone;
}

Result StopCommand(Session& s, const CommandArgs&) {
  if (const std::optional<Result> recorded = StopRecording(s)) return *recorded;
  if (!playback::PlaybackExists()) return s.Notice(text::kStatusStopped);
  playback::StopPlayback();
  playback::ClearNotices();
  return Result::kDone;
}

Result VolumeCommand(Session& s, const CommandArgs& args) {
  const std::optional<std::uint64_t> percent = ParseCount(args[0], 100);
  if (!percent) return s.Fail(text::kConsoleBadNumber, args[0]);
  Settings().volume_percent = static_cast<int>(*percent);
  playback::SetPlaybackVolume(static_cast<int>(*percent));
  return Result::kDone;
}

// The playback scaler, for the plays that follow.
Result SpeedCommand(Session& s, const CommandArgs& args) {
  if (args[0] == "off") {
    Settings().scaler_speed = playback::kScalerOff;
    return Result::kDone;
  }
  const std::optional<double> factor = ParseNumber(args[0]);
  if (!factor || *factor < 0.1 || *factor > 10.0) return s.Fail(text::kConsoleBadNumber, args[0]);
  Settings().scaler_speed = static_cast<std::uint32_t>(std::lround(*factor * 65536.0));
  return Result::kDone;
}

const std::string& RecordInputDevice() { return InputDevice(); }

void StopPlaybackUnlessKept(std::string_view command) {
  // `effect` stops it itself unless it changes a playing preview.
  for (const std::string_view kept :
       {"play", "pause", "stop", "volume", "devices", "device", "help", "info", "docs", "effect"})
    if (command == kept) return;
  // Quitting ends a take running in the background; its file is kept.
  if (command == "quit") DropRecording();
  if (playback::PlaybackExists()) {
    playback::StopPlayback();
    playback::ClearNotices();
  }
}

Result DevicesCommand(Session& s, const CommandArgs&) {
  for (const bool capture : {false, true}) {
    const std::string& chosen = capture ? InputDevice() : Settings().device;
    for (const playback::DeviceName& d : playback::ListDevices(capture))
      s.out() << (capture ? "in  " : "out ") << (d.name == chosen ? "* " : "  ") << d.name
              << (d.description.empty() ? "" : "  ") << d.description << '\n';
  }
  return Result::kDone;
}

Result DeviceCommand(Session& s, const CommandArgs& args) {
  if (args[0] != "out" && args[0] != "in") return s.Usage("device");
  if (args[0] == "out")
    Settings().device = args[1];
  else
    InputDevice() = args[1];
  return Result::kDone;
}

}  // namespace tidemark::console
