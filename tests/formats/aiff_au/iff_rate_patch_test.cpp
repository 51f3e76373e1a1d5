// Rewriting the stored sample rate of AIFF, AIFC, AU and WAV files in place.
#include "formats/aiff_au/internal/iff_rate_patch.h"

#include <string>

#include <gtest/gtest.h>

#include "formats/file_kind.h"
#include "formats/pcm_probe.h"
#include "platform/error_numbers.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::Bytes;

// A file of `kind` with its own header and 4 zero frames.
std::string Written(PcmFileKind kind, SampleCode code, std::uint32_t rate) {
  const std::string path = testing::WriteTempFile("rate", {});
  PosixFile file = testing::OpenFile(path);
  EXPECT_EQ(PrepareSoundFile(file, kind, rate, code, 1, 4), err::kOk);
  return path;
}

TEST(IffRatePatch, EveryKindKeepsAllButTheRate) {
  for (const auto& [kind, code] : {std::pair{PcmFileKind::AIFF, kS16BE}, {PcmFileKind::AIFC, kFloatBE},
                                   {PcmFileKind::AU, kS24BE}, {PcmFileKind::Wave, kS16}}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const std::string path = Written(kind, code, 44100);
    const Bytes before = testing::ReadWholeFile(path);
    ASSERT_EQ(PatchSampleRate(path, kind, 44100), err::kOk);
    EXPECT_EQ(testing::ReadWholeFile(path), before);
    ASSERT_EQ(PatchSampleRate(path, kind, 96000), err::kOk);
    const Bytes after = testing::ReadWholeFile(path);
    ASSERT_EQ(after.size(), before.size());
    SoundFileInfo info;
    ASSERT_EQ(ProbePcmFile(path, &info), err::kOk);
    EXPECT_EQ(info.rate, 96000u);
    // Only the rate field changed: 10 bytes in "COMM", 4 at offset 16 of AU, rate and byte rate in WAV.
    std::size_t changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
    EXPECT_LE(changed, kind == PcmFileKind::Wave ? 8u : kind == PcmFileKind::AU ? 4u : 10u);
  }
  // Raw stores no rate: nothing to do, not even opening the file.
  EXPECT_EQ(PatchSampleRate(testing::TempFilePath("none.raw"), PcmFileKind::Raw, 8000), err::kOk);
}

TEST(IffRatePatch, RefusesFilesWithoutTheField) {
  testing::ChunkBytes short_comm(true);
  short_comm.Chunk("COMM", Bytes(16, 0)).Chunk("SSND", testing::SsndBody({}));
  const std::string aiff = testing::WriteTempFile("short.aif", testing::FormFile("AIFF", short_comm));
  EXPECT_EQ(PatchSampleRate(aiff, PcmFileKind::AIFF, 8000), err::kLayoutMismatch);
  testing::ChunkBytes no_comm(true);
  no_comm.Chunk("SSND", testing::SsndBody({}));
  EXPECT_EQ(PatchSampleRate(testing::WriteTempFile("none.aif", testing::FormFile("AIFF", no_comm)),
                            PcmFileKind::AIFC, 8000),
            err::kLayoutMismatch);
  // AU: 24 bytes at least, and an AU file at all.
  const Bytes au = testing::AuFile(24, 0, 3, 8000, 1, {}, 0);
  EXPECT_EQ(PatchSampleRate(testing::WriteTempFile("short.au", testing::Slice(au, 0, 23)), PcmFileKind::AU, 9000),
            err::kLayoutMismatch);
  const std::string wav = Written(PcmFileKind::Wave, kS16, 8000);
  const Bytes wav_bytes = testing::ReadWholeFile(wav);
  EXPECT_EQ(PatchSampleRate(wav, PcmFileKind::AU, 9000), err::kLayoutMismatch);
  EXPECT_EQ(testing::ReadWholeFile(wav), wav_bytes);
  EXPECT_EQ(PatchSampleRate(wav, PcmFileKind::AIFF, 9000), err::kLayoutMismatch);
  EXPECT_EQ(PatchSampleRate(testing::TempFilePath("missing.au"), PcmFileKind::AU, 9000), err::kCannotOpen);
}

}  // namespace
}  // namespace tidemark
