#include "formats/tags/flac_metadata_skeleton.h"

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "formats/chunks/container.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/tags/internal/wav_info.h"
#include "formats/wav/wav_cues.h"
#include "platform/error_numbers.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/tags/tag_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;

using Blocks = std::vector<Bytes>;

Bytes Block(const char (&id)[5], const Bytes& payload) {
  Bytes b(4 + payload.size());
  std::memcpy(b.data(), id, 4);
  std::copy(payload.begin(), payload.end(), b.begin() + 4);
  return b;
}

// The APPLICATION blocks of a container file as a FLAC encoder stores it:
// the 12-byte header, then one block per chunk (header and stored body,
// pad byte included); the sample chunk gives only its header, and
// `sample_extra` bytes after it.
Blocks BlocksOf(const char (&id)[5], const Bytes& file, std::size_t sample_extra = 0) {
  const bool big = id[0] == 'a';
  Blocks out{Block(id, testing::Slice(file, 0, 12))};
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::uint32_t size = big ? testing::Be32At(file, at + 4) : testing::Le32At(file, at + 4);
    const std::string chunk = testing::IdAt(file, at);
    const std::size_t whole = 8 + ((size + 1) & ~1u);
    if (chunk == "data" || chunk == "SSND")
      out.push_back(Block(id, testing::Slice(file, at, 8 + sample_extra)));
    else
      out.push_back(Block(id, testing::Slice(file, at, whole)));
    at += whole;
  }
  return out;
}

using Entries = std::vector<testing::MarkerEntry>;

TEST(FlacSkeleton, RiffBlocksGiveMarkersAndTags) {
  // A WAV file with samples, cue points, an oversized INFO list that must be
  // skipped, and the real INFO list, whose blocks come split in two.
  const Bytes cue = ChunkBytes().U32(2).U32(0).U32(40).Id("data").U32(0).U32(0).U32(40)
                        .U32(1).U32(10).Id("data").U32(0).U32(0).U32(10).bytes();
  ChunkBytes adtl;
  adtl.Chunk("labl", ChunkBytes().U32(0).Text("forty", true).bytes()).Chunk("labl", ChunkBytes().U32(1).Text("ten", true).bytes());
  ChunkBytes big_info;
  big_info.Chunk("INAM", ChunkBytes().Text("wrong", true).Zeros(kMaxSkeletonChunkBody).bytes());
  ChunkBytes info;
  info.Chunk("INAM", ChunkBytes().Text("Right", true).bytes()).Chunk("IART", ChunkBytes().Text("Odd", true).bytes());
  ChunkBytes body;
  body.Chunk("fmt ", 16, 1).Chunk("data", 1000, 9).Chunk("cue ", cue).List("adtl", adtl).List("INFO", big_info)
      .Chunk("odd ", 3, 5).List("INFO", info);
  const Bytes file = testing::RiffWave(body);
  Blocks blocks = BlocksOf("riff", file);
  ASSERT_EQ(blocks.size(), 8u);
  // Split the last chunk over two blocks, and add blocks to be ignored.
  const Bytes last = blocks.back();
  blocks.back() = Bytes(last.begin(), last.begin() + 14);
  blocks.push_back(Block("riff", Bytes(last.begin() + 14, last.end())));
  blocks.insert(blocks.begin() + 2, Block("aiff", Bytes(20, 'x')));
  blocks.insert(blocks.begin() + 2, Bytes{'r', 'i', 'f', 'f', 'J', 'U', 'N', 'K', 0, 0});  // under 12 bytes

  FlacMetadataSkeleton skeleton;
  ASSERT_EQ(skeleton.AddApplicationBlock(Block("riff", Bytes(20, 'x'))), 0u);  // before the header: ignored
  EXPECT_FALSE(skeleton.has_container());
  for (const Bytes& b : blocks) ASSERT_EQ(skeleton.AddApplicationBlock(b), 0u);
  MarkerList markers;
  TagSet tags;
  // The RIFF size claims the samples too: it is set to what the skeleton holds.
  ASSERT_EQ(skeleton.ReadMetadata(30, &markers, &tags), 0u);
  EXPECT_EQ(testing::MarkerEntries(markers), (Entries{{10, "ten", ""}, {30, "forty", ""}}));
  EXPECT_EQ(tags, testing::MakeTags({{InfoText::Name, "Right"}, {InfoText::Artist, "Odd"}}));
}

