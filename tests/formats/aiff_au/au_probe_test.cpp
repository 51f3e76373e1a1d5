// The ".snd" probe on hand-made AU files.
#include "formats/aiff_au/internal/au_probe.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/error_numbers.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::AuFile;
using testing::Bytes;
using testing::ProbeBytes;

TEST(AuProbe, EncodingsSizesAndOffsets) {
  SoundFileInfo info;
  const SampleCode codes[] = {kS8, kS16BE, kS24BE, kS32BE, kFloatBE, kDoubleBE};
  for (std::uint32_t encoding = 2; encoding <= 7; ++encoding) {
    ASSERT_EQ(ProbeBytes(AuFile(32, 48, encoding, 11025, 2, Bytes(48, 1)), &info), err::kOk) << encoding;
    const SampleCode code = codes[encoding - 2];
    EXPECT_EQ(testing::LayoutOf(info), testing::Layout(PcmFileKind::AU, code, 2, 11025, 48 / (2 * BytesPerSample(code)), 32));
  }
  // Partial frames at the end do not count; bytes after the declared data are ignored.
  ASSERT_EQ(ProbeBytes(AuFile(32, 7, 3, 8000, 1, Bytes(20, 1)), &info), err::kOk);
  EXPECT_EQ(info.frames, 3u);
  // 0xFFFFFFFF: the data runs to the end of the file.
  ASSERT_EQ(ProbeBytes(AuFile(24, 0xFFFFFFFFu, 3, 8000, 1, Bytes(21, 1), 0), &info), err::kOk);
  EXPECT_EQ(info.frames, 10u);
  EXPECT_EQ(info.data_offset, 24u);
  ASSERT_EQ(ProbeBytes(AuFile(32, 0xFFFFFFFFu, 2, 8000, 1, {}), &info), err::kOk);
  EXPECT_EQ(info.frames, 0u);
  // Data ending exactly at the end of the file is inside it.
  ASSERT_EQ(ProbeBytes(AuFile(32, 4, 2, 8000, 1, Bytes(4, 0)), &info), err::kOk);
}

TEST(AuProbe, RejectsBadHeaders) {
  SoundFileInfo info;
  const auto probe = [&](const Bytes& file) { return ProbeBytes(file, &info); };
  EXPECT_EQ(probe(AuFile(32, 5, 3, 8000, 1, Bytes(4, 0))), err::kMalformed);  // data past the end
  EXPECT_EQ(probe(AuFile(33, 0xFFFFFFFFu, 3, 8000, 1, {})), err::kMalformed);  // offset past the end
  EXPECT_EQ(probe(AuFile(32, 0xFFFFFFF0u, 3, 8000, 1, Bytes(8, 0))), err::kMalformed);  // wraps past 32 bits
  EXPECT_EQ(probe(AuFile(16, 8, 3, 8000, 1, Bytes(8, 0))), err::kMalformed);  // inside the header
  for (const std::uint32_t encoding : {0u, 1u, 8u, 27u})
    EXPECT_EQ(probe(AuFile(32, 4, encoding, 8000, 1, Bytes(4, 0))), err::kMalformed) << encoding;
  EXPECT_EQ(probe(AuFile(32, 4, 3, 8000, 0, Bytes(4, 0))), err::kMalformed);
  EXPECT_EQ(probe(AuFile(32, 4, 3, 8000, 0x10000, Bytes(4, 0))), err::kUnsupportedFormat);
  const Bytes good = AuFile(24, 0, 3, 8000, 1, {}, 0);
  ASSERT_EQ(probe(good), err::kOk);
  for (std::size_t n = 4; n < good.size(); ++n)
    EXPECT_EQ(probe(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n))), err::kMalformed) << n;
}

}  // namespace
}  // namespace tidemark
