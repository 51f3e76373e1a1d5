#include "dsp/one_bit/one_bit_plan.h"

#include "platform/error_numbers.h"

namespace tidemark::NS_1BIT {
namespace {

constexpr std::uint32_t kBlockSamples = 0x200000;  // 1-bit samples of all channels in a block
constexpr std::uint32_t kMax48k = 48000;
// The most frames a document holds; the rest of a longer file is not reachable.
constexpr std::uint32_t kMaxFrames = 0xFFFF0000u;

}  // namespace

std::uint32_t OneBitFrameCount(std::uint64_t bytes_per_channel, std::uint32_t ratio) {
  if (ratio == 0) return 0;
  // bytes x 8 cannot overflow for any file a 64-bit offset reaches in practice,
  // but keep the arithmetic exact for any input.
  const std::uint64_t bits_high = bytes_per_channel >> 61;
  if (bits_high) return kMaxFrames;
  const std::uint64_t frames = (bytes_per_channel * 8) / ratio;
  return frames > kMaxFrames ? kMaxFrames : static_cast<std::uint32_t>(frames);
}

Error MakeOneBitPlan(std::uint32_t one_bit_rate, std::uint16_t channels, bool interleaved, bool max_48k,
                     std::uint64_t bytes_per_channel, OneBitPlan* plan) {
  if (one_bit_rate < kLowestPlanRate || one_bit_rate > kHighestPlanRate || channels < 1 ||
      channels > kMaxOneBitChannels)
    return err::kUnsupportedFormat;
  OneBitPlan p;
  p.one_bit_rate = one_bit_rate;
  p.channels = channels;
  p.interleaved = interleaved;
  if (!max_48k || one_bit_rate < kSingleStageRate) {
    p.ratio = 32;
    if (one_bit_rate >= kSingleStageRate) {
      p.stages = 1;
      p.first_ratio = 32;
    } else {
      p.stages = 2;
      p.first_ratio = 16;
    }
  } else {
    std::uint32_t target = one_bit_rate / 32;
    while (target > kMax48k) target /= 2;
    p.ratio = one_bit_rate / target;
    p.stages = 2;
    p.first_ratio = p.ratio / 2;
  }
  // The first stage works on whole bytes of the 1-bit stream per output.
  if (p.ratio % 16 != 0) return err::kUnsupportedFormat;
  p.first_length = 16 * p.first_ratio;
  p.second_length = p.stages == 2 ? kSecondStageLength : 0;
  std::uint32_t n = kBlockSamples / channels;
  n -= n % (8 * p.ratio);
  if (p.stages == 2)
    while (n < 256 * p.first_ratio) n *= 2;
  p.block_length = n;
  p.block_frames = n / p.ratio;
  p.first_history = p.first_length / 16;
  p.history = p.first_history + (p.stages == 2 ? 32 * p.first_ratio : 0);
  const std::uint32_t scale = interleaved ? channels : 1;
  p.first_margin = p.first_history * scale;
  p.margin = p.history * scale;
  p.pcm_rate = one_bit_rate / p.ratio;
  p.frames = OneBitFrameCount(bytes_per_channel, p.ratio);
  *plan = p;
  return err::kOk;
}

}  // namespace tidemark::NS_1BIT
