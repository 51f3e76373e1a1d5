#include "codecs/mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "codecs/internal/codec_api.h"
#include "codecs/internal/encode_target.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "formats/tags/id3_tags.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

struct LameApi {
  decltype(&lame_init) init;
  decltype(&lame_close) close;
  decltype(&lame_set_num_channels) set_channels;
  decltype(&lame_set_in_samplerate) set_in_rate;
  decltype(&lame_set_out_samplerate) set_out_rate;
  decltype(&lame_set_mode) set_mode;
  decltype(&lame_set_brate) set_bitrate;
  decltype(&lame_set_VBR) set_vbr;
  decltype(&lame_set_VBR_q) set_vbr_q;
  decltype(&lame_set_VBR_mean_bitrate_kbps) set_abr;
  decltype(&lame_set_VBR_max_bitrate_kbps) set_max;
  decltype(&lame_set_quality) set_quality;
  decltype(&lame_set_error_protection) set_crc;
  decltype(&lame_set_copyright) set_copyright;
  decltype(&lame_set_original) set_original;
  decltype(&lame_set_extension) set_private;
  decltype(&lame_set_bWriteVbrTag) set_info_tag;
  decltype(&lame_set_write_id3tag_automatic) set_auto_id3;
  decltype(&lame_set_num_samples) set_samples;
  decltype(&lame_init_params) init_params;
  decltype(&lame_encode_buffer_interleaved_ieee_float) encode;
  decltype(&lame_encode_buffer_ieee_float) encode_planar;
  decltype(&lame_encode_flush) flush;
  decltype(&lame_get_lametag_frame) info_frame;
};
constexpr std::array<const char*, 24> kNames = {
    "lame_init",
    "lame_close",
    "lame_set_num_channels",
    "lame_set_in_samplerate",
    "lame_set_out_samplerate",
    "lame_set_mode",
    "lame_set_brate",
    "lame_set_VBR",
    "lame_set_VBR_q",
    "lame_set_VBR_mean_bitrate_kbps",
    "lame_set_VBR_max_bitrate_kbps",
    "lame_set_quality",
    "lame_set_error_protection",
    "lame_set_copyright",
    "lame_set_original",
    "lame_set_extension",
    "lame_set_bWriteVbrTag",
    "lame_set_write_id3tag_automatic",
    "lame_set_num_samples",
    "lame_init_params",
    "lame_encode_buffer_interleaved_ieee_float",
    "lame_encode_buffer_ieee_float",
    "lame_encode_flush",
    "lame_get_lametag_frame"};

struct Encoder {
  const LameApi& api;
  lame_global_flags* flags;
  ~Encoder() {
    if (flags) api.close(flags);
  }
};

Error Configure(const LameApi& api, lame_global_flags* gf, const SoundDocument& d, const LameEncodeSettings& s) {
  api.set_channels(gf, d.channels);
  api.set_in_rate(gf, static_cast<int>(d.rate));
  api.set_out_rate(gf, static_cast<int>(d.rate));
  api.set_samples(gf, d.length);
  MPEG_mode mode = JOINT_STEREO;
  if (d.channels == 1 || s.channels == LameChannels::kMono) mode = MONO;
  else if (s.channels == LameChannels::kStereo) mode = STEREO;
  api.set_mode(gf, mode);
  switch (s.mode) {
    case LameMode::kCbr:
      api.set_vbr(gf, vbr_off);
      api.set_bitrate(gf, s.bitrate);
      break;
    case LameMode::kAbr:
      api.set_vbr(gf, vbr_abr);
      api.set_abr(gf, s.bitrate);
      if (s.max_bitrate) api.set_max(gf, s.max_bitrate);
      break;
    case LameMode::kVbr:
      api.set_vbr(gf, vbr_default);
      api.set_vbr_q(gf, s.vbr_level);
      if (s.max_bitrate) api.set_max(gf, s.max_bitrate);
      break;
  }
  if (s.quality >= 0) api.set_quality(gf, s.quality);
  api.set_crc(gf, s.crc);
  api.set_copyright(gf, s.copyright);
  api.set_original(gf, s.original);
  api.set_private(gf, s.private_bit);
  // The info frame is finished by us after the last frame.
  api.set_info_tag(gf, 1);
  api.set_auto_id3(gf, 0);
  return api.init_params(gf) < 0 ? err::kUnsupportedFormat : err::kOk;
}

