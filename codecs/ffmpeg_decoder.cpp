#include "codecs/ffmpeg_decoder.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "codecs/codec_progress.h"
#include "codecs/internal/av_decode.h"
#include "codecs/internal/av_tags.h"
#include "codecs/internal/decoded_file.h"
#include "codecs/internal/ffmpeg_api.h"
#include "core/document/segment.h"
#include "core/io/work_file_writer.h"
#include "formats/open_sound_file.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

using codec_detail::AvCodecApi;
using codec_detail::AvFormatApi;
using codec_detail::SwResampleApi;
using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kHeadBytes = 64;

bool Tag(Bytes b, std::size_t at, const char* four) {
  return b.size() >= at + 4 && std::memcmp(b.data() + at, four, 4) == 0;
}

bool IsIsoMedia(Bytes b) {
  for (const char* box : {"ftyp", "moov", "mdat", "free", "wide", "skip"})
    if (Tag(b, 4, box)) return true;
  return false;
}

bool IsAsf(Bytes b) {
  static constexpr std::uint8_t kGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  return b.size() >= 16 && std::memcmp(b.data(), kGuid, 16) == 0;
}

bool IsRiffWave(Bytes b) { return (Tag(b, 0, "RIFF") || Tag(b, 0, "RF64") || Tag(b, 0, "BW64")) && Tag(b, 8, "WAVE"); }

bool IsVideoContainer(Bytes b) {
  static constexpr std::uint8_t kEbml[4] = {0x1A, 0x45, 0xDF, 0xA3};
  static constexpr std::uint8_t kPack[4] = {0x00, 0x00, 0x01, 0xBA};
  if (Tag(b, 0, "RIFF") && Tag(b, 8, "AVI ")) return true;
  if (b.size() >= 4 && (std::memcmp(b.data(), kEbml, 4) == 0 || std::memcmp(b.data(), kPack, 4) == 0)) return true;
  if (b.size() >= 3 && std::memcmp(b.data(), "FLV", 3) == 0) return true;
  if (b.size() >= 1 && b[0] == 0x47) return true;  // MPEG-TS sync byte
  return IsIsoMedia(b) || IsAsf(b);
}

bool AnyNonEmpty(Bytes b) { return !b.empty(); }

std::vector<std::uint8_t> HeadOf(const std::string& path) {
  std::vector<std::uint8_t> bytes(kHeadBytes);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  return bytes;
}

struct Apis {
  AvFormatApi format{};
  AvCodecApi codec{};
  SwResampleApi swr{};
};

Error LoadApis(Apis* apis) {
  if (const Error rc = codec_detail::LoadAvCodec(&apis->codec)) return rc;
  if (const Error rc = codec_detail::LoadAvFormat(&apis->format)) return rc;
  return codec_detail::LoadSwResample(&apis->swr);
}

// Everything a decode holds, released in reverse order.
struct DecodeState {
  const Apis& api;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* swr = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  explicit DecodeState(const Apis& a) : api(a) {}
  DecodeState(const DecodeState&) = delete;
  DecodeState& operator=(const DecodeState&) = delete;
  ~DecodeState() {
    if (frame) api.codec.frame_free(&frame);
    if (packet) api.codec.packet_free(&packet);
    if (swr) api.swr.free(&swr);
    if (codec) api.codec.free_context(&codec);
    if (format) api.format.close_input(&format);
  }
};

void CollectEntries(const AvCodecApi& api, const AVDictionary* dict,
                    std::vector<std::pair<std::string, std::string>>* entries) {
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = api.dict_get(dict, "", entry, AV_DICT_IGNORE_SUFFIX)))
    if (entry->key && entry->value) entries->emplace_back(entry->key, entry->value);
}

bool IsShortInteger(int format) {
  switch (format) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
      return true;
    default:
      return false;
  }
}

