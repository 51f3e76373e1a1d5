#include "formats/aiff_au/internal/iff_header.h"

#include <cstring>

#include "core/io/chunk_padding.h"
#include "formats/aiff_au/internal/aiff_au_codes.h"
#include "formats/chunks/byte_order.h"
#include "formats/aiff_au/internal/iff_numbers.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint32_t kAiffCommBytes = 18;
constexpr std::uint32_t kAifcIntegerCommBytes = 38;
constexpr std::uint32_t kAifcFloatCommBytes = 44;

class BigEndianWriter {
 public:
  explicit BigEndianWriter(std::uint8_t* out) : p_(out) {}
  void Tag(const char (&four)[5]) {
    std::memcpy(p_, four, 4);
    p_ += 4;
  }
  void Id(std::uint32_t four_cc) {
    StoreFourCc(p_, four_cc);
    p_ += 4;
  }
  void U16(std::uint32_t v) {
    StoreBe16(p_, static_cast<std::uint16_t>(v));
    p_ += 2;
  }
  void U32(std::uint32_t v) {
    StoreBe32(p_, v);
    p_ += 4;
  }
  void Rate(std::uint32_t rate) {
    WriteExtended80(p_, rate);
    p_ += kExtended80Bytes;
  }
  void Pascal(const char* text) { p_ += WritePascalString(p_, text); }
  void Zeros(std::size_t n) {
    std::memset(p_, 0, n);
    p_ += n;
  }

 private:
  std::uint8_t* p_;
};

std::uint32_t DataBytes(SampleCode code, std::uint16_t channels, std::uint32_t frames) {
  return static_cast<std::uint32_t>(std::uint64_t{BytesPerSample(code)} * channels * frames);
}

template <bool kForceAifc>
Error IffSize(const PcmHeaderRequest& request, std::uint32_t* bytes) {
  *bytes = IffHeaderSize(request.code, kForceAifc);
  return err::kOk;
}

template <bool kForceAifc>
Error IffBuild(const PcmHeaderRequest& r, std::byte* out) {
  BuildIffHeader(reinterpret_cast<std::uint8_t*>(out), r.rate, r.code, r.channels, r.frames, kForceAifc);
  return err::kOk;
}

Error AuSize(const PcmHeaderRequest&, std::uint32_t* bytes) {
  *bytes = kAuHeaderBytes;
  return err::kOk;
}

Error AuBuild(const PcmHeaderRequest& r, std::byte* out) {
  BuildAuHeader(reinterpret_cast<std::uint8_t*>(out), r.rate, r.code, r.channels, r.frames);
  return err::kOk;
}

}  // namespace

constinit const PcmHeaderFormat kAiffHeaderFormat{IffSize<false>, IffBuild<false>, true};
constinit const PcmHeaderFormat kAifcHeaderFormat{IffSize<true>, IffBuild<true>, true};
constinit const PcmHeaderFormat kAuHeaderFormat{AuSize, AuBuild, false};

bool NeedsAifc(SampleCode code) {
  if (IsFloatCode(code)) return true;
  return BytesPerSample(code) >= 2 && !IsBigEndianCode(code);
}

std::uint32_t IffHeaderSize(SampleCode code, bool force_aifc) {
  if (!force_aifc && !NeedsAifc(code)) return kAiffHeaderBytes;
  return IsFloatCode(code) ? kAifcFloatHeaderBytes : kAifcIntegerHeaderBytes;
}

std::uint32_t BuildIffHeader(std::uint8_t* out, std::uint32_t rate, SampleCode code, std::uint16_t channels,
                             std::uint32_t frames, bool force_aifc) {
  const std::uint32_t header = IffHeaderSize(code, force_aifc);
  const std::uint32_t data = DataBytes(code, channels, frames);
  const bool aifc = header != kAiffHeaderBytes;
  const bool is_float = IsFloatCode(code);

  BigEndianWriter w(out);
  w.Tag("FORM");
  // Everything after the size field: the header's remaining bytes and the padded samples.
  w.U32(static_cast<std::uint32_t>(header - 8 + PaddedSize(data)));
  if (aifc) {
    w.Tag("AIFC");
    w.Tag("FVER");
    w.U32(4);
    w.U32(kAifcVersion1);
  } else {
    w.Tag("AIFF");
  }
  w.Tag("COMM");
  w.U32(!aifc ? kAiffCommBytes : is_float ? kAifcFloatCommBytes : kAifcIntegerCommBytes);
  w.U16(channels);
  w.U32(frames);
  w.U16(BitsPerSample(code));
  w.Rate(rate);
  if (aifc) {
    if (is_float) {
      const bool single = BytesPerSample(code) == 4;
      w.Id(single ? kAifcFloat32 : kAifcFloat64);
      w.Pascal(single ? "32-bit floating point" : "64-bit floating point");
    } else {
      w.Id(NeedsAifc(code) ? kAifcSowt : kAifcNone);
      w.Pascal("not compressed");
    }
  }
  w.Tag("SSND");
  w.U32(data + 8);
  w.Zeros(8);  // offset and block size
  return header;
}

std::uint32_t BuildAuHeader(std::uint8_t* out, std::uint32_t rate, SampleCode code, std::uint16_t channels,
                            std::uint32_t frames) {
  BigEndianWriter w(out);
  w.Tag(".snd");
  w.U32(kAuHeaderBytes);
  w.U32(DataBytes(code, channels, frames));
  w.U32(AuEncodingFor(code));
  w.U32(rate);
  w.U32(channels);
  w.Zeros(kAuHeaderBytes - 24);
  return kAuHeaderBytes;
}

}  // namespace tidemark
