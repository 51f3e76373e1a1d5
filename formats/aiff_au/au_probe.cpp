#include "formats/aiff_au/internal/au_probe.h"

#include "formats/aiff_au/internal/aiff_au_codes.h"
#include "formats/chunks/byte_order.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kLargestFile = 0xFFFFFFFEu;
constexpr std::uint32_t kAuFixedHeaderBytes = 24;
constexpr std::uint32_t kSizeToEnd = 0xFFFFFFFFu;

}  // namespace

Error ProbeAu(RandomAccessInput& input, std::uint64_t length, SoundFileInfo* info) {
  if (length < kAuFixedHeaderBytes || length > kLargestFile) return err::kMalformed;
  std::uint8_t h[kAuFixedHeaderBytes];
  if (const Error rc = input.ReadExact(h, sizeof h, 0)) return rc;
  if (LoadLe32(h) != FourCc(".snd")) return err::kMalformed;
  const std::uint32_t offset = LoadBe32(h + 4);
  std::uint32_t size = LoadBe32(h + 8);
  const std::uint32_t encoding = LoadBe32(h + 12);
  const std::uint32_t rate = LoadBe32(h + 16);
  const std::uint32_t channels = LoadBe32(h + 20);

  // An offset inside the six header words would read the header as samples.
  if (offset < kAuFixedHeaderBytes || offset > length) return err::kMalformed;
  if (size == kSizeToEnd)
    size = static_cast<std::uint32_t>(length - offset);
  else if (std::uint64_t{offset} + size > length)  // 64-bit: no wrap-around past 32 bits
    return err::kMalformed;
  const SampleCode code = AuEncodingCode(encoding);
  if (code == 0) return err::kMalformed;
  if (channels == 0) return err::kMalformed;
  if (channels > 0xFFFFu) return err::kUnsupportedFormat;

  info->kind = PcmFileKind::AU;
  info->rate = rate;
  info->channels = static_cast<std::uint16_t>(channels);
  info->code = code;
  info->frames = static_cast<std::uint32_t>(size / (std::uint64_t{BytesPerSample(code)} * channels));
  info->data_offset = offset;
  return err::kOk;
}

}  // namespace tidemark
