// The shape of a noise power spectrum, bin by bin: where it has peaks, the
// slopes that lead up to and down from them, and the valleys between them,
// so that tonal lines in a noise (hum, whistles) can be told from the
// broadband floor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tidemark::dsp {

enum class BinClass : std::uint8_t {
  kValley,      // no higher than either neighbour, or flat
  kLeftSlope,   // rising towards the next higher bin
  kPeak,        // higher than the bin before, and not lower than the one after
  kRightSlope,  // falling towards the next higher bin
};

// Two neighbouring powers count as level unless one, times `tolerance`,
// still exceeds the other.
inline constexpr double kClassTolerance = 0.999;

// Classifies power[0, count) (count <= power.size()). A bin's class follows
// from its step in (from the bin before; level for bin 0) and its step out
// (to the bin after; level for the last bin): out up is a left slope, or a
// valley when the step in is down or level; out down is a right slope, or a
// peak when the step in is up; out level is a peak after a step up, else a
// valley.
void ClassifyBins(std::span<const float> power, std::size_t count, std::vector<BinClass>* classes,
                  double tolerance = kClassTolerance);

// A run of bins between two valleys (exclusive) that holds a peak standing
// at least `min_prominence` (a power ratio) over the floor there: the
// geometric mean of the bounding valleys' powers (the one valley at an end
// of the range).
struct TonalRegion {
  std::size_t first = 0;
  std::size_t last = 0;  // inclusive
  float floor_left = 0;  // the valley powers at each side
  float floor_right = 0;
};

std::vector<TonalRegion> FindTonalRegions(std::span<const float> power, std::span<const BinClass> classes,
                                          double min_prominence);

}  // namespace tidemark::dsp
