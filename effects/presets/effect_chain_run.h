// Running an effect chain over a document's selection: every member is set
// up quietly from its stored block with the chain's channel count imposed,
// its node created, and the nodes joined into one pipeline that the block
// worker drives as a single run: one progress caption, one undo step.
//
// Channel converters stand where a node is offered a channel count it does
// not take: mono to stereo copies the sample into both channels, stereo to
// mono takes (left + right) x 0.5. A mono document under a stereo chain is
// converted at the source: the worker reads the selection into both
// channels, which is that converter's rule.
//
// Latency: the pipeline's latency is the sum of its members' latencies (a
// member's output lags its input by its own latency, and the lags of a
// series add up). The worker feeds that many frames past the selection and
// drops as many at the start, so the result lines up with the selection.
//
// Non-finite samples: the pipeline keeps no running state of its own; a
// converter passes them on within their frame (the average of a NaN is a
// NaN), and each member applies its own rule to them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "effects/framework/effect_run.h"
#include "effects/presets/preset_file.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

inline constexpr std::string_view kChannelConverterName = "channel converter";
// The pipeline could not be built.
inline constexpr Error kChainPipelineFailed{58};

// The chain's channel count for a document of `document_channels`.
std::uint16_t ChainChannels(const EffectChainPreset& chain, std::uint16_t document_channels);

// Applies `chain` to the document's selection. 0xFFFFFFFE without a
// selection; 0x40000 with `*failed_member` set to the member's menu label
// when a member cannot be set up; 58 when the pipeline cannot be built;
// the worker's errors (cancel 0xFFFFFFFF). On any error the document and
// its history are as they were. `stages`, when given, receives the names of
// the pipeline's stages in order.
[[nodiscard]] Error RunEffectChain(SoundDocument& document, const PresetRegistry& registry,
                                   const EffectChainPreset& chain, std::string* failed_member,
                                   std::vector<std::string>* stages = nullptr);

// Loads the chain named `name` (case ignored) from `path` and runs it:
// 0x40002 when there is none, 0x40001 when the file is damaged, else as
// RunEffectChain.
[[nodiscard]] Error ApplyEffectChain(SoundDocument& document, const PresetRegistry& registry,
                                     const std::string& path, std::u16string_view name,
                                     std::string* failed_member, std::vector<std::string>* stages = nullptr);

// The converter's rule on `frames` interleaved frames of `buffer`, in place;
// the buffer holds room for max(from, to) channels.
void ConvertChannels(float* buffer, std::uint32_t frames, std::uint16_t from, std::uint16_t to);

}  // namespace tidemark
