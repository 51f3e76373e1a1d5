// RF64 and BW64 files for the tests: the twin of a RIFF file, byte by byte.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "formats/chunks/byte_order.h"
#include "tests/formats/chunks/chunk_test_util.h"

namespace tidemark::testing {

struct Rf64Options {
  const char* magic = "RF64";
  // Chunks whose size field holds 0xFFFFFFFF: "data" finds its size in the
  // "ds64" data field, any other in the "ds64" table.
  std::set<std::string> large = {"data"};
  // Size fields of the whole file and of "ds64" as stored, unless 0.
  std::uint32_t riff_field = 0xFFFFFFFFu;
  std::uint64_t ds64_riff = 0;    // 0: the true size
  std::uint64_t sample_count = 0;
  std::uint32_t ds64_body = 0;    // 0: 28 + 12 per table entry
};

// The RF64 twin of the RIFF file `riff`: the same chunks after a "ds64"
// chunk, with the 32-bit sizes taken out as `options` say.
inline Bytes Rf64Twin(const Bytes& riff, const Rf64Options& options = {}) {
  ChunkBytes chunks, table;
  std::uint32_t entries = 0;
  std::uint64_t data_size = 0;
  for (std::size_t at = 12; at + 8 <= riff.size();) {
    const auto from = riff.begin() + static_cast<std::ptrdiff_t>(at);
    const std::string id(from, from + 4);
    const std::uint32_t size = LoadLe32(&riff[at + 4]);
    const bool large = options.large.count(id) != 0;
    chunks.Raw(&riff[at], 4).U32(large ? 0xFFFFFFFFu : size);
    const std::size_t whole = std::min<std::size_t>(riff.size() - at - 8, (size + 1) & ~std::size_t{1});
    chunks.Raw(&riff[at + 8], whole);
    if (id == "data") data_size = size;
    if (large && id != "data") {
      table.Raw(&riff[at], 4).U32(size).U32(0);
      ++entries;
    }
    at += 8 + whole;
  }
  const std::uint32_t body = options.ds64_body ? options.ds64_body : 28 + 12 * entries;
  const std::uint64_t total = 12 + 8 + std::uint64_t{body} + chunks.size();
  ChunkBytes out;
  out.Text(options.magic).U32(options.riff_field).Text("WAVE").Header("ds64", body);
  const std::uint64_t riff_size = options.ds64_riff ? options.ds64_riff : total - 8;
  out.U32(static_cast<std::uint32_t>(riff_size)).U32(static_cast<std::uint32_t>(riff_size >> 32));
  out.U32(static_cast<std::uint32_t>(data_size)).U32(static_cast<std::uint32_t>(data_size >> 32));
  out.U32(static_cast<std::uint32_t>(options.sample_count)).U32(static_cast<std::uint32_t>(options.sample_count >> 32));
  out.U32(entries).Raw(table.bytes());
  Bytes bytes = out.bytes();
  bytes.resize(12 + 8 + body, 0);
  bytes.insert(bytes.end(), chunks.bytes().begin(), chunks.bytes().end());
  return bytes;
}

// The RF64 header of a mono or stereo PCM file whose "data" chunk holds
// `data_bytes` (64-bit sizes in "ds64"), and the length of the whole file.
inline std::pair<Bytes, std::uint64_t> Rf64Header(std::uint16_t channels, std::uint16_t width, std::uint64_t data_bytes) {
  ChunkBytes body;
  body.Chunk("fmt ", ChunkBytes()
                         .U16(1).U16(channels).U32(8000).U32(8000u * channels * width)
                         .U16(static_cast<std::uint16_t>(channels * width)).U16(static_cast<std::uint16_t>(8 * width))
                         .bytes())
      .Header("data", 0);
  Bytes file = Rf64Twin(RiffWave(body));
  const std::uint64_t length = file.size() + data_bytes;
  StoreLe64(&file[20], length - 8);
  StoreLe64(&file[28], data_bytes);
  return {file, length};
}

}  // namespace tidemark::testing
