#include "effects/pitch/pitch_change.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/document/sound_document.h"
#include "effects/pitch/internal/resample_chain.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_PITCHCHG {

namespace {

constexpr std::array<SettingsField, 1> kFields{{
    {.name = "pitch", .type = FieldType::kI16, .offset = 0, .min = -1250, .max = 1250, .def = 0,
     .unit = kUnitCents},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

SemitonesAndCents SplitCents(int cents) {
  const int semitones = std::clamp(static_cast<int>(std::floor((cents + 50) / 100.0)), -12, 12);
  return {semitones, cents - 100 * semitones};
}

CMyEffEntry::CMyEffEntry() : CEffEntry(318) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  static_cast<MySetupParams&>(params).ratio =
      static_cast<float>(std::exp2(GetField(kFields[0], block.bytes) / 1200.0));
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, ResampleEffRunPtr* run) {
  NS_EFFECT::ResampleChainRun::Plan plan;
  plan.rate = params.target->rate;
  plan.start = params.start;
  plan.length = params.length;
  plan.channels = params.target->channels;
  plan.ratio = static_cast<MySetupParams&>(params).ratio;
  plan.name = GetDisplayName();
  if (const Error rc = NS_EFFECT::ResampleChainRun::CompleteLengths(&plan)) return rc;
  return NS_EFFECT::ResampleChainRun::Create(plan, run);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_PITCHCHG
