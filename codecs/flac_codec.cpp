#include "codecs/flac_codec.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "codecs/container_sniff.h"
#include "codecs/flac_cue_sheet.h"
#include "codecs/flac_foreign_metadata.h"
#include "codecs/replaygain_analysis.h"
#include "codecs/internal/av_decode.h"
#include "codecs/internal/decoded_file.h"
#include "codecs/internal/codec_api.h"
#include "codecs/internal/encode_target.h"
#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/io/work_file_writer.h"
#include "formats/open_sound_file.h"
#include "formats/tags/vorbis_comments.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

struct DecoderApi {
  decltype(&FLAC__stream_decoder_new) create;
  decltype(&FLAC__stream_decoder_delete) destroy;
  decltype(&FLAC__stream_decoder_set_metadata_respond) respond;
  decltype(&FLAC__stream_decoder_init_file) init_file;
  decltype(&FLAC__stream_decoder_init_ogg_file) init_ogg_file;
  decltype(&FLAC__stream_decoder_process_until_end_of_metadata) process_metadata;
  decltype(&FLAC__stream_decoder_process_until_end_of_stream) process;
  decltype(&FLAC__stream_decoder_get_state) state;
  decltype(&FLAC__stream_decoder_get_decode_position) position;
  decltype(&FLAC__stream_decoder_finish) finish;
};
constexpr std::array<const char*, 10> kDecoderNames = {
    "FLAC__stream_decoder_new",         "FLAC__stream_decoder_delete",
    "FLAC__stream_decoder_set_metadata_respond", "FLAC__stream_decoder_init_file",
    "FLAC__stream_decoder_init_ogg_file", "FLAC__stream_decoder_process_until_end_of_metadata",
    "FLAC__stream_decoder_process_until_end_of_stream",
    "FLAC__stream_decoder_get_state",   "FLAC__stream_decoder_get_decode_position",
    "FLAC__stream_decoder_finish"};

std::atomic<std::uint64_t> ffmpeg_decodes{0};

struct EncoderApi {
  decltype(&FLAC__stream_encoder_new) create;
  decltype(&FLAC__stream_encoder_delete) destroy;
  decltype(&FLAC__stream_encoder_set_channels) set_channels;
  decltype(&FLAC__stream_encoder_set_bits_per_sample) set_bits;
  decltype(&FLAC__stream_encoder_set_sample_rate) set_rate;
  decltype(&FLAC__stream_encoder_set_compression_level) set_level;
  decltype(&FLAC__stream_encoder_set_verify) set_verify;
  decltype(&FLAC__stream_encoder_set_total_samples_estimate) set_total;
  decltype(&FLAC__stream_encoder_set_metadata) set_metadata;
  decltype(&FLAC__stream_encoder_init_stream) init_stream;
  decltype(&FLAC__stream_encoder_process_interleaved) process;
  decltype(&FLAC__stream_encoder_finish) finish;
  decltype(&FLAC__metadata_object_new) object_new;
  decltype(&FLAC__metadata_object_delete) object_delete;
  decltype(&FLAC__metadata_object_vorbiscomment_append_comment) append_comment;
  decltype(&FLAC__metadata_object_application_set_data) application_set_data;
  decltype(&FLAC__metadata_object_cuesheet_insert_blank_track) cuesheet_insert_track;
  decltype(&FLAC__metadata_object_cuesheet_track_insert_blank_index) cuesheet_insert_index;
};
constexpr std::array<const char*, 18> kEncoderNames = {
    "FLAC__stream_encoder_new",
    "FLAC__stream_encoder_delete",
    "FLAC__stream_encoder_set_channels",
    "FLAC__stream_encoder_set_bits_per_sample",
    "FLAC__stream_encoder_set_sample_rate",
    "FLAC__stream_encoder_set_compression_level",
    "FLAC__stream_encoder_set_verify",
    "FLAC__stream_encoder_set_total_samples_estimate",
    "FLAC__stream_encoder_set_metadata",
    "FLAC__stream_encoder_init_stream",
    "FLAC__stream_encoder_process_interleaved",
    "FLAC__stream_encoder_finish",
    "FLAC__metadata_object_new",
    "FLAC__metadata_object_delete",
    "FLAC__metadata_object_vorbiscomment_append_comment",
    "FLAC__metadata_object_application_set_data",
    "FLAC__metadata_object_cuesheet_insert_blank_track",
    "FLAC__metadata_object_cuesheet_track_insert_blank_index"};

