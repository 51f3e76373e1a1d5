#include "codecs/internal/ffmpeg_api.h"

#include <array>

#include "codecs/internal/codec_api.h"

namespace tidemark::codec_detail {
namespace {

constexpr std::array<const char*, 13> kAvFormatNames = {
    "avformat_open_input",        "avformat_find_stream_info", "av_find_best_stream",
    "av_read_frame",              "avformat_close_input",      "avformat_alloc_output_context2",
    "avformat_new_stream",        "avio_open",                 "avio_closep",
    "avformat_write_header",      "av_interleaved_write_frame", "av_write_trailer",
    "avformat_free_context"};

constexpr std::array<const char*, 25> kAvCodecNames = {
    "avcodec_find_decoder",  "avcodec_find_encoder_by_name",    "avcodec_alloc_context3",
    "avcodec_free_context",  "avcodec_parameters_to_context",   "avcodec_parameters_from_context",
    "avcodec_open2",         "avcodec_send_packet",             "avcodec_receive_packet",
    "avcodec_send_frame",    "avcodec_receive_frame",           "av_packet_alloc",
    "av_packet_free",        "av_packet_unref",                 "av_packet_rescale_ts",
    "avcodec_descriptor_get", "av_frame_alloc",                 "av_frame_free",
    "av_frame_get_buffer",   "av_frame_make_writable",          "av_dict_get",
    "av_dict_set",           "av_dict_free",                    "av_channel_layout_default",
    "av_log_set_level"};

constexpr std::array<const char*, 4> kSwResampleNames = {"swr_alloc_set_opts2", "swr_init", "swr_convert",
                                                          "swr_free"};

}  // namespace

Error LoadAvFormat(AvFormatApi* api) { return ResolveApi(CodecLibrary::kAvFormat, kAvFormatNames, api); }

Error LoadAvCodec(AvCodecApi* api) {
  if (const Error rc = ResolveApi(CodecLibrary::kAvCodec, kAvCodecNames, api)) return rc;
  // Damaged input is reported through our errors, not on the terminal.
  api->log_set_level(AV_LOG_QUIET);
  return Error{};
}

Error LoadSwResample(SwResampleApi* api) { return ResolveApi(CodecLibrary::kSwResample, kSwResampleNames, api); }

}  // namespace tidemark::codec_detail
