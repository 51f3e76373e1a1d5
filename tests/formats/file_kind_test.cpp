#include "formats/file_kind.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "core/core_options.h"
#include "core/io/pcm_header.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/formats/chunks/chunk_test_util.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::Bytes;

class ExtensibleHeaders {
 public:
  explicit ExtensibleHeaders(bool on) : saved_(GetCoreOptions().extensible_wav_header) {
    MutableCoreOptions().extensible_wav_header = on;
  }
  ~ExtensibleHeaders() { MutableCoreOptions().extensible_wav_header = saved_; }

 private:
  bool saved_;
};

constexpr auto kKind9 = static_cast<PcmFileKind>(9);

TEST(FileKind, TypeFromExtension) {
  for (const auto& [name, kind] : std::initializer_list<std::pair<const char*, PcmFileKind>>{
           {"a.aif", PcmFileKind::AIFF}, {"/x/y/a.AIFF", PcmFileKind::AIFF}, {"a.AiFc", PcmFileKind::AIFC},
           {"a.au", PcmFileKind::AU}, {"take.one.SND", PcmFileKind::AU}, {"song.Wav", PcmFileKind::Wave},
           {".wav", PcmFileKind::Wave}})
    EXPECT_EQ(FileTypeFromExtension(name, PcmFileKind::Raw), kind) << name;
  // Anything else is the caller's choice.
  for (const char* name : {"song", "song.wave", "song.wav.bak", "song.aif ", "song.", "folder.wav/song",
                           "song.w\xC1v", ""})
    EXPECT_EQ(FileTypeFromExtension(name, PcmFileKind::AIFC), PcmFileKind::AIFC) << name;
}

TEST(FileKind, StoredSampleFormatPerKind) {
  using K = PcmFileKind;
  const struct {
    PcmFileKind kind;
    SampleCode in, out;
    bool converted;
  } cases[] = {
      // WAV: little-endian; 8-bit unsigned, wider signed; floats stay floats.
      {K::Temp, kS8, kU8, false}, {K::Wave, kS8, kU8, false}, {K::Wave, kU8, kU8, false},
      {K::Temp, kS16BE, kS16, false}, {K::Wave, kS24BE, kS24, false}, {K::Wave, kFloatBE, kFloat, false},
      {K::Temp, kDouble, kDouble, false},
      // AIFF: signed big-endian integers; floats become 32-bit integers, flagged.
      {K::AIFF, kU8, kS8, false}, {K::AIFF, kS16, kS16BE, false}, {K::AIFF, kS24BE, kS24BE, false},
      {K::AIFF, kFloat, kS32BE, true}, {K::AIFF, kDouble, kS32BE, true}, {K::AIFF, kFloatBE, kS32BE, true},
      {K::AIFF, kDoubleBE, kS32BE, true},
      // AIFC: integers keep their byte order, floats turn big-endian.
      {K::AIFC, kU8, kS8, false}, {K::AIFC, kS16, kS16, false}, {K::AIFC, kS32BE, kS32BE, false},
      {K::AIFC, kFloat, kFloatBE, false}, {K::AIFC, kDouble, kDoubleBE, false},
      // AU: big-endian from 2 bytes up, floats included.
      {K::AU, kU8, kS8, false}, {K::AU, kS24, kS24BE, false}, {K::AU, kFloat, kFloatBE, false},
  };
  bool converted = false;
  for (const auto& c : cases) {
    converted = !c.converted;
    EXPECT_EQ(StoredSampleFormat(c.kind, c.in, &converted), c.out) << static_cast<int>(c.kind) << " " << c.in;
    EXPECT_EQ(converted, c.converted) << static_cast<int>(c.kind) << " " << c.in;
  }
  // Raw, and any kind above it, stores what it is given.
  for (const SampleCode code : kAll) {
    EXPECT_EQ(StoredSampleFormat(PcmFileKind::Raw, code, &converted), code);
    EXPECT_EQ(StoredSampleFormat(kKind9, code, &converted), code);
  }
  // Whatever goes in, what is stored is a code the converter knows.
  for (std::uint16_t kind = 0; kind < kPcmFileKindCount; ++kind)
    for (const SampleCode code : kAll)
      EXPECT_TRUE(IsSupportedSampleCode(StoredSampleFormat(static_cast<PcmFileKind>(kind), code, &converted)))
          << kind << " " << code;
}

