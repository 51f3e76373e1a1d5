// The console editor's recording: `record PATH [SECONDS] [pre=SECONDS]
// [rate=R] [channels=C] [format=WORD]` and `record! ...`, which may replace
// an existing file. With SECONDS the command waits until the take holds
// ⌊SECONDS × rate + 0.5⌋ frames after the pre-record (Ctrl-C ends it early,
// keeping what was written); without, it returns at once and the take runs
// until `stop`, Ctrl-C at the prompt or the end of a file input. Either way the finished file
// opens as a document. The pre-record is captured before writing starts:
// the command waits until that much input has arrived.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "config/text_slots.h"
#include "playback/recorder.h"

namespace tidemark::console {
namespace {

std::uint32_t& RingSeconds() {
  static std::uint32_t seconds = playback::kDefaultPrerecordSeconds;
  return seconds;
}

// The take that runs without SECONDS, until `stop`.
std::unique_ptr<playback::Recorder>& Background() {
  static std::unique_ptr<playback::Recorder> recorder;
  return recorder;
}

std::string Decibels(std::uint32_t peak) {
  if (peak == 0) return " -inf";
  char text[16];
  std::snprintf(text, sizeof text, "%5.1f", 20.0 * std::log10(peak / 32768.0));
  return text;
}

// On a terminal, the peak of each channel (and its hold) and the frames
// captured on one status line; the level record is given back at once.
// From a pipe it is kept, so the recorder stops measuring and posting.
class RecordMeter {
 public:
  explicit RecordMeter(Session& s) : s_(s) {}
  ~RecordMeter() {
    if (shown_) s_.err() << '\n';
  }
  void Show(playback::RecordLevels* levels, std::uint32_t rate) {
    if (s_.interactive()) {
      char time[32];
      const double seconds = static_cast<double>(levels->written) / rate;
      std::snprintf(time, sizeof time, "%d:%06.3f", static_cast<int>(seconds / 60), std::fmod(seconds, 60.0));
      std::string line = std::string("\r") + time;
      for (std::uint16_t c = 0; c < levels->channels && c < 8; ++c) {
        hold_[c] = std::max(hold_[c], levels->peaks[c]);
        line += "  " + Decibels(levels->peaks[c]) + " (" + Decibels(hold_[c]) + ")";
      }
      s_.err() << line << " dB" << std::flush;
      shown_ = true;
      levels->ready.store(false, std::memory_order_release);
    }
  }

