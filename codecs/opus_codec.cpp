#include "codecs/opus_codec.h"

#include <opus/opusenc.h>
#include <opus/opusfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "codecs/container_sniff.h"
#include "codecs/internal/codec_api.h"
#include "codecs/internal/decoded_file.h"
#include "codecs/internal/encode_target.h"
#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/io/work_file_writer.h"
#include "dsp/resample/resample.h"
#include "formats/open_sound_file.h"
#include "formats/tags/vorbis_comments.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

constexpr std::uint32_t kOpusRate = 48000;

struct OpusFileApi {
  decltype(&op_open_file) open;
  decltype(&op_free) free;
  decltype(&op_channel_count) channels;
  decltype(&op_pcm_total) pcm_total;
  decltype(&op_head) head;
  decltype(&op_tags) tags;
  decltype(&op_read_float) read_float;
};
constexpr std::array<const char*, 7> kFileNames = {"op_open_file", "op_free",  "op_channel_count", "op_pcm_total",
                                                   "op_head",      "op_tags",  "op_read_float"};

struct OpusEncApi {
  decltype(&ope_comments_create) comments_create;
  decltype(&ope_comments_destroy) comments_destroy;
  decltype(&ope_comments_add_string) comments_add;
  decltype(&ope_encoder_create_callbacks) create;
  decltype(&ope_encoder_destroy) destroy;
  decltype(&ope_encoder_ctl) ctl;
  decltype(&ope_encoder_write_float) write_float;
  decltype(&ope_encoder_drain) drain;
};
constexpr std::array<const char*, 8> kEncNames = {"ope_comments_create", "ope_comments_destroy",
                                                  "ope_comments_add_string", "ope_encoder_create_callbacks",
                                                  "ope_encoder_destroy", "ope_encoder_ctl",
                                                  "ope_encoder_write_float", "ope_encoder_drain"};

bool IsOggOpus(const std::string& path) {
  std::array<std::uint8_t, kSniffBytes> bytes{};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  return SniffContainer(std::span<const std::uint8_t>(bytes.data(), got)) == Container::kOggOpus;
}

TagSet TagsOf(const OpusTags* tags) {
  TagSet set;
  if (!tags) return set;
  VorbisComments comments;
  if (tags->vendor) comments.vendor = tags->vendor;
  for (int i = 0; i < tags->comments; ++i)
    if (tags->user_comments[i] && tags->comment_lengths[i] >= 0)
      comments.comments.emplace_back(tags->user_comments[i], static_cast<std::size_t>(tags->comment_lengths[i]));
  // Tags that cannot be taken leave the samples openable.
  (void)VorbisCommentsToTags(comments, &set);
  return set;
}

// Decoded 48 kHz frames on their way to the working files, through the
// converter when the document's rate is another. The converter's latency
// is dropped at the start and flushed with silence at the end, so the
// output is exactly the frames wanted.
class RateStage {
 public:
  RateStage(WorkFileWriter& writer, std::uint16_t channels) : writer_(writer), channels_(channels) {}

  // `wanted` frames at `rate` are written in all.
  Error Init(std::uint32_t rate, std::uint64_t wanted) {
    if (rate == kOpusRate) return err::kOk;
    if (const Error rc = dsp::MakeResampler(rate, kOpusRate, channels_, 100, dsp::ResampleOptions(), &converter_))
      return rc;
    skip_ = converter_->GetOutputLatency();
    wanted_ = wanted;
    output_.resize(static_cast<std::size_t>(converter_->GetOutputBlock()) * channels_);
    return err::kOk;
  }

  // Interleaved frames at 48 kHz.
  Error Put(const float* interleaved, std::size_t frames) {
    if (!converter_) return Emit(interleaved, frames);
    const std::uint32_t block = converter_->GetInputBlock();
    float* const* inputs = converter_->GetInputPointers();
    while (frames > 0) {
      const std::size_t n = std::min<std::size_t>(frames, block - filled_);
      for (std::size_t i = 0; i < n; ++i)
        for (std::uint16_t c = 0; c < channels_; ++c) inputs[c][filled_ + i] = interleaved[i * channels_ + c];
      filled_ += static_cast<std::uint32_t>(n);
      interleaved += n * channels_;
      frames -= n;
      if (filled_ == block) {
        if (const Error rc = Convert(block)) return rc;
      }
    }
    return err::kOk;
  }

  Error Finish() {
    if (!converter_) return err::kOk;
    // Silence after the end pushes the converter's last frames out.
    float* const* inputs = converter_->GetInputPointers();
    const std::uint32_t block = converter_->GetInputBlock();
    while (written_ < wanted_) {
      for (std::uint16_t c = 0; c < channels_; ++c) std::fill(inputs[c] + filled_, inputs[c] + block, 0.0f);
      const std::uint64_t before = written_;
      if (const Error rc = Convert(block)) return rc;
      if (written_ == before && skip_ == 0) break;
    }
    return err::kOk;
  }

