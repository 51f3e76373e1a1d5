// FLAC opens through FFmpeg's decoder when FFmpeg is there and through
// libFLAC when it is hidden: the same answer, samples, length, sample code
// and tags either way, and the samples ffmpeg itself decodes.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "codecs/flac_codec.h"
#include "formats/chunks/byte_order.h"
#include "platform/error_numbers.h"
#include "tests/codecs/codec_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Folder() { return codec_test::Folder("flac_paths_test"); }

Error ReadNative(const std::string& path, bool take_metadata, SoundFileInfo* info, SegmentList* segments) {
  return ReadFlacFile(path, false, take_metadata, info, segments);
}

// STREAMINFO's 36-bit total: the low nibble of byte 21 and bytes 22-25.
void PatchTotal(std::vector<std::uint8_t>& bytes, std::uint64_t total) {
  bytes[21] = static_cast<std::uint8_t>((bytes[21] & 0xF0) | ((total >> 32) & 0x0F));
  StoreBe32(&bytes[22], static_cast<std::uint32_t>(total));
}

TEST(FlacPaths, FfmpegAndLibflacAgree) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/flac");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  struct Source {
    const char* name;
    const char* layout;  // rate and channels before -n: lengths count its samples
    const char* synth;
  };
  // Full-scale noise is stored verbatim, the frames FFmpeg decodes; libFLAC
  // is the faster on compressed ones ("sine").
  for (const Source& s : {Source{"s16", "-r 44100 -c 2 -n -b 16", "88641s whitenoise"},
                          Source{"s24", "-r 96000 -c 1 -n -b 24", "30011s whitenoise vol 0.99"},
                          Source{"s8", "-r 22050 -c 2 -n -b 8", "12345s whitenoise"},
                          Source{"sine", "-r 44100 -c 2 -n -b 16", "4097s sine 440 vol 0.5"}}) {
    const fs::path wav = Folder() / (std::string(s.name) + ".wav");
    ASSERT_EQ(Shell(std::string("/usr/bin/sox -R ") + s.layout + " '" + wav.string() + "' synth " + s.synth), 0);
    ASSERT_EQ(Shell(std::string("/usr/bin/flac -s -f -5 -T 'TITLE=Title ") + s.name + "' -T ARTIST=Someone -o '" +
                    (Folder() / (std::string(s.name) + ".flac")).string() + "' '" + wav.string() + "'"),
              0)
        << s.name;
  }
  const auto s16 = ReadBytes(Folder() / "s16.flac");
  const auto write = [&s16](const char* name, std::uint64_t total, std::size_t cut, std::size_t flip) {
    std::vector<std::uint8_t> bytes(s16.begin(), s16.begin() + static_cast<std::ptrdiff_t>(cut));
    PatchTotal(bytes, total);
    if (flip) bytes[flip] = static_cast<std::uint8_t>(bytes[flip] ^ 0x10);
    WriteBytes(Folder() / (std::string(name) + ".flac"), bytes);
  };
  write("total_doubled", 2 * 88641, s16.size(), 0);
  write("total_short", 88641 - 1000, s16.size(), 0);
  write("total_unknown", 0, s16.size(), 0);
  write("cut", 88641, s16.size() - 500, 0);
  write("flipped", 88641, s16.size(), s16.size() / 2);

  struct Case {
    const char* file;
    Error rc;
    std::uint32_t frames;
    SampleCode code;
    bool through_ffmpeg;  // else FFmpeg leaves it to libFLAC
    bool ffmpegs_samples;
  };
  const Case cases[] = {
      {"s16", err::kOk, 88641, sample_code::kS16, true, true},
      {"s24", err::kOk, 30011, sample_code::kS24, true, true},
      {"s8", err::kOk, 12345, sample_code::kS16, true, true},
      {"sine", err::kOk, 4097, sample_code::kS16, false, true},
      {"total_unknown", err::kOk, 88641, sample_code::kS16, false, true},
      // libFLAC keeps a frame failing its checksum as silence, with a notice; ffmpeg drops it.
      {"flipped", err::kOk, 88641, sample_code::kS16, false, false},
      {"total_doubled", err::kReadFailed, 0, sample_code::kS16, false, false},
      {"total_short", err::kReadFailed, 0, sample_code::kS16, false, false},
      {"cut", err::kReadFailed, 0, sample_code::kS16, false, false},
  };
  for (const Case& c : cases) {
    const fs::path path = Folder() / (std::string(c.file) + ".flac");
    const std::uint64_t before = detail::FlacOpensDecodedByFfmpeg();
    const Decoded fast = DecodeWith(ReadNative, path);
    EXPECT_EQ(detail::FlacOpensDecodedByFfmpeg() - before, c.through_ffmpeg ? 1u : 0u) << c.file;
    const Decoded plain = DecodeWithOnly(ReadNative, path, "libFLAC.so.12", Folder());
    ASSERT_EQ(fast.rc, c.rc) << c.file;
    ASSERT_EQ(plain.rc, c.rc) << c.file;
    if (c.rc) continue;
    for (const Decoded* d : {&fast, &plain}) {
      EXPECT_EQ(std::pair(d->info.frames, d->info.code), std::pair(c.frames, c.code)) << c.file;
      // A silenced frame is reported, not passed over.
      const bool silenced = std::string(c.file) == "flipped";
      ASSERT_EQ(d->info.skipped_metadata.size(), silenced ? 1u : 0u) << c.file;
      if (silenced) {
        EXPECT_EQ(d->info.skipped_metadata[0].kind, SkippedMetadata::Kind::kSamples);
        EXPECT_EQ(d->info.skipped_metadata[0].chunks, "1 FLAC frame failing its checksum");
      }
    }
    EXPECT_EQ(fast.info.tags[InfoText::Artist], "Someone") << c.file;
    EXPECT_EQ(fast.info.tags[InfoText::Name], plain.info.tags[InfoText::Name]) << c.file;
    // 24 bits and less convert to float exactly: equal floats are equal samples.
    EXPECT_TRUE(fast.samples == plain.samples) << c.file;
    if (c.ffmpegs_samples) {
      EXPECT_TRUE(fast.samples == FfmpegDecode(path)) << c.file;
    }
  }
}

}  // namespace
}  // namespace tidemark
