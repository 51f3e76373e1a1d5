// Byte builders for hand-made 1-bit files: DSDIFF chunks with 64-bit
// big-endian sizes, the 92-byte DSF header and the 2048-byte WSD header.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/chunks/byte_order.h"
#include "tests/formats/chunks/chunk_test_util.h"

namespace tidemark::testing {

// Big-endian numbers and DSDIFF chunks: id, u64 size, body, pad byte.
class Iff8Bytes {
 public:
  Iff8Bytes& Id(const char (&id)[5]) { return Text(std::string_view(id, 4)); }
  Iff8Bytes& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  Iff8Bytes& U16(std::uint16_t v) { return U8(static_cast<std::uint8_t>(v >> 8)).U8(static_cast<std::uint8_t>(v)); }
  Iff8Bytes& U32(std::uint32_t v) { return U16(static_cast<std::uint16_t>(v >> 16)).U16(static_cast<std::uint16_t>(v)); }
  Iff8Bytes& U64(std::uint64_t v) { return U32(static_cast<std::uint32_t>(v >> 32)).U32(static_cast<std::uint32_t>(v)); }
  Iff8Bytes& Text(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  Iff8Bytes& Raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
  }
  Iff8Bytes& Header(const char (&id)[5], std::uint64_t size) { return Id(id).U64(size); }
  Iff8Bytes& Chunk(const char (&id)[5], const Bytes& body) {
    Header(id, body.size()).Raw(body);
    if (body.size() & 1) bytes_.push_back(0);
    return *this;
  }
  Iff8Bytes& Chunk(const char (&id)[5], const Iff8Bytes& body) { return Chunk(id, body.bytes()); }
  // A container chunk: its type, then the chunks of `inner`.
  Iff8Bytes& Container(const char (&id)[5], const char (&type)[5], const Iff8Bytes& inner) {
    return Chunk(id, Iff8Bytes().Id(type).Raw(inner.bytes()));
  }