  std::uint64_t written() const { return written_; }

 private:
  Error Convert(std::uint32_t input_frames) {
    filled_ = 0;
    std::uint32_t got = converter_->Process(output_.data(), input_frames);
    const float* out = output_.data();
    const std::uint32_t dropped = std::min(got, skip_);
    skip_ -= dropped;
    got -= dropped;
    out += static_cast<std::size_t>(dropped) * channels_;
    const std::uint64_t room = wanted_ - std::min(wanted_, written_);
    return Emit(out, static_cast<std::size_t>(std::min<std::uint64_t>(got, room)));
  }

  Error Emit(const float* interleaved, std::size_t frames) {
    if (frames == 0) return err::kOk;
    if (written_ + frames > kMaxFrames) return err::kTooManyFrames;
    if (const Error rc = writer_.WriteFrames(interleaved, frames, sample_code::kFloat)) return rc;
    written_ += frames;
    return err::kOk;
  }

  WorkFileWriter& writer_;
  std::uint16_t channels_;
  std::unique_ptr<dsp::CResample> converter_;
  std::vector<float> output_;
  std::uint32_t filled_ = 0;
  std::uint32_t skip_ = 0;
  std::uint64_t wanted_ = 0;
  std::uint64_t written_ = 0;
};

}  // namespace

std::uint32_t OpusFileRate(std::uint32_t original_rate) {
  if (original_rate < kMinSampleRate || original_rate > kMaxSampleRate || original_rate == kOpusRate) return kOpusRate;
  std::unique_ptr<dsp::CResample> converter;
  if (dsp::MakeResampler(original_rate, kOpusRate, 1, 100, dsp::ResampleOptions(), &converter) || !converter)
    return kOpusRate;
  return dsp::DesignOf(*converter).interpolated ? kOpusRate : original_rate;
}

Error ReadOpusFile(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  if (!IsOggOpus(path)) return err::kMalformed;
  OpusFileApi api{};
  if (const Error rc = codec_detail::ResolveApi(CodecLibrary::kOpusFile, kFileNames, &api)) return rc;
  int error = 0;
  OggOpusFile* file = api.open(path.c_str(), &error);
  if (!file) return error == OP_EFAULT ? err::kOutOfMemory : err::kMalformed;
  struct Closer {
    const OpusFileApi& api;
    OggOpusFile* file;
    ~Closer() { api.free(file); }
  } closer{api, file};

  const OpusHead* head = api.head(file, 0);
  if (!head) return err::kMalformed;
  const int channels = api.channels(file, -1);
  if (channels < 1 || channels > 2) return err::kUnsupportedFormat;
  const ogg_int64_t total = api.pcm_total(file, -1);
  const std::uint64_t total48 = total > 0 ? static_cast<std::uint64_t>(total) : 0;

  SoundFileInfo opened;
  opened.kind = PcmFileKind::Wave;
  opened.code = sample_code::kFloat;
  opened.rate = OpusFileRate(head->input_sample_rate);
  opened.channels = static_cast<std::uint16_t>(channels);
  // Encoders count ceil(n x 48000 / rate) frames at 48 kHz for n at the
  // original rate; rounding back down gives n again (for rates up to 48 kHz).
  const std::uint64_t expected = total48 * opened.rate / kOpusRate;
  if (expected > kMaxFrames) return err::kTooManyFrames;
  opened.frames = static_cast<std::uint32_t>(expected);
  if (const Error rc = CheckOpenLimits(opened)) return rc;
  if (take_metadata) opened.tags = TagsOf(api.tags(file, 0));

  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, opened.rate, opened.code, opened.channels, opened.frames))
    return rc;
  RateStage stage(writer, opened.channels);
  Error rc = stage.Init(opened.rate, expected);
  // 120 ms at 48 kHz is the largest packet.
  std::vector<float> pcm(static_cast<std::size_t>(5760) * 2);
  std::uint64_t decoded = 0;
  while (!rc) {
    int link = 0;
    const int got = api.read_float(file, pcm.data(), static_cast<int>(pcm.size()), &link);
    if (got == 0) break;
    if (got == OP_HOLE) continue;  // a gap in the pages: decoding goes on after it
    if (got < 0) {
      rc = decoded == 0 ? err::kMalformed : err::kReadFailed;
      break;
    }
    if (api.channels(file, link) != channels) {
      rc = err::kUnsupportedFormat;
      break;
    }
    const auto frames = static_cast<std::size_t>(got);
    for (float& v : std::span(pcm.data(), frames * opened.channels))
      if (!std::isfinite(v)) v = 0.0f;
    if ((rc = stage.Put(pcm.data(), frames))) break;
    decoded += frames;
    if (const CodecProgress& progress = CodecOpenProgress(); progress && !progress(decoded, total48)) {
      rc = err::kCancelled;
      break;
    }
  }
  if (!rc && decoded == 0 && total48 != 0) rc = err::kMalformed;
  if (!rc) rc = stage.Finish();
  return FinishDecoded(rc, writer, std::move(opened), stage.written(), info, segments);
}