// What the decoder's output is converted to before the working files take
// it: 16-bit, the wider integer codes as left-justified 32-bit (FFmpeg's own
// layout for them, so nothing is rounded), else float.
SampleCode BufferCode(SampleCode code) {
  if (code == sample_code::kS16) return sample_code::kS16;
  if (code == sample_code::kS24 || code == sample_code::kS32) return sample_code::kS32;
  return sample_code::kFloat;
}

AVSampleFormat BufferFormat(SampleCode code) {
  const SampleCode buffer = BufferCode(code);
  return buffer == sample_code::kS16 ? AV_SAMPLE_FMT_S16
         : buffer == sample_code::kS32 ? AV_SAMPLE_FMT_S32
                                       : AV_SAMPLE_FMT_FLT;
}

class Decoder {
 public:
  // `limit` caps the frames kept (0: none).
  Decoder(DecodeState& state, int stream, SampleCode code, std::uint16_t channels, WorkFileWriter& writer,
          std::uint64_t expected, std::uint64_t limit)
      : s_(state), stream_(stream), code_(BufferCode(code)), channels_(channels), writer_(writer),
        expected_(expected), limit_(limit) {}

  // Sends one packet (null: the end) and writes what comes out.
  Error Feed(const AVPacket* packet) {
    const int sent = s_.api.codec.send_packet(s_.codec, packet);
    // A packet the decoder rejects is skipped; the stream goes on after it.
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) {
      ++rejected_;
      return Error{};
    }
    for (;;) {
      const int got = s_.api.codec.receive_frame(s_.codec, s_.frame);
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return Error{};
      if (got < 0) {
        ++rejected_;
        return Error{};
      }
      // receive_frame drops the frame's previous contents itself.
      if (const Error rc = Write(*s_.frame)) return rc;
    }
  }

  std::uint64_t decoded() const { return decoded_; }
  // Frames cut off past the limit, and packets or frames the decoder refused.
  std::uint64_t dropped() const { return dropped_; }
  std::uint64_t rejected() const { return rejected_; }
  int stream() const { return stream_; }

 private:
  Error Write(const AVFrame& frame) {
    if (frame.ch_layout.nb_channels != channels_) return err::kUnsupportedFormat;  // a layout change midway
    if (frame.nb_samples <= 0) return Error{};
    const auto frames = static_cast<std::size_t>(frame.nb_samples);
    if (decoded_ + frames > kMaxFrames) return err::kTooManyFrames;
    const std::size_t width = code_ == sample_code::kS16 ? 2 : 4;
    buffer_.resize(frames * channels_ * width);
    std::uint8_t* out[1] = {buffer_.data()};
    const int converted = s_.api.swr.convert(s_.swr, out, frame.nb_samples,
                                             const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    if (converted < 0) return err::kOutOfMemory;
    std::uint64_t keep = static_cast<std::uint64_t>(converted);
    if (limit_ != 0) keep = std::min(keep, limit_ > decoded_ ? limit_ - decoded_ : 0);
    dropped_ += static_cast<std::uint64_t>(converted) - keep;
    if (keep == 0) return Error{};
    if (const Error rc = writer_.WriteFrames(buffer_.data(), static_cast<std::size_t>(keep), code_)) return rc;
    decoded_ += keep;
    if (const CodecProgress& progress = CodecOpenProgress(); progress && !progress(decoded_, expected_))
      return err::kCancelled;
    return Error{};
  }

  DecodeState& s_;
  int stream_;
  SampleCode code_;  // of the converted buffer
  std::uint16_t channels_;
  WorkFileWriter& writer_;
  std::uint64_t expected_;
  std::uint64_t limit_;
  std::uint64_t decoded_ = 0;
  std::uint64_t rejected_ = 0;
  std::uint64_t dropped_ = 0;
  std::vector<std::uint8_t> buffer_;
};

