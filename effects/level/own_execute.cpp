#include "effects/level/own_execute.h"

#include "config/error_codes.h"
#include "core/document/sound_document.h"
#include "core/edit/edit_commands.h"
#include "effects/framework/settings_dialog.h"

namespace tidemark {

Error BeginOwnExecute(CEffEntry& entry, SoundDocument* target, CEffEntry::SetupParamsPtr* params,
                      SettingsBlock* block) {
  std::uint32_t from = 0, to = 0;
  GetSelection(*target, &from, &to);
  if (to == from) return err::kNoSelection;
  if (const Error rc = entry.CreateSetupParams(target, 0, params)) return rc;
  return SetupOwnSettings(entry, **params, block);
}

Error SetupOwnSettings(CEffEntry& entry, const CEffEntry::SetupParams& params, SettingsBlock* block) {
  const SettingsLayout* layout = entry.GetSettingsLayout();
  const std::uint32_t rate = params.target ? params.target->rate : 44100;
  SettingsBlock loaded;
  if (layout) loaded = LoadBlock(*layout, entry.GetSettingsBlock(), rate);
  if (entry.HasSetupDialog()) {
    SettingsDialog* dialog = CurrentSettingsDialog();
    if (!dialog) return err::kWindowCreate;
    if (const Error rc = dialog->Edit(entry, params, loaded)) return rc;
    // The effects read their fields trusting the ranges.
    if (layout) loaded = LoadBlock(*layout, loaded, rate);
  }
  entry.GetSettingsStore().Set(loaded);
  *block = std::move(loaded);
  return err::kOk;
}

Error ExecuteFixedGain(CEffEntry& entry, SoundDocument* target, float factor) {
  std::uint32_t from = 0, to = 0;
  GetSelection(*target, &from, &to);
  if (to == from) return err::kNoSelection;
  CEffEntry::SetupParamsPtr params;
  if (const Error rc = entry.CreateSetupParams(target, 0, &params)) return rc;
  return ApplyGainMasked(*target, params->start, params->length, params->channel_mask, factor,
                         entry.GetDisplayName());
}

}  // namespace tidemark
