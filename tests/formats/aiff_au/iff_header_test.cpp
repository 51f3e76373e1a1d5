// The AIFF, AIFC and AU headers, byte for byte, as the file-kind functions
// build them through the core's registry.
#include "formats/aiff_au/internal/iff_header.h"

#include <cstddef>
#include <string>

#include <gtest/gtest.h>

#include "core/io/pcm_header.h"
#include "formats/file_kind.h"
#include "platform/error_numbers.h"
#include "tests/formats/chunks/chunk_test_util.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::Bytes;
using testing::ChunkBytes;

Bytes Built(PcmFileKind kind, std::uint32_t rate, SampleCode code, std::uint16_t channels, std::uint32_t frames) {
  std::byte header[kMaxPcmHeaderBytes];
  std::uint32_t length = 0;
  EXPECT_EQ(BuildHeader(kind, header, rate, code, channels, frames, &length), err::kOk);
  std::uint32_t size = 0;
  EXPECT_EQ(HeaderSize(kind, code, &size), err::kOk);
  EXPECT_EQ(size, length);
  const auto* p = reinterpret_cast<const std::uint8_t*>(header);
  return Bytes(p, p + length);
}

// 44100 and 8000 as 80-bit extended numbers.
const Bytes k44100 = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
const Bytes k8000 = {0x40, 0x0B, 0xFA, 0x00, 0, 0, 0, 0, 0, 0};

TEST(IffHeader, LayoutsByteForByte) {
  // AIFF, 16-bit big-endian stereo, 3 frames: D = 12.
  ChunkBytes aiff(true);
  aiff.Id("FORM").U32(46 + 12).Id("AIFF").Id("COMM").U32(18).U16(2).U32(3).U16(16).Raw(k44100);
  aiff.Id("SSND").U32(12 + 8).U32(0).U32(0);
  EXPECT_EQ(Built(PcmFileKind::AIFF, 44100, kS16BE, 2, 3), aiff.bytes());

  // AIFC integer, 24-bit big-endian mono, 3 frames: D = 9, padded 10.
  ChunkBytes none(true);
  none.Id("FORM").U32(78 + 10).Id("AIFC").Id("FVER").U32(4).U32(0xA2805140u);
  none.Id("COMM").U32(38).U16(1).U32(3).U16(24).Raw(k8000).Id("NONE").Raw(Bytes{14});
  none.Text("not compressed").Zeros(1);
  none.Id("SSND").U32(9 + 8).U32(0).U32(0);
  EXPECT_EQ(Built(PcmFileKind::AIFC, 8000, kS24BE, 1, 3), none.bytes());

  // AIFC float: 92 bytes, "fl32"/"fl64" and a 22-byte name without pad.
  for (const SampleCode code : {kFloatBE, kDoubleBE}) {
    const bool single = code == kFloatBE;
    ChunkBytes fl(true);
    fl.Id("FORM").U32(84 + (single ? 8 : 16)).Id("AIFC").Id("FVER").U32(4).U32(0xA2805140u);
    fl.Id("COMM").U32(44).U16(2).U32(1).U16(single ? 32 : 64).Raw(k44100).Text(single ? "fl32" : "fl64");
    fl.Raw(Bytes{21}).Text(single ? "32-bit floating point" : "64-bit floating point");
    fl.Id("SSND").U32((single ? 8 : 16) + 8).U32(0).U32(0);
    EXPECT_EQ(Built(PcmFileKind::AIFC, 44100, code, 2, 1), fl.bytes()) << code;
    // A float document saved as AIFF would be converted, but a float code
    // given to the AIFF kind still gets the only layout that holds it.
    EXPECT_EQ(Built(PcmFileKind::AIFF, 44100, code, 2, 1), fl.bytes()) << code;
  }

  // AU: 128 bytes, no pad for odd data.
  for (const auto& [code, encoding] : {std::pair{kS8, 2u}, {kS16BE, 3u}, {kS24BE, 4u}, {kS32BE, 5u},
                                       {kFloatBE, 6u}, {kDoubleBE, 7u}}) {
    ChunkBytes au(true);
    au.Id(".snd").U32(128).U32(BytesPerSample(code) * 3 * 5).U32(encoding).U32(22050).U32(3).Zeros(104);
    EXPECT_EQ(Built(PcmFileKind::AU, 22050, code, 3, 5), au.bytes()) << code;
  }
}