namespace {

// Where the encoder's pages go; the first failed write is kept.
struct Sink {
  codec_detail::EncodeTarget& target;
  Error failure;
};

int WriteToTarget(void* user, const unsigned char* bytes, opus_int32 length) {
  auto& sink = *static_cast<Sink*>(user);
  if (!sink.failure) sink.failure = sink.target.Append(std::span(bytes, static_cast<std::size_t>(length)));
  return sink.failure ? 1 : 0;
}
int CloseTarget(void*) { return 0; }

struct EncoderGuard {
  const OpusEncApi& api;
  OggOpusComments* comments = nullptr;
  OggOpusEnc* encoder = nullptr;
  ~EncoderGuard() {
    if (encoder) api.destroy(encoder);
    if (comments) api.comments_destroy(comments);
  }
};

Error Encode(const OpusEncApi& api, const SoundDocument& d, const OpusEncodeSettings& s,
             const CodecProgress& progress, codec_detail::EncodeTarget& target) {
  EncoderGuard guard{api};
  guard.comments = api.comments_create();
  if (!guard.comments) return err::kOutOfMemory;
  std::vector<std::string> texts;
  if (const Error rc = TagsToVorbisComments(d.metadata, std::nullopt, &texts)) return rc;
  for (const std::string& text : texts)
    if (api.comments_add(guard.comments, text.c_str()) != OPE_OK) return err::kOutOfMemory;
  OpusEncCallbacks callbacks{WriteToTarget, CloseTarget};
  Sink sink{target, {}};
  int error = 0;
  guard.encoder = api.create(&callbacks, &sink, guard.comments, static_cast<opus_int32>(d.rate), d.channels, 0,
                             &error);
  if (!guard.encoder) return error == OPE_ALLOC_FAIL ? err::kOutOfMemory : err::kUnsupportedFormat;
  OggOpusEnc* enc = guard.encoder;
  if (s.bitrate != 0) api.ctl(enc, OPUS_SET_BITRATE(static_cast<opus_int32>(ClampOpusBitrate(s.bitrate))));
  api.ctl(enc, OPUS_SET_VBR(s.rate_control == OpusRateControl::kCbr ? 0 : 1));
  api.ctl(enc, OPUS_SET_VBR_CONSTRAINT(s.rate_control == OpusRateControl::kConstrainedVbr ? 1 : 0));
  const int signal = s.signal == OpusSignal::kMusic   ? OPUS_SIGNAL_MUSIC
                     : s.signal == OpusSignal::kVoice ? OPUS_SIGNAL_VOICE
                                                      : OPUS_AUTO;
  api.ctl(enc, OPUS_SET_SIGNAL(signal));
  api.ctl(enc, OPUS_SET_COMPLEXITY(static_cast<opus_int32>(s.complexity)));

  constexpr std::uint32_t kBlockFrames = 8192;
  std::vector<float> samples(static_cast<std::size_t>(kBlockFrames) * d.channels);
  SegmentCursor cursor(d.segments, d.channels, d.length);
  for (std::uint32_t done = 0; done < d.length;) {
    const std::uint32_t frames = std::min(kBlockFrames, d.length - done);
    if (const Error rc = cursor.Read(frames, samples.data(), sample_code::kFloat)) return rc;
    for (float& v : std::span(samples.data(), static_cast<std::size_t>(frames) * d.channels))
      if (!std::isfinite(v)) v = 0.0f;
    if (api.write_float(enc, samples.data(), static_cast<int>(frames)) != OPE_OK)
      return sink.failure ? sink.failure : err::kWriteFailed;
    done += frames;
    if (progress && !progress(done, d.length)) return err::kCancelled;
  }
  if (api.drain(enc) != OPE_OK || sink.failure) return sink.failure ? sink.failure : err::kWriteFailed;
  return err::kOk;
}

}  // namespace

Error WriteOpusFile(const SoundDocument& document, const std::string& path, const OpusEncodeSettings& settings,
                    const CodecProgress& progress) {
  if (document.channels < 1 || document.channels > 2) return err::kUnsupportedFormat;
  OpusEncodeSettings checked;
  if (DecodeOpusBlock(EncodeOpusBlock(settings), &checked) != err::kOk) return err::kUnsupportedFormat;
  OpusEncApi api{};
  if (const Error rc = codec_detail::ResolveApi(CodecLibrary::kOpusEnc, kEncNames, &api)) return rc;
  codec_detail::EncodeTarget target(path);
  if (const Error rc = target.Open()) return rc;
  if (const Error rc = Encode(api, document, checked, progress, target)) return rc;
  return target.Commit();
}

}  // namespace tidemark
