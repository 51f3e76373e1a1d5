#include "codecs/ffmpeg_encoder.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "codecs/codec_library.h"
#include "codecs/internal/av_tags.h"
#include "codecs/internal/ffmpeg_api.h"
#include "codecs/internal/mp3_header_bits.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"

namespace tidemark {
namespace {

using codec_detail::AvCodecApi;
using codec_detail::AvFormatApi;
using codec_detail::SwResampleApi;

struct Target {
  const char* muxer;
  const char* encoder;
};

Target TargetOf(const AvEncodeSettings& settings, const std::string& path) {
  switch (settings.writer) {
    case AvWriter::kAac:
      return {path.size() >= 4 && path.compare(path.size() - 4, 4, ".mp4") == 0 ? "mp4" : "ipod", "aac"};
    case AvWriter::kMp3:
      return {"mp3", "libmp3lame"};
    case AvWriter::kWma:
      return {"asf", settings.wma_version == 1 ? "wmav1" : "wmav2"};
    case AvWriter::kAcm:
      break;
  }
  switch (settings.wave_format) {
    case 0x0011:
      return {"wav", "adpcm_ima_wav"};
    case 0x0006:
      return {"wav", "pcm_alaw"};
    case 0x0007:
      return {"wav", "pcm_mulaw"};
    default:
      return {"wav", "adpcm_ms"};
  }
}

std::string HiddenNameBeside(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + "." + std::to_string(::getpid()) + ".part";
}

struct EncodeState {
  const AvFormatApi& format_api;
  const AvCodecApi& codec_api;
  const SwResampleApi& swr_api;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* swr = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  EncodeState(const AvFormatApi& f, const AvCodecApi& c, const SwResampleApi& s)
      : format_api(f), codec_api(c), swr_api(s) {}
  EncodeState(const EncodeState&) = delete;
  EncodeState& operator=(const EncodeState&) = delete;
  ~EncodeState() {
    if (packet) codec_api.packet_free(&packet);
    if (frame) codec_api.frame_free(&frame);
    if (swr) swr_api.free(&swr);
    if (codec) codec_api.free_context(&codec);
    if (format) {
      if (format->pb) format_api.io_closep(&format->pb);
      format_api.free_context(format);
    }
  }
};

// The encoder's sample format: planar float where it takes it.
AVSampleFormat ChooseFormat(const AVCodec& codec) {
  if (!codec.sample_fmts) return AV_SAMPLE_FMT_FLTP;
  for (const AVSampleFormat* f = codec.sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == AV_SAMPLE_FMT_FLTP) return *f;
  return codec.sample_fmts[0];
}

// Moves every packet the encoder has ready into the file.
Error Drain(EncodeState& s, AVStream* stream) {
  for (;;) {
    const int got = s.codec_api.receive_packet(s.codec, s.packet);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return Error{};
    if (got < 0) return err::kWriteFailed;
    s.codec_api.packet_rescale_ts(s.packet, s.codec->time_base, stream->time_base);
    s.packet->stream_index = stream->index;
    if (s.format_api.write_frame(s.format, s.packet) < 0) return err::kWriteFailed;
  }
}

Error EncodeInto(const AvFormatApi& fa, const AvCodecApi& ca, const SwResampleApi& sa, const SoundDocument& doc,
                 const std::string& file, const AvEncodeSettings& settings, const Target& target,
                 const CodecProgress& progress) {
  EncodeState s(fa, ca, sa);
  const AVCodec* codec = nullptr;
  if (settings.writer == AvWriter::kAac && settings.prefer_fdk) codec = ca.find_encoder_by_name("libfdk_aac");
  if (!codec) codec = ca.find_encoder_by_name(target.encoder);
  if (!codec) return err::kUnsupportedFormat;
  if (fa.alloc_output(&s.format, nullptr, target.muxer, file.c_str()) < 0 || !s.format) return err::kOutOfMemory;
  if (!(s.codec = ca.alloc_context(codec))) return err::kOutOfMemory;
  s.codec->sample_rate = static_cast<int>(doc.rate);
  ca.layout_default(&s.codec->ch_layout, doc.channels);
  s.codec->sample_fmt = ChooseFormat(*codec);
  if (settings.writer != AvWriter::kAcm) s.codec->bit_rate = EffectiveBitrate(settings);
  s.codec->time_base = AVRational{1, static_cast<int>(doc.rate)};
  if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (ca.open(s.codec, codec, nullptr) < 0) return err::kUnsupportedFormat;
  AVStream* stream = fa.new_stream(s.format, nullptr);
  if (!stream) return err::kOutOfMemory;
  stream->time_base = s.codec->time_base;
  if (ca.parameters_from_context(stream->codecpar, s.codec) < 0) return err::kOutOfMemory;

  std::vector<std::pair<std::string, std::string>> entries;
  if (const Error rc = codec_detail::AvEntriesFromTags(doc.metadata, &entries)) return rc;
  for (const auto& [key, value] : entries)
    if (ca.dict_set(&s.format->metadata, key.c_str(), value.c_str(), 0) < 0) return err::kOutOfMemory;

  if (fa.io_open(&s.format->pb, file.c_str(), AVIO_FLAG_WRITE) < 0) return err::kCreateFailed;
  AVDictionary* options = nullptr;
  if (settings.writer == AvWriter::kMp3 && !settings.id3_unicode &&
      ca.dict_set(&options, "id3v2_version", "3", 0) < 0)
    return err::kOutOfMemory;
  const int header = fa.write_header(s.format, &options);
  ca.dict_free(&options);
  if (header < 0) return err::kWriteFailed;

  if (sa.alloc_set_opts(&s.swr, &s.codec->ch_layout, s.codec->sample_fmt, s.codec->sample_rate,
                        &s.codec->ch_layout, AV_SAMPLE_FMT_FLT, s.codec->sample_rate, 0, nullptr) < 0 ||
      sa.init(s.swr) < 0)
    return err::kUnsupportedFormat;
  if (!(s.frame = ca.frame_alloc()) || !(s.packet = ca.packet_alloc())) return err::kOutOfMemory;

  const bool variable = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0 || s.codec->frame_size <= 0;
  const bool small_last = (codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
  const std::uint32_t frame_size = variable ? 4096u : static_cast<std::uint32_t>(s.codec->frame_size);
  std::vector<float> samples(static_cast<std::size_t>(frame_size) * doc.channels);
  SegmentCursor cursor(doc.segments, doc.channels, doc.length);
  // An encoder that delays its output without being flushable (WMA) gets
  // that much silence after the document, so that none of it is lost.
  const bool flushable = (codec->capabilities & AV_CODEC_CAP_DELAY) != 0;
  const std::uint64_t tail = flushable || s.codec->initial_padding <= 0 ? 0u
                                                                         : static_cast<std::uint64_t>(s.codec->initial_padding);
  const std::uint64_t total = doc.length + tail;
  Error rc;
  for (std::uint64_t done = 0; done < total && !rc;) {
    const auto frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(frame_size, total - done));
    const std::uint32_t real = done >= doc.length ? 0u : static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, doc.length - done));
    if (real != 0 && (rc = cursor.ReadFloat(real, samples.data(), doc.channels))) break;
    std::fill(samples.begin() + static_cast<std::ptrdiff_t>(real) * doc.channels, samples.end(), 0.0f);
    const std::size_t count = static_cast<std::size_t>(frames) * doc.channels;
    for (std::size_t i = 0; i < count; ++i)
      if (!std::isfinite(samples[i])) samples[i] = 0.0f;
    // The last frame is padded with silence for encoders that need whole frames.
    const std::uint32_t coded = variable || small_last ? frames : frame_size;
    std::fill(samples.begin() + static_cast<std::ptrdiff_t>(count), samples.end(), 0.0f);
    s.frame->nb_samples = static_cast<int>(coded);
    s.frame->format = s.codec->sample_fmt;
    s.frame->sample_rate = s.codec->sample_rate;
    s.frame->ch_layout = s.codec->ch_layout;  // plain copy of a native layout
    if (ca.frame_get_buffer(s.frame, 0) < 0) {
      rc = err::kOutOfMemory;
      break;
    }
    const std::uint8_t* in[1] = {reinterpret_cast<const std::uint8_t*>(samples.data())};
    if (sa.convert(s.swr, s.frame->extended_data, static_cast<int>(coded), in, static_cast<int>(coded)) < 0) {
      rc = err::kOutOfMemory;
      break;
    }
    s.frame->pts = static_cast<std::int64_t>(done);
    const int sent = ca.send_frame(s.codec, s.frame);
    s.frame->ch_layout = AVChannelLayout{};  // borrowed from the codec; not freed with the frame
    ca.frame_free(&s.frame);
    if (!(s.frame = ca.frame_alloc())) {
      rc = err::kOutOfMemory;
      break;
    }
    if (sent < 0) {
      rc = err::kWriteFailed;
      break;
    }
    if ((rc = Drain(s, stream))) break;
    done += frames;
    if (progress && !progress(std::min<std::uint64_t>(done, doc.length), doc.length)) rc = err::kCancelled;
  }
  if (!rc && ca.send_frame(s.codec, nullptr) < 0) rc = err::kWriteFailed;
  if (!rc) rc = Drain(s, stream);
  if (!rc && fa.write_trailer(s.format) < 0) rc = err::kWriteFailed;
  if (!rc && fa.io_closep(&s.format->pb) < 0) rc = err::kWriteFailed;
  return rc;
}

}  // namespace

