// Reading DSDIFF files (".dff"): the "FRM8" container of type "DSD " with
// its version, its "PROP"/"SND " property chunks (rate, channels,
// compression) and the uncompressed "DSD " sound data chunk; markers from
// the "MARK" chunks of "DIIN", tags from "COMT" and from "DITI"/"DIAR".
// Channels are interleaved byte by byte, most significant bit first.
#pragma once

#include <cstdint>
#include <string>

#include "formats/one_bit/internal/iff8_chunks.h"
#include "formats/one_bit/one_bit_audio.h"
#include "platform/error.h"

namespace tidemark::NS_1BIT {

class CDsdIff : public COneBitAudio, public CIff8 {
 public:
  CDsdIff() = default;
  ~CDsdIff() override;

  // 14 when the container is malformed (see CIff8), the "FVER" chunk is
  // missing, short or not of major version 1, there is no "PROP" of type
  // "SND ", its "FS  ", "CHNL" or "CMPR" is missing or short, or the rate or
  // channel count is 0, or the data would start past 0xFFFFFFFF; 15 when
  // the data is compressed or there is no "DSD " data chunk; 77, 25, 8, 2.
  [[nodiscard]] Error Open(const std::string& path) override;
  void Close() override;
  // The "MARK" chunks of the first "DIIN" that apply to all channels, of
  // types 0 (track start), 1 (track stop), 2 (program start) and 4
  // (index), named by their text cut to 255 bytes, at
  //   (samples + offset) / (rate / pcm_rate) + (h * 3600 + m * 60 + s) * pcm_rate
  // in integer arithmetic (a negative result counts as 0); marks past frame
  // 0xFFFF0000 are dropped. 15 when pcm_rate is 0 or above the 1-bit rate;
  // 14 for a malformed "DIIN"; 8; 2; 77.
  [[nodiscard]] Error ReadMarkers(MarkerList& markers, std::uint32_t pcm_rate) override;
  // Comments and Software from the first "COMT" (the first comment of type
  // 0 reference 0, and of type 3 reference 2), Name and Artist from the
  // first "DITI" and "DIAR" of the first "DIIN". A text whose length does
  // not fit its chunk is left out. 14 for a malformed "DIIN"; 8; 2; 77.
  [[nodiscard]] Error ReadTags(TagSet& tags) override;
  std::uint32_t SampleRate() const override { return rate_; }
  std::uint16_t Channels() const override { return channels_; }
  std::uint64_t DataOffset() const override { return data_offset_; }
  std::uint64_t DataSize() const override { return data_size_; }

 protected:
  // "PROP" and "LIST".
  bool IsContainerChunk(std::uint32_t id) const override;

 private:
  [[nodiscard]] Error ReadHeader();
  // The chunks inside the first "DIIN" (an empty table when there is
  // none), listed on first use and kept until Close: markers and tags both
  // need them.
  [[nodiscard]] Error ListDiin(const Iff8Table** chunks);

  Iff8Table chunks_;  // the top level of the file
  Iff8Table diin_;
  bool diin_listed_ = false;
  std::uint32_t rate_ = 0;
  std::uint16_t channels_ = 0;
  std::uint64_t data_offset_ = 0;
  std::uint64_t data_size_ = 0;
};

}  // namespace tidemark::NS_1BIT
