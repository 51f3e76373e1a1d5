#include "codecs/vorbis_encoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "codecs/internal/codec_api.h"
#include "codecs/internal/encode_target.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "formats/tags/vorbis_comments.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// libvorbis and libogg come in with libvorbisenc: their symbols are looked
// up through its handle.
struct VorbisEncApi {
  decltype(&vorbis_info_init) info_init;
  decltype(&vorbis_info_clear) info_clear;
  decltype(&vorbis_encode_init_vbr) init_vbr;
  decltype(&vorbis_encode_init) init_managed;
  decltype(&vorbis_comment_init) comment_init;
  decltype(&vorbis_comment_add) comment_add;
  decltype(&vorbis_comment_clear) comment_clear;
  decltype(&vorbis_analysis_init) analysis_init;
  decltype(&vorbis_block_init) block_init;
  decltype(&vorbis_analysis_headerout) headerout;
  decltype(&vorbis_analysis_buffer) buffer;
  decltype(&vorbis_analysis_wrote) wrote;
  decltype(&vorbis_analysis_blockout) blockout;
  decltype(&vorbis_analysis) analysis;
  decltype(&vorbis_bitrate_addblock) addblock;
  decltype(&vorbis_bitrate_flushpacket) flushpacket;
  decltype(&vorbis_block_clear) block_clear;
  decltype(&vorbis_dsp_clear) dsp_clear;
  decltype(&ogg_stream_init) stream_init;
  decltype(&ogg_stream_packetin) packetin;
  decltype(&ogg_stream_pageout) pageout;
  decltype(&ogg_stream_flush) flush;
  decltype(&ogg_stream_clear) stream_clear;
};
constexpr std::array<const char*, 23> kNames = {
    "vorbis_info_init",     "vorbis_info_clear",         "vorbis_encode_init_vbr",  "vorbis_encode_init",
    "vorbis_comment_init",  "vorbis_comment_add",        "vorbis_comment_clear",    "vorbis_analysis_init",
    "vorbis_block_init",    "vorbis_analysis_headerout", "vorbis_analysis_buffer",  "vorbis_analysis_wrote",
    "vorbis_analysis_blockout", "vorbis_analysis",       "vorbis_bitrate_addblock", "vorbis_bitrate_flushpacket",
    "vorbis_block_clear",   "vorbis_dsp_clear",          "ogg_stream_init",         "ogg_stream_packetin",
    "ogg_stream_pageout",   "ogg_stream_flush",          "ogg_stream_clear"};

// Every libvorbis and libogg object of one encode, cleared in reverse.
struct Session {
  const VorbisEncApi& api;
  vorbis_info info{};
  vorbis_comment comment{};
  vorbis_dsp_state dsp{};
  vorbis_block block{};
  ogg_stream_state stream{};
  bool have_dsp = false, have_block = false, have_stream = false;

  explicit Session(const VorbisEncApi& a) : api(a) {
    api.info_init(&info);
    api.comment_init(&comment);
  }
  ~Session() {
    if (have_stream) api.stream_clear(&stream);
    if (have_block) api.block_clear(&block);
    if (have_dsp) api.dsp_clear(&dsp);
    api.comment_clear(&comment);
    api.info_clear(&info);
  }
};

Error WritePage(codec_detail::EncodeTarget& target, const ogg_page& page) {
  if (const Error rc = target.Append(std::span(page.header, static_cast<std::size_t>(page.header_len)))) return rc;
  return target.Append(std::span(page.body, static_cast<std::size_t>(page.body_len)));
}

// Feeds the analysed blocks through the bitrate manager into pages.
Error Drain(Session& s, codec_detail::EncodeTarget& target) {
  const VorbisEncApi& api = s.api;
  while (api.blockout(&s.dsp, &s.block) == 1) {
    if (api.analysis(&s.block, nullptr) != 0) return err::kWriteFailed;
    if (api.addblock(&s.block) != 0) return err::kWriteFailed;
    ogg_packet packet;
    while (api.flushpacket(&s.dsp, &packet) == 1) {
      api.packetin(&s.stream, &packet);
      ogg_page page;
      while (api.pageout(&s.stream, &page) != 0)
        if (const Error rc = WritePage(target, page)) return rc;
    }
  }
  return err::kOk;
}