Error WriteThroughFfmpeg(const SoundDocument& document, const std::string& path, const AvEncodeSettings& settings,
                         const CodecProgress& progress) {
  if (const Error rc = CheckAvEncodeSettings(settings)) return rc;
  AvCodecApi codec{};
  AvFormatApi format{};
  SwResampleApi swr{};
  if (const Error rc = codec_detail::LoadAvCodec(&codec)) return rc;
  if (const Error rc = codec_detail::LoadAvFormat(&format)) return rc;
  if (const Error rc = codec_detail::LoadSwResample(&swr)) return rc;
  const std::string hidden = HiddenNameBeside(path);
  Error rc = EncodeInto(format, codec, swr, document, hidden, settings, TargetOf(settings, path), progress);
  if (!rc && settings.writer == AvWriter::kMp3 && settings.mp3_header_set)
    rc = codec_detail::SetMp3HeaderBits(hidden, settings.mp3_header);
  if (!rc) rc = RenameFile(hidden, path, false);
  if (rc) ::unlink(hidden.c_str());
  return rc;
}

Error FindFfmpegEncoder(const AvEncodeSettings& settings, std::string* package) {
  package->clear();
  AvCodecApi codec{};
  AvFormatApi format{};
  SwResampleApi swr{};
  Error rc = codec_detail::LoadAvCodec(&codec);
  if (!rc) rc = codec_detail::LoadAvFormat(&format);
  if (!rc) rc = codec_detail::LoadSwResample(&swr);
  if (rc) {
    *package = MissingCodecPackage();
    return rc;
  }
  if (codec.find_encoder_by_name(TargetOf(settings, {}).encoder)) return Error{};
  *package = kFullFfmpegPackage;
  return err::kCodecLibraryUnavailable;
}

}  // namespace tidemark
