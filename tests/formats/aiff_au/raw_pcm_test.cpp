// Headerless PCM files read through a file source in the layout the user
// names, compared with sox's reading of the same bytes.
#include "formats/aiff_au/internal/raw_pcm.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark {
namespace {

using namespace sample_code;
using Bytes = std::vector<std::uint8_t>;

TEST(RawPcm, FrameCountFromTheFileSize) {
  std::uint32_t frames = 7;
  ASSERT_EQ(RawFrameCount(0, kS16, 2, &frames), err::kOk);
  EXPECT_EQ(frames, 0u);
  ASSERT_EQ(RawFrameCount(24, kS24BE, 2, &frames), err::kOk);
  EXPECT_EQ(frames, 4u);
  EXPECT_EQ(RawFrameCount(25, kS24BE, 2, &frames), err::kMalformed);
  ASSERT_EQ(RawFrameCount(std::uint64_t{kMaxFrames} * 8, kDouble, 1, &frames), err::kOk);
  EXPECT_EQ(frames, kMaxFrames);
  EXPECT_EQ(RawFrameCount((std::uint64_t{kMaxFrames} + 1) * 8, kDouble, 1, &frames), err::kTooManyFrames);
  EXPECT_EQ(RawFrameCount(16, kS16, 0, &frames), err::kUnsupportedFormat);
  EXPECT_EQ(RawFrameCount(16, 0x0005, 1, &frames), err::kUnsupportedFormat);
}

TEST(RawPcm, SourceReadsTheNamedLayoutAsSoxDoes) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const std::string dir = testing::MakeTempDir("raw");
  const struct {
    SampleCode code;
    std::uint16_t channels;
    const char* sox;  // how sox is told the layout
  } layouts[] = {
      {kU8, 1, "-e unsigned-integer -b 8"},     {kS8, 2, "-e signed-integer -b 8"},
      {kS16BE, 2, "-e signed-integer -b 16 -B"}, {kS24, 1, "-e signed-integer -b 24 -L"},
      {kS32BE, 1, "-e signed-integer -b 32 -B"}, {kS32, 2, "-e signed-integer -b 32 -L"},
  };
  int n = 0;
  for (const auto& l : layouts) {
    const std::string path = dir + "/r" + std::to_string(n++) + ".raw";
    SCOPED_TRACE(path);
    const Bytes bytes = testing::RandomBytes(std::size_t{BytesPerSample(l.code)} * l.channels * 50, n);
    testing::WriteWholeFile(path, bytes);
    SourceRef source;
    std::uint32_t frames = 0;
    ASSERT_EQ(OpenRawFileSource(path, 16000, l.code, l.channels, nullptr, &source, &frames), err::kOk);
    ASSERT_EQ(frames, 50u);
    EXPECT_EQ(source->rate(), 16000u);
    Bytes same(bytes.size());
    ASSERT_EQ(source->Read(0, frames, same.data(), l.code), err::kOk);
    EXPECT_EQ(same, bytes);
    // As 32-bit integers, the numbers agree with sox's reading of the layout.
    Bytes wide(std::size_t{frames} * l.channels * 4);
    ASSERT_EQ(source->Read(0, frames, wide.data(), kS32), err::kOk);
    ASSERT_EQ(testing::Run("sox -t raw -r 16000 -c " + std::to_string(l.channels) + " " + l.sox + " " + path +
                           " -t raw -e signed-integer -b 32 -L " + path + ".s32"),
              0);
    EXPECT_EQ(wide, testing::ReadWholeFile(path + ".s32"));
  }

}

// Floats pass unchanged; a size that is not whole frames is refused.
TEST(RawPcm, FloatsMissingFilesAndPartialFrames) {
  const std::string dir = testing::MakeTempDir("raw_float");
  const std::string floats = dir + "/f.raw";
  Bytes bytes(8 * 6);
  for (int i = 0; i < 6; ++i) {
    const double v = 0.125 * i - 0.3;
    std::memcpy(&bytes[8 * i], &v, 8);
  }
  testing::WriteWholeFile(floats, bytes);
  SourceRef source;
  ASSERT_EQ(OpenRawFileSource(floats, 8000, kDouble, 2, nullptr, &source), err::kOk);
  Bytes back(bytes.size());
  ASSERT_EQ(source->Read(0, 3, back.data(), kDouble), err::kOk);
  EXPECT_EQ(back, bytes);
  SourceRef other;
  EXPECT_EQ(OpenRawFileSource(floats, 8000, kS24, 5, nullptr, &other), err::kMalformed);
  EXPECT_EQ(OpenRawFileSource(dir + "/missing.raw", 8000, kS16, 1, nullptr, &other), err::kCannotOpen);
}

}  // namespace
}  // namespace tidemark
