#include "formats/open_sound_file.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <utility>

#include "core/document/sound_document.h"
#include "core/sources/sound_source.h"
#include "core/io/chunk_padding.h"
#include "formats/chunks/byte_order.h"
#include "formats/aiff_au/internal/aiff_au_codes.h"
#include "formats/aiff_au/internal/iff_numbers.h"
#include "formats/chunks/internal/input_file.h"
#include "formats/file_metadata.h"
#include "formats/one_bit/one_bit_document.h"
#include "formats/aiff_au/internal/raw_pcm.h"
#include "formats/pcm_probe.h"
#include "formats/wav/internal/wav_format.h"
#include "formats/wav/wav_probe.h"
#include "platform/ascii_case.h"
#include "platform/volume_info.h"

namespace tidemark {
namespace {

std::string Extension(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  return AsciiLower(name.substr(dot + 1));
}

bool Listed(const std::vector<std::string>& list, const std::string& extension) {
  if (extension.empty()) return false;
  return std::any_of(list.begin(), list.end(), [&](const std::string& e) {
    std::string_view entry = e;
    if (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
    return AsciiLower(entry) == extension;
  });
}

// The place where each codec library's reader plugs in (InstallCodecReaders).
// A reader is called like the PCM probe and answers 14 when the file is not
// in its format, so that the next reader of its row is tried.
CodecReaders g_codec_readers;

Error CallCodec(CodecReadFunction reader, const std::string& path, bool take_metadata, SoundFileInfo* info,
                SegmentList* segments) {
  if (!reader) return kCodecNotAvailable;
  return reader(path, take_metadata, info, segments);
}

Error TakeFileMetadata(const std::string& path, SoundFileInfo* info);

// The markers and tags of a compressed WAV file lie in its chunks as in a
// PCM one, so they are read the same way once the samples are decoded.
Error CompressedWaveReader(const std::string& path, bool take_metadata, SoundFileInfo* info,
                           SegmentList* segments) {
  if (!g_codec_readers.compressed_wave) return err::kForeignEncoding;
  SoundFileInfo decoded;
  SegmentList list;
  if (const Error rc = g_codec_readers.compressed_wave(path, false, &decoded, &list)) return rc;
  if (take_metadata)
    if (const Error rc = TakeFileMetadata(path, &decoded)) return rc;
  *info = std::move(decoded);
  *segments = std::move(list);
  return err::kOk;
}

Error MediaImport(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  return CallCodec(g_codec_readers.media_import, path, take_metadata, info, segments);
}

// The Ogg row: each reader gets the file when the one before did not claim
// it (14, or its library missing). When none claims it, a missing library
// is the answer, since that reader might have.
Error OggChain(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  bool missing = false;
  for (CodecReadFunction reader : {g_codec_readers.vorbis, g_codec_readers.ogg_flac, g_codec_readers.opus}) {
    const Error rc = CallCodec(reader, path, take_metadata, info, segments);
    if (rc == kCodecNotAvailable) {
      missing = true;
      continue;
    }
    if (rc != err::kMalformed) return rc;
  }
  return missing ? kCodecNotAvailable : err::kMalformed;
}

bool IsOpenableWidth(SampleCode code) {
  const unsigned width = BytesPerSample(code);
  return (width >= 1 && width <= 4) || (width == 8 && IsFloatCode(code));
}

// Metadata that cannot be read is left out and listed; the samples still open.
Error TakeFileMetadata(const std::string& path, SoundFileInfo* info) {
  FileMetadata metadata;
  if (const Error rc = ReadFileMetadata(path, info->kind, info->frames, &metadata)) return rc;
  info->markers = std::move(metadata.markers);
  info->tags = std::move(metadata.tags);
  info->skipped_metadata = std::move(metadata.skipped);
  return err::kOk;
}

// `decoded` is set when the samples were decoded into working files.
Error OpenPcm(const std::string& path, const OpenOptions& options, bool take_metadata,
              SoundFileInfo* info, SegmentList* segments, bool* decoded) {
  SoundFileInfo probed;
  Error rc = ProbePcmFile(path, &probed);
  if (rc == err::kForeignEncoding) {
    *decoded = true;
    return CompressedWaveReader(path, take_metadata, info, segments);
  }
  if (rc == err::kMalformed) {
    const std::string extension = Extension(path);
    if (Listed(options.importable_audio_extensions, extension) ||
        Listed(options.importable_video_extensions, extension)) {
      *decoded = true;
      return MediaImport(path, take_metadata, info, segments);
    }
    return err::kMalformed;
  }
  if (rc != err::kOk) return rc;
  if ((rc = CheckOpenLimits(probed))) return rc;
  SegmentList list;
  if ((rc = OpenFileSource(path, probed.data_offset, probed.rate, probed.code, probed.channels, probed.frames, 0,
                           &list, nullptr)))
    return rc;
  if (take_metadata && (rc = TakeFileMetadata(path, &probed))) return rc;
  *info = std::move(probed);
  *segments = std::move(list);
  return err::kOk;
}

Error MakeDocument(const std::string& path, SoundFileInfo info, SegmentList segments, bool path_is_second,
                   PcmFileKind kind, SoundDocument** document) {
  DocumentDescription d;
  d.format.kind = kind;
  d.format.rate = info.rate;
  d.format.channels = info.channels;
  d.format.code = info.code;
  d.length = info.frames;
  d.markers = std::move(info.markers);
  d.metadata = std::move(info.tags);
  d.path_is_second = path_is_second;
  return CreateDocument(path, std::move(segments), std::move(d), document);
}

}  // namespace

void InstallCodecReaders(const CodecReaders& readers) { g_codec_readers = readers; }

SoundReader ReaderForPath(std::string_view path) {
  static constexpr std::array<std::pair<std::string_view, SoundReader>, 19> kTable = {{
      {"raw", SoundReader::kRefused},       {"pcm", SoundReader::kRefused},
      {"txt", SoundReader::kRefused},       {"mp3", SoundReader::kMp3},
      {"wma", SoundReader::kWindowsMedia},  {"wmv", SoundReader::kWindowsMedia},
      {"asf", SoundReader::kWindowsMedia},  {"m4a", SoundReader::kMp4},
      {"mp4", SoundReader::kMp4},           {"ogg", SoundReader::kOggChain},
      {"oga", SoundReader::kOggChain},      {"flac", SoundReader::kFlac},
      {"fla", SoundReader::kFlac},          {"opus", SoundReader::kOpus},
      {"opu", SoundReader::kOpus},          {"wsd", SoundReader::kOneBit},
      {"dff", SoundReader::kOneBit},        {"dsf", SoundReader::kOneBit},
      {"avi", SoundReader::kVideo},
  }};
  const std::string extension = Extension(path);
  for (const auto& [ext, reader] : kTable)
    if (ext == extension) return reader;
  return SoundReader::kPcmProbe;
}

Error CheckOpenLimits(const SoundFileInfo& info) {
  if (!IsValidSampleRate(info.rate)) return err::kUnsupportedFormat;
  if (info.channels != 1 && info.channels != 2) return err::kUnsupportedFormat;
  if (!IsOpenableWidth(info.code)) return err::kUnsupportedFormat;
  if (info.frames > kMaxFrames) return err::kTooManyFrames;
  return err::kOk;
}

static Error OpenByExtension(const std::string& path, const OpenOptions& options, bool take_metadata,
                             SoundFileInfo* info, SegmentList* segments, bool* was_decoded) {
  *was_decoded = ReaderForPath(path) != SoundReader::kPcmProbe;
  switch (ReaderForPath(path)) {
    case SoundReader::kRefused:
      return err::kMalformed;
    case SoundReader::kMp3:
      return CallCodec(g_codec_readers.mp3, path, take_metadata, info, segments);
    case SoundReader::kWindowsMedia:
      return CallCodec(g_codec_readers.windows_media, path, take_metadata, info, segments);
    case SoundReader::kMp4:
      // Without its setting the row does not claim the file.
      if (!options.mp4_decoder_enabled) {
        *was_decoded = false;
        break;
      }
      return CallCodec(g_codec_readers.mp4, path, take_metadata, info, segments);
    case SoundReader::kOggChain:
      return OggChain(path, take_metadata, info, segments);
    case SoundReader::kFlac:
      return CallCodec(g_codec_readers.flac, path, take_metadata, info, segments);
    case SoundReader::kOpus:
      return CallCodec(g_codec_readers.opus, path, take_metadata, info, segments);
    case SoundReader::kOneBit: {
      SoundFileInfo decoded;
      SegmentList list;
      Error rc = NS_1BIT::OpenOneBitFile(path, take_metadata, options.one_bit_max_48k, &list, &decoded);
      if (rc == err::kOk) rc = CheckOpenLimits(decoded);
      if (rc != err::kOk) return rc;
      *info = std::move(decoded);
      *segments = std::move(list);
      return err::kOk;
    }
    case SoundReader::kVideo:
      return CallCodec(g_codec_readers.video, path, take_metadata, info, segments);
    case SoundReader::kPcmProbe:
      break;
  }
  return OpenPcm(path, options, take_metadata, info, segments, was_decoded);
}

namespace {

std::atomic<detail::OpenVolumeQuery> g_volume_query{nullptr};

std::uint16_t DriveOpenFlags(const std::string& path) {
  VolumeInfo volume;
  const detail::OpenVolumeQuery query = g_volume_query.load(std::memory_order_relaxed);
  const Error rc = query ? query(path, &volume) : QueryVolume(path, &volume);
  return rc == err::kOk && IsRemoteFileSystem(volume.fs_magic) ? open_flag::kRemovableDrive : 0;
}

}  // namespace

void detail::SetOpenVolumeQuery(OpenVolumeQuery query) { g_volume_query.store(query, std::memory_order_relaxed); }

namespace {

Error OpenDecodedOrNot(const std::string& path, const OpenOptions& options, bool take_metadata,
                       SoundFileInfo* info, SegmentList* segments, bool* decoded) {
  if (const Error rc = OpenByExtension(path, options, take_metadata, info, segments, decoded)) return rc;
  info->open_flags = static_cast<std::uint16_t>(info->open_flags | DriveOpenFlags(path));
  return err::kOk;
}

}  // namespace

Error OpenSoundFile(const std::string& path, const OpenOptions& options, bool take_metadata,
                    SoundFileInfo* info, SegmentList* segments) {
  bool decoded = false;
  return OpenDecodedOrNot(path, options, take_metadata, info, segments, &decoded);
}

Error OpenSoundDocument(const std::string& path, const OpenOptions& options, SoundDocument** document,
                        std::vector<SkippedMetadata>* skipped) {
  SoundFileInfo info;
  SegmentList segments;
  bool decoded = false;
  if (const Error rc = OpenDecodedOrNot(path, options, true, &info, &segments, &decoded)) return rc;
  if (skipped) *skipped = info.skipped_metadata;
  const PcmFileKind kind = decoded ? PcmFileKind::Wave : info.kind;
  return MakeDocument(path, std::move(info), std::move(segments), decoded, kind, document);
}

Error OpenRawDocument(const std::string& path, const RawLayout& layout, SoundDocument** document) {
  SoundFileInfo info;
  info.kind = PcmFileKind::Raw;
  info.rate = layout.rate;
  info.channels = layout.channels;
  info.code = layout.code;
  info.data_offset = layout.data_offset;
  if (!IsSupportedSampleCode(layout.code)) return err::kUnsupportedFormat;
  if (const Error rc = CheckOpenLimits(info)) return rc;
  std::uint64_t length = 0;
  {
    PosixFile file;
    if (const Error rc = OpenInputFile(path, &file, &length)) return rc;
  }
  if (layout.data_offset >= length) return err::kMalformed;
  const std::uint64_t frame_bytes = std::uint64_t{layout.channels} * BytesPerSample(layout.code);
  const std::uint64_t frames = (length - layout.data_offset) / frame_bytes;
  if (frames == 0) return err::kMalformed;
  if (frames > kMaxFrames) return err::kTooManyFrames;
  info.frames = static_cast<std::uint32_t>(frames);
  SegmentList segments;
  if (const Error rc = OpenFileSource(path, layout.data_offset, layout.rate, layout.code, layout.channels,
                                              info.frames, 0, &segments, nullptr))
    return rc;
  return MakeDocument(path, std::move(info), std::move(segments), false, PcmFileKind::Raw, document);
}

namespace {

constexpr std::size_t kSniffBytes = 256;

// Where chunk `id` lies in the buffer: walking the chunk headers from offset
// 12 while they stay inside, else trying every even offset from 20 to 248.
// Returns the chunk header's offset, or 0 when not found.
std::size_t FindChunk(const std::uint8_t* b, std::size_t size, const char* id, bool big_endian) {
  const auto matches = [&](std::size_t at) { return std::equal(id, id + 4, reinterpret_cast<const char*>(b + at)); };
  std::size_t at = 12;
  while (at + 8 <= size) {
    if (matches(at)) return at;
    const std::uint64_t body = big_endian ? LoadBe32(b + at + 4) : LoadLe32(b + at + 4);
    at += 8 + static_cast<std::size_t>(std::min<std::uint64_t>(PaddedSize(body), kSniffBytes * 2));
  }
  for (std::size_t pos = 20; pos <= 248 && pos + 4 <= size; pos += 2)
    if (matches(pos)) return pos;
  return 0;
}

void SniffWave(const std::uint8_t* b, std::size_t size, SoundFileInfo* info) {
  if (const std::size_t fmt = FindChunk(b, size, "fmt ", false); fmt && fmt + 8 + wav::kPlainFormatBytes <= size) {
    const std::uint8_t* body = b + fmt + 8;
    const std::uint16_t tag = LoadLe16(body);
    const unsigned width = LoadLe16(body + 14) / 8;
    bool is_float = tag == wav::kTagFloat;
    if (tag == wav::kTagExtensible && fmt + 8 + wav::kExtensibleFormatBytes <= size)
      is_float = wav::IsSubFormat(body + wav::kSubFormatOffset, wav::kFloatSubFormat);
    info->kind = PcmFileKind::Wave;
    info->channels = LoadLe16(body + 2);
    info->rate = LoadLe32(body + 4);
    if (width <= 1)
      info->code = sample_code::kU8;
    else
      info->code = static_cast<SampleCode>((width & sample_code::kSizeMask) | (is_float ? sample_code::kFloatBit : 0));
  }
  if (const std::size_t data = FindChunk(b, size, "data", false)) info->data_offset = static_cast<std::uint32_t>(data + 8);
}

void SniffIff(const std::uint8_t* b, std::size_t size, bool aifc, SoundFileInfo* info) {
  if (const std::size_t comm = FindChunk(b, size, "COMM", true); comm && comm + 8 + 18 <= size) {
    const std::uint8_t* body = b + comm + 8;
    const unsigned bits = LoadBe16(body + 6);
    const unsigned width = (bits + 7) / 8;
    SampleCode code = static_cast<SampleCode>(width & sample_code::kSizeMask);
    if (bits >= 9) code |= sample_code::kBigEndianBit;
    const std::uint32_t body_size = LoadBe32(b + comm + 4);
    if (body_size >= 22 && comm + 8 + 22 <= size) {
      const std::uint32_t type = LoadLe32(body + 18);
      if (IsAifcFloatType(type)) code |= sample_code::kFloatBit;
      if (type == kAifcSowt) code &= static_cast<SampleCode>(~sample_code::kBigEndianBit);
    }
    info->kind = aifc ? PcmFileKind::AIFC : PcmFileKind::AIFF;
    info->channels = LoadBe16(body);
    info->rate = ReadExtended80(body + 8);
    info->code = code;
  }
  if (const std::size_t ssnd = FindChunk(b, size, "SSND", true)) info->data_offset = static_cast<std::uint32_t>(ssnd + 16);
}

void SniffAu(const std::uint8_t* b, SoundFileInfo* info) {
  const std::uint32_t offset = LoadBe32(b + 4);
  if (offset > 1024) return;
  info->kind = PcmFileKind::AU;
  info->data_offset = offset;
  info->rate = LoadBe32(b + 16);
  info->channels = static_cast<std::uint16_t>(LoadBe32(b + 20));
  info->code = AuEncodingCode(LoadBe32(b + 12));
  // An encoding the program does not read is taken for 16-bit samples.
  if (info->code == 0) info->code = sample_code::kS16BE;
}

}  // namespace

void SniffSoundHeaderBytes(const std::uint8_t* b, std::size_t size, SoundFileInfo* info) {
  *info = SoundFileInfo();
  info->kind = PcmFileKind::Raw;
  size = std::min(size, kSniffBytes);
  const auto id = [&](std::size_t at, const char* text) {
    return at + 4 <= size && std::equal(text, text + 4, reinterpret_cast<const char*>(b + at));
  };
  // The WAV forms are those the probe takes.
  if ((id(0, "RIFF") || (size >= 4 && IsRf64Magic(LoadLe32(b)))) && id(8, "WAVE"))
    SniffWave(b, size, info);
  else if (id(0, "FORM") && (id(8, "AIFF") || id(8, "AIFC")))
    SniffIff(b, size, id(8, "AIFC"), info);
  else if (id(0, ".snd") && size >= 24)
    SniffAu(b, info);
}

Error SniffSoundHeader(const std::string& path, SoundFileInfo* info) {
  *info = SoundFileInfo();
  info->kind = PcmFileKind::Raw;
  PosixFile file;
  std::uint64_t length = 0;
  if (OpenInputFile(path, &file, &length) != err::kOk) return err::kCannotOpen;
  std::array<std::uint8_t, kSniffBytes> bytes{};
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(length, kSniffBytes));
  std::size_t got = 0;
  if (file.ReadAt(bytes.data(), want, 0, &got) != err::kOk || got != want) return err::kReadFailed;
  SniffSoundHeaderBytes(bytes.data(), got, info);
  return err::kOk;
}

}  // namespace tidemark
