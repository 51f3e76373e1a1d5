// Reading DSF files (".dsf"): the 92-byte header ("DSD ", "fmt " and
// "data" chunks, little-endian 64-bit sizes), data in blocks of 4096 bytes
// per channel, and an optional ID3v2 tag that carries tags and markers.
#pragma once

#include <cstdint>
#include <string>

#include "formats/tags/internal/id3v2_reader.h"
#include "formats/one_bit/one_bit_audio.h"
#include "platform/error.h"

namespace tidemark::NS_1BIT {

class CDsf : public COneBitAudio {
 public:
  CDsf() = default;
  ~CDsf() override;

  // 14 when the file is shorter than 92 bytes, the header ids, format
  // version (1), format id (0), bits per sample (1 or 8) or block size
  // (4096) differ, the total size passes the file, the data chunk passes the
  // total size or holds fewer bytes than the samples need, or the rate or
  // channel count is 0; 15 for more than 65535 channels; 77, 25, 8, 2.
  [[nodiscard]] Error Open(const std::string& path) override;
  void Close() override;
  // The synchronised lyrics of the ID3v2 tag as markers at `pcm_rate`.
  // 15 when pcm_rate is 0; 8; 2; 77.
  [[nodiscard]] Error ReadMarkers(MarkerList& markers, std::uint32_t pcm_rate) override;
  // The tag set of the ID3v2 tag. 8; 2; 77.
  [[nodiscard]] Error ReadTags(TagSet& tags) override;
  std::uint32_t SampleRate() const override { return rate_; }
  std::uint16_t Channels() const override { return channels_; }
  std::uint64_t DataOffset() const override { return is_open() ? kDataOffset : 0; }
  std::uint64_t DataSize() const override { return data_size_; }

  static constexpr std::uint64_t kHeaderBytes = 92;
  static constexpr std::uint64_t kDataOffset = kHeaderBytes;

 private:
  [[nodiscard]] Error ReadHeader();
  // Parses the metadata block on first use; later calls reuse it.
  [[nodiscard]] Error LoadTag();

  std::uint32_t rate_ = 0;
  std::uint16_t channels_ = 0;
  std::uint64_t data_size_ = 0;
  std::uint64_t total_size_ = 0;
  std::uint64_t metadata_offset_ = 0;
  bool tag_loaded_ = false;
  Id3v2Tag tag_;
};

}  // namespace tidemark::NS_1BIT
