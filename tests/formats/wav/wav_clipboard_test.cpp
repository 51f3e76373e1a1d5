#include "formats/wav/internal/wav_clipboard.h"

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/sources/sound_source.h"
#include "core/sources/source_list.h"
#include "formats/pcm_probe.h"
#include "platform/error_numbers.h"
#include "tests/core/document_test_util.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::Body;
using testing::ExtensibleBody;
using testing::FormatBody;
using testing::ReadWholeFile;
using testing::RiffBuilder;
using testing::Slice;

// A document of 1000 random 16-bit stereo frames at 32 kHz over `bytes`.
testing::DocumentPtr RandomDocument(const std::vector<std::uint8_t>& bytes) {
  const std::string path = testing::MakeTempDir("wav_clip") + "/src.raw";
  testing::WriteWholeFile(path, bytes);
  SegmentList segments;
  EXPECT_EQ(OpenFileSource(path, 0, 32000, sample_code::kS16, 2, 1000, 0, &segments, nullptr), 0u);
  return testing::DocumentPtr(testing::MakeDocument(std::move(segments), 1000, 2, 32000));
}

TEST(WavClipboard, ProducedImageIsCanonical16BitPcm) {
  const std::vector<std::uint8_t> bytes = testing::RandomBytes(1000 * 4, 11);
  const testing::DocumentPtr doc = RandomDocument(bytes);
  ASSERT_TRUE(doc);
  WaveImage image;
  ASSERT_EQ(ProduceWaveImage(*doc, 100, 333, &image), 0u);
  ASSERT_EQ(image.size(), 44u + 333 * 4);
  const std::vector<std::uint8_t> canonical = testing::PcmFile(sample_code::kS16, 2, 32000, Slice(bytes, 400, 1332));
  EXPECT_EQ(image, canonical);
  EXPECT_EQ(LoadLe32(&image[4]), 36u + 333 * 4);
  WaveImageLayout layout;
  ASSERT_TRUE(ParseWaveImage(image, nullptr, &layout));
  EXPECT_EQ(std::tuple(layout.frames, layout.data_offset), std::tuple(333u, 44u));

  // Past the document, and at the size limit (silence reads as zeros).
  EXPECT_EQ(ProduceWaveImage(*doc, 900, 101, &image), err::kSizeLimit);
  constexpr std::uint32_t kMostFrames = (kWaveImageDataLimit - 1) / 2;  // mono: D = 0xFEFFD4
  testing::DocumentPtr silent(testing::MakeDocument(SegmentList(), kMostFrames + 1, 1, 8000));
  ASSERT_EQ(ProduceWaveImage(*silent, 0, kMostFrames, &image), 0u);
  EXPECT_EQ(image.size(), 44u + kWaveImageDataLimit - 1);
  EXPECT_EQ(ProduceWaveImage(*silent, 0, kMostFrames + 1, &image), err::kSizeLimit);
}

TEST(WavClipboard, SoxDecodesTheImage) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const std::vector<std::uint8_t> bytes = testing::RandomBytes(1000 * 4, 12);
  const testing::DocumentPtr doc = RandomDocument(bytes);
  ASSERT_TRUE(doc);
  WaveImage image;
  ASSERT_EQ(ProduceWaveImage(*doc, 100, 333, &image), 0u);
  const std::string path = testing::MakeTempDir("wav_clip_sox") + "/image.wav";
  testing::WriteWholeFile(path, image);
  ASSERT_EQ(testing::Run("sox " + path + " -t raw " + path + ".raw"), 0);
  EXPECT_EQ(ReadWholeFile(path + ".raw"), Slice(bytes, 400, 1332));
}

std::vector<std::uint8_t> Image(const Body& fmt, std::size_t data_bytes) {
  return RiffBuilder().Chunk("fmt ", fmt).Chunk("data", testing::RandomBytes(data_bytes, 5)).Bytes();
}