  const Bytes& bytes() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  Bytes bytes_;
};

inline constexpr std::uint32_t kDsd64 = 2822400;

inline Bytes DsdiffFile(const Iff8Bytes& body) { return Iff8Bytes().Container("FRM8", "DSD ", body).bytes(); }

inline Iff8Bytes Fver(std::uint32_t version = 0x01050000) { return Iff8Bytes().Chunk("FVER", Iff8Bytes().U32(version)); }

// The property chunk with the rate, channel ids (`ids`, or SLFT, SRGT...)
// and compression type; a chunk left out by `omit` ("FS  ", "CHNL" or
// "CMPR") is not written.
inline Iff8Bytes Prop(std::uint32_t rate, std::uint16_t channels, const char (&compression)[5] = "DSD ",
                      std::string_view omit = "", std::string_view ids = "") {
  Iff8Bytes inner;
  if (omit != "FS  ") inner.Chunk("FS  ", Iff8Bytes().U32(rate));
  Iff8Bytes chnl;
  chnl.U16(channels);
  if (!ids.empty()) chnl.Text(ids);
  for (std::uint16_t i = 0; ids.empty() && i < channels; ++i) chnl.Text(i == 0 ? "SLFT" : "SRGT");
  if (omit != "CHNL") inner.Chunk("CHNL", chnl);
  if (omit != "CMPR") inner.Chunk("CMPR", Iff8Bytes().Id(compression).U8(14).Text("not compressed"));
  return Iff8Bytes().Container("PROP", "SND ", inner);
}

inline Iff8Bytes DsdData(std::size_t n, std::uint8_t value = 0x69) {
  return Iff8Bytes().Chunk("DSD ", Bytes(n, value));
}

// A whole DSDIFF file: version, properties, `data` bytes of `value`, then `extra`.
inline Bytes DsdiffOf(std::uint32_t rate = kDsd64, std::uint16_t channels = 2, std::size_t data = 10,
                      const Iff8Bytes& extra = {}, std::uint8_t value = 0x69) {
  return DsdiffFile(Iff8Bytes().Raw(Fver().bytes()).Raw(Prop(rate, channels).bytes()).Raw(DsdData(data, value).bytes())
                        .Raw(extra.bytes()));
}

struct MarkFields {
  std::uint16_t hours = 0;
  std::uint8_t minutes = 0;
  std::uint8_t seconds = 0;
  std::uint32_t samples = 0;
  std::int32_t offset = 0;
  std::uint16_t type = 0;
  std::uint16_t channel = 0;
  std::string text;
  std::int64_t text_length = -1;  // the stored length; the text's size when negative
};

inline Iff8Bytes Mark(const MarkFields& m) {
  Iff8Bytes body;
  body.U16(m.hours).U8(m.minutes).U8(m.seconds).U32(m.samples).U32(static_cast<std::uint32_t>(m.offset));
  body.U16(m.type).U16(m.channel).U16(0);
  body.U32(static_cast<std::uint32_t>(m.text_length >= 0 ? m.text_length : static_cast<std::int64_t>(m.text.size())));
  body.Text(m.text);
  return Iff8Bytes().Chunk("MARK", body);
}

// A "DITI" or "DIAR" body: u32 length (or `length`), the text.
inline Iff8Bytes CountedText(const char (&id)[5], std::string_view text, std::int64_t length = -1) {
  return Iff8Bytes().Chunk(
      id, Iff8Bytes().U32(static_cast<std::uint32_t>(length >= 0 ? length : static_cast<std::int64_t>(text.size()))).Text(text));
}

struct Comment {
  std::uint16_t type;
  std::uint16_t reference;
  std::string text;
  std::int64_t length = -1;
};

inline Iff8Bytes Comt(const std::vector<Comment>& comments, std::int64_t count = -1) {
  Iff8Bytes body;
  body.U16(static_cast<std::uint16_t>(count >= 0 ? count : static_cast<std::int64_t>(comments.size())));
  for (const Comment& c : comments) {
    body.U16(2024).U8(1).U8(2).U8(3).U8(4).U16(c.type).U16(c.reference);
    body.U32(static_cast<std::uint32_t>(c.length >= 0 ? c.length : static_cast<std::int64_t>(c.text.size())));
    body.Text(c.text);
    if (c.text.size() & 1) body.U8(0);
  }
  return Iff8Bytes().Chunk("COMT", body);
}

inline void PutLe32(Bytes& b, std::size_t at, std::uint32_t v) { StoreLe32(b.data() + at, v); }
inline void PutLe64(Bytes& b, std::size_t at, std::uint64_t v) { StoreLe64(b.data() + at, v); }
inline void PutBe32(Bytes& b, std::size_t at, std::uint32_t v) { StoreBe32(b.data() + at, v); }

// A DSF file: header, `per_channel` bytes of each channel in 4096-byte
// blocks, then `metadata` (its offset in the header when not empty).
inline Bytes DsfFile(std::uint32_t rate, std::uint32_t channels, std::uint32_t bits, std::uint64_t per_channel,
                     const Bytes& metadata = {}) {
  const std::uint64_t area = channels * ((per_channel + 4095) / 4096 * 4096);
  Bytes b(92 + area + metadata.size(), 0x55);
  std::fill(b.begin(), b.begin() + 92, std::uint8_t{0});
  std::copy(metadata.begin(), metadata.end(), b.begin() + static_cast<std::ptrdiff_t>(92 + area));
  std::memcpy(b.data(), "DSD ", 4);
  PutLe64(b, 4, 28);
  PutLe64(b, 12, 92 + area + metadata.size());
  PutLe64(b, 20, metadata.empty() ? 0 : 92 + area);
  std::memcpy(b.data() + 28, "fmt ", 4);
  PutLe64(b, 32, 52);
  PutLe32(b, 40, 1);
  PutLe32(b, 44, 0);
  PutLe32(b, 48, channels);
  PutLe32(b, 52, channels);
  PutLe32(b, 56, rate);
  PutLe32(b, 60, bits);
  PutLe64(b, 64, per_channel * 8);
  PutLe32(b, 72, 4096);
  std::memcpy(b.data() + 80, "data", 4);
  PutLe64(b, 84, area + 12);
  return b;
}

// A WSD file: the 2048-byte header with a blank text area (texts placed
// at their field offsets by `texts`), then `data_bytes` of data.
inline Bytes WsdFile(std::uint32_t rate, std::uint8_t channels, std::uint32_t data_bytes,
                     const std::vector<std::pair<std::size_t, std::string>>& texts = {}) {
  Bytes b(2048 + std::size_t{data_bytes}, 0xAA);
  std::fill(b.begin(), b.begin() + 128, std::uint8_t{0});
  std::memcpy(b.data(), "1bit", 4);
  b[8] = 0x10;
  PutBe32(b, 12, 2048 + data_bytes);
  PutBe32(b, 20, 128);
  PutBe32(b, 24, 2048);
  PutBe32(b, 36, rate);
  b[44] = channels;
  b[48] = channels == 1 ? 0x10 : 0x44;
  std::fill(b.begin() + 128, b.begin() + 2048, ' ');
  for (const auto& [at, text] : texts) std::memcpy(b.data() + 128 + at, text.data(), text.size());
  return b;
}

}  // namespace tidemark::testing
