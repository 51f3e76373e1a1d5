// The WSD writer: a 2048-byte header (fixed fields, then a 1920-byte text
// area at 128) followed by the data, channels interleaved byte by byte with
// the most significant bit first. The metadata lives in the text area.
#pragma once

#include <cstdint>

#include "formats/one_bit/one_bit_writer.h"
#include "platform/error.h"

namespace tidemark::NS_1BIT {

class CWsdWriter : public COneBitWriter {
 public:
  CWsdWriter();
  ~CWsdWriter() override;

  // 19 when header and data would not fit the 32-bit file-size field
  // (more than 0xFFFFFFFF - 2048 data bytes).
  [[nodiscard]] Error Begin(std::uint32_t one_bit_rate, std::uint16_t channels, std::uint64_t data_bytes) override;
  [[nodiscard]] Error WritePlanar(const std::uint8_t* const* channel_bytes, std::uint32_t bytes_per_channel,
                                  std::uint16_t channels) override;
  [[nodiscard]] Error WriteRaw(const void* bytes, std::uint32_t count) override;
  // WSD has no padding; data not written is filled with the idle pattern 0xAA.
  [[nodiscard]] Error Finish() override;
  // Rewrites the text area: spaces, with Name, Artist, the AppPrivate
  // album, Genre, CreationDate and Comments in their fields, each in the
  // narrow code page and cut to its field without a terminator.
  [[nodiscard]] Error WriteMetadata(std::uint32_t one_bit_rate, const TagSet& tags) override;
  // 2048.
  std::uint32_t HeaderSize() const override;
};

}  // namespace tidemark::NS_1BIT
