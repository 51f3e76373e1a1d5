// The console editor's format commands: `format` converts the active
// document to another rate, channel count and sample code as one undo
// step; `rate` only relabels the rate.
#include <optional>
#include <string>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "app/console_progress.h"
#include "config/text_slots.h"
#include "core/document/sound_document.h"
#include "core/edit/document_properties.h"
#include "core/edit/format_change.h"
#include "core/edit/stretch_render.h"
#include "core/samples/sample_format.h"
#include "platform/error_numbers.h"

namespace tidemark::console {
// format [RATE] [CHANNELS] [FORMATWORD] [mix|left|right]: a number of 4000
// or more is the rate, 1 or 2 the channel count, a format word the sample
// code; the last word says how stereo becomes mono (mix by default). What
// is not given stays. Each may be given once.
Result FormatCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  FormatChange change;
  bool mono_given = false;
  for (const std::string& arg : args) {
    if (arg == "mix" || arg == "left" || arg == "right") {
      if (mono_given) return s.Usage("format");
      mono_given = true;
      change.mono = arg == "mix" ? MonoFrom::kMix : arg == "left" ? MonoFrom::kLeft : MonoFrom::kRight;
    } else if (!arg.empty() && arg[0] >= '0' && arg[0] <= '9') {
      const auto n = ParseCount(arg, UINT32_MAX);
      if (!n) return s.Fail(text::kConsoleBadNumber, arg);
      if (*n == 1 || *n == 2) {
        if (change.channels) return s.Usage("format");
        change.channels = static_cast<std::uint16_t>(*n);
      } else if (IsValidSampleRate(static_cast<std::uint32_t>(*n))) {
        if (change.rate) return s.Usage("format");
        change.rate = static_cast<std::uint32_t>(*n);
      } else {
        return s.Fail(text::kConsoleBadNumber, arg);
      }
    } else {
      const auto type = ParseFormatWord(arg);
      if (!type || change.code) return s.Fail(text::kConsoleBadFormatWord, arg);
      change.code = type->code;
    }
  }
  ProgressObserver observer(s);
  if (const Error rc = ChangeFormat(d, change, &observer)) return s.Fail(rc);
  return Result::kDone;
}

// rate RATE: relabels the document (it then plays faster or slower).
Result RateCommand(Session& s, const CommandArgs& args) {
  const auto rate = ParseCount(args[0], UINT32_MAX);
  if (!rate) return s.Fail(text::kConsoleBadNumber, args[0]);
  if (const Error rc = SetSampleRate(*s.active(), static_cast<std::uint32_t>(*rate))) return s.Fail(rc);
  return Result::kDone;
}

}  // namespace tidemark::console
