// Helpers shared by the AIFF, AIFC and AU tests: hand-made headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formats/aiff_au/internal/iff_numbers.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/pcm_probe.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark::testing {

// A "COMM" body: 18 bytes, plus the compression type (and `name` as the
// raw bytes after it) when `compression` is given.
inline Bytes CommBody(std::uint16_t channels, std::uint32_t frames, std::uint16_t bits, std::uint32_t rate,
                      const char* compression = nullptr, const Bytes& name = {}) {
  ChunkBytes b(true);
  b.U16(channels).U32(frames).U16(bits);
  std::uint8_t ext[kExtended80Bytes];
  WriteExtended80(ext, rate);
  b.Raw(ext, sizeof ext);
  if (compression) b.Text(compression).Raw(name);
  return b.bytes();
}

// An "SSND" body: offset, block size, samples.
inline Bytes SsndBody(const Bytes& samples, std::uint32_t offset = 0, std::uint32_t block = 0) {
  ChunkBytes b(true);
  b.U32(offset).U32(block).Raw(samples);
  return b.bytes();
}

// An AIFC body that starts with a version-1 "FVER".
inline ChunkBytes AifcChunks() {
  ChunkBytes b(true);
  b.Header("FVER", 4).U32(0xA2805140u);
  return b;
}

// An AU file: the six header words, `annotation` zero bytes, the samples.
inline Bytes AuFile(std::uint32_t offset, std::uint32_t size, std::uint32_t encoding, std::uint32_t rate,
                    std::uint32_t channels, const Bytes& samples, std::size_t annotation = 8) {
  ChunkBytes b(true);
  b.Id(".snd").U32(offset).U32(size).U32(encoding).U32(rate).U32(channels).Zeros(annotation).Raw(samples);
  return b.bytes();
}

}  // namespace tidemark::testing
