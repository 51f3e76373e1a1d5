// The FORM probe on hand-made AIFF and AIFC files: every rule of the chunks
// it reads, and damaged files that must fail cleanly.
#include "formats/aiff_au/internal/iff_probe.h"

#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::AifcChunks;
using testing::Bytes;
using testing::ChunkBytes;
using testing::CommBody;
using testing::FormFile;
using testing::ProbeBytes;
using testing::SsndBody;

const Bytes kSamples = {1, 2, 3, 4, 5, 6, 7, 8};

// A FORM of `form` with "COMM" and "SSND" (after a version-1 "FVER" when `fver`).
Bytes Form(const char (&form)[5], const Bytes& comm, const Bytes& ssnd = SsndBody(kSamples), bool fver = true) {
  ChunkBytes b = fver ? AifcChunks() : ChunkBytes(true);
  b.Chunk("COMM", comm).Chunk("SSND", ssnd);
  return FormFile(form, b);
}
Bytes Aiff(const Bytes& comm, const Bytes& ssnd = SsndBody(kSamples)) { return Form("AIFF", comm, ssnd, false); }
Bytes Aifc(const Bytes& comm, const Bytes& ssnd = SsndBody(kSamples)) { return Form("AIFC", comm, ssnd); }

TEST(IffProbe, DescribesAiffAndAifc) {
  SoundFileInfo info;
  ASSERT_EQ(ProbeBytes(Aiff(CommBody(2, 2, 16, 44100)), &info), err::kOk);
  EXPECT_EQ(testing::LayoutOf(info), testing::Layout(PcmFileKind::AIFF, kS16BE, 2, 44100, 2, 12 + 26 + 16));

  // Widths from the bits; 8 bits or less are signed bytes, "sowt" is
  // little-endian, floats take their width from the bits, not the name.
  const struct {
    std::int16_t bits;
    const char* compression;
    SampleCode code;
  } aifc[] = {{8, "NONE", kS8},   {5, "sowt", kS8},       {16, "NONE", kS16BE},   {16, "sowt", kS16},
              {20, "NONE", kS24BE}, {24, "sowt", kS24},   {32, "sowt", kS32},     {32, "fl32", kFloatBE},
              {64, "fl64", kDoubleBE}, {64, "fl32", kDoubleBE}, {32, "fl64", kFloatBE},
              // libsndfile's upper-case float types.
              {32, "FL32", kFloatBE}, {64, "FL64", kDoubleBE}, {32, "FL64", kFloatBE}};
  for (const auto& c : aifc) {
    SCOPED_TRACE(std::to_string(c.bits) + c.compression);
    ASSERT_EQ(ProbeBytes(Aifc(CommBody(1, 1, static_cast<std::uint16_t>(c.bits), 8000, c.compression)), &info),
              err::kOk);
    EXPECT_EQ(std::tuple(info.kind, info.code, info.rate), std::tuple(PcmFileKind::AIFC, c.code, 8000u));
  }

  // Only the first of each chunk counts; FVER is not looked at in AIFF;
  // other chunks are skipped.
  ChunkBytes b(true);
  b.Chunk("FVER", 3, 0).Chunk("ANNO", 5, 'x').Chunk("COMM", CommBody(1, 3, 8, 22050));
  b.Chunk("SSND", SsndBody(Bytes(3, 9))).Chunk("COMM", Bytes(20, 0)).Chunk("SSND", SsndBody({}, 1, 1));
  ASSERT_EQ(ProbeBytes(FormFile("AIFF", b), &info), err::kOk);
  EXPECT_EQ(testing::LayoutOf(info), testing::Layout(PcmFileKind::AIFF, kS8, 1, 22050, 3, 12 + 12 + 14 + 26 + 16));
}