Error Encode(const VorbisEncApi& api, const SoundDocument& d, const VorbisEncodeSettings& settings,
             const CodecProgress& progress, codec_detail::EncodeTarget& target) {
  Session s(api);
  const long rate = static_cast<long>(d.rate);
  const int setup =
      settings.managed()
          ? api.init_managed(&s.info, d.channels, rate, settings.max_bitrate ? static_cast<long>(settings.max_bitrate) : -1,
                             settings.nominal_bitrate ? static_cast<long>(settings.nominal_bitrate) : -1,
                             settings.min_bitrate ? static_cast<long>(settings.min_bitrate) : -1)
          : api.init_vbr(&s.info, d.channels, rate, static_cast<float>(settings.quality) / 10.0f);
  if (setup != 0) return setup == OV_EFAULT ? err::kOutOfMemory : err::kUnsupportedFormat;

  std::vector<std::string> texts;
  if (const Error rc = TagsToVorbisComments(d.metadata, std::nullopt, &texts)) return rc;
  for (std::string& text : texts) api.comment_add(&s.comment, text.c_str());

  if (api.analysis_init(&s.dsp, &s.info) != 0) return err::kOutOfMemory;
  s.have_dsp = true;
  if (api.block_init(&s.dsp, &s.block) != 0) return err::kOutOfMemory;
  s.have_block = true;
  // Serial numbers only tell streams of one file apart: a fixed one keeps
  // the output reproducible.
  if (api.stream_init(&s.stream, 0x74696465) != 0) return err::kOutOfMemory;
  s.have_stream = true;

  ogg_packet header, comments, codebooks;
  if (api.headerout(&s.dsp, &s.comment, &header, &comments, &codebooks) != 0) return err::kOutOfMemory;
  api.packetin(&s.stream, &header);
  api.packetin(&s.stream, &comments);
  api.packetin(&s.stream, &codebooks);
  // The headers end on a page of their own, as the format asks.
  ogg_page page;
  while (api.flush(&s.stream, &page) != 0)
    if (const Error rc = WritePage(target, page)) return rc;

  constexpr std::uint32_t kBlockFrames = 4096;
  std::vector<float> samples(static_cast<std::size_t>(kBlockFrames) * d.channels);
  SegmentCursor cursor(d.segments, d.channels, d.length);
  for (std::uint32_t done = 0; done < d.length;) {
    const std::uint32_t frames = std::min(kBlockFrames, d.length - done);
    if (const Error rc = cursor.Read(frames, samples.data(), sample_code::kFloat)) return rc;
    float** planes = api.buffer(&s.dsp, static_cast<int>(frames));
    for (std::uint32_t i = 0; i < frames; ++i)
      for (std::uint16_t c = 0; c < d.channels; ++c) {
        const float v = samples[static_cast<std::size_t>(i) * d.channels + c];
        planes[c][i] = std::isfinite(v) ? v : 0.0f;
      }
    api.wrote(&s.dsp, static_cast<int>(frames));
    if (const Error rc = Drain(s, target)) return rc;
    done += frames;
    if (progress && !progress(done, d.length)) return err::kCancelled;
  }
  api.wrote(&s.dsp, 0);  // the end: the last granule becomes the exact length
  if (const Error rc = Drain(s, target)) return rc;
  while (api.flush(&s.stream, &page) != 0)
    if (const Error rc = WritePage(target, page)) return rc;
  return err::kOk;
}

}  // namespace

Error WriteVorbisFile(const SoundDocument& document, const std::string& path, const VorbisEncodeSettings& settings,
                      const CodecProgress& progress) {
  if (document.channels < 1 || document.channels > 2) return err::kUnsupportedFormat;
  VorbisEncodeSettings checked;
  if (DecodeVorbisBlock(EncodeVorbisBlock(settings), &checked) != err::kOk) return err::kUnsupportedFormat;
  VorbisEncApi api{};
  if (const Error rc = codec_detail::ResolveApi(CodecLibrary::kVorbisEnc, kNames, &api)) return rc;
  codec_detail::EncodeTarget target(path);
  if (const Error rc = target.Open()) return rc;
  if (const Error rc = Encode(api, document, checked, progress, target)) return rc;
  return target.Commit();
}

}  // namespace tidemark
