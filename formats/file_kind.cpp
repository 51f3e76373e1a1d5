#include "formats/file_kind.h"

#include "core/core_options.h"
#include "core/io/pcm_header.h"
#include "core/samples/sample_type_text.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/file_kind_table.h"
#include "platform/ascii_case.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

using namespace sample_code;

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
  for (const FileKindDescription* kind : FileKindTable())
    for (const std::string_view known : kind->extensions)
      if (EqualsIgnoreAsciiCase(ext, known)) return kind->kind;
  return fallback;
}

SampleCode StoredSampleFormat(PcmFileKind kind, SampleCode code, bool* converted) {
  const NormalisedCode stored = NormaliseForKind(NormalisedKind(kind), code);
  *converted = stored.invalid;
  return stored.code;
}

SampleCode SampleFormatOnReading(PcmFileKind kind, unsigned width, bool is_float) {
  const FileKindDescription& d = DescribeFileKind(kind);
  auto code = static_cast<SampleCode>(width & kSizeMask);
  if (is_float) code |= kFloatBit;
  if (width == 1 && d.unsigned_bytes) code |= kUnsignedBit;
  if (width >= 2 && d.big_endian) code |= kBigEndianBit;
  return code;
}

Error HeaderSize(PcmFileKind kind, SampleCode code, std::uint32_t* bytes) {
  // The header size does not depend on rate or length; one channel keeps
  // the block-size check out of the way.
  return PcmHeaderSize(RequestFor(kind, 0, code, 1, 0), bytes);
}

Error BuildHeader(PcmFileKind kind, std::byte* buffer, std::uint32_t rate, SampleCode code,
                          std::uint16_t channels, std::uint32_t frames, std::uint32_t* length) {
  return BuildPcmHeader(RequestFor(kind, rate, code, channels, frames), buffer, length);
}

Error CheckFramesFitTarget(PcmFileKind kind, SampleCode code, std::uint16_t channels,
                                   std::uint32_t frames) {
  std::uint32_t header = 0;
  if (const Error rc = PcmHeaderSize(RequestFor(kind, 0, code, channels, 0), &header)) return rc;
  const std::uint32_t frame_bytes = BytesPerSample(code) * std::uint32_t{channels};
  if (frames > (kMaxSoundFileBytes - header) / frame_bytes) return err::kTooManyFramesForTarget;
  return err::kOk;
}

Error PrepareSoundFile(PosixFile& file, PcmFileKind kind, std::uint32_t rate, SampleCode code,
                               std::uint16_t channels, std::uint32_t frames) {
  std::byte header[kMaxPcmHeaderBytes];
  std::uint32_t header_bytes = 0;
  // The builder refuses a header and samples beyond kMaxSoundFileBytes (77).
  if (const Error rc = BuildHeader(kind, header, rate, code, channels, frames, &header_bytes)) return rc;
  const std::uint64_t total = header_bytes + std::uint64_t{BytesPerSample(code)} * channels * frames;
  if (total > kMaxSoundFileBytes) return err::kSizeLimit;
  // RIFF and IFF chunks end on even offsets; kMaxSoundFileBytes is even, so
  // the rounded end still fits.
  const std::uint64_t end = PcmFileEnd(NormalisedKind(kind), total);

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

Error PatchSampleRate(const std::string& path, PcmFileKind kind, std::uint32_t rate) {
  const RatePatchFunction patch = DescribeFileKind(kind).patch_rate;
  if (!patch) return err::kOk;
  PosixFile file;
  std::uint64_t length = 0;
  if (const Error rc = OpenForMetadataEdit(path, &file, &length)) return rc;
  Error rc = patch(file, length, rate);
  if (rc == err::kMalformed) rc = err::kLayoutMismatch;
  const Error close_rc = file.Close();
  return rc ? rc : (close_rc ? err::kWriteFailed : err::kOk);
}

}  // namespace tidemark
