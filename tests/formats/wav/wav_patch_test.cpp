#include "formats/wav/internal/wav_patch.h"

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "formats/chunks/internal/random_access_input.h"
#include "formats/file_kind.h"
#include "formats/pcm_probe.h"
#include "formats/wav/wav_probe.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::Body;
using testing::FormatBody;
using testing::ReadWholeFile;
using testing::RiffBuilder;
using testing::WriteWholeFile;

struct Form {
  SampleCode code;
  bool extensible;
  std::uint32_t header;
};
const Form kForms[] = {{sample_code::kS16, false, 44}, {sample_code::kFloat, false, 58}, {sample_code::kS24, true, 80}};

// A stereo 44.1 kHz file of the form, its bytes in `before`, patched to 48 kHz.
std::string Patched(const Form& form, std::vector<std::uint8_t>* before) {
  const std::string path = testing::MakeTempDir("wav_patch") + "/p" + std::to_string(form.header) + ".wav";
  const std::vector<std::uint8_t> samples = testing::RandomBytes(600, 3);
  *before = testing::PcmFile(form.code, 2, 44100, samples, form.extensible);
  EXPECT_EQ(LoadLe32(&(*before)[40 + form.header - 44]), samples.size());
  WriteWholeFile(path, *before);
  EXPECT_EQ(PatchSampleRate(path, PcmFileKind::Wave, 48000), 0u);
  return path;
}

TEST(WavPatch, RateAndByteRateOnlyForEveryHeaderForm) {
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.header);
    std::vector<std::uint8_t> before;
    const std::string path = Patched(form, &before);
    const std::vector<std::uint8_t> after = ReadWholeFile(path);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
      if (i < 24 || i >= 32) {
        ASSERT_EQ(after[i], before[i]) << "byte " << i;
      }
    EXPECT_EQ(LoadLe32(&after[24]), 48000u);
    EXPECT_EQ(LoadLe32(&after[28]), 48000u * 2 * BytesPerSample(form.code));
    SoundFileInfo info;
    ASSERT_EQ(ProbePcmFile(path, &info), 0u);
    EXPECT_EQ(info.rate, 48000u);
    // The same rate again writes nothing.
    const fault::ScopedFault no_writes(fault::FaultRule::FailNth(fault::kWrite, 1, EIO).Sticky());
    EXPECT_EQ(PatchSampleRate(path, PcmFileKind::Wave, 48000), 0u);
    EXPECT_FALSE(no_writes.fired());
  }
}

TEST(WavPatch, SoxReadsThePatchedRate) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  for (const Form& form : kForms) {
    std::vector<std::uint8_t> before;
    std::string rate;
    ASSERT_EQ(testing::Run("sox --i -r " + Patched(form, &before), &rate, true), 0);
    EXPECT_EQ(rate, "48000\n") << form.header;
  }
}

TEST(WavPatch, RefusedFiles) {
  const std::string dir = testing::MakeTempDir("wav_patch_bad");
  const std::string path = dir + "/bad.wav";
  const std::vector<std::uint8_t> data(8);
  auto refuses = [&](const std::vector<std::uint8_t>& bytes, Error want) {
    WriteWholeFile(path, bytes);
    EXPECT_EQ(PatchSampleRate(path, PcmFileKind::Wave, 22050), want);
    EXPECT_EQ(ReadWholeFile(path), bytes);
  };
  std::vector<std::uint8_t> fmt13 = FormatBody(1, 1, 8000, 2, 16);
  fmt13.resize(13);
  refuses(RiffBuilder().Chunk("fmt ", fmt13).Chunk("data", data).Bytes(), err::kLayoutMismatch);
  refuses(RiffBuilder().Chunk("data", data).Bytes(), err::kLayoutMismatch);
  refuses({}, err::kLayoutMismatch);
  refuses({'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E'}, err::kLayoutMismatch);
  EXPECT_EQ(PatchSampleRate(dir + "/missing.wav", PcmFileKind::Wave, 8000), err::kCannotOpen);
  // 14 bytes are enough.
  std::vector<std::uint8_t> fmt14 = FormatBody(1, 1, 8000, 2, 16);
  fmt14.resize(14);
  WriteWholeFile(path, RiffBuilder().Chunk("fmt ", fmt14).Chunk("data", data).Bytes());
  ASSERT_EQ(PatchSampleRate(path, PcmFileKind::Wave, 22050), 0u);
  const std::vector<std::uint8_t> b = ReadWholeFile(path);
  EXPECT_EQ(LoadLe32(&b[24]), 22050u);
  EXPECT_EQ(LoadLe32(&b[28]), 44100u);
}

