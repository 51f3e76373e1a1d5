#include "core/io/pcm_header.h"

#include "core/io/chunk_padding.h"
#include "core/io/wave_header.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint64_t kMaxTotalBytes = 0xFFFFFFFEu;

Error NoHeaderSize(const PcmHeaderRequest&, std::uint32_t* bytes) {
  *bytes = 0;
  return err::kOk;
}

Error NoHeaderBuild(const PcmHeaderRequest&, std::byte*) { return err::kOk; }

constexpr PcmHeaderTable kCoreTable = {&kWaveHeaderFormat, &kWaveHeaderFormat, nullptr, nullptr, nullptr,
                                       &kHeaderlessFormat};

// Set once at start-up, read by every header writer afterwards.
constinit PcmHeaderTable g_table = kCoreTable;

std::uint64_t DataBytes(const PcmHeaderRequest& r) {
  return std::uint64_t{BytesPerSample(r.code)} * r.channels * r.frames;
}

// The layout checks every kind shares: a known code and a block that fits 16 bits.
bool LayoutSupported(const PcmHeaderRequest& r) {
  if (!IsSupportedSampleCode(r.code) || r.channels == 0) return false;
  return std::uint32_t{BytesPerSample(r.code)} * r.channels <= 0xFFFFu;
}

}  // namespace

constinit const PcmHeaderFormat kHeaderlessFormat{NoHeaderSize, NoHeaderBuild, false};

const PcmHeaderTable& CorePcmHeaderFormats() { return kCoreTable; }

void InstallPcmHeaderFormats(const PcmHeaderTable& table) { g_table = table; }

const PcmHeaderFormat* PcmHeaderFormatOf(PcmFileKind kind) {
  const auto index = static_cast<std::uint16_t>(kind);
  if (index >= kPcmFileKindCount) return nullptr;
  const PcmHeaderFormat* format = g_table[index];
  return format && format->size && format->build ? format : nullptr;
}

Error PcmHeaderSize(const PcmHeaderRequest& request, std::uint32_t* bytes) {
  *bytes = 0;
  if (!LayoutSupported(request)) return err::kSizeLimit;
  const PcmHeaderFormat* format = PcmHeaderFormatOf(request.kind);
  if (!format) return err::kSizeLimit;
  const Error rc = format->size(request, bytes);
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
  const Error rc = PcmHeaderFormatOf(request.kind)->build(request, out);
  if (rc != err::kOk) *bytes = 0;
  return rc;
}

std::uint64_t PcmFileEnd(PcmFileKind kind, std::uint64_t total) {
  const PcmHeaderFormat* format = PcmHeaderFormatOf(kind);
  return format && format->padded ? PaddedSize(total) : total;
}

}  // namespace tidemark
