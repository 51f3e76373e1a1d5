#include "effects/builtin_effects.h"

#include "effects/channel/channel_exchange.h"
#include "effects/channel/mid_side.h"
#include "effects/channel/mono_output.h"
#include "effects/channel/pan.h"
#include "effects/convolution/fir_file.h"
#include "effects/convolution/plot_fir.h"
#include "effects/convolution/reverb.h"
#include "effects/dynamics/compress_effect.h"
#include "effects/dynamics/limiter_effect.h"
#include "effects/filters/graphic_eq.h"
#include "effects/filters/lowpass_highpass.h"
#include "effects/filters/parametric_eq.h"
#include "effects/filters/user_iir.h"
#include "effects/filters/weighting_filter.h"
#include "effects/generators/noise_generator.h"
#include "effects/generators/sine_generator.h"
#include "effects/level/normalize.h"
#include "effects/level/offset.h"
#include "effects/level/sign_reverse.h"
#include "effects/level/silence.h"
#include "effects/level/volume.h"
#include "effects/pitch/doppler.h"
#include "effects/pitch/pitch_change.h"
#include "effects/pitch/voice_pitch.h"
#include "effects/restoration/hiss_reduction.h"
#include "effects/restoration/declick.h"
#include "effects/time/delay.h"
#include "effects/time/fade.h"
#include "effects/time/time_reverse.h"

namespace tidemark {

std::vector<CEffEntry*> BuiltInEffectEntries() {
  return {
      &NS_EFFECT_MAXIMIZE::Entry(),
      &NS_EFFECT_VOLUME::Entry(),
      &NS_EFFECT_LIMITER::Entry(),
      &NS_EFFECT_COMPRESS::Entry(),
      &NS_EFFECT_FADE::Entry(),
      &NS_EFFECT_DELAY::Entry(),
      &NS_EFFECT_PAN::Entry(),
      &NS_EFFECT_CHXCHG::Entry(),
      &NS_EFFECT_MIDSIDE::Entry(),
      &NS_EFFECT_USERIIR::Entry(),
      &NS_EFFECT_HLPLPF::Entry(),
      &NS_EFFECT_PEQ::Entry(),
      &NS_EFFECT_GEQ::Entry(),
      &NS_EFFECT_GENSINE::Entry(),
      &NS_EFFECT_GENNOISE::Entry(),
      &NS_EFFECT_MONO::Entry(),
      &NS_EFFECT_SILENCE::Entry(),
      &NS_EFFECT_OFFSET::Entry(),
      &NS_EFFECT_SIGNREV::Entry(),
      &NS_EFFECT_TIMEREV::Entry(),
      &NS_EFFECT_HISS::Entry(),
      &NS_EFFECT_DECLICK::Entry(),
      &NS_EFFECT_DOPPLER::Entry(),
      &NS_EFFECT_VOPITCH::Entry(),
      &NS_EFFECT_PITCHCHG::Entry(),
      &NS_EFFECT_FIRFILE::Entry(),
      &NS_EFFECT_FIRPLOT::Entry(),
      &NS_EFFECT_REVERB::Entry(),
  };
}

void InstallBuiltInHooks() { NS_EFFECT::SetWeightingFactory(&NS_EFFECT::MakeWeightingCurve); }

}  // namespace tidemark