TEST(FileKind, SampleFormatOnReading) {
  for (const auto& [kind, width, is_float, code] :
       std::initializer_list<std::tuple<PcmFileKind, unsigned, bool, SampleCode>>{
           {PcmFileKind::Wave, 1, false, kU8}, {PcmFileKind::Temp, 3, false, kS24}, {PcmFileKind::Wave, 8, true, kDouble},
           {PcmFileKind::AIFF, 1, false, kS8}, {PcmFileKind::AIFC, 2, false, kS16BE}, {PcmFileKind::AU, 4, true, kFloatBE},
           {PcmFileKind::Raw, 1, false, kS8}, {PcmFileKind::Raw, 4, true, kFloat}})
    EXPECT_EQ(SampleFormatOnReading(kind, width, is_float), code) << static_cast<int>(kind) << " " << width;
}

TEST(FileKind, HeaderSizesAndBuilders) {
  // The other kinds go to the builders of the formats layer, which the
  // file-kind functions register themselves.
  using K = PcmFileKind;
  const struct {
    PcmFileKind kind;
    SampleCode code;
    bool extensible;
    std::uint32_t bytes;
  } sizes[] = {{K::Wave, kS24, false, 44},   {K::Temp, kFloat, false, 58}, {K::Wave, kS24, true, 80},
               {K::Wave, kS32, true, 80},    {K::Wave, kFloat, true, 80},  {K::Wave, kDouble, true, 80},
               {K::Wave, kS16, true, 44},    {K::Raw, kS16, true, 0},      {kKind9, kS16, true, 0},
               {K::AIFF, kS16BE, true, 54},  {K::AIFC, kS16BE, true, 86},  {K::AU, kS16BE, true, 128}};
  for (const auto& c : sizes) {
    const ExtensibleHeaders option(c.extensible);
    std::uint32_t bytes = 1;
    ASSERT_EQ(HeaderSize(c.kind, c.code, &bytes), err::kOk) << static_cast<int>(c.kind) << " " << c.code;
    EXPECT_EQ(bytes, c.bytes) << static_cast<int>(c.kind) << " " << c.code << " " << c.extensible;
  }
  std::uint32_t bytes = 1;
  EXPECT_EQ(HeaderSize(PcmFileKind::Wave, 0x0005, &bytes), err::kSizeLimit);

  const ExtensibleHeaders extensible(true);
  // An empty 24-bit stereo file: 80 bytes, the RIFF size counts the rest.
  std::byte header[kMaxPcmHeaderBytes];
  std::uint32_t length = 0;
  ASSERT_EQ(BuildHeader(PcmFileKind::Wave, header, 48000, kS24, 2, 0, &length), err::kOk);
  ASSERT_EQ(length, 80u);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(header);
  EXPECT_EQ(LoadLe32(raw + 4), 72u);
  EXPECT_EQ(LoadLe32(raw + 76), 0u);  // the "data" size
  // Odd data: the RIFF size includes the pad byte, the data size does not.
  ASSERT_EQ(BuildHeader(PcmFileKind::Wave, header, 48000, kS24, 1, 3, &length), err::kOk);
  EXPECT_EQ(LoadLe32(raw + 4), 72u + 10);
  EXPECT_EQ(LoadLe32(raw + 76), 9u);
  ASSERT_EQ(BuildHeader(PcmFileKind::Raw, header, 48000, kS24, 1, 3, &length), err::kOk);
  EXPECT_EQ(length, 0u);

  // AIFC never gets the AIFF layout.
  ASSERT_EQ(BuildHeader(PcmFileKind::AIFC, header, 44100, kS16BE, 2, 10, &length), err::kOk);
  EXPECT_EQ(length, 86u);
  EXPECT_EQ(testing::IdAt(Bytes(raw, raw + length), 8), "AIFC");
  ASSERT_EQ(BuildHeader(PcmFileKind::AU, header, 44100, kS16BE, 2, 10, &length), err::kOk);
  EXPECT_EQ(length, 128u);
}

TEST(FileKind, FrameLimitOfTheTarget) {
  const ExtensibleHeaders plain(false);
  // (0xFFFFFFFE - 44) / 4 = 1073741812 frames of 16-bit stereo.
  EXPECT_EQ(CheckFramesFitTarget(PcmFileKind::Wave, kS16, 2, 1073741812u), err::kOk);
  EXPECT_EQ(CheckFramesFitTarget(PcmFileKind::Wave, kS16, 2, 1073741813u), err::kTooManyFramesForTarget);
  // (0xFFFFFFFE - 58) / 8 = 536870904 frames of stereo float.
  EXPECT_EQ(CheckFramesFitTarget(PcmFileKind::Wave, kFloat, 2, 536870904u), err::kOk);
  EXPECT_EQ(CheckFramesFitTarget(PcmFileKind::Wave, kFloat, 2, 536870905u), err::kTooManyFramesForTarget);
  // Raw has no header: 0xFFFFFFFE bytes of 8-bit mono.
  EXPECT_EQ(CheckFramesFitTarget(PcmFileKind::Raw, kU8, 1, 0xFFFFFFFEu), err::kOk);
  EXPECT_EQ(CheckFramesFitTarget(PcmFileKind::Raw, kU8, 1, 0xFFFFFFFFu), err::kTooManyFramesForTarget);
  EXPECT_EQ(CheckFramesFitTarget(PcmFileKind::Wave, kS16, 0, 1), err::kSizeLimit);
}

