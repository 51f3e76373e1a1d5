// Reading WSD files (".wsd"): a 2048-byte big-endian header with the rate,
// the channel count and the offsets of the text area and the data; data
// interleaved byte by byte, most significant bit first; tags in fixed-width
// text fields.
#pragma once

#include <cstdint>
#include <string>

#include "formats/one_bit/one_bit_audio.h"
#include "platform/error.h"

namespace tidemark::NS_1BIT {

class CWsd : public COneBitAudio {
 public:
  CWsd() = default;
  ~CWsd() override;

  // 14 when the file is shorter than 2048 bytes, does not start with
  // "1bit", has a version other than 1.x, a file size past the file, a data
  // offset past the file size, or a rate or channel count of 0; 77, 25, 8.
  [[nodiscard]] Error Open(const std::string& path) override;
  void Close() override;
  // The format has no markers: nothing is added. 77.
  [[nodiscard]] Error ReadMarkers(MarkerList& markers, std::uint32_t pcm_rate) override;
  // Name, Artist, Genre, CreationDate, Comments and the AppPrivate ALBUM
  // entry from the text area, each trimmed of leading spaces and of
  // trailing spaces and zero bytes (and ending at a zero byte). 8 when the
  // 1920 bytes of the text area are not all in the file; 2; 77.
  [[nodiscard]] Error ReadTags(TagSet& tags) override;
  std::uint32_t SampleRate() const override { return rate_; }
  std::uint16_t Channels() const override { return channels_; }
  std::uint64_t DataOffset() const override { return data_offset_; }
  std::uint64_t DataSize() const override { return data_size_; }

  static constexpr std::uint64_t kHeaderBytes = 2048;
  static constexpr std::size_t kTextAreaBytes = 1920;

 private:
  [[nodiscard]] Error ReadHeader();

  std::uint32_t rate_ = 0;
  std::uint16_t channels_ = 0;
  std::uint32_t text_offset_ = 0;
  std::uint64_t data_offset_ = 0;
  std::uint64_t data_size_ = 0;
};

}  // namespace tidemark::NS_1BIT
