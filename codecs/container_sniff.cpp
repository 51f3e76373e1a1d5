#include "codecs/container_sniff.h"

#include <cstring>

namespace tidemark {
namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, std::size_t at, const char* text, std::size_t size) {
  return at <= bytes.size() && bytes.size() - at >= size && std::memcmp(bytes.data() + at, text, size) == 0;
}

// The first packet of the first Ogg page: after the 27-byte header and the
// segment table whose length is byte 26.
Container SniffOgg(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 27) return Container::kUnknown;
  const std::size_t packet = 27u + bytes[26];
  if (StartsWith(bytes, packet, "\x7F" "FLAC", 5)) return Container::kOggFlac;
  if (StartsWith(bytes, packet, "\x01vorbis", 7)) return Container::kOggVorbis;
  if (StartsWith(bytes, packet, "OpusHead", 8)) return Container::kOggOpus;
  return Container::kOggOther;
}

// An MPEG audio frame header: 11 sync bits, a version other than reserved,
// layer other than reserved, bit-rate index not 15, rate index not 3.
bool IsMpegFrameHeader(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (bytes.size() < 4 || at > bytes.size() - 4) return false;
  const std::uint8_t* h = bytes.data() + at;
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  if (((h[1] >> 3) & 3) == 1 || ((h[1] >> 1) & 3) == 0) return false;
  return (h[2] >> 4) != 15 && ((h[2] >> 2) & 3) != 3;
}

}  // namespace

std::uint64_t Id3v2TagSize(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 10 || !StartsWith(bytes, 0, "ID3", 3)) return 0;
  if (bytes[3] == 0xFF || bytes[4] == 0xFF) return 0;
  std::uint64_t body = 0;
  for (std::size_t i = 6; i < 10; ++i) {
    if (bytes[i] & 0x80) return 0;  // not a synchsafe size
    body = (body << 7) | bytes[i];
  }
  const bool footer = (bytes[5] & 0x10) != 0;
  return 10 + body + (footer ? 10 : 0);
}

Container SniffContainer(std::span<const std::uint8_t> bytes) {
  const std::uint64_t tags = Id3v2TagSize(bytes);
  if (tags != 0) {
    // FLAC files sometimes carry ID3v2 tags in front; look past them when
    // they lie within the bytes given, else the tags say MP3.
    if (tags < bytes.size() && StartsWith(bytes, static_cast<std::size_t>(tags), "fLaC", 4)) return Container::kFlac;
    return Container::kMp3;
  }
  if (StartsWith(bytes, 0, "fLaC", 4)) return Container::kFlac;
  if (StartsWith(bytes, 0, "OggS", 4)) return SniffOgg(bytes);
  if (IsMpegFrameHeader(bytes, 0)) return Container::kMp3;
  return Container::kUnknown;
}

}  // namespace tidemark
