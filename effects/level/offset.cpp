#include "effects/level/offset.h"

#include <array>
#include <memory>
#include <string_view>

#include "config/error_codes.h"
#include "core/document/sound_document.h"
#include "core/edit/edit_commands.h"
#include "effects/analysis/offset_scan.h"
#include "effects/framework/progress_scope.h"
#include "effects/framework/scan.h"
#include "effects/level/own_execute.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_OFFSET {

namespace {

constexpr std::array<std::string_view, 2> kModeWords{"measure", "fixed"};

constexpr std::array<SettingsField, 2> kFields{{
    {.name = "mode", .type = FieldType::kI16, .offset = 0, .min = 0, .max = 1, .def = 0, .words = kModeWords},
    {.name = "value", .type = FieldType::kF32, .offset = 4, .min = -1.0, .max = 1.0, .def = 0.0},
}};
constexpr SettingsLayout kLayout{kBlockSize, kFields};

}  // namespace

CMyEffEntry::CMyEffEntry() : CEffEntry(320) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) {
  return MakeNew<MySetupParams>(params);
}

Error CMyEffEntry::Execute(SoundDocument* target) {
  SetupParamsPtr made;
  const auto fill = [](SetupParams& filled, const SettingsBlock& block) {
    auto& own = static_cast<MySetupParams&>(filled);
    own.mode = static_cast<std::int16_t>(GetField(kFields[0], block.bytes));
    own.value = static_cast<float>(GetField(kFields[1], block.bytes));
    return err::kOk;
  };
  if (const Error rc = BeginOwnExecute(*this, target, fill, &made)) return rc;
  auto& params = static_cast<MySetupParams&>(*made);

  ChannelValues offsets{0.0f, 0.0f};
  const std::uint32_t mask = params.channel_mask & (target->channels == 1 ? 1u : 3u);
  if (params.mode == kMeasure) {
    NS_EFFECT::COffsetScan scan;
    ProgressScope scope;
    if (const Error rc = ScanSelection(scope, params, scan, GetDisplayName() + "...")) return rc;
    for (std::uint16_t c = 0; c < target->channels; ++c)
      if (mask & (1u << c)) offsets[c] = static_cast<float>(-(scan.sum(c) / params.length));
  } else {
    for (std::uint16_t c = 0; c < target->channels; ++c)
      if (mask & (1u << c)) offsets[c] = params.value;
  }
  return ApplyOffset(*target, params.start, params.length, offsets, GetDisplayName());
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_OFFSET