 private:
  Session& s_;
  std::uint32_t hold_[8] = {};
  bool shown_ = false;
};

bool Cancelled(Session& s) {
  const auto& cancel = s.progress_hooks().cancel_requested;
  return cancel && cancel();
}

// Stops the recorder and opens what it wrote; a failure of the take is
// reported after the document opened, since the frames written are kept.
Result Finish(Session& s, playback::Recorder& recorder, Error failure) {
  const Error stopped = recorder.Stop();
  if (!failure) failure = stopped;
  const playback::RecordResult result = recorder.result();
  Result opened = Result::kDone;
  if (!result.path.empty()) opened = FindCommand("open")->handler(s, {result.path});
  if (failure) return s.Fail(failure);
  return opened;
}

// Serves notices until the take is done, failed or Ctrl-C ends it (or,
// with `until_frames`, until that much input was captured: false then).
bool Wait(Session& s, playback::Recorder& recorder, RecordMeter& meter, std::uint64_t until_frames, Error* failure) {
  // Ctrl-C and the captured count are looked at between notices.
  const int wait_ms = s.progress_hooks().cancel_requested || until_frames != 0 ? kCancelPollMs : kNoticeWaitMs;
  playback::RecordNotice n;
  for (;;) {
    if (Cancelled(s)) return true;
    if (until_frames != 0 && recorder.captured() >= until_frames) return false;
    if (!recorder.TakeNotice(&n, wait_ms)) continue;
    if (n.kind == playback::RecordNotice::kLevels) {
      meter.Show(n.levels, recorder.format().rate);
      continue;
    }
    if (n.kind == playback::RecordNotice::kError) {
      *failure = n.error;
      if (!n.detail.empty()) s.err() << "error: " << n.detail << '\n';
    }
    return true;
  }
}

Result Record(Session& s, const CommandArgs& args, bool replace) {
  if (Background() && Background()->running()) return s.Fail(text::kConsoleRecordingRuns);
  std::optional<double> seconds;
  double pre = 0;
  playback::RecordOptions options;
  options.device = RecordInputDevice();
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const std::size_t eq = a.find('=');
    if (eq == std::string::npos) {
      const std::optional<double> v = ParseNumber(a);
      if (seconds || !v || !(*v > 0)) return s.Fail(text::kConsoleBadNumber, a);
      seconds = v;
      continue;
    }
    const std::string key = a.substr(0, eq), value = a.substr(eq + 1);
    if (key == "pre") {
      const std::optional<double> v = ParseNumber(value);
      if (!v || *v < 0 || *v > playback::kMaxPrerecordSeconds) return s.Fail(text::kConsoleBadNumber, value);
      pre = *v;
    } else if (key == "rate" || key == "channels") {
      const std::optional<std::uint64_t> v = ParseCount(value, key == "rate" ? UINT32_MAX : UINT16_MAX);
      if (!v || *v == 0) return s.Fail(text::kConsoleBadNumber, value);
      if (key == "rate")
        options.format.rate = static_cast<std::uint32_t>(*v);
      else
        options.format.channels = static_cast<std::uint16_t>(*v);
    } else if (key == "format") {
      const auto type = ParseFormatWord(value);
      if (!type) return s.Fail(text::kConsoleBadFormatWord, value);
      options.format.code = type->code;
    } else {
      return s.Usage("record");
    }
  }
  std::error_code ec;
  const std::string path = std::filesystem::absolute(args[0], ec).lexically_normal().string();
  if (!replace && std::filesystem::exists(path, ec)) return s.Fail(text::kConsoleRecordTargetExists, path);
  // The ring holds the settings' pre-record length, or the asked one when longer.
  options.ring_seconds = std::max(RingSeconds(), static_cast<std::uint32_t>(std::ceil(pre)));

  auto recorder = std::make_unique<playback::Recorder>(options);
  std::string detail;
  if (const Error rc = recorder->Start(&detail)) {
    if (!detail.empty()) s.err() << "error: " << detail << '\n';
    return s.Fail(rc);
  }
  const std::uint32_t rate = recorder->format().rate;
  const auto pre_frames = static_cast<std::uint64_t>(std::floor(pre * rate + 0.5));
  RecordMeter meter(s);
  Error failure;
  // Let the pre-record arrive first.
  if (pre_frames > 0 && Wait(s, *recorder, meter, pre_frames, &failure)) {
    // Cancelled or failed before writing began: nothing to open.
    const Error stopped = recorder->Stop();
    if (failure || stopped) return s.Fail(failure ? failure : stopped);
    return s.Notice(text::kConsoleCancelled);
  }
  const std::uint64_t limit = seconds ? static_cast<std::uint64_t>(std::floor(*seconds * rate + 0.5)) : 0;
  recorder->Write(path, pre_frames, limit);
  if (!seconds) {
    Background() = std::move(recorder);
    return Result::kDone;
  }
  Wait(s, *recorder, meter, 0, &failure);
  return Finish(s, *recorder, failure);
}

}  // namespace

void SetRecordRingSeconds(std::uint32_t seconds) { RingSeconds() = seconds; }

Result RecordCommand(Session& s, const CommandArgs& args) { return Record(s, args, false); }
Result RecordReplaceCommand(Session& s, const CommandArgs& args) { return Record(s, args, true); }

bool InterruptBackgroundRecording(Session& s) {
  if (!Background() || !Cancelled(s)) return false;
  s.err() << '\n';
  (void)StopRecording(s);
  if (s.progress_hooks().end) s.progress_hooks().end();  // clears the Ctrl-C
  return true;
}

void DropRecording() {
  if (Background()) (void)Background()->Stop();
  Background().reset();
}

std::optional<Result> StopRecording(Session& s) {
  std::unique_ptr<playback::Recorder> recorder = std::move(Background());
  if (!recorder) return std::nullopt;
  // A failure the take already met is reported with the stop.
  Error failure;
  playback::RecordNotice n;
  while (recorder->TakeNotice(&n, 0))
    if (n.kind == playback::RecordNotice::kError && !failure) failure = n.error;
  return Finish(s, *recorder, failure);
}

}  // namespace tidemark::console