TEST(FileKind, PrepareSizesThePadsAndWritesTheHeader) {
  const ExtensibleHeaders plain(false);
  // An older, longer file in the way: it is cut, and the pad byte is
  // written although the bytes there were not zero.
  const std::string path = testing::WriteTempFile("prepare.wav", Bytes(100, 0xFF));
  {
    PosixFile file = testing::OpenFile(path);
    ASSERT_EQ(PrepareSoundFile(file, PcmFileKind::Wave, 22050, kU8, 1, 3), err::kOk);
  }
  const Bytes after = testing::ReadWholeFile(path);
  ASSERT_EQ(after.size(), 48u);
  EXPECT_EQ(after[47], 0);
  std::byte header[kMaxPcmHeaderBytes];
  std::uint32_t length = 0;
  ASSERT_EQ(BuildHeader(PcmFileKind::Wave, header, 22050, kU8, 1, 3, &length), err::kOk);
  EXPECT_EQ(testing::Slice(after, 0, 44), Bytes(reinterpret_cast<std::uint8_t*>(header),
                                                reinterpret_cast<std::uint8_t*>(header) + 44));

  // Even data gets no pad; AU and Raw never do.
  const auto prepared_length = [&](PcmFileKind kind, SampleCode code, std::uint16_t channels,
                                   std::uint32_t frames) -> std::uint64_t {
    const std::string p = testing::WriteTempFile("kind.snd", Bytes(300, 0xFF));
    PosixFile file = testing::OpenFile(p);
    EXPECT_EQ(PrepareSoundFile(file, kind, 8000, code, channels, frames), err::kOk);
    return testing::FileLength(p);
  };
  EXPECT_EQ(prepared_length(PcmFileKind::Temp, kS16, 2, 5), 64u);
  EXPECT_EQ(prepared_length(PcmFileKind::AIFF, kS8, 1, 5), 60u);
  EXPECT_EQ(prepared_length(PcmFileKind::AIFC, kS24BE, 1, 3), 96u);
  EXPECT_EQ(prepared_length(PcmFileKind::AU, kS8, 1, 3), 131u);
  EXPECT_EQ(prepared_length(PcmFileKind::Raw, kS24, 1, 3), 9u);
  EXPECT_EQ(prepared_length(kKind9, kS8, 1, 0), 0u);
}

TEST(FileKind, PrepareFailures) {
  const ExtensibleHeaders plain(false);
  const Bytes before(10, 0xAB);
  const std::string path = testing::WriteTempFile("fail.wav", before);
  PosixFile file = testing::OpenFile(path);
  // 44 + 3 x 1431655750 = 0xFFFFFFFE is the most a file may hold.
  EXPECT_EQ(CheckFramesFitTarget(PcmFileKind::Wave, kS24, 1, 1431655750u), err::kOk);
  EXPECT_EQ(PrepareSoundFile(file, PcmFileKind::Wave, 44100, kS24, 1, 1431655751u), err::kSizeLimit);
  EXPECT_EQ(PrepareSoundFile(file, PcmFileKind::Wave, 44100, kS24, 0, 1), err::kSizeLimit);
  EXPECT_EQ(PrepareSoundFile(file, PcmFileKind::Wave, 44100, kS8, 1, 0xFFFFFFFFu), err::kSizeLimit);
  EXPECT_EQ(testing::ReadWholeFile(path), before);
  const std::pair<fault::FaultRule, Error> faults[] = {
      {fault::FaultRule::DiskFullAt(40), err::kDiskFull},
      {fault::FaultRule::DiskFullAt(40, EDQUOT), err::kDiskFull},
      {fault::FaultRule::FailNth(fault::kFallocate | fault::kFtruncate, 1, EIO), err::kSeekFailed},
      {fault::FaultRule::FailNth(fault::kWrite, 1, EIO), err::kWriteFailed}};
  for (const auto& [rule, rc] : faults) {
    const fault::ScopedFault fault(rule);
    EXPECT_EQ(PrepareSoundFile(file, PcmFileKind::Wave, 44100, kS16, 2, 100), rc) << rc;
  }
}

}  // namespace
}  // namespace tidemark
