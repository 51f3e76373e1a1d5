// The console editor's codec commands: `encoders` lists the codec libraries
// and whether each can be loaded; `saveas` into a compressed format goes
// through the table below, from file extension (or format word) to writer.
//
//   extension      format word   writer   fields
//   .flac .fla     flac          FLAC     level=0-8 bits=8|16|24 verify=0|1 wavmeta=0|1 replaygain=0|1 block=HEX
//   .mp3           mp3           LAME     mode=cbr|abr|vbr bitrate=8-320 maxbitrate=0|8-320 vbr=0-9
//                                         quality=-1..9 channels=joint|stereo|mono crc= copyright=
//                                         original= private= unicode= id3v1= (0|1) id3=3|4 block=HEX
//   .opus          opus          Opus     bitrate=BPS (6000-512000, 0 default) mode=vbr|cvbr|cbr
//                                         signal=auto|music|voice complexity=0-10 block=HEX
//   .ogg .oga      vorbis        Vorbis   quality=-1..10 bitrate= minbitrate= maxbitrate= (BPS) block=HEX
//   .m4a .mp4      m4a           AAC-LC   bitrate=16-320 (kbps) fdk=0|1 block=HEX
//   .wma           wma           WMA v2   bitrate=24-320 block=HEX
//   -              sysmp3        MP3 through FFmpeg's encoder: bitrate=32-320 block=HEX
//   -              acm           compressed WAV: format=msadpcm|imaadpcm|alaw|mulaw block=HEX
//
// An argument containing '=' is a field, any other the format word. Saving
// into a compressed format writes a copy: the document keeps its own path
// (or none), so that `save` never writes PCM over the compressed file.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "codecs/codec_library.h"
#include "codecs/av_encode_blocks.h"
#include "codecs/codec_progress.h"
#include "codecs/ffmpeg_encoder.h"
#include "codecs/flac_codec.h"
#include "codecs/mp3_encoder.h"
#include "codecs/opus_codec.h"
#include "codecs/vorbis_encoder.h"
#include "config/text_slots.h"
#include "core/document/sound_document.h"
#include "platform/ascii_case.h"
#include "platform/error_numbers.h"