// Opens the container and the decoder of its first audio stream, with the
// decoder's error checks `err_recognition` (AV_EF_*) added.
Error OpenFirstAudio(const std::string& path, DecodeState& s, int* index, int err_recognition = 0) {
  const Apis& api = s.api;
  if (api.format.open_input(&s.format, path.c_str(), nullptr, nullptr) < 0) return err::kMalformed;
  if (api.format.find_stream_info(s.format, nullptr) < 0) return err::kMalformed;
  const AVCodec* codec = nullptr;
  *index = api.format.find_best_stream(s.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (*index == AVERROR_DECODER_NOT_FOUND) return err::kUnsupportedFormat;
  if (*index < 0 || !codec) return err::kMalformed;
  if (!(s.codec = api.codec.alloc_context(codec))) return err::kOutOfMemory;
  if (api.codec.parameters_to_context(s.codec, s.format->streams[*index]->codecpar) < 0) return err::kOutOfMemory;
  s.codec->err_recognition |= err_recognition;
  if (api.codec.open(s.codec, codec, nullptr) < 0) return err::kUnsupportedFormat;
  return Error{};
}

// Decodes the opened stream into working files of `opened`'s layout; frames
// past `limit` (0: none) are dropped, and falling short of `stated` by more
// than `slack` frames means packets were lost. With `exact`, a frame past
// the limit or a refused packet is damage too.
Error DecodeOpened(DecodeState& s, int index, SoundFileInfo opened, std::uint64_t stated, std::uint64_t limit,
                   std::uint64_t slack, SoundFileInfo* info, SegmentList* segments, bool exact = false) {
  const Apis& api = s.api;
  const AVSampleFormat out_format = BufferFormat(opened.code);
  if (api.swr.alloc_set_opts(&s.swr, &s.codec->ch_layout, out_format, s.codec->sample_rate, &s.codec->ch_layout,
                             s.codec->sample_fmt, s.codec->sample_rate, 0, nullptr) < 0 ||
      api.swr.init(s.swr) < 0)
    return err::kUnsupportedFormat;
  if (!(s.packet = api.codec.packet_alloc()) || !(s.frame = api.codec.frame_alloc())) return err::kOutOfMemory;

  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, opened.rate, opened.code, opened.channels, opened.frames))
    return rc;
  Decoder decoder(s, index, opened.code, opened.channels, writer, stated, limit);
  Error rc;
  bool damaged = false;
  for (;;) {
    const int read = api.format.read_frame(s.format, s.packet);
    if (read < 0) {
      damaged = read != AVERROR_EOF;
      break;
    }
    if (s.packet->stream_index == index) rc = decoder.Feed(s.packet);
    api.codec.packet_unref(s.packet);
    if (rc) break;
  }
  if (!rc) rc = decoder.Feed(nullptr);
  const std::uint64_t decoded = decoder.decoded();
  const bool short_of_stated = stated > decoded + slack;
  if (!rc && decoded == 0) rc = err::kMalformed;
  if (!rc && (damaged || short_of_stated)) rc = err::kReadFailed;
  if (!rc && exact && (decoder.dropped() != 0 || decoder.rejected() != 0)) rc = err::kReadFailed;
  return FinishDecoded(rc, writer, std::move(opened), decoded, info, segments);
}

