#include "effects/channel/mono_output.h"

#include <array>

#include "effects/framework/range_gain.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_MONO {

namespace {

constexpr std::array<std::string_view, 3> kSources{"both", "left", "right"};
constexpr std::array<SettingsField, 2> kFields{{
    {.name = "source", .type = FieldType::kI16, .offset = 0, .min = 0, .max = 2, .def = 0, .words = kSources},
    {.name = "gain", .type = FieldType::kI16, .offset = 2, .min = -2000, .max = 0, .def = -600,
     .unit = kUnitCentiDb},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

Error CMyEffRun::Process(float* buffer, std::uint32_t frames, std::uint16_t channels, std::uint32_t mask) {
  if (channels != 2) return err::kOk;
  for (std::uint32_t f = 0; f < frames; ++f) {
    float* frame = buffer + std::size_t{f} * 2;
    const float picked = source_ == 1 ? frame[0] : source_ == 2 ? frame[1] : frame[0] + frame[1];
    const float value = picked * gain_;
    if (mask & 1u) frame[0] = value;
    if (mask & 2u) frame[1] = value;
  }
  return err::kOk;
}

std::string CMyEffRun::GetName() const { return Entry().GetDisplayName(); }

CMyEffEntry::CMyEffEntry() : CEffEntry(327) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) {
  return MakeNew<MySetupParams>(params);
}

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  mine.source = static_cast<std::int32_t>(GetField(kFields[0], block.bytes));
  mine.gain = static_cast<float>(CentiDbToLinear(GetField(kFields[1], block.bytes)));
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& mine = static_cast<const MySetupParams&>(params);
  return MakeNew<CMyEffRun>(run, mine.source, mine.gain);
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_MONO
