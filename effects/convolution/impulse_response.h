// Impulse responses read from sound files. The effects never open files
// themselves: the program installs a loader (SetResponseLoader) that reads
// a file through the formats layer into an ImpulseResponse.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace tidemark::NS_EFFECT {

struct ImpulseResponse {
  std::uint32_t rate = 0;
  std::uint32_t frames = 0;
  // One array of `frames` samples per channel (1 or 2 channels).
  std::vector<std::vector<float>> channels;
  // Frames before the direct sound ("DELAY=%d" in the file's annotations).
  std::uint32_t delay = 0;
};

// Errors a loader answers: 25 the file cannot be opened or is not a sound
// file; 15 a sample format other than 1 to 4 bytes per sample or 8-byte
// float; kResponseLength (16) no samples or more than 2^31 - 1 frames;
// kResponseChannels (18) a channel count other than 1 or 2.
inline constexpr Error kResponseLength{16};
inline constexpr Error kResponseChannels{18};
using ResponseLoader = Error (*)(const std::string& path, ImpulseResponse* out);
void SetResponseLoader(ResponseLoader loader);

// Loads through the installed loader (25 when none is installed). On any
// error `*out` is left empty.
[[nodiscard]] Error LoadImpulseResponse(const std::string& path, ImpulseResponse* out);

// The pre-delay declared in annotation text: the number after the first
// "DELAY=" (ASCII case ignored), 0 when there is none or it is malformed.
std::uint32_t ParseDelayAnnotation(std::string_view text);

// Converts `ir` to `rate` with the sample-rate converter (blocks of 200 ms),
// the converter's latency removed so the response stays aligned; the delay
// scales with the rates (rounded). Nothing to do at the same rate.
[[nodiscard]] Error ConvertResponseRate(ImpulseResponse* ir, std::uint32_t rate);

}  // namespace tidemark::NS_EFFECT
