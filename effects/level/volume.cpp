#include "effects/level/volume.h"

#include <array>

#include "effects/framework/range_gain.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_VOLUME {

namespace {

constexpr std::array<SettingsField, 1> kFields{{
    {.name = "gain", .type = FieldType::kI16, .offset = 0, .min = -1300, .max = 1300, .def = 0,
     .unit = kUnitCentiDb},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

Error CMyEffRun::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  for (std::uint16_t c = 0; c < channels; ++c) {
    if (!(mask & (1u << c))) continue;
    for (std::size_t i = c; i < std::size_t{frames} * channels; i += channels) buffer[i] *= gain_;
  }
  return err::kOk;
}

std::string CMyEffRun::GetName() const { return Entry().GetDisplayName(); }

CMyEffEntry::CMyEffEntry() : CEffEntry(301) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) {
  return MakeNew<MySetupParams>(params);
}

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  static_cast<MySetupParams&>(params).gain =
      static_cast<float>(CentiDbToLinear(GetField(kFields[0], block.bytes)));
  return err::kOk;
}

Error CMyEffEntry::Execute(SoundDocument* target) {
  return ExecuteRangeGain(*this, target, [](const SetupParams& params, float* factor) {
    *factor = static_cast<const MySetupParams&>(params).gain;
    return err::kOk;
  });
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  return MakeNew<CMyEffRun>(run, static_cast<const MySetupParams&>(params).gain);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_VOLUME