Container SniffFile(const std::string& path) {
  std::array<std::uint8_t, kSniffBytes> bytes{};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Container::kUnknown;
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return SniffContainer(std::span<const std::uint8_t>(bytes.data(), got));
}

SampleCode CodeForBits(unsigned bits) {
  if (bits <= 16) return sample_code::kS16;
  if (bits <= 24) return sample_code::kS24;
  return sample_code::kS32;
}

// What the decoder's callbacks share. Samples go to the working files as
// left-justified 32-bit, which converts exactly to the file's width.
struct DecodeState {
  WorkFileWriter writer;
  bool have_info = false;
  bool started = false;
  std::uint32_t rate = 0;
  unsigned channels = 0;
  unsigned bits = 0;
  std::uint64_t total = 0;  // from STREAMINFO, 0 when unknown
  std::uint64_t decoded = 0;
  bool take_metadata = false;
  TagSet tags;
  // The "riff"/"aiff" APPLICATION blocks of foreign metadata.
  FlacForeignReader foreign;
  MarkerList cue_markers;  // from a CUESHEET block
  std::uint32_t stream_errors = 0;
  std::uint32_t silenced_frames = 0;  // failed their checksum
  Error failure;  // why a callback stopped the decoder
  std::vector<std::int32_t> interleaved;
};

// The layout STREAMINFO gives, within the open limits.
Error StatedLayout(const DecodeState& s, SoundFileInfo* layout) {
  layout->kind = PcmFileKind::Wave;
  layout->rate = s.rate;
  layout->channels = static_cast<std::uint16_t>(s.channels);
  layout->code = CodeForBits(s.bits);
  layout->frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(s.total, kMaxFrames + std::uint64_t{1}));
  if (s.total > kMaxFrames) return err::kTooManyFrames;
  return CheckOpenLimits(*layout);
}

Error StartWriting(DecodeState& s) {
  SoundFileInfo check;
  if (const Error rc = StatedLayout(s, &check)) return rc;
  s.started = true;
  return s.writer.Begin(PcmFileKind::Temp, s.rate, check.code, check.channels, check.frames);
}

