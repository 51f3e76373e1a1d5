#include "codecs/codec_install.h"

#include "codecs/ffmpeg_decoder.h"
#include "codecs/flac_codec.h"
#include "codecs/mp3_decoder.h"
#include "codecs/opus_codec.h"
#include "codecs/vorbis_decoder.h"
#include "formats/open_sound_file.h"

namespace tidemark {
namespace {

Error ReadNativeFlac(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  return ReadFlacFile(path, false, take_metadata, info, segments);
}

Error ReadOggFlac(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  return ReadFlacFile(path, true, take_metadata, info, segments);
}

}  // namespace

void InstallCodecs() {
  CodecReaders readers;
  readers.flac = ReadNativeFlac;
  readers.ogg_flac = ReadOggFlac;
  readers.mp3 = ReadMp3File;
  readers.vorbis = ReadVorbisFile;
  readers.opus = ReadOpusFile;
  readers.windows_media = ReadWindowsMediaFile;
  readers.mp4 = ReadMp4File;
  readers.video = ReadVideoFile;
  readers.compressed_wave = ReadCompressedWaveFile;
  readers.media_import = ReadMediaImport;
  InstallCodecReaders(readers);
}

}  // namespace tidemark
