#include "effects/builtin_effects.h"

#include "effects/level/normalize.h"
#include "effects/level/offset.h"
#include "effects/level/sign_reverse.h"
#include "effects/level/silence.h"
#include "effects/level/volume.h"
#include "effects/time/time_reverse.h"

namespace tidemark {

std::vector<CEffEntry*> BuiltInEffectEntries() {
  return {
      &NS_EFFECT_MAXIMIZE::Entry(),
      &NS_EFFECT_VOLUME::Entry(),
      &NS_EFFECT_SILENCE::Entry(),
      &NS_EFFECT_OFFSET::Entry(),
      &NS_EFFECT_SIGNREV::Entry(),
      &NS_EFFECT_TIMEREV::Entry(),
  };
}

}  // namespace tidemark
