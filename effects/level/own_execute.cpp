#include "effects/level/own_execute.h"

#include "config/error_codes.h"
#include "core/document/sound_document.h"
#include "core/edit/edit_commands.h"

namespace tidemark {

Error BeginOwnExecute(CEffEntry& entry, SoundDocument* target, SettingsFill fill,
                      CEffEntry::SetupParamsPtr* params) {
  std::uint32_t from = 0, to = 0;
  GetSelection(*target, &from, &to);
  if (to == from) return err::kNoSelection;
  if (const Error rc = entry.CreateSetupParams(target, 0, params)) return rc;
  return SetupEntrySettings(entry, **params, entry.GetSettingsBlock(), true, fill);
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
