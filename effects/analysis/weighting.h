// The weighting hook of the level statistics: a filter the samples pass
// through before their squares are taken (RMS and short-term RMS). The
// filters' library installs the factory of the weighting curves; until it
// does, only "no weighting" exists and any other option is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/error.h"

namespace tidemark::NS_EFFECT {

// A weighting filter the samples pass through before their squares are
// taken (RMS and short-term RMS only); state per channel.
class StatisWeighting {
 public:
  virtual ~StatisWeighting() = default;
  // Filters the next `count` interleaved frames of `channels` channels in
  // place, every channel through its own state. A run keeps one channel
  // count from its first block on; a count above the one the filter was
  // made for leaves the frames as they are. Does not allocate.
  virtual void Filter(float* frames, std::size_t count, std::uint16_t channels) = 0;
  virtual void Reset() = 0;
};
using StatisWeightingPtr = std::unique_ptr<StatisWeighting>;

// Makes the weighting filter of `letter` ('A'..'D') for `rate`; 77 for a
// letter it does not know. Null (the default) leaves only "no weighting".
using WeightingFactory = Error (*)(char letter, std::uint32_t rate, std::uint16_t channels,
                                   StatisWeightingPtr* filter);
void SetWeightingFactory(WeightingFactory factory);

// The program-wide weighting option: the letter ('A'..'D', 0 for none) that
// Normalize's RMS modes use. Set at start-up from the settings.
void SetProgramWeighting(char letter);
char ProgramWeighting();

// The weighting option as the object model reads it: only its first
// character counts, upper-cased; "0" is none (`*letter` = 0), and so is an
// empty option (a caller with a default weighting passes that instead).
// 77 with `*why` naming what is available when the option names a weighting
// this build does not have (every letter but "0" until the filters install
// their factory; then "A" to "D").
[[nodiscard]] Error ParseWeighting(std::string_view option, char* letter, std::string* why);

// Makes the filter of `letter` (0: none, `*filter` stays empty) for `rate`
// and `channels`; 77 when no factory is installed or it refuses.
[[nodiscard]] Error MakeWeighting(char letter, std::uint32_t rate, std::uint16_t channels,
                                  StatisWeightingPtr* filter);

}  // namespace tidemark::NS_EFFECT
