#include "codecs/vorbis_decoder.h"

// The header's static stdio callbacks are not used: ov_fopen opens the file.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "codecs/codec_progress.h"
#include "codecs/container_sniff.h"
#include "codecs/internal/av_decode.h"
#include "codecs/internal/codec_api.h"
#include "core/document/segment.h"
#include "codecs/internal/decoded_file.h"
#include "core/io/work_file_writer.h"
#include "formats/open_sound_file.h"
#include "formats/tags/vorbis_comments.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

struct VorbisFileApi {
  decltype(&ov_fopen) open;
  decltype(&ov_clear) clear;
  decltype(&ov_info) info;
  decltype(&ov_pcm_total) pcm_total;
  decltype(&ov_read_float) read_float;
  decltype(&ov_comment) comment;
  decltype(&ov_streams) streams;
};
constexpr std::array<const char*, 7> kNames = {"ov_fopen",      "ov_clear",   "ov_info",   "ov_pcm_total",
                                               "ov_read_float", "ov_comment", "ov_streams"};

bool IsOggVorbis(const std::string& path) {
  std::array<std::uint8_t, kSniffBytes> bytes{};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return SniffContainer(std::span<const std::uint8_t>(bytes.data(), got)) == Container::kOggVorbis;
}

TagSet TagsOf(const vorbis_comment* vc) {
  TagSet tags;
  if (!vc) return tags;
  VorbisComments comments;
  if (vc->vendor) comments.vendor = vc->vendor;
  for (int i = 0; i < vc->comments; ++i)
    if (vc->user_comments[i] && vc->comment_lengths[i] >= 0)
      comments.comments.emplace_back(vc->user_comments[i], static_cast<std::size_t>(vc->comment_lengths[i]));
  // Tags that cannot be taken leave the samples openable.
  (void)VorbisCommentsToTags(comments, &tags);
  return tags;
}

}  // namespace

Error ReadVorbisFile(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  if (!IsOggVorbis(path)) return err::kMalformed;
  VorbisFileApi api{};
  if (const Error rc = codec_detail::ResolveApi(CodecLibrary::kVorbisFile, kNames, &api)) return rc;
  auto file = std::make_unique<OggVorbis_File>();
  if (api.open(path.c_str(), file.get()) != 0) return err::kMalformed;
  struct Closer {
    const VorbisFileApi& api;
    OggVorbis_File* file;
    ~Closer() { api.clear(file); }
  } closer{api, file.get()};

  const vorbis_info* first = api.info(file.get(), 0);
  if (!first) return err::kMalformed;
  const ogg_int64_t total = api.pcm_total(file.get(), -1);
  SoundFileInfo opened;
  opened.kind = PcmFileKind::Wave;
  opened.code = sample_code::kFloat;
  opened.rate = first->rate > 0 ? static_cast<std::uint32_t>(first->rate) : 0;
  opened.channels = static_cast<std::uint16_t>(first->channels > 0 && first->channels < 65536 ? first->channels : 0);
  const std::uint64_t expected = total > 0 ? static_cast<std::uint64_t>(total) : 0;
  if (expected > kMaxFrames) return err::kTooManyFrames;
  opened.frames = static_cast<std::uint32_t>(expected);
  if (const Error rc = CheckOpenLimits(opened)) return rc;
  if (take_metadata) opened.tags = TagsOf(api.comment(file.get(), 0));

  // One link of known length decodes faster through FFmpeg, cut at that
  // length; libvorbisfile stays the reader of chained files and the
  // fallback when FFmpeg is missing or cannot take the stream.
  if (api.streams(file.get()) == 1 && expected != 0) {
    const Error rc = codec_detail::DecodeKnownStream(path, AV_CODEC_ID_VORBIS, opened, info, segments);
    if (!rc) info->tags = std::move(opened.tags);
    // What the stream caused (FFmpeg missing or refusing it, damage it
    // reads differently) is left to libvorbisfile, so that both read
    // every file alike.
    if (rc != err::kCodecLibraryUnavailable && rc != err::kUnsupportedFormat && rc != err::kMalformed &&
        rc != err::kReadFailed)
      return rc;
  }

  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, opened.rate, opened.code, opened.channels, opened.frames))
    return rc;
  std::vector<float> interleaved;
  std::uint64_t decoded = 0;
  Error rc;
  for (;;) {
    float** pcm = nullptr;
    int link = 0;
    const long got = api.read_float(file.get(), &pcm, 4096, &link);
    if (got == 0) break;
    if (got == OV_HOLE) continue;  // a gap in the pages: the decoder goes on after it
    if (got < 0) {
      rc = decoded == 0 ? err::kMalformed : err::kReadFailed;
      break;
    }
    const vorbis_info* current = api.info(file.get(), link);
    if (!current || current->channels != opened.channels || current->rate != static_cast<long>(opened.rate)) {
      rc = err::kUnsupportedFormat;
      break;
    }
    // Past the last granule position (a link repeated under its serial
    // number) is not part of the stream.
    std::uint64_t kept = static_cast<std::uint64_t>(got);
    if (expected != 0) kept = std::min(kept, expected - decoded);
    const auto frames = static_cast<std::size_t>(kept);
    if (frames == 0) break;
    if (decoded + frames > kMaxFrames) {
      rc = err::kTooManyFrames;
      break;
    }
    if (opened.channels == 2) {
      rc = writer.WriteStereoPlanar(pcm[0], pcm[1], frames);
    } else {
      interleaved.resize(frames * opened.channels);
      for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < opened.channels; ++c) interleaved[i * opened.channels + c] = pcm[c][i];
      rc = writer.WriteFrames(interleaved.data(), frames, sample_code::kFloat);
    }
    if (rc) break;
    decoded += frames;
    if (const CodecProgress& progress = CodecOpenProgress(); progress && !progress(decoded, expected)) {
      rc = err::kCancelled;
      break;
    }
  }
  if (!rc && decoded == 0 && expected != 0) rc = err::kMalformed;
  return FinishDecoded(rc, writer, std::move(opened), decoded, info, segments);
}

}  // namespace tidemark
