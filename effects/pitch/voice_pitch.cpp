#include "effects/pitch/voice_pitch.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/document/sound_document.h"
#include "effects/pitch/internal/resample_chain.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_VOPITCH {

namespace {

constexpr FieldUnit kUnitHalfSemitones{"semitones", 0.5, 0};
constexpr FieldUnit kUnitTopBit{"", 128.0, 0};
constexpr std::array<SettingsField, 4> kFields{{
    {.name = "pitch", .type = FieldType::kI16, .offset = 0, .min = -1200, .max = 1200, .def = 0,
     .unit = kUnitCents},
    {.name = "formant", .type = FieldType::kI16, .offset = 2, .min = -6, .max = 6, .def = 0,
     .unit = kUnitHalfSemitones},
    {.name = "formant-odd", .type = FieldType::kU8, .offset = 4, .min = 0, .max = 128, .def = 0,
     .unit = kUnitTopBit, .step = 128},
    {.name = "keep-length", .type = FieldType::kU8, .offset = 5, .min = 0, .max = 1, .def = 0, .flag = true},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

int PullFormant(int formant_semitones, int pitch_cents) {
  const int lo = static_cast<int>(std::ceil((pitch_cents - 1200) / 100.0));
  const int hi = static_cast<int>(std::floor((pitch_cents + 1200) / 100.0));
  return std::clamp(std::clamp(formant_semitones, -12, 12), std::max(lo, -12), std::min(hi, 12));
}

CMyEffEntry::CMyEffEntry() : CEffEntry(315) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& p = static_cast<MySetupParams&>(params);
  p.pitch_cents = static_cast<int>(GetField(kFields[0], block.bytes));
  const int formant = 2 * static_cast<int>(GetField(kFields[1], block.bytes)) + (block.bytes[4] & 0x80 ? 1 : 0);
  p.formant_semitones = PullFormant(formant, p.pitch_cents);
  p.keep_length = block.bytes[5] != 0;
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, ResampleEffRunPtr* run) {
  const auto& p = static_cast<MySetupParams&>(params);
  const double ratio = std::exp2(p.pitch_cents / 1200.0);
  const double formant = std::exp2(p.formant_semitones / 12.0);
  NS_EFFECT::ResampleChainRun::Plan plan;
  plan.rate = params.target->rate;
  plan.start = params.start;
  plan.length = params.length;
  plan.channels = params.target->channels;
  plan.stretch = true;
  plan.stretch_options.method = dsp::StretchMethod::kPhaseVocoder;
  plan.stretch_options.speed = p.keep_length ? 1.0 / ratio : 1.0;
  plan.stretch_options.envelope_shift = formant / ratio;
  plan.ratio = ratio;
  plan.name = GetDisplayName();
  if (p.keep_length) plan.overall_speed = 1.0;
  if (const Error rc = NS_EFFECT::ResampleChainRun::CompleteLengths(&plan)) return rc;
  return NS_EFFECT::ResampleChainRun::Create(plan, run);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_VOPITCH
