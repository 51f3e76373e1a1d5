#include "effects/framework/effect_entry.h"

#include "config/error_codes.h"
#include "config/text_catalogue.h"
#include "config/text_slot.h"
#include "core/document/sound_document.h"
#include "effects/framework/block_run_worker.h"
#include "effects/framework/effect_registry.h"
#include "effects/framework/progress_scope.h"
#include "effects/framework/settings_dialog.h"
#include "platform/alloc.h"
#include "platform/utf.h"

namespace tidemark {

namespace {

// Text `index` of the entry's catalogue section; the key name when the
// catalogue has none.
std::string EntryText(const EffectDescription& row, unsigned index) {
  const std::size_t section = FindTextSectionIndex(row.text_key);
  if (section < kTextSectionCount && index < kTextSections[section].count) {
    const std::string_view text = UiText(SlotInSection(kTextSections[section], index));
    if (!text.empty()) return std::string(text);
  }
  return index == 0 ? std::string(row.key_name) : std::string();
}

}  // namespace

Error SetupEntrySettings(CEffEntry& entry, CEffEntry::SetupParams& params, SettingsBlock& block, bool dialog,
                         SettingsFill fill) {
  const SettingsLayout* layout = entry.GetSettingsLayout();
  const std::uint32_t rate = params.target ? params.target->rate : 44100;
  SettingsBlock loaded;
  if (layout)
    if (const Error rc = TryAlloc([&] { loaded = LoadBlock(*layout, block, rate); })) return rc;
  if (dialog && entry.HasSetupDialog()) {
    SettingsDialog* editor = CurrentSettingsDialog();
    if (!editor) return err::kWindowCreate;
    if (const Error rc = editor->Edit(entry, params, loaded)) return rc;
    // The effects read every field of the block: hold the dialog's result
    // to the layout as a stored block is held.
    if (layout)
      if (const Error rc = TryAlloc([&] { loaded = LoadBlock(*layout, loaded, rate); })) return rc;
  }
  if (const Error rc = fill(params, loaded)) return rc;
  block = std::move(loaded);
  params.ready = 1;
  return err::kOk;
}

CEffEntry::CEffEntry(std::uint32_t command) : row_(DescribeEffect(command)) {}

std::string CEffEntry::GetMenuPrefix() const { return {}; }
std::uint32_t CEffEntry::GetCommandId() const { return row_->command; }
std::string CEffEntry::GetHelpText() const { return EntryText(*row_, 1); }
std::string CEffEntry::GetDisplayName() const { return EntryText(*row_, 0); }
std::string_view CEffEntry::GetKeyName() const { return row_->key_name; }
std::uint32_t CEffEntry::GetChannelSupport() const { return row_->channel_support; }
bool CEffEntry::HasSetupDialog() const { return row_->has_dialog; }
bool CEffEntry::IsChainable() const { return row_->chainable; }

void CEffEntry::DescribeForChain(ChainDescription* description) {
  description->key_name = GetKeyName();
  description->store = &GetSettingsStore();
  const SettingsLayout* layout = GetSettingsLayout();
  description->default_block = layout ? DefaultBlock(*layout) : SettingsBlock{};
  description->default_size = description->default_block.size();
  description->chain = IsChainable() ? dynamic_cast<CEffChain*>(this) : nullptr;
}

Error CEffEntry::NewSetupParams(SetupParamsPtr* params) { return MakeNew(params); }

Error CEffEntry::CreateSetupParams(SoundDocument* target, std::uint16_t forced_channels, SetupParamsPtr* params) {
  SetupParamsPtr made;
  if (const Error rc = NewSetupParams(&made)) return rc;
  std::uint32_t from = 0, to = 0;
  GetSelection(*target, &from, &to);
  made->target = target;
  made->start = from;
  made->length = to - from;
  if (forced_channels != 0) {
    made->input_channels = made->output_channels = forced_channels;
    made->channel_mask = static_cast<std::uint16_t>(0xFFFFu >> (16 - forced_channels));
    made->channels_forced = 1;
  } else {
    made->input_channels = made->output_channels = target->channels;
    made->channel_mask = static_cast<std::uint16_t>(GetChannelMask(*target));
  }
  *params = std::move(made);
  return err::kOk;
}

Error CEffEntry_Std::Setup(SetupParams& params, SettingsBlock& block) {
  return SetupEntrySettings(*this, params, block, true, [&](SetupParams& filled, const SettingsBlock& loaded) {
    return FillParams(nullptr, filled, loaded);
  });
}

Error CEffEntry_Std::SetupQuiet(ProgressScope* scope, SetupParams& params, SettingsBlock& block) {
  if (params.ready) return err::kOk;
  return SetupEntrySettings(*this, params, block, false, [&](SetupParams& filled, const SettingsBlock& loaded) {
    return FillParams(scope, filled, loaded);
  });
}

Error CEffEntry_Std::Execute(SoundDocument* target) {
  std::uint32_t from = 0, to = 0;
  GetSelection(*target, &from, &to);
  if (to == from) return err::kNoSelection;
  SetupParamsPtr params;
  if (const Error rc = CreateSetupParams(target, 0, &params)) return rc;
  if (HasSetupDialog())
    if (const Error rc = Setup(*params, GetSettingsBlock())) return rc;
  ProgressScope scope;
  if (const Error rc = SetupQuiet(&scope, *params, GetSettingsBlock())) return rc;
  EffRunPtr run;
  if (const Error rc = CreateRun(&scope, *params, &run)) return rc;
  SetSelection(*target, params->start, params->start + params->length);
  return ProcessBlockRun(scope, *params, *run);
}

CEffEntry_Std& CEffChain_Std::Entry() { return dynamic_cast<CEffEntry_Std&>(static_cast<CEffEntry&>(*this)); }

Error CEffChain_Std::Setup(SetupParams& params, SettingsBlock& block) { return Entry().Setup(params, block); }

Error CEffChain_Std::SetupQuiet(ProgressScope* scope, SetupParams& params, SettingsBlock& block) {
  return Entry().SetupQuiet(scope, params, block);
}

Error CEffChain_Std::CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) {
  return Entry().CreateRun(scope, params, run);
}

