// The DSF writer: the "DSD " and "fmt " chunks and the "data" chunk of
// 4096-byte channel blocks (block group g: 4096 bytes of channel 0, then of
// channel 1), bits least significant first. The metadata is an ID3v2 tag
// after the data area, located by the header's metadata offset.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/tags/internal/id3v2_writer.h"
#include "formats/one_bit/one_bit_writer.h"
#include "platform/error.h"

namespace tidemark::NS_1BIT {

class CDsfWriter : public COneBitWriter {
 public:
  // `id3v2` says how the metadata tag is built (version, text encoding,
  // unsynchronisation).
  explicit CDsfWriter(const Id3v2WriteOptions& id3v2);
  ~CDsfWriter() override;

  // `data_bytes` must divide evenly among the channels (else 77); 19 for
  // more than 2^60 data bytes.
  [[nodiscard]] Error Begin(std::uint32_t one_bit_rate, std::uint16_t channels, std::uint64_t data_bytes) override;
  // Fills the channel blocks and writes each block group once it is full.
  // 77 after raw bytes that did not end on a block group.
  [[nodiscard]] Error WritePlanar(const std::uint8_t* const* channel_bytes, std::uint32_t bytes_per_channel,
                                  std::uint16_t channels) override;
  // Bytes already in block groups, appended to the data area (whose size
  // counts the block padding). 77 while planar data fills part of a group.
  [[nodiscard]] Error WriteRaw(const void* bytes, std::uint32_t count) override;
  // Fills the rest of each channel's last block with the idle pattern 0x55
  // and writes the group; a data area not written to its end is filled
  // with 0x55 too.
  [[nodiscard]] Error Finish() override;
  // The ID3v2 tag of `tags` (nothing when it would hold no frame), then the
  // header's total size and metadata offset.
  [[nodiscard]] Error WriteMetadata(std::uint32_t one_bit_rate, const TagSet& tags) override;
  // 92.
  std::uint32_t HeaderSize() const override;

 private:
  Error WriteGroup();

  const Id3v2WriteOptions id3v2_options_;
  std::vector<std::uint8_t> blocks_;    // one block per channel
  std::uint32_t block_fill_ = 0;        // bytes per channel in the current group
  std::uint64_t bytes_per_channel_ = 0;  // as declared at Begin
};

}  // namespace tidemark::NS_1BIT
