#include "effects/builtin_effects.h"

#include "effects/channel/channel_exchange.h"
#include "effects/channel/mid_side.h"
#include "effects/channel/mono_output.h"
#include "effects/channel/pan.h"
#include "effects/level/volume.h"

namespace tidemark {

std::vector<CEffEntry*> BuiltInEffectEntries() {
  return {
      &NS_EFFECT_VOLUME::Entry(),
      &NS_EFFECT_PAN::Entry(),
      &NS_EFFECT_CHXCHG::Entry(),
      &NS_EFFECT_MIDSIDE::Entry(),
      &NS_EFFECT_MONO::Entry(),
  };
}

}  // namespace tidemark
