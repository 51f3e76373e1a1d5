#include "effects/filters/biquad_effect.h"

#include "core/document/sound_document.h"
#include "effects/filters/biquad_run.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT {

namespace {

constexpr double kFallbackRate = 44100;  // a run set up without a document

}  // namespace

Error CBiquadEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<BiquadSetupParams>(params); }

Error CBiquadEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<BiquadSetupParams&>(params);
  return Design(block, mine.target ? mine.target->rate : kFallbackRate, &mine.filter);
}

Error CBiquadEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& mine = static_cast<const BiquadSetupParams&>(params);
  std::unique_ptr<CBiQuadFilter> made;
  if (const Error rc = MakeNew(&made, GetDisplayName())) return rc;
  if (const Error rc = made->Configure(mine.filter, mine.input_channels)) return rc;
  *run = std::move(made);
  return err::kOk;
}

}  // namespace tidemark::NS_EFFECT