FLAC__StreamDecoderWriteStatus OnFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                       const FLAC__int32* const buffer[], void* client) {
  auto& s = *static_cast<DecodeState*>(client);
  if (!s.have_info || frame->header.channels != s.channels) {
    s.failure = err::kMalformed;
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  if (!s.started) {
    if ((s.failure = StartWriting(s))) return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  const unsigned frames = frame->header.blocksize;
  if (s.decoded + frames > kMaxFrames) {
    s.failure = err::kTooManyFrames;
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  const unsigned shift = 32 - s.bits;
  s.interleaved.resize(static_cast<std::size_t>(frames) * s.channels);
  std::int32_t* out = s.interleaved.data();
  for (unsigned i = 0; i < frames; ++i)
    for (unsigned c = 0; c < s.channels; ++c)
      *out++ = static_cast<std::int32_t>(static_cast<std::uint32_t>(buffer[c][i]) << shift);
  if ((s.failure = s.writer.WriteFrames(s.interleaved.data(), frames, sample_code::kS32)))
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  s.decoded += frames;
  if (const CodecProgress& progress = CodecOpenProgress(); progress && !progress(s.decoded, s.total)) {
    s.failure = err::kCancelled;
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void OnMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* client) {
  auto& s = *static_cast<DecodeState*>(client);
  if (block->type == FLAC__METADATA_TYPE_STREAMINFO) {
    const auto& info = block->data.stream_info;
    s.have_info = true;
    s.rate = info.sample_rate;
    s.channels = info.channels;
    s.bits = info.bits_per_sample;
    s.total = info.total_samples;
  } else if (block->type == FLAC__METADATA_TYPE_VORBIS_COMMENT && s.take_metadata) {
    const auto& vc = block->data.vorbis_comment;
    VorbisComments comments;
    comments.vendor.assign(reinterpret_cast<const char*>(vc.vendor_string.entry), vc.vendor_string.length);
    for (FLAC__uint32 i = 0; i < vc.num_comments; ++i)
      comments.comments.emplace_back(reinterpret_cast<const char*>(vc.comments[i].entry), vc.comments[i].length);
    // Tags that cannot be taken leave the samples openable.
    (void)VorbisCommentsToTags(comments, &s.tags);
  } else if (block->type == FLAC__METADATA_TYPE_CUESHEET && s.take_metadata) {
    // Markers that cannot be taken leave the samples openable.
    (void)MarkersFromCueSheet(block->data.cue_sheet, s.total != 0 && s.total <= kMaxFrames
                                                         ? static_cast<std::uint32_t>(s.total) : kMaxFrames,
                              &s.cue_markers);
  } else if (block->type == FLAC__METADATA_TYPE_APPLICATION && s.take_metadata && block->length >= 4) {
    const auto& app = block->data.application;
    std::vector<std::uint8_t> body(app.id, app.id + 4);
    if (app.data) body.insert(body.end(), app.data, app.data + (block->length - 4));
    s.foreign.Add(body);
  }
}

// The markers and texts of the foreign chunks, else the cue sheet's
// markers; the Vorbis comments keep the slots they fill.
void TakeForeignMetadata(DecodeState& s, SoundFileInfo* opened) {
  if (!s.foreign.has_container()) {
    opened->markers = std::move(s.cue_markers);
    return;
  }
  MarkerList markers;
  TagSet foreign;
  const Error rc = s.foreign.Read(static_cast<std::uint32_t>(s.decoded), &markers, &foreign);
  if (rc) {
    opened->skipped_metadata.push_back({SkippedMetadata::Kind::kMarkers, "APPLICATION riff/aiff", rc});
    return;
  }
  opened->markers = std::move(markers);
  for (std::size_t i = 0; i < kInfoTextCount; ++i) {
    const auto slot = static_cast<InfoText>(i);
    if (TagText(opened->tags, slot).empty() && !TagText(foreign, slot).empty())
      SetTagText(opened->tags, slot, TagText(foreign, slot));
  }
}

void OnError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* client) {
  auto& s = *static_cast<DecodeState*>(client);
  ++s.stream_errors;
  // libFLAC writes such a frame as silence.
  if (status == FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH) ++s.silenced_frames;
}

// FFmpeg's decoder is the faster one on frames stored verbatim (a stream
// the encoder could not compress: its frames as large as the raw samples),
// libFLAC on compressed ones (about 1.4x on music-like material). FFmpeg
// takes such a native stream of known length and a width its output holds
// exactly (8 and 16 bits as left-justified 16-bit, 24 as left-justified
// 32-bit); anything it reads differently from STREAMINFO or refuses falls
// to libFLAC (false), so both give every file the same answer.
bool DecodedByFfmpeg(const std::string& path, bool ogg, std::uint64_t frame_bytes, DecodeState& s,
                     SoundFileInfo* info, SegmentList* segments, Error* rc) {
  SoundFileInfo layout;
  if (ogg || !s.have_info || s.total == 0 || (s.bits != 8 && s.bits != 16 && s.bits != 24) ||
      StatedLayout(s, &layout))
    return false;
  const std::uint64_t raw_bytes = s.total * s.channels * s.bits / 8;
  if (frame_bytes < raw_bytes - raw_bytes / 64) return false;
  const Error got = codec_detail::DecodeKnownStream(path, AV_CODEC_ID_FLAC, layout, info, segments,
                                                    codec_detail::KnownLength::kExact);
  if (got == err::kCodecLibraryUnavailable || got == err::kUnsupportedFormat || got == err::kMalformed ||
      got == err::kReadFailed)
    return false;
  *rc = got;
  if (got) return true;  // a cancel or the working files' error
  ffmpeg_decodes.fetch_add(1, std::memory_order_relaxed);
  s.decoded = s.total;
  if (s.take_metadata) {
    info->tags = std::move(s.tags);
    TakeForeignMetadata(s, info);
  }
  return true;
}

}  // namespace

Error ReadFlacFile(const std::string& path, bool ogg, bool take_metadata, SoundFileInfo* info,
                   SegmentList* segments) {
  if (SniffFile(path) != (ogg ? Container::kOggFlac : Container::kFlac)) return err::kMalformed;
  DecoderApi api{};
  if (const Error rc = codec_detail::ResolveApi(CodecLibrary::kFlac, kDecoderNames, &api)) return rc;
  FLAC__StreamDecoder* decoder = api.create();
  if (!decoder) return err::kOutOfMemory;
  auto state = std::make_unique<DecodeState>();
  state->take_metadata = take_metadata;
  api.respond(decoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);
  if (take_metadata) {
    api.respond(decoder, FLAC__METADATA_TYPE_APPLICATION);
    api.respond(decoder, FLAC__METADATA_TYPE_CUESHEET);
  }
  const auto init = (ogg ? api.init_ogg_file : api.init_file)(decoder, path.c_str(), OnFrame, OnMetadata,
                                                               OnError, state.get());
  Error rc;
  // libFLAC reads the metadata in any case; the samples come from FFmpeg
  // when it takes them, else libFLAC goes on from there.
  FLAC__uint64 first_frame = 0;
  std::error_code size_failed;
  const std::uint64_t file_bytes = std::filesystem::file_size(path, size_failed);
  if (init == FLAC__STREAM_DECODER_INIT_STATUS_OK && api.process_metadata(decoder) &&
      api.position(decoder, &first_frame) && !size_failed && first_frame <= file_bytes &&
      DecodedByFfmpeg(path, ogg, file_bytes - first_frame, *state, info, segments, &rc)) {
    api.finish(decoder);
    api.destroy(decoder);
    return rc;
  }
  if (init == FLAC__STREAM_DECODER_INIT_STATUS_ERROR_OPENING_FILE) {
    rc = err::kReadFailed;
  } else if (init != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    rc = err::kOutOfMemory;
  } else {
    const bool ended = api.process(decoder) && api.state(decoder) == FLAC__STREAM_DECODER_END_OF_STREAM;
    if (state->failure) {
      rc = state->failure;
    } else if (!ended || !state->have_info) {
      rc = state->decoded == 0 ? err::kMalformed : err::kReadFailed;
    } else if (state->total != 0 && state->decoded != state->total) {
      // Frames lost to damage or a cut-off end: the length would be wrong.
      rc = err::kReadFailed;
    } else if (state->decoded == 0 && state->stream_errors != 0) {
      rc = err::kMalformed;
    }
    api.finish(decoder);
  }
  api.destroy(decoder);
  if (!rc && state->have_info && !state->started) rc = StartWriting(*state);  // a file without frames
  SoundFileInfo opened;
  opened.kind = PcmFileKind::Wave;
  opened.rate = state->rate;
  opened.channels = static_cast<std::uint16_t>(state->channels);
  opened.code = CodeForBits(state->bits);
  if (take_metadata) {
    opened.tags = std::move(state->tags);
    if (!rc) TakeForeignMetadata(*state, &opened);
  }
  if (state->silenced_frames != 0)
    opened.skipped_metadata.push_back(
        {SkippedMetadata::Kind::kSamples,
         state->silenced_frames == 1 ? std::string("1 FLAC frame failing its checksum")
                                     : std::to_string(state->silenced_frames) + " FLAC frames failing their checksum",
         err::kMalformed});
  return FinishDecoded(rc, state->writer, std::move(opened), state->decoded, info, segments);
}

namespace {

// libFLAC's output, through the file wrappers into the hidden file. The
// encoder appends, then seeks back to finish the headers in place.
struct StreamOutput {
  codec_detail::EncodeTarget& target;
  std::uint64_t position = 0;
  Error failure;
};

FLAC__StreamEncoderWriteStatus OnWrite(const FLAC__StreamEncoder*, const FLAC__byte buffer[], std::size_t bytes,
                                       std::uint32_t, std::uint32_t, void* client) {
  auto& out = *static_cast<StreamOutput*>(client);
  const std::span<const std::uint8_t> data(buffer, bytes);
  if (out.position == out.target.size())
    out.failure = out.target.Append(data);
  else if (out.position + bytes <= out.target.size())
    out.failure = out.target.WriteAt(data, out.position);
  else
    out.failure = err::kWriteFailed;  // a rewrite never grows the file
  if (out.failure) return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
  out.position += bytes;
  return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus OnSeek(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client) {
  auto& out = *static_cast<StreamOutput*>(client);
  if (offset > out.target.size()) return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
  out.position = offset;
  return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus OnTell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client) {
  *offset = static_cast<StreamOutput*>(client)->position;
  return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

struct EncoderGuard {
  const EncoderApi& api;
  FLAC__StreamEncoder* encoder;
  FLAC__StreamMetadata* comments = nullptr;
  std::vector<FLAC__StreamMetadata*> applications;  // and the cue sheet
  ~EncoderGuard() {
    if (encoder) api.destroy(encoder);
    if (comments) api.object_delete(comments);
    for (FLAC__StreamMetadata* block : applications) api.object_delete(block);
  }
};

Error EncodeInto(const EncoderApi& api, const SoundDocument& document, codec_detail::EncodeTarget& target,
                 unsigned bits, const FlacEncodeSettings& settings, const CodecProgress& progress) {
  EncoderGuard guard{api, api.create(), nullptr, {}};
  FLAC__StreamEncoder* encoder = guard.encoder;
  if (!encoder) return err::kOutOfMemory;
  api.set_channels(encoder, document.channels);
  api.set_bits(encoder, bits);
  api.set_rate(encoder, document.rate);
  api.set_level(encoder, settings.level);
  api.set_verify(encoder, settings.verify);
  api.set_total(encoder, document.length);

  std::optional<ReplayGainValues> gain;
  if (settings.replay_gain) {
    // A pass of its own before encoding; the hook can cancel it.
    const CodecProgress cancel_only = [&](std::uint64_t, std::uint64_t total) {
      return !progress || progress(0, total);
    };
    if (const Error rc = AnalyseReplayGain(document, cancel_only, &gain.emplace())) return rc;
  }
  std::vector<std::string> texts;
  if (const Error rc = TagsToVorbisComments(document.metadata, gain, &texts)) return rc;
  std::vector<FLAC__StreamMetadata*> blocks;
  if (!texts.empty()) {
    guard.comments = api.object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!guard.comments) return err::kOutOfMemory;
    for (std::string& text : texts) {
      FLAC__StreamMetadata_VorbisComment_Entry entry{static_cast<FLAC__uint32>(text.size()),
                                                     reinterpret_cast<FLAC__byte*>(text.data())};
      if (!api.append_comment(guard.comments, entry, true)) return err::kOutOfMemory;
    }
    blocks.push_back(guard.comments);
  }
  if (!document.markers.empty()) {
    FLAC__StreamMetadata* sheet = api.object_new(FLAC__METADATA_TYPE_CUESHEET);
    if (!sheet) return err::kOutOfMemory;
    guard.applications.push_back(sheet);
    if (const Error rc = FillCueSheet({api.cuesheet_insert_track, api.cuesheet_insert_index}, document.markers,
                                      document.length, sheet))
      return rc;
    blocks.push_back(sheet);
  }
  if (settings.keep_wav_metadata) {
    std::vector<std::vector<std::uint8_t>> riff;
    if (const Error rc = BuildForeignRiffBlocks(document.rate, document.channels, bits, document.length,
                                                document.markers, document.metadata, &riff))
      return rc;
    for (std::vector<std::uint8_t>& body : riff) {
      FLAC__StreamMetadata* block = api.object_new(FLAC__METADATA_TYPE_APPLICATION);
      if (!block) return err::kOutOfMemory;
      guard.applications.push_back(block);
      std::copy_n("riff", 4, block->data.application.id);
      if (!api.application_set_data(block, body.data(), static_cast<std::uint32_t>(body.size()), true))
        return err::kOutOfMemory;
      blocks.push_back(block);
    }
  }
  if (!blocks.empty() && !api.set_metadata(encoder, blocks.data(), static_cast<std::uint32_t>(blocks.size())))
    return err::kOutOfMemory;
  if (const Error rc = target.Open()) return rc;
  StreamOutput out{target, 0, Error{}};
  if (api.init_stream(encoder, OnWrite, OnSeek, OnTell, nullptr, &out) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
    return out.failure ? out.failure : err::kCreateFailed;

  constexpr std::uint32_t kBlockFrames = 8192;
  std::vector<std::int32_t> samples(static_cast<std::size_t>(kBlockFrames) * document.channels);
  SegmentCursor cursor(document.segments, document.channels, document.length);
  const unsigned shift = 32 - bits;
  Error rc;
  for (std::uint32_t done = 0; done < document.length && !rc;) {
    const std::uint32_t frames = std::min(kBlockFrames, document.length - done);
    if ((rc = cursor.Read(frames, samples.data(), sample_code::kS32))) break;
    const std::size_t count = static_cast<std::size_t>(frames) * document.channels;
    // Arithmetic shift: the stored width keeps the sign.
    for (std::size_t i = 0; i < count; ++i) samples[i] >>= shift;
    if (!api.process(encoder, samples.data(), frames)) rc = out.failure ? out.failure : err::kWriteFailed;
    done += frames;
    if (!rc && progress && !progress(done, document.length)) rc = err::kCancelled;
  }
  // Finishing writes the final STREAMINFO; a failure there is a failed write.
  const bool finished = api.finish(encoder);
  if (!rc && !finished) rc = out.failure ? out.failure : err::kWriteFailed;
  return rc;
}

}  // namespace

namespace detail {
std::uint64_t FlacOpensDecodedByFfmpeg() { return ffmpeg_decodes.load(std::memory_order_relaxed); }
}  // namespace detail

Error WriteFlacFile(const SoundDocument& document, const std::string& path, const FlacEncodeSettings& settings,
                    const CodecProgress& progress) {
  if (settings.level > 8) return err::kUnsupportedFormat;
  unsigned bits = settings.bits;
  if (bits == 0) {
    const unsigned width = BytesPerSample(document.code) * 8;
    bits = IsFloatCode(document.code) || width > 24 ? 24 : width < 8 ? 16 : width;
  }
  if (bits != 8 && bits != 16 && bits != 24) return err::kUnsupportedFormat;
  EncoderApi api{};
  if (const Error rc = codec_detail::ResolveApi(CodecLibrary::kFlac, kEncoderNames, &api)) return rc;
  codec_detail::EncodeTarget target(path);
  if (const Error rc = EncodeInto(api, document, target, bits, settings, progress)) return rc;
  return target.Commit();
}

}  // namespace tidemark
