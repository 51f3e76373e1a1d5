#include "dsp/spectral/spectral_classes.h"

#include <algorithm>
#include <cmath>

namespace tidemark::dsp {

namespace {

enum class Step { kUp, kDown, kLevel };

Step StepBetween(float from, float to, double tolerance) {
  if (static_cast<double>(to) * tolerance > from) return Step::kUp;
  if (static_cast<double>(from) * tolerance > to) return Step::kDown;
  return Step::kLevel;
}

}  // namespace

void ClassifyBins(std::span<const float> power, std::size_t count, std::vector<BinClass>* classes,
                  double tolerance) {
  count = std::min(count, power.size());
  classes->assign(count, BinClass::kValley);
  for (std::size_t k = 0; k < count; ++k) {
    const Step in = k == 0 ? Step::kLevel : StepBetween(power[k - 1], power[k], tolerance);
    const Step out = k + 1 == count ? Step::kLevel : StepBetween(power[k], power[k + 1], tolerance);
    BinClass c = BinClass::kValley;
    if (out == Step::kUp) {
      c = in == Step::kUp ? BinClass::kLeftSlope : BinClass::kValley;
    } else if (out == Step::kDown) {
      c = in == Step::kUp ? BinClass::kPeak : BinClass::kRightSlope;
    } else {
      c = in == Step::kUp ? BinClass::kPeak : BinClass::kValley;
    }
    (*classes)[k] = c;
  }
}

std::vector<TonalRegion> FindTonalRegions(std::span<const float> power, std::span<const BinClass> classes,
                                          double min_prominence) {
  std::vector<TonalRegion> regions;
  const std::size_t count = std::min(power.size(), classes.size());
  for (std::size_t k = 0; k < count;) {
    if (classes[k] == BinClass::kValley) {
      ++k;
      continue;
    }
    const std::size_t first = k;
    float top = 0;
    while (k < count && classes[k] != BinClass::kValley) top = std::max(top, power[k++]);
    const bool has_left = first > 0, has_right = k < count;
    if (!has_left && !has_right) continue;
    const float left = has_left ? power[first - 1] : power[k];
    const float right = has_right ? power[k] : power[first - 1];
    const double floor = std::sqrt(static_cast<double>(left) * right);
    if (top > 0 && top >= floor * min_prominence) regions.push_back({first, k - 1, left, right});
  }
  return regions;
}

}  // namespace tidemark::dsp