TEST(IffHeader, WhichLayoutEachKindGets) {
  const auto form_and_compression = [](PcmFileKind kind, SampleCode code) {
    const Bytes h = Built(kind, 48000, code, 1, 2);
    if (h.size() == 54) return testing::IdAt(h, 8) + " " + std::to_string(h.size());
    return testing::IdAt(h, 8) + " " + testing::IdAt(h, 50) + " " + std::to_string(h.size());
  };
  EXPECT_EQ(form_and_compression(PcmFileKind::AIFF, kS8), "AIFF 54");
  EXPECT_EQ(form_and_compression(PcmFileKind::AIFF, kS32BE), "AIFF 54");
  EXPECT_EQ(form_and_compression(PcmFileKind::AIFF, kS16), "AIFC sowt 86");
  EXPECT_EQ(form_and_compression(PcmFileKind::AIFC, kS8), "AIFC NONE 86");
  EXPECT_EQ(form_and_compression(PcmFileKind::AIFC, kS16BE), "AIFC NONE 86");
  EXPECT_EQ(form_and_compression(PcmFileKind::AIFC, kS32), "AIFC sowt 86");

  // 24-bit little-endian data as the save path stores it: AIFC keeps the
  // byte order ("sowt"), AIFF turns it big-endian under the plain header.
  bool converted = true;
  const SampleCode as_aifc = StoredSampleFormat(PcmFileKind::AIFC, kS24, &converted);
  EXPECT_EQ(form_and_compression(PcmFileKind::AIFC, as_aifc), "AIFC sowt 86");
  const SampleCode as_aiff = StoredSampleFormat(PcmFileKind::AIFF, kS24, &converted);
  EXPECT_EQ(as_aiff, kS24BE);
  EXPECT_EQ(form_and_compression(PcmFileKind::AIFF, as_aiff), "AIFF 54");
}

TEST(IffHeader, PrepareSizesFiles) {
  const auto prepared = [](PcmFileKind kind, SampleCode code, std::uint16_t channels, std::uint32_t frames) {
    const std::string path = testing::WriteTempFile("prepared", Bytes(400, 0xEE));
    PosixFile file = testing::OpenFile(path);
    EXPECT_EQ(PrepareSoundFile(file, kind, 8000, code, channels, frames), err::kOk);
    return testing::ReadWholeFile(path);
  };
  // Odd IFF data gets a zero pad byte; AU never does.
  const Bytes aiff = prepared(PcmFileKind::AIFF, kS8, 1, 5);
  ASSERT_EQ(aiff.size(), 60u);
  EXPECT_EQ(aiff.back(), 0);
  EXPECT_EQ(testing::Be32At(aiff, 4), aiff.size() - 8);
  const Bytes aifc = prepared(PcmFileKind::AIFC, kDoubleBE, 1, 1);
  ASSERT_EQ(aifc.size(), 100u);
  EXPECT_EQ(testing::Be32At(aifc, 4), aifc.size() - 8);
  EXPECT_EQ(prepared(PcmFileKind::AU, kS24BE, 1, 3).size(), 137u);

  // The core's limit on header and samples holds for the registered kinds.
  std::byte header[kMaxPcmHeaderBytes];
  std::uint32_t length = 0;
  EXPECT_EQ(BuildHeader(PcmFileKind::AIFF, header, 8000, kS8, 1, 0xFFFFFFFEu - 53, &length), err::kSizeLimit);
  EXPECT_EQ(BuildHeader(PcmFileKind::AIFF, header, 8000, kS8, 1, 0xFFFFFFFEu - 54, &length), err::kOk);
  EXPECT_EQ(testing::Be32At(Bytes(reinterpret_cast<std::uint8_t*>(header), reinterpret_cast<std::uint8_t*>(header) + 8), 4),
            0xFFFFFFFEu - 8);
}

}  // namespace
}  // namespace tidemark
