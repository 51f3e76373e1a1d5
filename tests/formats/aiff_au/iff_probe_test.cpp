// The FORM probe on hand-made AIFF and AIFC files: every rule of the chunks
// it reads, and damaged files that must fail cleanly.
#include "formats/aiff_au/internal/iff_probe.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "tests/formats/aiff_au/iff_test_util.h"

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

Bytes Aiff(const Bytes& comm, const Bytes& ssnd = SsndBody(kSamples)) {
  ChunkBytes b(true);
  b.Chunk("COMM", comm).Chunk("SSND", ssnd);
  return FormFile("AIFF", b);
}

Bytes Aifc(const Bytes& comm, const Bytes& ssnd = SsndBody(kSamples)) {
  ChunkBytes b = AifcChunks();
  b.Chunk("COMM", comm).Chunk("SSND", ssnd);
  return FormFile("AIFC", b);
}

TEST(IffProbe, DescribesAiffAndAifc) {
  SoundFileInfo info;
  ASSERT_EQ(ProbeBytes(Aiff(CommBody(2, 2, 16, 44100)), &info), err::kOk);
  EXPECT_EQ(info.kind, PcmFileKind::AIFF);
  EXPECT_EQ(info.code, kS16BE);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.rate, 44100u);
  EXPECT_EQ(info.frames, 2u);
  EXPECT_EQ(info.data_offset, 12u + 26 + 16);

  // Widths from the bits; 8 bits or less are signed bytes, "sowt" is
  // little-endian, floats take their width from the bits, not the name.
  const struct {
    std::int16_t bits;
    const char* compression;
    SampleCode code;
  } aifc[] = {{8, "NONE", kS8},   {5, "sowt", kS8},       {16, "NONE", kS16BE},   {16, "sowt", kS16},
              {20, "NONE", kS24BE}, {24, "sowt", kS24},   {32, "sowt", kS32},     {32, "fl32", kFloatBE},
              {64, "fl64", kDoubleBE}, {64, "fl32", kDoubleBE}, {32, "fl64", kFloatBE}};
  for (const auto& c : aifc) {
    SCOPED_TRACE(std::to_string(c.bits) + c.compression);
    // A 22-byte "COMM" (no compression name) is enough.
    ASSERT_EQ(ProbeBytes(Aifc(CommBody(1, 1, static_cast<std::uint16_t>(c.bits), 8000, c.compression)), &info),
              err::kOk);
    EXPECT_EQ(info.kind, PcmFileKind::AIFC);
    EXPECT_EQ(info.code, c.code);
    EXPECT_EQ(info.rate, 8000u);
  }

  // Only the first of each chunk counts; FVER is not looked at in AIFF;
  // other chunks are skipped.
  ChunkBytes b(true);
  b.Chunk("FVER", 3, 0).Chunk("ANNO", 5, 'x').Chunk("COMM", CommBody(1, 3, 8, 22050));
  b.Chunk("SSND", SsndBody(Bytes(3, 9))).Chunk("COMM", Bytes(20, 0)).Chunk("SSND", SsndBody({}, 1, 1));
  ASSERT_EQ(ProbeBytes(FormFile("AIFF", b), &info), err::kOk);
  EXPECT_EQ(info.code, kS8);
  EXPECT_EQ(info.frames, 3u);
  EXPECT_EQ(info.data_offset, 12u + 12 + 14 + 26 + 16);
}

