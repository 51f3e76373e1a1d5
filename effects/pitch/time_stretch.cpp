#include "effects/pitch/time_stretch.h"

#include <cmath>

#include "config/error_codes.h"
#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "core/document/sound_document.h"
#include "effects/framework/block_run_worker.h"
#include "effects/pitch/internal/resample_chain.h"
#include "platform/error_numbers.h"

namespace tidemark::NS_EFFECT {

namespace {

Error RunPlan(ProgressScope& scope, SoundDocument& document, ResampleChainRun::Plan plan) {
  std::uint32_t from = 0, to = 0;
  GetSelection(document, &from, &to);
  if (from == to) return err::kNoSelection;
  plan.rate = document.rate;
  plan.start = from;
  plan.length = to - from;
  plan.channels = document.channels;
  if (const Error rc = ResampleChainRun::CompleteLengths(&plan)) return rc;
  ResampleEffRunPtr run;
  if (const Error rc = ResampleChainRun::Create(plan, &run)) return rc;
  CEffEntry::SetupParams params;
  params.target = &document;
  params.start = from;
  params.length = to - from;
  params.input_channels = params.output_channels = document.channels;
  params.channel_mask = static_cast<std::uint16_t>(GetChannelMask(document));
  params.ready = 1;
  if (const Error rc = ProcessPullRun(scope, params, *run)) return rc;
  // The selection covers the result, not the stretch it replaced.
  SetSelection(document, from, from + run->OutputLength());
  return err::kOk;
}

}  // namespace

Error TimeStretch(ProgressScope& scope, SoundDocument& document, double speed, bool smoothing) {
  if (!(speed >= kStretchMinSpeed && speed <= kStretchMaxSpeed)) return err::kSizeLimit;
  ResampleChainRun::Plan plan;
  plan.stretch = true;
  plan.stretch_options.method = dsp::StretchMethod::kWsola;
  plan.stretch_options.speed = speed;
  plan.stretch_options.smoothing = smoothing;
  plan.name = std::string(UiText(text::kMenuSpeedSpeech));
  return RunPlan(scope, document, std::move(plan));
}

Error TimeStretch2(ProgressScope& scope, SoundDocument& document, double pitch, double speed, bool for_music) {
  if (!(pitch >= kPitchSpeedMin && pitch <= kPitchSpeedMax)) return err::kSizeLimit;
  if (!(speed >= kPitchSpeedMin && speed <= kPitchSpeedMax)) return err::kSizeLimit;
  ResampleChainRun::Plan plan;
  plan.stretch = true;
  plan.stretch_options.method = for_music ? dsp::StretchMethod::kPhaseVocoder : dsp::StretchMethod::kWsola;
  plan.stretch_options.speed = speed / pitch;
  plan.ratio = pitch;
  plan.overall_speed = speed;
  plan.name = std::string(UiText(pitch != 1.0 ? text::kFxPitchTitle
                                              : (for_music ? text::kMenuSpeedMusic : text::kMenuSpeedSpeech)));
  return RunPlan(scope, document, std::move(plan));
}

}  // namespace tidemark::NS_EFFECT