Error Encode(const LameApi& api, const SoundDocument& d, const LameEncodeSettings& s, const CodecProgress& progress,
             codec_detail::EncodeTarget& target) {
  Encoder encoder{api, api.init()};
  if (!encoder.flags) return err::kOutOfMemory;
  if (const Error rc = Configure(api, encoder.flags, d, s)) return rc;

  std::vector<std::uint8_t> id3;
  Mp3TagOptions tag_options;
  tag_options.version = s.id3v24 ? 4 : 3;
  tag_options.unicode = s.unicode;
  if (const Error rc = BuildMp3Id3v2Tag(d.metadata, d.markers, d.rate, d.length, tag_options, &id3)) return rc;
  if (const Error rc = target.Append(id3)) return rc;
  const std::uint64_t first_frame = target.size();

  constexpr std::uint32_t kBlockFrames = 8192;
  // LAME's psychoacoustics overflow on huge values: 12 dB over full scale is
  // kept, anything beyond is cut there.
  constexpr float kLimit = 4.0f;
  std::vector<float> samples(static_cast<std::size_t>(kBlockFrames) * d.channels);
  std::vector<std::uint8_t> out(kBlockFrames * 5 / 4 + 7200);
  SegmentCursor cursor(d.segments, d.channels, d.length);
  for (std::uint32_t done = 0; done < d.length;) {
    const std::uint32_t frames = std::min(kBlockFrames, d.length - done);
    if (const Error rc = cursor.Read(frames, samples.data(), sample_code::kFloat)) return rc;
    const std::size_t count = static_cast<std::size_t>(frames) * d.channels;
    for (float& v : std::span(samples.data(), count)) v = std::isfinite(v) ? std::clamp(v, -kLimit, kLimit) : 0.0f;
    // The interleaved entry reads two channels; mono goes in as one plane.
    const int bytes = d.channels == 2
                          ? api.encode(encoder.flags, samples.data(), static_cast<int>(frames), out.data(),
                                       static_cast<int>(out.size()))
                          : api.encode_planar(encoder.flags, samples.data(), samples.data(),
                                              static_cast<int>(frames), out.data(), static_cast<int>(out.size()));
    if (bytes < 0) return bytes == -2 ? err::kOutOfMemory : err::kWriteFailed;
    if (const Error rc = target.Append(std::span(out.data(), static_cast<std::size_t>(bytes)))) return rc;
    done += frames;
    if (progress && !progress(done, d.length)) return err::kCancelled;
  }
  const int tail = api.flush(encoder.flags, out.data(), static_cast<int>(out.size()));
  if (tail < 0) return err::kWriteFailed;
  if (const Error rc = target.Append(std::span(out.data(), static_cast<std::size_t>(tail)))) return rc;

  // The info frame replaces the placeholder LAME put first.
  const std::size_t info = api.info_frame(encoder.flags, out.data(), out.size());
  if (info > out.size()) return err::kWriteFailed;
  if (info > 0) {
    if (const Error rc = target.WriteAt(std::span(out.data(), info), first_frame)) return rc;
  }
  if (s.id3v1) {
    std::array<std::uint8_t, 128> v1{};
    bool any = false;
    if (const Error rc = BuildMp3Id3v1Tag(d.metadata, &v1, &any)) return rc;
    if (any) {
      if (const Error rc = target.Append(v1)) return rc;
    }
  }
  return err::kOk;
}

}  // namespace

bool IsMp3Rate(std::uint32_t rate) {
  constexpr std::array<std::uint32_t, 9> kRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
  return std::find(kRates.begin(), kRates.end(), rate) != kRates.end();
}

Error WriteMp3File(const SoundDocument& document, const std::string& path, const LameEncodeSettings& settings,
                   const CodecProgress& progress) {
  if (!IsMp3Rate(document.rate) || document.channels < 1 || document.channels > 2) return err::kUnsupportedFormat;
  LameEncodeSettings checked;
  if (DecodeLameBlock(EncodeLameBlock(settings), &checked) != err::kOk) return err::kUnsupportedFormat;
  LameApi api{};
  if (const Error rc = codec_detail::ResolveApi(CodecLibrary::kLame, kNames, &api)) return rc;
  codec_detail::EncodeTarget target(path);
  if (const Error rc = target.Open()) return rc;
  if (const Error rc = Encode(api, document, settings, progress, target)) return rc;
  return target.Commit();
}

}  // namespace tidemark
