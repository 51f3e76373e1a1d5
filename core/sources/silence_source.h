// A source of silence of any length.
#pragma once

#include <cstdint>

#include "core/sources/sound_source.h"
#include "platform/error.h"

namespace tidemark {

class SilenceSource final : public SoundSource {
 public:
  SilenceSource(std::uint32_t rate, std::uint16_t channels) : rate_(rate), channels_(channels) {}

  // Zeros, or 0x80 bytes for unsigned 8-bit.
  Error Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) override;
  Error Serialize(ChunkWriter& writer) override;
  SourceKind kind() const override { return SourceKind::Silence; }
  std::uint32_t rate() const override { return rate_; }
  std::uint16_t channels() const override { return channels_; }

 private:
  std::uint32_t rate_;
  std::uint16_t channels_;
};

// A new silence source; empty for 0 channels or more than the most a source
// may have, or when memory runs out.
SourceRef MakeSilenceSource(std::uint32_t rate, std::uint16_t channels);

}  // namespace tidemark