namespace tidemark::console {
namespace {

enum class Writer { kNone, kFlac, kLame, kOpus, kVorbis, kAac, kWma, kSysMp3, kAcm };

struct WriterRow {
  std::string_view extension_or_word;
  Writer writer;
};
constexpr std::array<WriterRow, 12> kWriters = {{
    {"flac", Writer::kFlac},
    {"fla", Writer::kFlac},
    {"mp3", Writer::kLame},
    {"opus", Writer::kOpus},
    {"ogg", Writer::kVorbis},
    {"oga", Writer::kVorbis},
    {"vorbis", Writer::kVorbis},
    {"m4a", Writer::kAac},
    {"mp4", Writer::kAac},
    {"wma", Writer::kWma},
    {"sysmp3", Writer::kSysMp3},
    {"acm", Writer::kAcm},
}};

Writer WriterFor(std::string_view word) {
  const std::string lower = AsciiLower(word);
  for (const WriterRow& row : kWriters)
    if (!row.extension_or_word.empty() && row.extension_or_word == lower) return row.writer;
  return Writer::kNone;
}

std::string ExtensionOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot + 1);
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    for (std::size_t j = i; j < i + 2; ++j) {
      const char c = text[j];
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

// Calls `apply(name, value)` for each FIELD=VALUE in order, both in lower
// case; false at the first field it refuses, which `bad` then names.
template <typename Apply>
bool EachField(const std::vector<std::string>& fields, std::string* bad, Apply apply) {
  for (const std::string& field : fields) {
    const std::size_t eq = field.find('=');
    *bad = field;
    if (!apply(AsciiLower(std::string_view(field).substr(0, eq)), AsciiLower(std::string_view(field).substr(eq + 1))))
      return false;
  }
  return true;
}

// A 0|1 field into `flag`; false when the value is neither.
bool ParseFlag(std::string_view value, bool* flag) {
  const auto n = ParseCount(value, 1);
  if (!n) return false;
  *flag = *n == 1;
  return true;
}

// FLAC fields over the settings; false names the bad argument in `bad`.
bool ApplyFlacFields(const std::vector<std::string>& fields, FlacEncodeSettings* settings, std::string* bad) {
  return EachField(fields, bad, [&](const std::string& name, const std::string& value) {
    if (name == "block") {
      const auto bytes = ParseHexBytes(value);
      if (!bytes || DecodeFlacBlock(*bytes, settings)) return false;
    } else if (name == "level") {
      const auto n = ParseCount(value, 8);
      if (!n) return false;
      settings->level = static_cast<std::uint8_t>(*n);
    } else if (name == "bits") {
      const auto n = ParseCount(value, 24);
      if (!n || (*n != 8 && *n != 16 && *n != 24)) return false;
      settings->bits = static_cast<std::uint8_t>(*n);
    } else if (name == "verify") {
      if (!ParseFlag(value, &settings->verify)) return false;
    } else if (name == "wavmeta") {
      if (!ParseFlag(value, &settings->keep_wav_metadata)) return false;
    } else if (name == "replaygain") {
      if (!ParseFlag(value, &settings->replay_gain)) return false;
    } else {
      return false;
    }
    return true;
  });
}

// LAME fields over the settings, in order; false names the bad argument.
bool ApplyLameFields(const std::vector<std::string>& fields, LameEncodeSettings* settings, std::string* bad) {
  return EachField(fields, bad, [&](const std::string& name, const std::string& value) {
    if (name == "block") {
      const auto bytes = ParseHexBytes(value);
      if (!bytes || DecodeLameBlock(*bytes, settings)) return false;
    } else if (name == "mode") {
      if (value == "cbr") settings->mode = LameMode::kCbr;
      else if (value == "abr") settings->mode = LameMode::kAbr;
      else if (value == "vbr") settings->mode = LameMode::kVbr;
      else return false;
    } else if (name == "bitrate" || name == "maxbitrate") {
      const auto n = ParseCount(value, 320);
      if (!n || (*n < 8 && !(name == "maxbitrate" && *n == 0))) return false;
      (name == "bitrate" ? settings->bitrate : settings->max_bitrate) = static_cast<std::uint16_t>(*n);
    } else if (name == "vbr") {
      const auto n = ParseCount(value, 9);
      if (!n) return false;
      settings->mode = LameMode::kVbr;
      settings->vbr_level = static_cast<std::uint8_t>(*n);
    } else if (name == "quality") {
      const auto n = value == "-1" ? std::optional<std::uint64_t>(10) : ParseCount(value, 9);
      if (!n) return false;
      settings->quality = static_cast<std::int8_t>(*n == 10 ? -1 : static_cast<int>(*n));
    } else if (name == "channels") {
      if (value == "joint") settings->channels = LameChannels::kJointStereo;
      else if (value == "stereo") settings->channels = LameChannels::kStereo;
      else if (value == "mono") settings->channels = LameChannels::kMono;
      else return false;
    } else if (name == "id3") {
      if (value != "3" && value != "4") return false;
      settings->id3v24 = value == "4";
    } else if (!((name == "crc" && ParseFlag(value, &settings->crc)) ||
                 (name == "copyright" && ParseFlag(value, &settings->copyright)) ||
                 (name == "original" && ParseFlag(value, &settings->original)) ||
                 (name == "private" && ParseFlag(value, &settings->private_bit)) ||
                 (name == "unicode" && ParseFlag(value, &settings->unicode)) ||
                 (name == "id3v1" && ParseFlag(value, &settings->id3v1)))) {
      return false;
    }
    return true;
  });
}

// Opus fields over the settings, in order; false names the bad argument.
bool ApplyOpusFields(const std::vector<std::string>& fields, OpusEncodeSettings* settings, std::string* bad) {
  return EachField(fields, bad, [&](const std::string& name, const std::string& value) {
    if (name == "block") {
      const auto bytes = ParseHexBytes(value);
      if (!bytes || DecodeOpusBlock(*bytes, settings)) return false;
    } else if (name == "bitrate") {
      // Any count: a non-zero one is clamped to what Opus encodes.
      const auto n = ParseCount(value, 0xFFFFFFFFu);
      if (!n) return false;
      settings->bitrate = ClampOpusBitrate(*n);
    } else if (name == "mode") {
      if (value == "vbr") settings->rate_control = OpusRateControl::kVbr;
      else if (value == "cvbr") settings->rate_control = OpusRateControl::kConstrainedVbr;
      else if (value == "cbr") settings->rate_control = OpusRateControl::kCbr;
      else return false;
    } else if (name == "signal") {
      if (value == "auto") settings->signal = OpusSignal::kAuto;
      else if (value == "music") settings->signal = OpusSignal::kMusic;
      else if (value == "voice") settings->signal = OpusSignal::kVoice;
      else return false;
    } else if (name == "complexity") {
      const auto n = ParseCount(value, 10);
      if (!n) return false;
      settings->complexity = static_cast<std::uint8_t>(*n);
    } else {
      return false;
    }
    return true;
  });
}

// Vorbis fields over the settings, in order; false names the bad argument.
bool ApplyVorbisFields(const std::vector<std::string>& fields, VorbisEncodeSettings* settings, std::string* bad) {
  const bool fields_ok = EachField(fields, bad, [&](const std::string& name, const std::string& value) {
    if (name == "block") {
      const auto bytes = ParseHexBytes(value);
      if (!bytes || DecodeVorbisBlock(*bytes, settings)) return false;
    } else if (name == "quality") {
      const auto n = value == "-1" ? std::optional<std::uint64_t>(11) : ParseCount(value, 10);
      if (!n) return false;
      settings->quality = static_cast<std::int8_t>(*n == 11 ? -1 : static_cast<int>(*n));
    } else if (name == "bitrate" || name == "minbitrate" || name == "maxbitrate") {
      const auto n = ParseCount(value, 500000);
      if (!n || (*n != 0 && *n < 8000)) return false;
      const auto bps = static_cast<std::uint32_t>(*n);
      (name == "bitrate" ? settings->nominal_bitrate
                         : name == "minbitrate" ? settings->min_bitrate : settings->max_bitrate) = bps;
    } else {
      return false;
    }
    return true;
  });
  if (!fields_ok) return false;
  // The bounds checked together, as the stored block is.
  VorbisEncodeSettings checked;
  *bad = "minbitrate/maxbitrate";
  return DecodeVorbisBlock(EncodeVorbisBlock(*settings), &checked) == Error{};
}

constexpr std::array<CodecLibrary, kCodecLibraryCount> kAllLibraries = {
    CodecLibrary::kFlac,      CodecLibrary::kMpg123,   CodecLibrary::kLame,    CodecLibrary::kVorbisFile,
    CodecLibrary::kVorbisEnc, CodecLibrary::kOpusFile, CodecLibrary::kOpusEnc, CodecLibrary::kAvFormat,
    CodecLibrary::kAvCodec,   CodecLibrary::kSwResample};

// What each library does here; empty while nothing uses it yet.
std::string_view UseOf(CodecLibrary library) {
  switch (library) {
    case CodecLibrary::kFlac:
      return "FLAC, Ogg FLAC: open; FLAC: saveas";
    case CodecLibrary::kMpg123:
      return "MP3: open";
    case CodecLibrary::kLame:
      return "MP3: saveas";
    case CodecLibrary::kVorbisEnc:
      return "Ogg Vorbis: saveas";
    case CodecLibrary::kOpusFile:
      return "Opus: open";
    case CodecLibrary::kOpusEnc:
      return "Opus: saveas";
    case CodecLibrary::kVorbisFile:
      return "Ogg Vorbis: open";
    case CodecLibrary::kAvFormat:
    case CodecLibrary::kAvCodec:
    case CodecLibrary::kSwResample:
      return "AAC/M4A/MP4, WMA/ASF, AVI, compressed WAV, media import: open; AAC, WMA, sysmp3, acm: saveas";
    default:
      return {};
  }
}

Result SaveThroughFfmpeg(Session& s, const SoundDocument& d, const std::string& path, Writer writer,
                         const std::vector<std::string>& fields) {
  AvEncodeSettings settings;
  settings.writer = writer == Writer::kAac   ? AvWriter::kAac
                    : writer == Writer::kWma ? AvWriter::kWma
                    : writer == Writer::kSysMp3 ? AvWriter::kMp3
                                                : AvWriter::kAcm;
  for (const std::string& field : fields) {
    const std::size_t eq = field.find('=');
    if (!ApplyAvEncodeField(AsciiLower(std::string_view(field).substr(0, eq)), std::string_view(field).substr(eq + 1),
                            &settings)) {
      s.err() << "error: bad field " << field << " (help saveas lists the fields)\n";
      return Result::kFailed;
    }
  }
  if (const Error rc = WriteThroughFfmpeg(d, path, settings, s.progress())) {
    const Result result = s.Fail(rc);
    ReportMissingCodec(s, rc);
    return result;
  }
  return Result::kDone;
}

}  // namespace

Result EncodersCommand(Session& s, const CommandArgs&) {
  for (const CodecLibrary library : kAllLibraries) {
    const std::string_view use = UseOf(library);
    if (use.empty()) continue;
    const CodecLibraryInfo& info = DescribeCodecLibrary(library);
    s.out() << info.name << ": " << use << " - ";
    if (CodecLibraryAvailable(library))
      s.out() << "available\n";
    else
      s.out() << "missing (install the Debian package " << info.package << ")\n";
  }
  return Result::kDone;
}

void ReportMissingCodec(Session& s, Error error) {
  if (error != err::kCodecLibraryUnavailable) return;
  const std::string package = MissingCodecPackage();
  if (!package.empty()) s.err() << "install the Debian package " << package << '\n';
}

std::optional<Result> SaveAsThroughCodec(Session& s, const std::string& path, const CommandArgs& args) {
  Writer writer = WriterFor(ExtensionOf(path));
  std::vector<std::string> fields;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i].find('=') != std::string::npos) {
      fields.push_back(args[i]);
    } else if (const Writer named = WriterFor(args[i]); named != Writer::kNone && i == 1) {
      writer = named;
    } else if (i != 1) {
      return s.Usage("saveas");
    } else {
      writer = Writer::kNone;  // a PCM format word decides
    }
  }
  if (writer == Writer::kNone) {
    if (!fields.empty() || args.size() > 2) return s.Usage("saveas");
    return std::nullopt;
  }
  SoundDocument& d = *s.active();
  if (writer == Writer::kAac || writer == Writer::kWma || writer == Writer::kSysMp3 || writer == Writer::kAcm)
    return SaveThroughFfmpeg(s, d, path, writer, fields);
  std::string bad;
  bool fields_ok = false;
  FlacEncodeSettings flac;
  LameEncodeSettings lame;
  OpusEncodeSettings opus;
  VorbisEncodeSettings vorbis;
  switch (writer) {
    case Writer::kFlac:
      fields_ok = ApplyFlacFields(fields, &flac, &bad);
      break;
    case Writer::kLame:
      fields_ok = ApplyLameFields(fields, &lame, &bad);
      break;
    case Writer::kOpus:
      fields_ok = ApplyOpusFields(fields, &opus, &bad);
      break;
    case Writer::kVorbis:
      fields_ok = ApplyVorbisFields(fields, &vorbis, &bad);
      break;
    case Writer::kNone:
    case Writer::kAac:
    case Writer::kWma:
    case Writer::kSysMp3:
    case Writer::kAcm:
      break;
  }
  if (!fields_ok) {
    s.err() << "error: bad field " << bad << " (help saveas lists the fields)\n";
    return Result::kFailed;
  }
  const Error written = writer == Writer::kLame   ? WriteMp3File(d, path, lame, s.progress())
                        : writer == Writer::kOpus ? WriteOpusFile(d, path, opus, s.progress())
                        : writer == Writer::kVorbis ? WriteVorbisFile(d, path, vorbis, s.progress())
                                                  : WriteFlacFile(d, path, flac, s.progress());
  if (const Error rc = written) {
    const Result result = s.Fail(rc);
    ReportMissingCodec(s, rc);
    return result;
  }
  return Result::kDone;
}

ScopedCodecOpenProgress::ScopedCodecOpenProgress(const Session& s) { SetCodecOpenProgress(s.progress()); }
ScopedCodecOpenProgress::~ScopedCodecOpenProgress() { SetCodecOpenProgress({}); }

}  // namespace tidemark::console
