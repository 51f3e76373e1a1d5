#include "app/settings_effect_options.h"

#include "effects/framework/block_run_worker.h"

namespace tidemark {

SampleCode EffectWorkingCodeForBits(std::int32_t bits) {
  switch (bits) {
    case 24: return sample_code::kS24;
    case 16: return sample_code::kS16;
    default: return sample_code::kFloat;
  }
}

char StatisticsWeighting(const Settings& settings) {
  char w = settings.weighting_filter;
  if (w >= 'a' && w <= 'd') w = static_cast<char>(w - 'a' + 'A');
  return (w >= 'A' && w <= 'D') ? w : '0';
}

void ApplyEffectSettings(const Settings& settings) {
  SetEffectWorkingCode(EffectWorkingCodeForBits(settings.temporary_sample_bits));
}

}  // namespace tidemark