TEST(IffProbe, RejectsWhatBreaksTheRules) {
  SoundFileInfo info;
  const auto probe = [&](const Bytes& file) { return ProbeBytes(file, &info); };
  // AIFF "COMM" is 18 bytes exactly; AIFC's at least 22 with a known compression.
  EXPECT_EQ(probe(Aiff(CommBody(1, 1, 16, 8000, "NONE"))), err::kMalformed);  // 22 bytes
  Bytes twenty = CommBody(1, 1, 16, 8000);
  twenty.resize(20);
  EXPECT_EQ(probe(Aiff(twenty)), err::kMalformed);
  Bytes seventeen = CommBody(1, 1, 16, 8000);
  seventeen.pop_back();
  EXPECT_EQ(probe(Aiff(seventeen)), err::kMalformed);
  EXPECT_EQ(probe(Aifc(CommBody(1, 1, 16, 8000))), err::kMalformed);  // 18 bytes
  EXPECT_EQ(probe(Aifc(CommBody(1, 1, 16, 8000, "ulaw"))), err::kMalformed);
  EXPECT_EQ(probe(Aifc(CommBody(1, 1, 16, 8000, "fl32"))), err::kMalformed);
  EXPECT_EQ(probe(Aifc(CommBody(1, 1, 8, 8000, "fl64"))), err::kMalformed);
  // Bits of 0 or below hold nothing; widths no sample code has are refused.
  EXPECT_EQ(probe(Aiff(CommBody(1, 1, 0, 8000))), err::kMalformed);
  EXPECT_EQ(probe(Aiff(CommBody(1, 1, 0xFFF0, 8000))), err::kMalformed);
  EXPECT_EQ(probe(Aiff(CommBody(1, 1, 40, 8000))), err::kUnsupportedFormat);
  EXPECT_EQ(probe(Aiff(CommBody(0, 1, 16, 8000))), err::kMalformed);

  // "SSND": 8 bytes at least, offset and block size 0.
  EXPECT_EQ(probe(Aiff(CommBody(1, 1, 16, 8000), Bytes(7, 0))), err::kMalformed);
  EXPECT_EQ(probe(Aifc(CommBody(1, 4, 16, 8000, "NONE"), SsndBody(kSamples, 2))), err::kMalformed);
  EXPECT_EQ(probe(Aiff(CommBody(1, 4, 16, 8000), SsndBody(kSamples, 0, 4))), err::kMalformed);

  // FVER in AIFC: exactly 4 bytes of version 1, and required.
  ChunkBytes bad_version(true);
  bad_version.Header("FVER", 4).U32(0xA2805141u).Chunk("COMM", CommBody(1, 1, 16, 8000, "NONE"));
  bad_version.Chunk("SSND", SsndBody(kSamples));
  EXPECT_EQ(probe(FormFile("AIFC", bad_version)), err::kMalformed);
  ChunkBytes long_version(true);
  long_version.Header("FVER", 6).U32(0xA2805140u).U16(0).Chunk("COMM", CommBody(1, 1, 16, 8000, "NONE"));
  long_version.Chunk("SSND", SsndBody(kSamples));
  EXPECT_EQ(probe(FormFile("AIFC", long_version)), err::kMalformed);
  ChunkBytes no_version(true);
  no_version.Chunk("COMM", CommBody(1, 1, 16, 8000, "NONE")).Chunk("SSND", SsndBody(kSamples));
  EXPECT_EQ(probe(FormFile("AIFC", no_version)), err::kMalformed);
  EXPECT_EQ(probe(FormFile("AIFF", no_version)), err::kMalformed);  // the 22-byte COMM

  // Required chunks, an empty table, another form type, truncation anywhere.
  ChunkBytes comm_only(true);
  comm_only.Chunk("COMM", CommBody(1, 1, 16, 8000));
  EXPECT_EQ(probe(FormFile("AIFF", comm_only)), err::kMalformed);
  ChunkBytes ssnd_only(true);
  ssnd_only.Chunk("SSND", SsndBody(kSamples));
  EXPECT_EQ(probe(FormFile("AIFF", ssnd_only)), err::kMalformed);
  EXPECT_EQ(probe(FormFile("AIFF", ChunkBytes(true))), err::kMalformed);
  EXPECT_EQ(probe(FormFile("8SVX", comm_only)), err::kMalformed);
  const Bytes good = Aifc(CommBody(2, 2, 16, 8000, "sowt"));
  ASSERT_EQ(probe(good), err::kOk);
  for (std::size_t n = 4; n < good.size(); ++n)
    EXPECT_NE(probe(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n))), err::kOk) << n;
}

TEST(IffProbe, FramesBeyondTheSoundData) {
  SoundFileInfo info;
  // Nothing follows "SSND": the count stands, and reading past the end of
  // the file fails instead of giving made-up samples.
  const Bytes lone = Aiff(CommBody(1, 1000, 16, 8000));
  ASSERT_EQ(ProbeBytes(lone, &info), err::kOk);
  EXPECT_EQ(info.frames, 1000u);
  const std::string path = testing::WriteTempFile("long.aif", lone);
  Error rc;
  testing::ReadThroughSource(path, info, kS16, &rc);
  EXPECT_EQ(rc, err::kReadFailed);

  // A chunk after "SSND" is never read as samples: the count is lowered.
  ChunkBytes b(true);
  b.Chunk("COMM", CommBody(2, 1000, 16, 8000)).Chunk("SSND", SsndBody(kSamples)).Chunk("MARK", 10, 0xFF);
  ASSERT_EQ(ProbeBytes(FormFile("AIFF", b), &info), err::kOk);
  EXPECT_EQ(info.frames, 2u);
}

}  // namespace
}  // namespace tidemark
