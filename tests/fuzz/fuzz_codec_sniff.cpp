// Arbitrary bytes as the start of a compressed file and as an encoder
// settings block: sniffing never reads outside the bytes and agrees with the
// ID3v2 size it reports; a block that decodes encodes back to the same bytes
// (the FLAC block and those of the FFmpeg writers).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "codecs/av_encode_blocks.h"
#include "codecs/container_sniff.h"
#include "codecs/flac_encode_block.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const std::uint64_t tags = Id3v2TagSize(bytes);
  if (tags != 0 && (tags < 10 || size < 10 || std::memcmp(data, "ID3", 3) != 0)) std::abort();
  const Container container = SniffContainer(bytes);
  if (tags != 0 && container != Container::kMp3 && container != Container::kFlac) std::abort();
  if (size >= kFlacEncodeBlockSize) {
    FlacEncodeSettings settings;
    if (DecodeFlacBlock(bytes.first(kFlacEncodeBlockSize), &settings).ok()) {
      const auto again = EncodeFlacBlock(settings);
      if (std::memcmp(again.data(), data, kFlacEncodeBlockSize) != 0) std::abort();
    }
  }
  for (const AvWriter writer : {AvWriter::kAac, AvWriter::kMp3, AvWriter::kWma, AvWriter::kAcm}) {
    const std::size_t block_size = AvEncodeBlockSize(writer);
    if (size < block_size) continue;
    AvEncodeSettings settings;
    settings.writer = writer;
    if (DecodeAvBlock(bytes.first(block_size), &settings).ok()) {
      const auto again = EncodeAvBlock(settings);
      if (std::memcmp(again.data(), data, block_size) != 0) std::abort();
    }
  }
  return 0;
}
