// The console editor's speed commands: stretch changes the selection's
// tempo with its pitch kept, pitch-speed changes pitch and tempo apart.
// Each is one undo step with progress and Ctrl-C.
#include <optional>
#include <string>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "app/console_progress.h"
#include "config/text_slots.h"
#include "core/document/sound_document.h"
#include "effects/framework/progress_scope.h"
#include "effects/pitch/time_stretch.h"

namespace tidemark::console {
namespace {

// A factor in [lo, hi]; nothing, after the message, for anything else.
std::optional<double> Factor(Session& s, const std::string& text, double lo, double hi) {
  const std::optional<double> v = ParseNumber(text);
  if (!v || !(*v >= lo && *v <= hi)) {
    s.Fail(text::kConsoleBadNumber, text);
    return std::nullopt;
  }
  return v;
}

bool HasSelection(const SoundDocument& d) {
  std::uint32_t from = 0, to = 0;
  GetSelection(d, &from, &to);
  return from != to;
}

template <class F>
Result RunWithProgress(Session& s, F&& work) {
  const Error rc = [&] {
    ConsoleProgressDisplay shown(s.progress_hooks());
    ScopedProgressDisplay in_force(&shown);
    ProgressScope scope;
    return work(scope);
  }();
  return rc ? s.Fail(rc) : Result::kDone;
}

}  // namespace

Result StretchCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  const auto speed = Factor(s, args[0], NS_EFFECT::kStretchMinSpeed, NS_EFFECT::kStretchMaxSpeed);
  if (!speed) return Result::kFailed;
  if (args.size() == 2 && args[1] != "smooth") return s.Usage("stretch");
  if (!HasSelection(d)) return s.Notice(text::kConsoleNothingSelected);
  const bool smooth = args.size() == 2;
  return RunWithProgress(s, [&](ProgressScope& scope) { return NS_EFFECT::TimeStretch(scope, d, *speed, smooth); });
}

Result PitchSpeedCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  const auto pitch = Factor(s, args[0], NS_EFFECT::kPitchSpeedMin, NS_EFFECT::kPitchSpeedMax);
  if (!pitch) return Result::kFailed;
  const auto speed = Factor(s, args[1], NS_EFFECT::kPitchSpeedMin, NS_EFFECT::kPitchSpeedMax);
  if (!speed) return Result::kFailed;
  if (args.size() == 3 && args[2] != "music") return s.Usage("pitch-speed");
  if (!HasSelection(d)) return s.Notice(text::kConsoleNothingSelected);
  const bool music = args.size() == 3;
  return RunWithProgress(
      s, [&](ProgressScope& scope) { return NS_EFFECT::TimeStretch2(scope, d, *pitch, *speed, music); });
}

}  // namespace tidemark::console