Error CEffChain_Std::CreateChainNode(SetupParams& params, ChainNodePtr* node) {
  ChainNodePtr made;
  if (MakeNew(&made)) return err::kOutOfMemory;
  if (const Error rc = CreateRun(nullptr, params, &made->run)) return rc;
  made->rate = params.target ? params.target->rate : 0;
  made->input_channels = params.input_channels;
  made->output_channels = params.output_channels;
  made->channel_mask = params.channel_mask;
  made->name = std::string(TruncateUtf8ToUtf16Units(made->run->GetName(), 64));
  *node = std::move(made);
  return err::kOk;
}

Error CEffEntry_Resample::Setup(SetupParams& params, SettingsBlock& block) {
  return SetupEntrySettings(*this, params, block, true, [&](SetupParams& filled, const SettingsBlock& loaded) {
    return FillParams(nullptr, filled, loaded);
  });
}

Error CEffEntry_Resample::SetupQuiet(ProgressScope* scope, SetupParams& params, SettingsBlock& block) {
  if (params.ready) return err::kOk;
  return SetupEntrySettings(*this, params, block, false, [&](SetupParams& filled, const SettingsBlock& loaded) {
    return FillParams(scope, filled, loaded);
  });
}

Error CEffEntry_Resample::Execute(SoundDocument* target) {
  std::uint32_t from = 0, to = 0;
  GetSelection(*target, &from, &to);
  if (to == from) return err::kNoSelection;
  SetupParamsPtr params;
  if (const Error rc = CreateSetupParams(target, 0, &params)) return rc;
  if (const Error rc = Setup(*params, GetSettingsBlock())) return rc;
  ProgressScope scope;
  ResampleEffRunPtr run;
  if (const Error rc = CreateRun(&scope, *params, &run)) return rc;
  SetSelection(*target, params->start, params->start + params->length);
  return ProcessPullRun(scope, *params, *run);
}

}  // namespace tidemark
