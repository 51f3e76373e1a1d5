#include "core/io/pcm_header.h"

#include <cstring>

#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kMaxTotalBytes = 0xFFFFFFFEu;

// Builders registered by the formats layer, by file kind.
PcmHeaderFormat g_formats[kPcmFileKindCount];

bool IsBuiltIn(PcmFileKind kind) {
  return kind == PcmFileKind::Temp || kind == PcmFileKind::Wave || kind == PcmFileKind::Raw;
}

std::uint64_t DataBytes(const PcmHeaderRequest& r) {
  return std::uint64_t{BytesPerSample(r.code)} * r.channels * r.frames;
}

// The layout checks every kind shares: a known code and a block that fits 16 bits.
bool LayoutSupported(const PcmHeaderRequest& r) {
  if (!IsSupportedSampleCode(r.code) || r.channels == 0) return false;
  return std::uint32_t{BytesPerSample(r.code)} * r.channels <= 0xFFFFu;
}

enum class WaveLayout { kCanonical, kFloat, kExtensible };

WaveLayout WaveLayoutFor(const PcmHeaderRequest& r) {
  if (r.extensible && BytesPerSample(r.code) > 2) return WaveLayout::kExtensible;
  return IsFloatCode(r.code) ? WaveLayout::kFloat : WaveLayout::kCanonical;
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
  void Bytes(const unsigned char* b, std::size_t n) {
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

void BuildWave(const PcmHeaderRequest& r, WaveLayout layout, std::byte* out) {
  const std::uint32_t width = BytesPerSample(r.code);
  const std::uint32_t block = width * r.channels;
  const auto data = static_cast<std::uint32_t>(DataBytes(r));
  const std::uint32_t padded = data + (data & 1u);
  const std::uint32_t header = WaveHeaderBytes(layout);

  LittleEndianWriter w(out);
  w.Tag("RIFF");
  w.U32(header - 8 + padded);
  w.Tag("WAVE");
  w.Tag("fmt ");
  w.U32(layout == WaveLayout::kCanonical ? 16 : layout == WaveLayout::kFloat ? 18 : 40);
  w.U16(layout == WaveLayout::kExtensible ? 0xFFFE : IsFloatCode(r.code) ? 3 : 1);
  w.U16(r.channels);
  w.U32(r.rate);
  w.U32(r.rate * block);
  w.U16(block);
  w.U16(width * 8);
  if (layout == WaveLayout::kExtensible) {
    w.U16(22);
    w.U16(width * 8);
    w.U32(ChannelMask(r.channels));
    // KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT: {0000000x-0000-0010-8000-00aa00389b71}.
    static constexpr unsigned char kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                    0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    w.U16(IsFloatCode(r.code) ? 3 : 1);
    w.Bytes(kGuidTail, sizeof kGuidTail);
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
}

}  // namespace

void RegisterPcmHeaderFormat(PcmFileKind kind, const PcmHeaderFormat& format) {
  const auto index = static_cast<std::uint16_t>(kind);
  if (index >= kPcmFileKindCount || IsBuiltIn(kind)) return;
  g_formats[index] = format;
}

Error PcmHeaderSize(const PcmHeaderRequest& request, std::uint32_t* bytes) {
  *bytes = 0;
  if (!LayoutSupported(request)) return err::kSizeLimit;
  switch (request.kind) {
    case PcmFileKind::Temp:
    case PcmFileKind::Wave:
      *bytes = WaveHeaderBytes(WaveLayoutFor(request));
      return err::kOk;
    case PcmFileKind::Raw:
      return err::kOk;
    default:
      break;
  }
  const auto index = static_cast<std::uint16_t>(request.kind);
  if (index >= kPcmFileKindCount || !g_formats[index].size || !g_formats[index].build)
    return err::kSizeLimit;
  const Error rc = g_formats[index].size(request, bytes);
  if (rc == err::kOk && *bytes > kMaxPcmHeaderBytes) {
    *bytes = 0;
    return err::kSizeLimit;
  }
  return rc;
}

Error BuildPcmHeader(const PcmHeaderRequest& request, std::byte* out, std::uint32_t* bytes) {
  if (const Error rc = PcmHeaderSize(request, bytes)) return rc;
  // Every size field of every layout is 32 bits wide.
  if (*bytes + DataBytes(request) > kMaxTotalBytes) {
    *bytes = 0;
    return err::kSizeLimit;
  }
  switch (request.kind) {
    case PcmFileKind::Temp:
    case PcmFileKind::Wave:
      BuildWave(request, WaveLayoutFor(request), out);
      return err::kOk;
    case PcmFileKind::Raw:
      return err::kOk;
    default:
      break;
  }
  const Error rc = g_formats[static_cast<std::uint16_t>(request.kind)].build(request, out);
  if (rc != err::kOk) *bytes = 0;
  return rc;
}

}  // namespace tidemark
