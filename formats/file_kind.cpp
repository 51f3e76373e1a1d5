#include "formats/file_kind.h"

#include "core/core_options.h"
#include "core/io/pcm_header.h"
#include "formats/format_registry.h"
#include "platform/ascii_case.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

using namespace sample_code;

bool IsRiffOrIff(PcmFileKind kind) {
  return kind == PcmFileKind::Temp || kind == PcmFileKind::Wave || kind == PcmFileKind::AIFF ||
         kind == PcmFileKind::AIFC;
}

PcmHeaderRequest RequestFor(PcmFileKind kind, std::uint32_t rate, SampleCode code, std::uint16_t channels,
                            std::uint32_t frames) {
  PcmHeaderRequest request;
  request.kind = NormalisedKind(kind);
  request.rate = rate;
  request.code = code;
  request.channels = channels;
  request.frames = frames;
  request.extensible = GetCoreOptions().extensible_wav_header;
  return request;
}

Error WriteAll(PosixFile& file, const void* data, std::size_t n, std::uint64_t offset) {
  std::size_t done = 0;
  const Error rc = file.WriteAt(data, n, offset, &done);
  if (rc == err::kDiskFull) return rc;
  return rc != err::kOk || done != n ? err::kWriteFailed : err::kOk;
}

}  // namespace

PcmFileKind FileTypeFromExtension(std::string_view name, PcmFileKind fallback) {
  const std::size_t slash = name.find_last_of('/');
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return fallback;
  const std::string_view ext = name.substr(dot + 1);
  if (EqualsIgnoreAsciiCase(ext, "aif") || EqualsIgnoreAsciiCase(ext, "aiff")) return PcmFileKind::AIFF;
  if (EqualsIgnoreAsciiCase(ext, "aifc")) return PcmFileKind::AIFC;
  if (EqualsIgnoreAsciiCase(ext, "au") || EqualsIgnoreAsciiCase(ext, "snd")) return PcmFileKind::AU;
  if (EqualsIgnoreAsciiCase(ext, "wav")) return PcmFileKind::Wave;
  return fallback;
}

SampleCode StoredSampleFormat(PcmFileKind kind, SampleCode code, bool* converted) {
  *converted = false;
  const unsigned width = BytesPerSample(code);
  switch (NormalisedKind(kind)) {
    case PcmFileKind::Temp:
    case PcmFileKind::Wave: {
      // Little-endian throughout; 8-bit WAV samples are unsigned.
      auto stored = static_cast<SampleCode>(code & ~(kUnsignedBit | kBigEndianBit));
      if (width == 1) stored |= kUnsignedBit;
      return stored;
    }
    case PcmFileKind::AIFF: {
      // Plain AIFF holds signed big-endian integers only.
      if (IsFloatCode(code)) {
        *converted = true;
        return kS32BE;
      }
      auto stored = static_cast<SampleCode>(code & ~kUnsignedBit);
      if (width >= 2) stored |= kBigEndianBit;
      return stored;
    }
    case PcmFileKind::AIFC: {
      // Integers keep the byte order asked for ("NONE" or "sowt"); floats
      // are stored big-endian.
      auto stored = static_cast<SampleCode>(code & ~kUnsignedBit);
      if (IsFloatCode(code)) stored |= kBigEndianBit;
      return stored;
    }
    case PcmFileKind::AU: {
      auto stored = static_cast<SampleCode>(code & ~kUnsignedBit);
      if (width >= 2) stored |= kBigEndianBit;
      return stored;
    }
    case PcmFileKind::Raw:
      break;
  }
  return code;
}

SampleCode SampleFormatOnReading(PcmFileKind kind, unsigned width, bool is_float) {
  auto code = static_cast<SampleCode>(width & kSizeMask);
  if (is_float) code |= kFloatBit;
  switch (NormalisedKind(kind)) {
    case PcmFileKind::Temp:
    case PcmFileKind::Wave:
      if (width == 1) code |= kUnsignedBit;
      break;
    case PcmFileKind::AIFF:
    case PcmFileKind::AIFC:
    case PcmFileKind::AU:
      if (width >= 2) code |= kBigEndianBit;
      break;
    case PcmFileKind::Raw:
      break;
  }
  return code;
}

Error HeaderSize(PcmFileKind kind, SampleCode code, std::uint32_t* bytes) {
  RegisterFormatHeaderBuilders();
  // The header size does not depend on rate or length; one channel keeps
  // the block-size check out of the way.
  return PcmHeaderSize(RequestFor(kind, 0, code, 1, 0), bytes);
}

Error BuildHeader(PcmFileKind kind, std::byte* buffer, std::uint32_t rate, SampleCode code,
                  std::uint16_t channels, std::uint32_t frames, std::uint32_t* length) {
  RegisterFormatHeaderBuilders();
  return BuildPcmHeader(RequestFor(kind, rate, code, channels, frames), buffer, length);
}

Error CheckFramesFitTarget(PcmFileKind kind, SampleCode code, std::uint16_t channels, std::uint32_t frames) {
  RegisterFormatHeaderBuilders();
  std::uint32_t header = 0;
  if (const Error rc = PcmHeaderSize(RequestFor(kind, 0, code, channels, 0), &header)) return rc;
  const std::uint32_t frame_bytes = BytesPerSample(code) * std::uint32_t{channels};
  if (frames > (kMaxSoundFileBytes - header) / frame_bytes) return err::kTooManyFramesForTarget;
  return err::kOk;
}

Error PrepareSoundFile(PosixFile& file, PcmFileKind kind, std::uint32_t rate, SampleCode code,
                       std::uint16_t channels, std::uint32_t frames) {
  RegisterFormatHeaderBuilders();
  std::byte header[kMaxPcmHeaderBytes];
  std::uint32_t header_bytes = 0;
  // The builder refuses a header and samples beyond kMaxSoundFileBytes (77).
  if (const Error rc = BuildHeader(kind, header, rate, code, channels, frames, &header_bytes)) return rc;
  const std::uint64_t total = header_bytes + std::uint64_t{BytesPerSample(code)} * channels * frames;
  if (total > kMaxSoundFileBytes) return err::kSizeLimit;
  // RIFF and IFF chunks end on even offsets; kMaxSoundFileBytes is even, so
  // the rounded end still fits.
  const std::uint64_t end = IsRiffOrIff(NormalisedKind(kind)) ? (total + 1) & ~std::uint64_t{1} : total;

  // Reserve the space first so that a full disk shows now, not halfway
  // through the samples; then set the exact end (cutting an older, longer
  // file).
  Error rc = file.Allocate(end);
  if (rc == err::kOk) rc = file.Truncate(end);
  if (rc != err::kOk) return rc == err::kDiskFull ? err::kDiskFull : err::kSeekFailed;

  if (end > total) {
    const std::uint8_t pad = 0;
    if (const Error wrc = WriteAll(file, &pad, 1, end - 1)) return wrc;
  }
  if (header_bytes) return WriteAll(file, header, header_bytes, 0);
  return err::kOk;
}

}  // namespace tidemark
