#include "codecs/mp3_decoder.h"

#include <mpg123.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "codecs/codec_progress.h"
#include "codecs/container_sniff.h"
#include "codecs/internal/codec_api.h"
#include "core/document/segment.h"
#include "codecs/internal/decoded_file.h"
#include "core/io/work_file_writer.h"
#include "core/markers/marker_list.h"
#include "formats/chunks/byte_order.h"
#include "formats/open_sound_file.h"
#include "formats/tags/id3_tags.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

struct Mpg123Api {
  decltype(&mpg123_init) init;
  decltype(&mpg123_new) create;
  decltype(&mpg123_delete) destroy;
  decltype(&mpg123_param) param;
  decltype(&mpg123_format_none) format_none;
  decltype(&mpg123_format) format;
  decltype(&mpg123_rates) rates;
  decltype(&mpg123_open) open;
  decltype(&mpg123_close) close;
  decltype(&mpg123_getformat) getformat;
  decltype(&mpg123_scan) scan;
  decltype(&mpg123_length) length;
  decltype(&mpg123_read) read;
  decltype(&mpg123_framelength) framelength;
};
constexpr std::array<const char*, 14> kNames = {
    "mpg123_init",   "mpg123_new",    "mpg123_delete", "mpg123_param",     "mpg123_format_none",
    "mpg123_format", "mpg123_rates",  "mpg123_open",   "mpg123_close",     "mpg123_getformat",
    "mpg123_scan",   "mpg123_length", "mpg123_read",   "mpg123_framelength"};

// The frame count that a Xing/Info header in the first frame (right after
// any ID3v2 tags) states; -1 when there is none or it states no count.
long long XingFrameCount(const std::string& path) {
  std::array<std::uint8_t, kSniffBytes> head{};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  std::size_t got = std::fread(head.data(), 1, head.size(), f);
  const std::uint64_t tags = Id3v2TagSize(std::span<const std::uint8_t>(head.data(), got));
  std::array<std::uint8_t, 64> frame{};
  got = 0;
  if (tags <= static_cast<std::uint64_t>(std::numeric_limits<long>::max()) &&
      std::fseek(f, static_cast<long>(tags), SEEK_SET) == 0)
    got = std::fread(frame.data(), 1, frame.size(), f);
  std::fclose(f);
  if (got < 4 || frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0 || ((frame[1] >> 1) & 3) != 1) return -1;
  const bool mpeg1 = ((frame[1] >> 3) & 3) == 3;
  const bool mono = (frame[3] >> 6) == 3;
  const std::size_t side = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const std::size_t at = 4 + ((frame[1] & 1) ? 0 : 2) + side;  // after the CRC, when present
  if (got < at + 12 || (std::memcmp(&frame[at], "Xing", 4) != 0 && std::memcmp(&frame[at], "Info", 4) != 0))
    return -1;
  if (!(LoadBe32(&frame[at + 4]) & 1)) return -1;
  return LoadBe32(&frame[at + 8]);
}

bool LooksLikeMp3(const std::string& path) {
  std::array<std::uint8_t, kSniffBytes> bytes{};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  // Only ".mp3" files come here, and they may start with garbage that the
  // decoder's resync skips: refuse only what is plainly another container.
  if (got == 0) return false;
  const std::span<const std::uint8_t> head(bytes.data(), got);
  const Container container = SniffContainer(head);
  if (container == Container::kMp3) return true;
  if (container != Container::kUnknown) return false;
  return got < 4 || (std::memcmp(bytes.data(), "RIFF", 4) != 0 && std::memcmp(bytes.data(), "FORM", 4) != 0);
}

struct Handle {
  const Mpg123Api& api;
  mpg123_handle* handle;
  bool opened = false;
  ~Handle() {
    if (opened) api.close(handle);
    if (handle) api.destroy(handle);
  }
};

}  // namespace

