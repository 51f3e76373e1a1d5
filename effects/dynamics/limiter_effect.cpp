#include "effects/dynamics/limiter_effect.h"

#include <array>

#include "core/document/sound_document.h"
#include "effects/dynamics/limiter.h"
#include "effects/framework/range_gain.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_LIMITER {

namespace {

constexpr std::uint32_t kFallbackRate = 44100;  // a run set up without a document

constexpr std::array<SettingsField, 4> kFields{{
    {.name = "ceiling", .type = FieldType::kI16, .offset = 0, .min = -1000, .max = 0, .def = 0,
     .unit = kUnitCentiDb},
    {.name = "window", .type = FieldType::kI16, .offset = 2, .min = 5, .max = 50, .def = 10, .unit = kUnitMs},
    {.name = "gain", .type = FieldType::kI16, .offset = 4, .min = 0, .max = 1200, .def = 0, .unit = kUnitCentiDb},
    {.name = "link", .type = FieldType::kU8, .offset = 6, .min = 0, .max = 1, .def = 0, .flag = true},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(302) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  const double ceiling = GetField(kFields[0], block.bytes);
  const double gain = GetField(kFields[2], block.bytes);
  mine.ceiling = static_cast<float>(CentiDbToLinear(ceiling - gain));
  mine.window_ms = static_cast<float>(GetField(kFields[1], block.bytes));
  mine.makeup = static_cast<float>(CentiDbToLinear(gain));
  mine.link = GetField(kFields[3], block.bytes) != 0 ? 1 : 0;
  mine.rate = mine.target ? mine.target->rate : kFallbackRate;
  return err::kOk;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& p = static_cast<const MySetupParams&>(params);
  std::unique_ptr<NS_EFFECT::CLimiter> made;
  if (const Error rc = MakeNew(&made, GetDisplayName())) return rc;
  if (const Error rc = made->Init(p.rate, p.input_channels, p.ceiling, p.window_ms, p.makeup, p.link != 0)) {
    return rc;
  }
  *run = std::move(made);
  return err::kOk;
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_LIMITER
