#include "effects/restoration/declick.h"

#include <array>
#include <memory>

#include "core/document/sound_document.h"
#include "effects/framework/range_gain.h"
#include "effects/restoration/declick_run.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_DECLICK {

namespace {

constexpr FieldUnit kUnitFactor{"", 1000.0, 3};

constexpr std::array<SettingsField, 3> kFields{{
    {.name = "threshold", .type = FieldType::kI16, .offset = 0, .min = 15, .max = 25, .def = 20},
    {.name = "factor", .type = FieldType::kI16, .offset = 2, .min = 1000, .max = 4000, .def = 1000,
     .unit = kUnitFactor},
    {.name = "level", .type = FieldType::kI16, .offset = 4, .min = 2000, .max = 3000, .def = 3000,
     .unit = kUnitCentiDb},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(317) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  NS_EFFECT::DeclickSettings& s = static_cast<MySetupParams&>(params).settings;
  s.threshold = static_cast<float>(GetField(kFields[0], block.bytes));
  s.factor = static_cast<float>(GetField(kFields[1], block.bytes) / 1000.0);
  s.limit = static_cast<float>(CentiDbToLinear(GetField(kFields[2], block.bytes)));
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& mine = static_cast<const MySetupParams&>(params);
  const std::uint16_t channels = mine.input_channels ? mine.input_channels : 1;
  const bool link = channels == 2 && (mine.channel_mask & 3u) == 3u;
  std::unique_ptr<NS_EFFECT::CDeClick> made;
  if (const Error rc = NS_EFFECT::CDeClick::Create(mine.target ? mine.target->rate : 44100, channels, mine.length,
                                                    mine.settings, link, &made))
    return rc;
  *run = std::move(made);
  return err::kOk;
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_DECLICK
