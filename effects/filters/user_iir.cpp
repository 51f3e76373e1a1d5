#include "effects/filters/user_iir.h"

#include <array>

#include "config/text_catalogue.h"
#include "config/text_sections.h"
#include "config/text_slots_effects.h"
#include "core/document/sound_document.h"
#include "effects/filters/lattice_run.h"
#include "effects/framework/settings_dialog.h"
#include "platform/alloc.h"

namespace tidemark::NS_EFFECT_USERIIR {

namespace {

constexpr std::array<SettingsField, 1> kFields{{
    {.name = "wide", .type = FieldType::kU8, .offset = 0, .min = 0, .max = 1, .def = 0, .flag = true},
}};
constexpr SettingsText kText{.name = "text", .wide_flag_offset = 0};
constexpr SettingsLayout kLayout{kBlockSize, kFields, &kText};

constexpr std::uint32_t kFallbackRate = 44100;  // a run set up without a document

}  // namespace

std::string DescribeFault(const dsp::IirDescResult& fault) {
  constexpr std::size_t kFaults = FindTextSectionIndex("effect/iirfilter/descerror");
  const auto index = static_cast<unsigned>(dsp::IirDescErrorText(fault.error));
  const std::string_view what = UiText(SlotInSection(kTextSections[kFaults], index));
  // The line form holds "%d" then "%s"; the other form only "%s".
  std::string message(UiText(fault.line > 0 ? text::kFxIirPopupLineError : text::kFxIirPopupError));
  if (const std::size_t at = message.find("%d"); at != std::string::npos && fault.line > 0)
    message.replace(at, 2, std::to_string(fault.line));
  if (const std::size_t at = message.find("%s"); at != std::string::npos) message.replace(at, 2, what);
  return message;
}

CMyEffEntry::CMyEffEntry() : CEffEntry(308) {}

const SettingsLayout* CMyEffEntry::GetSettingsLayout() const { return &kLayout; }

Error CMyEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew<MySetupParams>(params); }

Error CMyEffEntry::FillParams(ProgressScope*, SetupParams& params, const SettingsBlock& block) {
  auto& mine = static_cast<MySetupParams&>(params);
  const double rate = mine.target ? mine.target->rate : kFallbackRate;
  const dsp::IirDescResult r = dsp::DescriptionToLattice(GetBlockText(kLayout, block), rate, &mine.filter);
  if (r.ok()) return err::kOk;
  if (SettingsDialog* dialog = CurrentSettingsDialog()) dialog->ShowProblem(*this, DescribeFault(r));
  return kDescriptionUnusable;
}

Error CMyEffEntry::CreateRun(ProgressScope*, SetupParams& params, EffRunPtr* run) {
  const auto& mine = static_cast<const MySetupParams&>(params);
  std::unique_ptr<NS_EFFECT::CLatticeIIR> made;
  if (const Error rc = MakeNew(&made, GetDisplayName())) return rc;
  if (const Error rc = made->Configure(mine.filter, mine.input_channels)) return rc;
  *run = std::move(made);
  return err::kOk;
}

CEffEntry& Entry() {
  static CMyEffEntry entry;
  return entry;
}

}  // namespace tidemark::NS_EFFECT_USERIIR