TEST(WavPatch, CompressedWaveFacts) {
  const Body adpcm_fmt = Body(FormatBody(2, 1, 22050, 256, 4)).U16(32).Zeros(32);
  const std::vector<std::uint8_t> data = testing::RandomBytes(512, 4);
  const std::vector<std::uint8_t> file = RiffBuilder().Chunk("fmt ", adpcm_fmt).Chunk("fact", Body().U32(1000))
                                             .Chunk("LIST", Body().Text("INFO")).Chunk("data", data).Bytes();
  CompressedWaveFacts facts;
  MemoryInput input(file);
  ASSERT_EQ(ReadCompressedWaveFacts(input, file.size(), &facts), 0u);
  EXPECT_EQ(facts.format, adpcm_fmt.bytes());
  EXPECT_EQ(std::tuple(facts.fact_samples, facts.data_offset, facts.data_size),
            std::tuple(1000u, 12u + 8 + 50 + 12 + 12 + 8, 512u));
  // The probe hands such a file to the decoder.
  SoundFileInfo info;
  EXPECT_EQ(ProbeWave(input, file.size(), &info), err::kForeignEncoding);

  auto rc_of = [](const std::vector<std::uint8_t>& bytes, CompressedWaveFacts* out) {
    MemoryInput in(bytes);
    return ReadCompressedWaveFacts(in, bytes.size(), out);
  };
  const std::vector<std::uint8_t> no_data = RiffBuilder().Chunk("fmt ", adpcm_fmt).Chunk("fact", Body().U32(7)).Bytes();
  ASSERT_EQ(rc_of(no_data, &facts), 0u);
  EXPECT_EQ(std::tuple(facts.fact_samples, facts.data_offset, facts.data_size), std::tuple(7u, 0u, 0u));
  EXPECT_EQ(rc_of(RiffBuilder().Chunk("fmt ", adpcm_fmt).Chunk("data", data).Bytes(), &facts), err::kMalformed);
  EXPECT_EQ(rc_of(RiffBuilder().Chunk("fmt ", adpcm_fmt).Chunk("fact", Body().U16(1)).Bytes(), &facts),
            err::kMalformed);
  EXPECT_EQ(rc_of(RiffBuilder().Chunk("fact", Body().U32(7)).Chunk("data", data).Bytes(), &facts), err::kMalformed);
  EXPECT_EQ(rc_of(std::vector<std::uint8_t>(file.begin(), file.end() - 2), &facts), err::kMalformed);
  EXPECT_EQ(ReadCompressedWaveFactsFile("/nonexistent/x.wav", &facts), err::kCannotOpen);
}

TEST(WavPatch, CompressedFactsOfAPeerAdpcmFile) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const std::string dir = testing::MakeTempDir("wav_adpcm");
  const std::string path = dir + "/adpcm.wav";
  ASSERT_EQ(testing::Run("ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=22050:d=0.2 -c:a adpcm_ms " + path), 0);
  SoundFileInfo info;
  EXPECT_EQ(ProbePcmFile(path, &info), err::kForeignEncoding);
  CompressedWaveFacts facts;
  ASSERT_EQ(ReadCompressedWaveFactsFile(path, &facts), 0u);
  ASSERT_GE(facts.format.size(), 16u);
  EXPECT_EQ(LoadLe16(&facts.format[0]), 2u);
  EXPECT_EQ(LoadLe32(&facts.format[4]), 22050u);
  const std::vector<std::uint8_t> b = ReadWholeFile(path);
  ASSERT_GE(facts.data_offset, 8u);
  EXPECT_EQ(std::string(&b[facts.data_offset - 8], &b[facts.data_offset - 4]), "data");
  EXPECT_EQ(facts.data_offset + facts.data_size, b.size() - (facts.data_size & 1));
  std::string samples;
  ASSERT_EQ(testing::Run("sox --i -s " + path, &samples, true), 0);
  EXPECT_EQ(std::to_string(facts.fact_samples) + "\n", samples);
}

}  // namespace
}  // namespace tidemark
