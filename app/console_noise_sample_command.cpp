// The console's noise-sample command: remembers the active document's
// selection as the noise sample hiss reduction measures its profile over
// (a copy by reference that outlives edits and the document), or forgets
// it.
#include <ostream>

#include "app/console_commands.h"
#include "app/console_session.h"
#include "config/error_messages.h"
#include "core/document/sound_document.h"
#include "effects/restoration/noise_profile.h"
#include "effects/restoration/noise_sample.h"

namespace tidemark::console {

Result NoiseSampleCommand(Session& s, const CommandArgs& args) {
  namespace hiss = NS_EFFECT_HISS;
  if (args.size() == 1) {
    if (args[0] != "clear") return s.Usage("noise-sample");
    hiss::ForgetNoiseSample();
    return Result::kDone;
  }
  SoundDocument& d = *s.active();
  std::uint32_t from = 0, to = 0;
  GetSelection(d, &from, &to);
  if (from == to) return s.Notice(text::kConsoleNothingSelected);
  if (const Error rc = hiss::RememberNoiseSample(d, from, to)) {
    if (rc != hiss::kTooShort) return s.Fail(rc);
    // Which length the selection missed: the shortest FFT frame.
    s.err() << "error: noise-sample: " << DescribeError(rc) << " (" << (to - from) << " frames, one FFT frame is "
            << hiss::HissFftLength(d.rate, 0) << ")\n";
    return Result::kFailed;
  }
  s.out() << "noise sample: " << (to - from) << " frames\n";
  return Result::kDone;
}

}  // namespace tidemark::console
