// The decimation plan of a 1-bit to PCM conversion: from the 1-bit rate and
// the output-rate limit to the ratios, filter lengths, block length, history
// margins, PCM rate and frame count.
#pragma once

#include <cstdint>

#include "platform/error.h"

namespace tidemark::NS_1BIT {

// The 1-bit rate at and above which the output-rate limit halves the rate
// (a rate of 32 x 48001 Hz is the first whose plain output exceeds 48 kHz).
inline constexpr std::uint32_t kSingleStageRate = 1536032;
// The 1-bit rates a plan is made for. Above the highest the first-stage
// filter would grow beyond a few tens of MiB of tables.
inline constexpr std::uint32_t kLowestPlanRate = 32;
inline constexpr std::uint32_t kHighestPlanRate = 0x40000000u;
// Channels a converting source handles.
inline constexpr std::uint16_t kMaxOneBitChannels = 2;

inline constexpr std::uint32_t kFirstStageAttenuationDb = 130;
inline constexpr std::uint32_t kSecondStageAttenuationDb = 100;
inline constexpr std::uint32_t kSecondStageLength = 512;
inline constexpr float kOneBitOutputGain = 2.0f;

struct OneBitPlan {
  std::uint32_t one_bit_rate = 0;
  std::uint16_t channels = 0;
  bool interleaved = false;     // margins count bytes of all channels
  std::uint32_t ratio = 0;      // R: 1-bit samples per PCM frame
  std::uint32_t first_ratio = 0;  // R1
  std::uint32_t stages = 0;       // 1 or 2
  std::uint32_t first_length = 0;   // L1 = 16 x R1 taps (with one leading zero)
  std::uint32_t second_length = 0;  // 512 with two stages, else 0
  std::uint32_t block_length = 0;   // N: 1-bit samples per channel in a block
  std::uint32_t block_frames = 0;   // N / R
  // History margins in bytes of one channel: H1 = L1 / 16, and H = H1 plus
  // the second filter's half length of 256 first-stage outputs (32 x R1
  // bytes) with two stages.
  std::uint32_t first_history = 0;
  std::uint32_t history = 0;
  // The same margins as counted in the file: multiplied by the channel
  // count for byte-interleaved data.
  std::uint32_t first_margin = 0;
  std::uint32_t margin = 0;
  std::uint32_t pcm_rate = 0;
  std::uint32_t frames = 0;  // at most 0xFFFF0000
};

// The frames that `bytes_per_channel` bytes give at ratio R: (bytes x 8) / R,
// clamped to 0xFFFF0000 (the rest of such a file is not reachable).
std::uint32_t OneBitFrameCount(std::uint64_t bytes_per_channel, std::uint32_t ratio);

// Makes the plan for `one_bit_rate` Hz and `channels` channels of
// `bytes_per_channel` data bytes each; `max_48k` limits the output to 48 kHz
// or less. 15 for a rate outside kLowestPlanRate to kHighestPlanRate, a
// channel count outside 1 to kMaxOneBitChannels, or a rate whose ratio is
// not a multiple of 16 (only far above any real 1-bit rate).
[[nodiscard]] Error MakeOneBitPlan(std::uint32_t one_bit_rate, std::uint16_t channels, bool interleaved,
                                   bool max_48k, std::uint64_t bytes_per_channel, OneBitPlan* plan);

}  // namespace tidemark::NS_1BIT