Error Decode(const std::string& path, bool (*accepts)(Bytes), bool take_metadata, SoundFileInfo* info,
             SegmentList* segments) {
  const std::vector<std::uint8_t> head = HeadOf(path);
  if (!accepts(Bytes(head.data(), head.size()))) return err::kMalformed;
  Apis api;
  if (const Error rc = LoadApis(&api)) return rc;
  DecodeState s(api);
  int index = -1;
  if (const Error rc = OpenFirstAudio(path, s, &index)) return rc;
  const AVStream& stream = *s.format->streams[index];

  SoundFileInfo opened;
  opened.kind = PcmFileKind::Wave;
  opened.rate = s.codec->sample_rate > 0 ? static_cast<std::uint32_t>(s.codec->sample_rate) : 0;
  const int channels = s.codec->ch_layout.nb_channels;
  opened.channels = static_cast<std::uint16_t>(channels > 0 && channels < 65536 ? channels : 0);
  opened.code = IsShortInteger(s.codec->sample_fmt) ? sample_code::kS16 : sample_code::kFloat;
  const std::uint64_t stated = codec_detail::StatedFrames(stream.duration, stream.time_base, opened.rate);
  if (stated > kMaxFrames) return err::kTooManyFrames;
  opened.frames = static_cast<std::uint32_t>(stated);
  if (const Error rc = CheckOpenLimits(opened)) return rc;
  if (take_metadata) {
    std::vector<std::pair<std::string, std::string>> entries;
    CollectEntries(api.codec, s.format->metadata, &entries);
    CollectEntries(api.codec, stream.metadata, &entries);
    opened.tags = codec_detail::TagsFromAvEntries(entries);
  }
  // An ISO media stream timed in samples states its length exactly (its edit
  // list, after the priming the decoder drops): the encoder's end padding
  // goes. Other containers' durations may be estimates.
  const bool timed_in_samples = stream.time_base.num == 1 && stream.time_base.den == s.codec->sample_rate &&
                                s.format->iformat && std::strstr(s.format->iformat->name, "mp4");
  // A quarter second short of an estimate is not yet damage.
  const std::uint64_t slack = opened.rate / 4;
  return DecodeOpened(s, index, std::move(opened), stated, timed_in_samples ? stated : 0, slack, info, segments);
}

}  // namespace

namespace codec_detail {

std::uint64_t StatedFrames(std::int64_t duration, AVRational time_base, std::uint32_t rate) {
  if (duration <= 0 || time_base.den <= 0 || time_base.num <= 0) return 0;
  const long double seconds = static_cast<long double>(duration) * time_base.num / time_base.den;
  const long double frames = seconds * rate + 0.5L;
  return frames > 0 && frames < 1e12L ? static_cast<std::uint64_t>(frames) : 0;
}

Error DecodeKnownStream(const std::string& path, AVCodecID codec_id, const SoundFileInfo& known,
                        SoundFileInfo* info, SegmentList* segments, KnownLength length) {
  Apis api;
  if (const Error rc = LoadApis(&api)) return rc;
  DecodeState s(api);
  int index = -1;
  const bool exact = length == KnownLength::kExact;
  if (const Error rc = OpenFirstAudio(path, s, &index, exact ? AV_EF_CRCCHECK | AV_EF_EXPLODE : 0)) return rc;
  if (s.codec->codec_id != codec_id || s.codec->sample_rate != static_cast<int>(known.rate) ||
      s.codec->ch_layout.nb_channels != known.channels)
    return err::kUnsupportedFormat;
  SoundFileInfo layout;
  layout.kind = known.kind;
  layout.code = known.code;
  layout.rate = known.rate;
  layout.channels = known.channels;
  layout.frames = known.frames;
  return DecodeOpened(s, index, std::move(layout), known.frames, known.frames, 0, info, segments, exact);
}

}  // namespace codec_detail

Error ReadMp4File(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  return Decode(path, IsIsoMedia, take_metadata, info, segments);
}

Error ReadWindowsMediaFile(const std::string& path, bool take_metadata, SoundFileInfo* info,
                           SegmentList* segments) {
  return Decode(path, IsAsf, take_metadata, info, segments);
}

Error ReadVideoFile(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  return Decode(path, IsVideoContainer, take_metadata, info, segments);
}

Error ReadCompressedWaveFile(const std::string& path, bool take_metadata, SoundFileInfo* info,
                             SegmentList* segments) {
  return Decode(path, IsRiffWave, take_metadata, info, segments);
}

Error ReadMediaImport(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  return Decode(path, AnyNonEmpty, take_metadata, info, segments);
}

}  // namespace tidemark
