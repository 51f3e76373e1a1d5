#include "effects/builtin_effects.h"

#include "effects/level/volume.h"

namespace tidemark {

std::vector<CEffEntry*> BuiltInEffectEntries() {
  return {
      &NS_EFFECT_VOLUME::Entry(),
  };
}

}  // namespace tidemark
