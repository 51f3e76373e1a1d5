#include "core/io/wave_header.h"

#include <cstring>

#include "core/io/chunk_padding.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

enum class WaveLayout { kCanonical, kFloat, kExtensible };

WaveLayout WaveLayoutFor(const PcmHeaderRequest& r) {
  if (r.extensible && BytesPerSample(r.code) > 2) return WaveLayout::kExtensible;
  return IsFloatCode(r.code) ? WaveLayout::kFloat : WaveLayout::kCanonical;
}

std::uint32_t FormatBytes(WaveLayout layout) {
  switch (layout) {
    case WaveLayout::kCanonical: return wav::kPlainFormatBytes;
    case WaveLayout::kFloat: return wav::kFloatFormatBytes;
    case WaveLayout::kExtensible: return wav::kExtensibleFormatBytes;
  }
  return 0;
}

std::uint32_t WaveHeaderBytes(WaveLayout layout) {
  switch (layout) {
    case WaveLayout::kCanonical: return 44;
    case WaveLayout::kFloat: return 58;
    case WaveLayout::kExtensible: return 80;
  }
  return 0;
}

class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(std::byte* out) : p_(out) {}
  void Tag(const char (&four)[5]) {
    std::memcpy(p_, four, 4);
    p_ += 4;
  }
  void U16(std::uint32_t v) {
    p_[0] = std::byte(v & 0xFF);
    p_[1] = std::byte((v >> 8) & 0xFF);
    p_ += 2;
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Bytes(const std::uint8_t* b, std::size_t n) {
    std::memcpy(p_, b, n);
    p_ += n;
  }

 private:
  std::byte* p_;
};

std::uint32_t ChannelMask(std::uint16_t channels) {
  if (channels == 1) return 4;  // front centre
  if (channels == 2) return 3;  // front left and right
  return channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1u;
}

}  // namespace

Error WaveHeaderSize(const PcmHeaderRequest& request, std::uint32_t* bytes) {
  *bytes = WaveHeaderBytes(WaveLayoutFor(request));
  return err::kOk;
}

Error BuildWaveHeader(const PcmHeaderRequest& r, std::byte* out) {
  const WaveLayout layout = WaveLayoutFor(r);
  const std::uint32_t width = BytesPerSample(r.code);
  const std::uint32_t block = width * r.channels;
  const auto data = static_cast<std::uint32_t>(std::uint64_t{block} * r.frames);
  const std::uint32_t header = WaveHeaderBytes(layout);
  const std::uint16_t sample_tag = IsFloatCode(r.code) ? wav::kTagFloat : wav::kTagPcm;

  LittleEndianWriter w(out);
  w.Tag("RIFF");
  w.U32(static_cast<std::uint32_t>(header - 8 + PaddedSize(data)));
  w.Tag("WAVE");
  w.Tag("fmt ");
  w.U32(FormatBytes(layout));
  w.U16(layout == WaveLayout::kExtensible ? wav::kTagExtensible : sample_tag);
  w.U16(r.channels);
  w.U32(r.rate);
  w.U32(r.rate * block);
  w.U16(block);
  w.U16(width * 8);
  if (layout == WaveLayout::kExtensible) {
    w.U16(22);
    w.U16(width * 8);
    w.U32(ChannelMask(r.channels));
    w.Bytes(IsFloatCode(r.code) ? wav::kFloatSubFormat : wav::kPcmSubFormat, sizeof wav::kPcmSubFormat);
  } else if (layout == WaveLayout::kFloat) {
    w.U16(0);
  }
  if (layout != WaveLayout::kCanonical) {
    w.Tag("fact");
    w.U32(4);
    w.U32(r.frames);
  }
  w.Tag("data");
  w.U32(data);
  return err::kOk;
}

}  // namespace tidemark