TEST(IffProbe, RejectsWhatBreaksTheRules) {
  const Bytes comm = CommBody(1, 1, 16, 8000), none = CommBody(1, 1, 16, 8000, "NONE");
  const auto sized = [&](std::size_t n) {
    Bytes b = comm;
    b.resize(n);
    return b;
  };
  ChunkBytes bad_version(true), long_version(true), no_version(true), comm_only(true), ssnd_only(true);
  bad_version.Header("FVER", 4).U32(0xA2805141u).Chunk("COMM", none).Chunk("SSND", SsndBody(kSamples));
  long_version.Header("FVER", 6).U32(0xA2805140u).U16(0).Chunk("COMM", none).Chunk("SSND", SsndBody(kSamples));
  no_version.Chunk("COMM", none).Chunk("SSND", SsndBody(kSamples));
  comm_only.Chunk("COMM", comm);
  ssnd_only.Chunk("SSND", SsndBody(kSamples));
  const struct {
    const char* what;
    Bytes file;
    Error rc;
  } cases[] = {
      // AIFF "COMM" is 18 bytes exactly; AIFC's at least 22 with a known compression.
      {"AIFF, 22-byte COMM", Aiff(none), err::kMalformed},
      {"AIFF, 20-byte COMM", Aiff(sized(20)), err::kMalformed},
      {"AIFF, 17-byte COMM", Aiff(sized(17)), err::kMalformed},
      {"AIFC, 18-byte COMM", Aifc(comm), err::kMalformed},
      {"ulaw", Aifc(CommBody(1, 1, 16, 8000, "ulaw")), err::kMalformed},
      // Only the float types are read in either case.
      {"Fl32", Aifc(CommBody(1, 1, 32, 8000, "Fl32")), err::kMalformed},
      {"fL64", Aifc(CommBody(1, 1, 64, 8000, "fL64")), err::kMalformed},
      {"none", Aifc(CommBody(1, 1, 16, 8000, "none")), err::kMalformed},
      {"SOWT", Aifc(CommBody(1, 1, 16, 8000, "SOWT")), err::kMalformed},
      {"FL32 of 16 bits", Aifc(CommBody(1, 1, 16, 8000, "FL32")), err::kMalformed},
      {"fl32 of 16 bits", Aifc(CommBody(1, 1, 16, 8000, "fl32")), err::kMalformed},
      {"fl64 of 8 bits", Aifc(CommBody(1, 1, 8, 8000, "fl64")), err::kMalformed},
      // Bits of 0 or below hold nothing; widths no sample code has are refused.
      {"0 bits", Aiff(CommBody(1, 1, 0, 8000)), err::kMalformed},
      {"negative bits", Aiff(CommBody(1, 1, 0xFFF0, 8000)), err::kMalformed},
      {"40 bits", Aiff(CommBody(1, 1, 40, 8000)), err::kUnsupportedFormat},
      {"no channels", Aiff(CommBody(0, 1, 16, 8000)), err::kMalformed},
      // "SSND": 8 bytes at least, offset and block size 0.
      {"7-byte SSND", Aiff(comm, Bytes(7, 0)), err::kMalformed},
      {"SSND offset", Aifc(CommBody(1, 4, 16, 8000, "NONE"), SsndBody(kSamples, 2)), err::kMalformed},
      {"SSND block size", Aiff(CommBody(1, 4, 16, 8000), SsndBody(kSamples, 0, 4)), err::kMalformed},
      // FVER in AIFC: exactly 4 bytes of version 1, and required.
      {"FVER version", FormFile("AIFC", bad_version), err::kMalformed},
      {"6-byte FVER", FormFile("AIFC", long_version), err::kMalformed},
      {"no FVER", FormFile("AIFC", no_version), err::kMalformed},
      {"AIFF with the 22-byte COMM", FormFile("AIFF", no_version), err::kMalformed},
      // Required chunks, an empty table, another form type.
      {"no SSND", FormFile("AIFF", comm_only), err::kMalformed},
      {"no COMM", FormFile("AIFF", ssnd_only), err::kMalformed},
      {"no chunks", FormFile("AIFF", ChunkBytes(true)), err::kMalformed},
      {"8SVX", FormFile("8SVX", comm_only), err::kMalformed},
  };
  SoundFileInfo info;
  for (const auto& c : cases) EXPECT_EQ(ProbeBytes(c.file, &info), c.rc) << c.what;
  // Truncation anywhere.
  const Bytes good = Aifc(CommBody(2, 2, 16, 8000, "sowt"));
  ASSERT_EQ(ProbeBytes(good, &info), err::kOk);
  for (std::size_t n = 4; n < good.size(); ++n)
    EXPECT_NE(ProbeBytes(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), &info), err::kOk) << n;
}

// libsndfile writes AIFC floats as "FL32"/"FL64" with an empty name; the
// samples read through a file source equal libsndfile's own raw decoding.
TEST(IffProbe, FloatFilesOfLibsndfile) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sndfile-convert");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const std::string dir = testing::MakeTempDir("iff_sndfile");
  const std::string source = dir + "/source.wav";
  ASSERT_EQ(testing::Run("sox -n -r 44100 -c 2 -b 24 " + source + " synth 0.05 sine 440 noise"), 0);
  const struct {
    const char* encoding;
    const char* type;
    SampleCode code;
  } cases[] = {{"-float32", "FL32", kFloatBE}, {"-float64", "FL64", kDoubleBE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encoding);
    const std::string aifc = dir + "/" + (c.encoding + 1) + ".aifc", raw = aifc + ".raw";
    std::string out;
    ASSERT_EQ(testing::Run(std::string("sndfile-convert ") + c.encoding + " " + source + " " + aifc, &out), 0) << out;
    const Bytes file = testing::ReadWholeFile(aifc);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(std::string(file.begin() + 50, file.begin() + 54), c.type) << "libsndfile wrote another type";
    SoundFileInfo info;
    ASSERT_EQ(ProbePcmFile(aifc, &info), err::kOk);
    EXPECT_EQ(std::tuple(info.kind, info.code, info.channels, info.rate),
              std::tuple(PcmFileKind::AIFC, c.code, std::uint16_t{2}, 44100u));
    const auto le = static_cast<SampleCode>(c.code & ~kBigEndianBit);
    const std::string decode = std::string("sndfile-convert ") + c.encoding + " -endian=little " + aifc + " " + raw;
    ASSERT_EQ(testing::Run(decode, &out), 0) << out;
    const Bytes want = testing::ReadWholeFile(raw);
    EXPECT_EQ(want.size(), std::size_t{info.frames} * 2 * BytesPerSample(c.code));
    EXPECT_EQ(testing::ReadThroughSource(aifc, info, le), want);
  }
}

TEST(IffProbe, FramesBeyondTheSoundData) {
  SoundFileInfo info;
  // Nothing follows "SSND": the count stands, and reading past the end of
  // the file fails instead of giving made-up samples.
  const Bytes lone = Aiff(CommBody(1, 1000, 16, 8000));
  ASSERT_EQ(ProbeBytes(lone, &info), err::kOk);
  EXPECT_EQ(info.frames, 1000u);
  testing::ReadThroughSource(testing::WriteTempFile("long.aif", lone), info, kS16, err::kReadFailed);

  // A chunk after "SSND" is never read as samples: the count is lowered.
  ChunkBytes b(true);
  b.Chunk("COMM", CommBody(2, 1000, 16, 8000)).Chunk("SSND", SsndBody(kSamples)).Chunk("MARK", 10, 0xFF);
  ASSERT_EQ(ProbeBytes(FormFile("AIFF", b), &info), err::kOk);
  EXPECT_EQ(info.frames, 2u);
}

}  // namespace
}  // namespace tidemark