Error ReadMp3File(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  if (!LooksLikeMp3(path)) return err::kMalformed;
  Mpg123Api api{};
  if (const Error rc = codec_detail::ResolveApi(CodecLibrary::kMpg123, kNames, &api)) return rc;
  api.init();
  int status = MPG123_OK;
  Handle h{api, api.create(nullptr, &status)};
  if (!h.handle) return err::kOutOfMemory;
  api.param(h.handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
  // Float output at whatever rate and channel count the stream has.
  api.format_none(h.handle);
  const long* rates = nullptr;
  std::size_t rate_count = 0;
  api.rates(&rates, &rate_count);
  for (std::size_t i = 0; i < rate_count; ++i)
    api.format(h.handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  long rate = 0;
  int channels = 0, encoding = 0;
  const auto open = [&]() -> Error {
    if (api.open(h.handle, path.c_str()) != MPG123_OK) return err::kReadFailed;
    h.opened = true;
    if (api.getformat(h.handle, &rate, &channels, &encoding) != MPG123_OK) return err::kMalformed;
    // The scan reads every frame header so that the length (gapless) is exact.
    return api.scan(h.handle) != MPG123_OK ? err::kMalformed : Error{};
  };
  if (const Error rc = open()) return rc;
  // A Xing/Info frame count that is not the file's moves the gapless cut of
  // the end padding into the audio, or drops the header: the file opens
  // untrimmed instead, with a notice.
  const long long stated_frames = XingFrameCount(path);
  const bool untrimmed = stated_frames >= 0 && stated_frames != static_cast<long long>(api.framelength(h.handle));
  if (untrimmed) {
    api.close(h.handle);
    h.opened = false;
    api.param(h.handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    if (const Error rc = open()) return rc;
  }
  const off_t length = api.length(h.handle);
  SoundFileInfo opened;
  opened.kind = PcmFileKind::Wave;
  opened.code = sample_code::kFloat;
  opened.rate = static_cast<std::uint32_t>(rate);
  opened.channels = static_cast<std::uint16_t>(channels);
  const std::uint64_t expected = length > 0 ? static_cast<std::uint64_t>(length) : 0;
  if (expected > kMaxFrames) return err::kTooManyFrames;
  opened.frames = static_cast<std::uint32_t>(expected);
  if (const Error rc = CheckOpenLimits(opened)) return rc;

  WorkFileWriter writer;
  if (const Error rc = writer.Begin(PcmFileKind::Temp, opened.rate, opened.code, opened.channels, opened.frames))
    return rc;
  const std::size_t frame_bytes = sizeof(float) * opened.channels;
  std::vector<unsigned char> buffer(frame_bytes * 8192);
  std::uint64_t decoded = 0;
  Error rc;
  for (;;) {
    std::size_t got = 0;
    status = api.read(h.handle, buffer.data(), buffer.size(), &got);
    const std::size_t frames = got / frame_bytes;
    if (frames != 0) {
      if (decoded + frames > kMaxFrames) {
        rc = err::kTooManyFrames;
        break;
      }
      if ((rc = writer.WriteFrames(buffer.data(), frames, sample_code::kFloat))) break;
      decoded += frames;
      if (const CodecProgress& progress = CodecOpenProgress(); progress && !progress(decoded, expected)) {
        rc = err::kCancelled;
        break;
      }
    }
    if (status == MPG123_DONE) break;
    if (status == MPG123_NEW_FORMAT) {
      long r = 0;
      int c = 0, e = 0;
      // A stream that changes its format midway is not one document.
      if (api.getformat(h.handle, &r, &c, &e) != MPG123_OK || r != rate || c != channels) {
        rc = err::kUnsupportedFormat;
        break;
      }
      continue;
    }
    if (status != MPG123_OK) {
      rc = decoded == 0 ? err::kMalformed : err::kReadFailed;
      break;
    }
  }
  if (!rc && decoded == 0) rc = err::kMalformed;
  if (untrimmed) opened.skipped_metadata.push_back({SkippedMetadata::Kind::kTags, "Xing/LAME", err::kLayoutMismatch});
  if (!rc && take_metadata) {
    if (const Error tags_rc = ReadMp3Tags(path, opened.rate, &opened.tags, &opened.markers)) {
      opened.skipped_metadata.push_back({SkippedMetadata::Kind::kTags, "ID3", tags_rc});
    } else {
      // Chapters past the end sit at the end.
      ClampMonotone(opened.markers, static_cast<std::uint32_t>(decoded));
    }
  }
  return FinishDecoded(rc, writer, std::move(opened), decoded, info, segments);
}

}  // namespace tidemark