TEST(FlacSkeleton, FormBlocksGiveMarkersAndTexts) {
  ChunkBytes mark(true);
  mark.U16(2).U16(1).U32(10).Raw(Bytes{1, 'A'}).U16(2).U32(5).Raw(Bytes{2, 'B', 'c', 0});
  ChunkBytes body(true);
  body.Chunk("COMM", 18, 0).Chunk("SSND", 8 + 64, 0).Chunk("MARK", mark.bytes())
      .Chunk("NAME", ChunkBytes().Text("Nom").bytes());
  const Bytes file = testing::FormFile("AIFF", body);
  FlacMetadataSkeleton skeleton;
  // SSND comes with its offset and block size, which the skeleton drops; a
  // chunk that never comes in full is dropped too.
  for (const Bytes& b : BlocksOf("aiff", file, 8)) ASSERT_EQ(skeleton.AddApplicationBlock(b), 0u);
  ASSERT_EQ(skeleton.AddApplicationBlock(Block("aiff", ChunkBytes(true).Header("ANNO", 100).Text("part").bytes())),
            0u);
  MarkerList markers;
  TagSet tags;
  ASSERT_EQ(skeleton.ReadMetadata(1000, &markers, &tags), 0u);
  EXPECT_EQ(testing::MarkerEntries(markers), (Entries{{5, "Bc", ""}, {10, "A", ""}}));
  EXPECT_EQ(tags, testing::MakeTags({{InfoText::Name, "Nom"}}));

  // A container size below 4 is malformed.
  FlacMetadataSkeleton broken;
  ASSERT_EQ(broken.AddApplicationBlock(Block("riff", ChunkBytes().Id("RIFF").U32(2).Id("WAVE").bytes())), 0u);
  EXPECT_EQ(broken.ReadMetadata(10, &markers, &tags), err::kMalformed);
}

TEST(FlacSkeleton, WritingTheExportSkeletonAndReadingItBack) {
  const MarkerList markers = testing::MakeMarkerList(
      {{5, "before", ""}, {100, "start", ""}, {150, "mid", ""}, {200, "end", ""}, {201, "after", ""}});
  const TagSet tags = testing::MakeTags({{InfoText::Name, "Exported"}});
  const SkeletonExport range{PcmFormat{PcmFileKind::Wave, 48000, 2, sample_code::kS24}, 100, 200};
  Bytes bytes;
  ASSERT_EQ(BuildWavSkeleton(range, markers, tags, &bytes), 0u);
  ASSERT_GT(bytes.size(), 44u);
  EXPECT_EQ(testing::IdAt(bytes, 36), "data");
  EXPECT_EQ(testing::Le32At(bytes, 40), 0u);
  EXPECT_EQ(testing::Le32At(bytes, 4), bytes.size() - 8);
  EXPECT_EQ(testing::Le32At(bytes, 16), 16u);  // the canonical format block, not the extensible one
  EXPECT_EQ(testing::Le32At(bytes, 24), 48000u);

  // Through the FLAC blocks and back.
  FlacMetadataSkeleton skeleton;
  for (const Bytes& b : BlocksOf("riff", bytes)) ASSERT_EQ(skeleton.AddApplicationBlock(b), 0u);
  MarkerList back;
  TagSet back_tags;
  ASSERT_EQ(skeleton.ReadMetadata(100, &back, &back_tags), 0u);
  EXPECT_EQ(testing::MarkerEntries(back), (Entries{{0, "start", ""}, {50, "mid", ""}, {100, "end", ""}}));
  EXPECT_EQ(back_tags, tags);

  // Without tags there is no INFO list; without markers inside, no cue chunk.
  ASSERT_EQ(BuildWavSkeleton(SkeletonExport{range.format, 300, 400}, markers, TagSet{}, &bytes), 0u);
  EXPECT_EQ(bytes.size(), 44u);
  EXPECT_EQ(testing::Le32At(bytes, 4), 36u);
  EXPECT_EQ(BuildWavSkeleton(SkeletonExport{PcmFormat{PcmFileKind::Wave, 48000, 2, sample_code::kFloat}, 0, 1},
                             markers, tags, &bytes),
            err::kUnsupportedFormat);
}

}  // namespace
}  // namespace tidemark
