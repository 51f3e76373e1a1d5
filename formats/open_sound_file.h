// Opening sound files: which reader takes a file (by extension, with the PCM
// probe as the default), the limits an opened file must meet, the cheap
// header sniff used where many files are listed, headerless (raw) import,
// and making a document of what was opened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/samples/sample_format.h"
#include "core/document/segment.h"
#include "formats/sound_file_info.h"
#include "platform/error_numbers.h"

namespace tidemark {

struct SoundDocument;
struct VolumeInfo;

// What the codec rows of the dispatch and the platform media import answer
// while their decoders are not part of this build: the codec library could
// not be loaded. A compressed WAV file keeps the probe's 33 (an encoding
// other than PCM or float), which names what is wrong with it.
inline constexpr Error kCodecNotAvailable = err::kCodecLibraryUnavailable;

// The readers of the dispatch table.
enum class SoundReader {
  kRefused,       // ".raw", ".pcm", ".txt": never probed (error 14)
  kMp3,           // ".mp3"
  kWindowsMedia,  // ".wma", ".wmv", ".asf"
  kMp4,           // ".m4a", ".mp4" (only with OpenOptions::mp4_decoder_enabled)
  kOggChain,      // ".ogg", ".oga": Vorbis, then FLAC, then Opus
  kFlac,          // ".flac", ".fla"
  kOpus,          // ".opus", ".opu"
  kOneBit,        // ".wsd", ".dff", ".dsf"
  kVideo,         // ".avi"
  kPcmProbe,      // anything else
};

// Codec readers: installed into the dispatch rows at start-up by the codec
// layer (this library never depends on it). A reader answers 14 when the
// file is not in its format, checks the open limits itself and, with
// `take_metadata`, fills the info's tags and markers. A row without a
// reader answers kCodecNotAvailable.
using CodecReadFunction = Error (*)(const std::string& path, bool take_metadata, SoundFileInfo* info,
                                    SegmentList* segments);
struct CodecReaders {
  CodecReadFunction mp3 = nullptr;
  CodecReadFunction windows_media = nullptr;
  CodecReadFunction mp4 = nullptr;
  CodecReadFunction vorbis = nullptr;
  CodecReadFunction flac = nullptr;
  CodecReadFunction ogg_flac = nullptr;
  CodecReadFunction opus = nullptr;
  CodecReadFunction video = nullptr;
  // A WAV file the probe answers 33 for; its markers and tags are then read
  // from its chunks as for PCM.
  CodecReadFunction compressed_wave = nullptr;
  // Files with an extension on the importable lists the probe does not know.
  CodecReadFunction media_import = nullptr;
};
// Puts `readers` in force (a copy); call once at start-up, before any open.
void InstallCodecReaders(const CodecReaders& readers);

// The reader for `path`'s extension (what follows the last '.' of the last
// component; ASCII case ignored).
SoundReader ReaderForPath(std::string_view path);

// What the open path is told by the settings (the formats layer never reads
// them itself).
struct OpenOptions {
  // Extensions (without the dot, any case) handed to the platform media
  // import when the PCM probe does not know the file.
  std::vector<std::string> importable_audio_extensions;
  std::vector<std::string> importable_video_extensions;
  // The MP4 row is tried at all.
  bool mp4_decoder_enabled = false;
  // 1-bit files convert to at most 48 kHz.
  bool one_bit_max_48k = false;
};

// The open limits, in their order: rate 4000-384000 Hz, 1 or 2 channels,
// 1 to 4 bytes per sample or 8-byte float (else 15); at most kMaxFrames
// frames (else 12).
[[nodiscard]] Error CheckOpenLimits(const SoundFileInfo& info);

// Opens `path` through the reader of its extension: `info` gets its format,
// `segments` one segment over the file's samples. With `take_metadata` the
// markers and tags are read into `info` after the samples are attached;
// markers or tags that cannot be read do not refuse the file: they are left
// out and listed in info->skipped_metadata. open_flag::kRemovableDrive is
// added to the reader's open flags when the file lies on a network or FUSE
// file system (IsRemoteFileSystem); a volume that cannot be queried counts
// as local.
// Errors: 14 for a refused extension or a file no reader knows; 15 and 12
// (CheckOpenLimits); kCodecNotAvailable for the codec rows and a file for
// the media import; 33 for a compressed WAV file while no decoder for it is
// installed; the readers' errors (25, 8, 78 ...).
[[nodiscard]] Error OpenSoundFile(const std::string& path, const OpenOptions& options, bool take_metadata,
                                  SoundFileInfo* info, SegmentList* segments);

// OpenSoundFile, then a document over the result, linked first in the open
// list with the file's markers and tags. A document decoded from another
// encoding (1-bit, a codec row, a compressed WAV file, the media import)
// keeps the path in the second slot and has none of its own.
// `skipped`, when given, gets the metadata that was left out.
[[nodiscard]] Error OpenSoundDocument(const std::string& path, const OpenOptions& options, SoundDocument** document,
                                      std::vector<SkippedMetadata>* skipped = nullptr);

// The layout of a headerless file.
struct RawLayout {
  SampleCode code = sample_code::kS16;
  std::uint32_t rate = 44100;
  std::uint16_t channels = 2;
  std::uint32_t data_offset = 0;  // bytes skipped at the start
};

// Opens the headerless file at `path` with `layout` as a document (kind Raw,
// no path of its own is lost: the document keeps `path`). Bytes after the
// last whole frame are ignored. Errors: 15 for an unknown code or a layout
// outside the open limits; 14 when the offset lies at or past the end;
// 12; 25, 8; those of OpenFileSource and CreateDocument.
[[nodiscard]] Error OpenRawDocument(const std::string& path, const RawLayout& layout, SoundDocument** document);

// Classifies the file from its first 256 bytes without parsing it: kind,
// rate, channels, code and data offset where they lie in those bytes
// (frames stay 0); RF64 and BW64 files are WAV files here as in the probe.
// Starts as Raw with all fields 0 and answers 0 whatever the bytes hold; 25
// when the file cannot be opened, 8 on a short read.
[[nodiscard]] Error SniffSoundHeader(const std::string& path, SoundFileInfo* info);
// The same on bytes already read.
void SniffSoundHeaderBytes(const std::uint8_t* bytes, std::size_t size, SoundFileInfo* info);

namespace detail {
// The volume query behind the drive flag of OpenSoundFile. Tests put a fake
// in its place to stand for file systems the machine does not have; null
// restores QueryVolume.
using OpenVolumeQuery = Error (*)(const std::string& path, VolumeInfo* info);
void SetOpenVolumeQuery(OpenVolumeQuery query);
}  // namespace detail

}  // namespace tidemark
