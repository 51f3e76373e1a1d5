// The DSDIFF writer: a "FRM8" form of type "DSD " with "FVER", the "PROP"
// chunk of type "SND " ("FS  ", "CHNL", "CMPR" = uncompressed) and the
// "DSD " sound data chunk, channels interleaved byte by byte with the most
// significant bit first. The metadata chunks "COMT" and "DIIN" follow the
// data.
#pragma once

#include <cstdint>

#include "formats/one_bit/one_bit_writer.h"
#include "platform/error.h"

namespace tidemark::NS_1BIT {

class CDsdIffWriter : public COneBitWriter {
 public:
  CDsdIffWriter();
  ~CDsdIffWriter() override;

  // 19 for more than 2^60 data bytes.
  [[nodiscard]] Error Begin(std::uint32_t one_bit_rate, std::uint16_t channels, std::uint64_t data_bytes) override;
  [[nodiscard]] Error WritePlanar(const std::uint8_t* const* channel_bytes, std::uint32_t bytes_per_channel,
                                  std::uint16_t channels) override;
  [[nodiscard]] Error WriteRaw(const void* bytes, std::uint32_t count) override;
  // Fills unwritten data with the idle pattern 0xAA, then the zero pad byte
  // of an odd data size.
  [[nodiscard]] Error Finish() override;
  // "COMT" with the sampling rate, the program's name and version and (when
  // Comments is set) that comment; "DIIN" with "DITI" (Name) and "DIAR"
  // (Artist) when either is set; then the form size is brought up to date.
  [[nodiscard]] Error WriteMetadata(std::uint32_t one_bit_rate, const TagSet& tags) override;
  // 122 + 4 bytes per channel.
  std::uint32_t HeaderSize() const override;
};

}  // namespace tidemark::NS_1BIT
