#include "effects/framework/effect_factory.h"

#include "effects/framework/progress_scope.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error CEffFactory_Std::CreatePreviewRun(EffRunPtr* run) {
  CEffEntry::SetupParamsPtr params;
  if (const Error rc = entry_.CreateSetupParams(&document_, 0, &params)) return rc;
  SettingsBlock block;
  if (const Error rc = TryAlloc([&] { block = block_; })) return rc;
  // An effect that measures the selection first does so under progress.
  ProgressScope scope;
  if (const Error rc = entry_.SetupQuiet(&scope, *params, block)) return rc;
  EffRunPtr made;
  if (const Error rc = entry_.CreateRun(&scope, *params, &made)) return rc;
  params_ = std::move(params);
  *run = std::move(made);
  return err::kOk;
}

}  // namespace tidemark