TEST(WavClipboard, AcceptanceRules) {
  const PasteTarget stereo44{44100, 2};
  const Body s16 = FormatBody(1, 2, 44100, 4, 16);
  EXPECT_TRUE(ParseWaveImage(Image(s16, 4), nullptr, nullptr));
  EXPECT_TRUE(ParseWaveImage(Image(s16, 4), &stereo44, nullptr));
  EXPECT_TRUE(ParseWaveImage(Image(Body(s16).U16(0), 4), nullptr, nullptr));
  EXPECT_TRUE(ParseWaveImage(Image(ExtensibleBody(2, 44100, 3, testing::kPcmGuid), 6), nullptr, nullptr));
  EXPECT_TRUE(ParseWaveImage(Image(FormatBody(1, 1, 4000, 1, 8), 1), nullptr, nullptr));
  EXPECT_TRUE(ParseWaveImage(Image(FormatBody(1, 1, 384000, 4, 32), 4), nullptr, nullptr));

  const struct {
    const char* why;
    std::vector<std::uint8_t> image;
    const PasteTarget* target;
  } refused[] = {
      {"no data block", Image(s16, 3), nullptr},
      {"extra bytes announced", Image(Body(s16).U16(2), 4), nullptr},
      {"20-byte body", Image(Body(s16).U32(0), 4), nullptr},
      {"15-byte body", Image(Body().Raw(s16.bytes().data(), 15), 4), nullptr},
      {"float", Image(Body(FormatBody(3, 2, 44100, 8, 32)).U16(0), 8), nullptr},
      {"extensible float", Image(ExtensibleBody(2, 44100, 4, testing::kFloatGuid), 8), nullptr},
      {"extensible short", Image(Body(FormatBody(0xFFFE, 2, 44100, 4, 16)).U16(22).Zeros(20), 4), nullptr},
      {"12 bits", Image(FormatBody(1, 2, 44100, 4, 12), 4), nullptr},
      {"40 bits", Image(FormatBody(1, 1, 44100, 5, 40), 5), nullptr},
      {"block align", Image(FormatBody(1, 2, 44100, 6, 16), 6), nullptr},
      {"channels of the target", Image(FormatBody(1, 1, 44100, 2, 16), 2), &stereo44},
      {"rate of the target", Image(FormatBody(1, 2, 48000, 4, 16), 4), &stereo44},
      {"three channels", Image(FormatBody(1, 3, 44100, 6, 16), 6), nullptr},
      {"rate too low", Image(FormatBody(1, 1, 3999, 2, 16), 2), nullptr},
      {"rate too high", Image(FormatBody(1, 1, 384001, 2, 16), 2), nullptr},
      {"no format", RiffBuilder().Chunk("data", std::vector<std::uint8_t>(4)).Bytes(), nullptr},
      {"data before format",
       RiffBuilder().Chunk("data", std::vector<std::uint8_t>(4)).Chunk("fmt ", s16).Bytes(), nullptr},
  };
  for (const auto& r : refused) EXPECT_FALSE(ParseWaveImage(r.image, r.target, nullptr)) << r.why;

  // Container and chunk bounds: every truncation; the byte rate off by one,
  // a declared size of 4 (+ 8 = 12), another form, a data size past the end.
  const std::vector<std::uint8_t> good = Image(s16, 8);
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_FALSE(ParseWaveImage(std::span(good.data(), n), nullptr, nullptr)) << n << " bytes";
  for (const auto& [at, value] : {std::pair{28u, LoadLe32(&good[28]) + 1}, {4u, 4u}, {8u, FourCc("XAVE")},
                                  {40u, 0xFFFFFFFFu}}) {
    std::vector<std::uint8_t> b = good;
    StoreLe32(&b[at], value);
    EXPECT_FALSE(ParseWaveImage(b, nullptr, nullptr)) << at;
  }
}

TEST(WavClipboard, PasteMakesAWorkingFile) {
  // 24-bit stereo with half a frame too many: the partial frame is dropped.
  const std::vector<std::uint8_t> image = Image(FormatBody(1, 2, 22050, 6, 24), 6 * 50 + 3);
  SegmentList segments;
  WaveImageLayout layout;
  ASSERT_EQ(PasteWaveImage(image, nullptr, &segments, &layout), 0u);
  EXPECT_EQ(std::tuple(layout.code, layout.frames), std::tuple(sample_code::kS24, 50u));
  ASSERT_EQ(segments.size(), 1u);
  const SoundSource* source = segments.first()->source.get();
  EXPECT_EQ(std::tuple(segments.first()->length, OwnsFile(source), DataOffset(source)), std::tuple(50u, true, 44u));
  SoundFileInfo info;
  ASSERT_EQ(ProbePcmFile(FilePath(source), &info), 0u);
  EXPECT_EQ(testing::LayoutOf(info), testing::Layout(PcmFileKind::Wave, sample_code::kS24, 2, 22050, 50, 44));
  std::vector<std::uint8_t> frames(300);
  ASSERT_EQ(segments.first()->source->Read(0, 50, frames.data(), sample_code::kS24), 0u);
  EXPECT_TRUE(std::equal(frames.begin(), frames.end(), image.begin() + 44));

  // 8-bit data stays unsigned; an image the target cannot take is refused.
  const std::vector<std::uint8_t> u8 = Image(FormatBody(1, 1, 8000, 1, 8), 9);
  SegmentList more;
  const PasteTarget mono8k{8000, 1}, stereo{8000, 2};
  EXPECT_EQ(PasteWaveImage(u8, &stereo, &more, &layout), err::kMalformed);
  EXPECT_TRUE(more.empty());
  ASSERT_EQ(PasteWaveImage(u8, &mono8k, &more, &layout), 0u);
  EXPECT_EQ(layout.code, sample_code::kU8);
  std::vector<std::uint8_t> bytes(9);
  ASSERT_EQ(more.first()->source->Read(0, 9, bytes.data(), sample_code::kU8), 0u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), u8.begin() + 44));
  const std::string path = FilePath(more.first()->source.get());
  more.Clear();
  EXPECT_FALSE(testing::FileExists(path)) << "the working file goes with its source";
}

}  // namespace
}  // namespace tidemark
