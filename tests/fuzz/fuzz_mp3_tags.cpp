// Arbitrary bytes as the ID3 tags of an MP3 file and as the lossy
// encoders' settings blocks: chapter parsing never reads outside the bytes
// and gives at most one marker per CHAP frame, an ID3v1 parse of any 128
// bytes is harmless, and a block that decodes encodes back to the same
// bytes (Opus: once its bitrate is clamped).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "codecs/lame_encode_block.h"
#include "codecs/opus_encode_block.h"
#include "codecs/vorbis_encode_block.h"
#include "formats/tags/id3_tags.h"

using namespace tidemark;

namespace {

template <std::size_t N, typename Settings, typename Decode, typename Encode>
void CheckBlock(std::span<const std::uint8_t> bytes, Decode decode, Encode encode) {
  if (bytes.size() < N) return;
  Settings settings;
  if (!decode(bytes.first(N), &settings).ok()) return;
  const auto again = encode(settings);
  Settings twice;
  if (!decode(again, &twice).ok() || encode(twice) != again) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  MarkerList markers;
  if (ParseMp3Chapters(bytes, 44100, &markers).ok()) {
    // A CHAP frame needs at least a 10-byte header and 17 bytes of body.
    if (markers.size() > size / 27 + 1) std::abort();
  }
  if (size >= 128) {
    TagSet tags;
    ParseMp3Id3v1Tag(bytes.last(128), &tags);
  }
  CheckBlock<kLameEncodeBlockSize, LameEncodeSettings>(bytes, DecodeLameBlock, EncodeLameBlock);
  CheckBlock<kOpusEncodeBlockSize, OpusEncodeSettings>(bytes, DecodeOpusBlock, EncodeOpusBlock);
  CheckBlock<kVorbisEncodeBlockSize, VorbisEncodeSettings>(bytes, DecodeVorbisBlock, EncodeVorbisBlock);
  // The exact-bytes round trip holds where nothing is clamped.
  if (size >= kLameEncodeBlockSize) {
    LameEncodeSettings lame;
    if (DecodeLameBlock(bytes.first(kLameEncodeBlockSize), &lame).ok() &&
        std::memcmp(EncodeLameBlock(lame).data(), data, kLameEncodeBlockSize) != 0)
      std::abort();
  }
  return 0;
}
