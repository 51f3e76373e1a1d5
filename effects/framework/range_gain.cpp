#include "effects/framework/range_gain.h"

#include "config/error_codes.h"
#include "core/document/sound_document.h"
#include "core/edit/edit_commands.h"
#include "effects/framework/progress_scope.h"

namespace tidemark {

Error ExecuteRangeGain(CEffEntry_Std& entry, SoundDocument* target,
                       const std::function<Error(const CEffEntry::SetupParams&, float*)>& factor) {
  std::uint32_t from = 0, to = 0;
  GetSelection(*target, &from, &to);
  if (to == from) return err::kNoSelection;
  CEffEntry::SetupParamsPtr params;
  if (const Error rc = entry.CreateSetupParams(target, 0, &params)) return rc;
  if (entry.HasSetupDialog())
    if (const Error rc = entry.Setup(*params, entry.GetSettingsBlock())) return rc;
  ProgressScope scope;
  if (const Error rc = entry.SetupQuiet(&scope, *params, entry.GetSettingsBlock())) return rc;
  float value = 1.0f;
  if (const Error rc = factor(*params, &value)) return rc;
  return ApplyGainMasked(*target, params->start, params->length, params->channel_mask, value,
                         entry.GetDisplayName());
}

}  // namespace tidemark
