// The FFmpeg functions the readers and writers call, resolved at first use
// from libavformat, libavcodec and libswresample. libavutil is a dependency
// of all three, so its functions are looked up through libavcodec's handle:
// a system without it cannot load libavcodec either.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include "platform/error.h"

namespace tidemark::codec_detail {

struct AvFormatApi {
  decltype(&avformat_open_input) open_input;
  decltype(&avformat_find_stream_info) find_stream_info;
  decltype(&av_find_best_stream) find_best_stream;
  decltype(&av_read_frame) read_frame;
  decltype(&avformat_close_input) close_input;
  decltype(&avformat_alloc_output_context2) alloc_output;
  decltype(&avformat_new_stream) new_stream;
  decltype(&avio_open) io_open;
  decltype(&avio_closep) io_closep;
  decltype(&avformat_write_header) write_header;
  decltype(&av_interleaved_write_frame) write_frame;
  decltype(&av_write_trailer) write_trailer;
  decltype(&avformat_free_context) free_context;
};

struct AvCodecApi {
  decltype(&avcodec_find_decoder) find_decoder;
  decltype(&avcodec_find_encoder_by_name) find_encoder_by_name;
  decltype(&avcodec_alloc_context3) alloc_context;
  decltype(&avcodec_free_context) free_context;
  decltype(&avcodec_parameters_to_context) parameters_to_context;
  decltype(&avcodec_parameters_from_context) parameters_from_context;
  decltype(&avcodec_open2) open;
  decltype(&avcodec_send_packet) send_packet;
  decltype(&avcodec_receive_packet) receive_packet;
  decltype(&avcodec_send_frame) send_frame;
  decltype(&avcodec_receive_frame) receive_frame;
  decltype(&av_packet_alloc) packet_alloc;
  decltype(&av_packet_free) packet_free;
  decltype(&av_packet_unref) packet_unref;
  decltype(&av_packet_rescale_ts) packet_rescale_ts;
  decltype(&avcodec_descriptor_get) descriptor_get;
  // libavutil, through libavcodec's dependencies
  decltype(&av_frame_alloc) frame_alloc;
  decltype(&av_frame_free) frame_free;
  decltype(&av_frame_get_buffer) frame_get_buffer;
  decltype(&av_frame_make_writable) frame_make_writable;
  decltype(&av_dict_get) dict_get;
  decltype(&av_dict_set) dict_set;
  decltype(&av_dict_free) dict_free;
  decltype(&av_channel_layout_default) layout_default;
  decltype(&av_log_set_level) log_set_level;
};

struct SwResampleApi {
  decltype(&swr_alloc_set_opts2) alloc_set_opts;
  decltype(&swr_init) init;
  decltype(&swr_convert) convert;
  decltype(&swr_free) free;
};

// 37 (the missing library's package remembered) when a library or symbol
// is missing. The libraries' own log output is silenced on first load.
[[nodiscard]] Error LoadAvFormat(AvFormatApi* api);
[[nodiscard]] Error LoadAvCodec(AvCodecApi* api);
[[nodiscard]] Error LoadSwResample(SwResampleApi* api);

}  // namespace tidemark::codec_detail
