#include "effects/level/normalize.h"

#include <array>
#include <memory>
#include <string_view>

#include "config/error_codes.h"
#include "core/document/sound_document.h"
#include "core/edit/edit_commands.h"
#include "effects/analysis/statis.h"
#include "effects/analysis/weighting.h"
#include "effects/framework/progress_scope.h"
#include "effects/framework/range_gain.h"
#include "effects/framework/scan.h"
#include "effects/level/own_execute.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_MAXIMIZE {

namespace {

constexpr std::array<std::string_view, 3> kModeWords{"peak", "shortrms", "rms"};

constexpr std::array<SettingsField, 6> kFields{{
    {.name = "mode", .type = FieldType::kI16, .offset = 0, .min = 0, .max = 2, .def = 0, .words = kModeWords},
    {.name = "peak", .type = FieldType::kI16, .offset = 2, .min = -1000, .max = 0, .def = 0,
     .unit = kUnitCentiDb},
    {.name = "shortrms", .type = FieldType::kI16, .offset = 4, .min = -5000, .max = 0, .def = -1500,
     .unit = kUnitCentiDb},
    {.name = "rms", .type = FieldType::kI16, .offset = 6, .min = -5000, .max = 0, .def = -1500,
     .unit = kUnitCentiDb},
    {.name = "shortguard", .type = FieldType::kU8, .offset = 8, .min = 0, .max = 1, .def = 1, .flag = true},
    {.name = "rmsguard", .type = FieldType::kU8, .offset = 9, .min = 0, .max = 1, .def = 1, .flag = true},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

void FillParams(MySetupParams& params, const SettingsBlock& block) {
  const auto mode = static_cast<std::int16_t>(GetField(kFields[0], block.bytes));
  // The mode's target and guard fields.
  const SettingsField& target = kFields[static_cast<std::size_t>(1 + mode)];
  const SettingsField& guard = kFields[mode == kShortRmsPeak ? 4 : 5];
  params.mode = mode;
  params.target_level = static_cast<float>(CentiDbToLinear(GetField(target, block.bytes)));
  params.clip_guard = mode != kPeak && GetField(guard, block.bytes) != 0 ? 1 : 0;
}

// What the scan must measure for `mode`: always the peak, and the level
// the mode normalizes.
std::uint32_t FlagsFor(std::int16_t mode) {
  using namespace NS_EFFECT::statis_flag;
  if (mode == kShortRmsPeak) return kExtremes | kShortRms;
  if (mode == kRms) return kExtremes | kSquares;
  return kExtremes;
}

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(300) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) {
  return MakeNew<MySetupParams>(params);
}

Error CMyEffEntry::Execute(SoundDocument* target) {
  SetupParamsPtr made;
  const auto fill = [](SetupParams& filled, const SettingsBlock& block) {
    FillParams(static_cast<MySetupParams&>(filled), block);
    return err::kOk;
  };
  if (const Error rc = BeginOwnExecute(*this, target, fill, &made)) return rc;
  auto& params = static_cast<MySetupParams&>(*made);

  // A one-second window; the RMS modes through the program's weighting.
  const char weighting = params.mode == kPeak ? 0 : NS_EFFECT::ProgramWeighting();
  std::unique_ptr<NS_EFFECT::CStatis> statis;
  if (const Error rc = NS_EFFECT::CStatis::Create(FlagsFor(params.mode), target->rate, params.start, weighting,
                                                  target->rate, &statis))
    return rc;
  ProgressScope scope;
  if (const Error rc = ScanSelection(scope, params, *statis, GetDisplayName() + "...")) return rc;
  const double peak = statis->Peak();
  if (peak <= kSilentPeak) return err::kNoSelection;
  const double level =
      params.mode == kShortRmsPeak ? statis->ShortRmsPeak() : params.mode == kRms ? statis->Rms() : peak;
  double factor = params.target_level / level;
  if (params.clip_guard && peak * factor > kGuardPeak) factor = kGuardPeak / peak;
  return ApplyGainMasked(*target, params.start, params.length, params.channel_mask, static_cast<float>(factor),
                         GetDisplayName());
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_MAXIMIZE
