// The worst inputs of about 1 MiB for each 1-bit reader: what they give,
// and that the work grows no faster than the input (chunk tables grow
// O(log n) times, each chunk header is read once, a tag is read once).
// Wall time is not measured here; bench/one_bit_open_bench.cpp times these
// files.
#include <bit>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/segment.h"
#include "formats/one_bit/internal/dsdiff_reader.h"
#include "formats/one_bit/internal/dsf_reader.h"
#include "formats/one_bit/internal/iff8_chunks.h"
#include "formats/one_bit/internal/wsd_reader.h"
#include "formats/one_bit/one_bit_document.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/one_bit/one_bit_test_util.h"
#include "tests/formats/tags/id3_test_util.h"

namespace tidemark::NS_1BIT {
namespace {

using namespace tidemark::testing;

// Most growths a table of `chunks` entries may take: logarithmic. Growing by
// a fixed step of 32 would take chunks / 32.
std::uint64_t LogarithmicGrowths(std::size_t chunks) { return std::bit_width(chunks / 32) + 1u; }

Iff8Bytes EmptyChunks(std::size_t n) {
  Iff8Bytes b;
  for (std::size_t i = 0; i < n; ++i) b.Header("JUNK", 0);
  return b;
}

// Counts what `run` costs: chunk-table growths and file reads.
struct Cost {
  std::uint64_t growths = 0;
  std::uint64_t reads = 0;
};
Cost CostOf(const std::function<void()>& run) {
  // A rule that never fires counts every read.
  const fault::ScopedFault reads(fault::FaultRule::FailNth(fault::kRead, UINT64_MAX, EIO));
  const std::uint64_t before = Iff8TableGrowths();
  run();
  return {Iff8TableGrowths() - before, reads.seen()};
}

TEST(OneBitHostile, Iff8TableGrowsGeometricallyUpToItsLimit) {
  for (const std::size_t n : {std::size_t{0}, std::size_t{31}, std::size_t{32}, std::size_t{1000},
                              std::size_t{100000}, kIff8MaxChunks, kIff8MaxChunks + 1}) {
    SCOPED_TRACE(n);
    const Bytes bytes = EmptyChunks(n).bytes();
    MemoryInput input(bytes);
    CDsdIff reader;
    Iff8Table table;
    Error rc;
    const Cost cost = CostOf([&] { rc = reader.ReadChunkList(input, 0, bytes.size(), &table); });
    if (n > kIff8MaxChunks) {
      EXPECT_EQ(rc, err::kMalformed);
      EXPECT_TRUE(table.entries().empty());
    } else {
      ASSERT_EQ(rc, err::kOk);
      ASSERT_EQ(table.entries().size(), n);
      if (n != 0) {
        EXPECT_EQ(table.entries().back().offset, 12 * (n - 1));
      }
    }
    EXPECT_LE(cost.growths, LogarithmicGrowths(std::min(n, kIff8MaxChunks)));
  }
}

// Tens of thousands of chunks where a DSDIFF reader lists them: at the top,
// in the property chunk, and in "DIIN", which markers and tags both need
// (listed once however often they are read).
TEST(OneBitHostile, DsdiffChunkFloods) {
  constexpr std::size_t kChunks = 100000;  // 1.2 MB
  const struct {
    const char* what;
    Bytes bytes;
    std::size_t table;  // entries of the largest table
    std::string title;
  } cases[] = {
      {"top level", DsdiffOf(kDsd64, 2, 64, EmptyChunks(kChunks)), kChunks + 3, ""},
      {"property chunk",
       DsdiffFile(Iff8Bytes()
                      .Raw(Fver().bytes())
                      .Container("PROP", "SND ",
                                 EmptyChunks(kChunks)
                                     .Chunk("FS  ", Iff8Bytes().U32(kDsd64))
                                     .Chunk("CHNL", Iff8Bytes().U16(2).Text("SLFTSRGT"))
                                     .Chunk("CMPR", Iff8Bytes().Id("DSD ").U8(0)))
                      .Raw(DsdData(64).bytes())),
       kChunks + 3, ""},
      {"DIIN", DsdiffOf(kDsd64, 2, 64, Iff8Bytes().Chunk("DIIN", EmptyChunks(kChunks).Raw(CountedText("DITI", "t").bytes()))),
       kChunks + 1, "t"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = WriteTempFile("flood.dff", c.bytes);
    CDsdIff reader;
    TagSet tags;
    MarkerList markers;
    const Cost cost = CostOf([&] {
      ASSERT_EQ(reader.Open(path), err::kOk);
      for (const std::uint32_t rate : {44100u, 88200u, 48000u}) ASSERT_EQ(reader.ReadMarkers(markers, rate), err::kOk);
      ASSERT_EQ(reader.ReadTags(tags), err::kOk);
    });
    EXPECT_EQ(reader.DataSize(), 64u);
    EXPECT_TRUE(markers.empty());
    EXPECT_EQ(TagText(tags, InfoText::Name), c.title);
    EXPECT_LE(cost.growths, LogarithmicGrowths(c.table));
    // Each chunk header once, and a few reads more.
    EXPECT_LE(cost.reads, c.table + 32);
  }
}

// "DIIN" packed with 30,000 marks in reverse order, and "COMT" with the
// most comments its count allows, the one that is read last.
TEST(OneBitHostile, DsdiffMarkAndCommentFloods) {
  constexpr std::uint32_t kMarks = 30000;  // 1 MB
  Iff8Bytes marks;
  for (std::uint32_t i = 0; i < kMarks; ++i) marks.Raw(Mark({0, 0, 0, 32 * (kMarks - i), 0, 4, 0, ""}).bytes());
  std::vector<Comment> comments(65534, Comment{1, 0, ""});
  comments.push_back({0, 0, "found"});
  const std::string path = WriteTempFile("marks.dff", DsdiffOf(kDsd64, 2, 64, Iff8Bytes().Chunk("DIIN", marks).Raw(Comt(comments).bytes())));
  CDsdIff reader;
  MarkerList markers;
  TagSet tags;
  const Cost cost = CostOf([&] {
    ASSERT_EQ(reader.Open(path), err::kOk);
    ASSERT_EQ(reader.ReadMarkers(markers, 88200), err::kOk);
    ASSERT_EQ(reader.ReadTags(tags), err::kOk);
  });
  ASSERT_EQ(markers.size(), kMarks);
  EXPECT_EQ(markers.first()->position, kMarks);  // file order; the document sorts them
  EXPECT_EQ(markers.last()->position, 1u);
  EXPECT_EQ(TagText(tags, InfoText::Comments), "found");
  EXPECT_LE(cost.growths, LogarithmicGrowths(kMarks));
  // A mark's header and its (empty) text, a comment's header: once each.
  EXPECT_LE(cost.reads, 2 * kMarks + comments.size() + 32);
}

// A DSF tag of 1 MB that is one lyrics frame of 200,000 entries in reverse
// order: the tag is read once for tags and markers together, and the
// document gets them sorted, clamped to its 1024 frames and without repeats.
// A tag that claims 256 MiB in a small file is not read at all.
TEST(OneBitHostile, DsfTagFloods) {
  constexpr std::uint32_t kEntries = 200000;
  std::vector<std::pair<std::string, std::uint32_t>> entries;
  for (std::uint32_t i = 0; i < kEntries; ++i) entries.emplace_back("", 10 * (kEntries - i));
  const Bytes sylt = SyltBody(entries);
  const std::string path =
      WriteTempFile("lyrics.dsf", DsfFile(kDsd64, 2, 1, 4096, Tag(3, 0, Frame(3, "SYLT", sylt))));
  CDsf reader;
  MarkerList markers;
  TagSet tags;
  Cost cost = CostOf([&] {
    ASSERT_EQ(reader.Open(path), err::kOk);
    ASSERT_EQ(reader.ReadTags(tags), err::kOk);
    ASSERT_EQ(reader.ReadMarkers(markers, 88200), err::kOk);
    ASSERT_EQ(reader.ReadMarkers(markers, 44100), err::kOk);
  });
  EXPECT_EQ(markers.size(), 2 * kEntries);
  EXPECT_LE(cost.reads, 3u);  // header, tag header, tag

  SegmentList segments;
  SoundFileInfo info;
  ASSERT_EQ(OpenOneBitFile(path, true, false, &segments, &info), err::kOk);
  ASSERT_EQ(info.frames, 1024u);
  EXPECT_EQ(MarkerEntries(info.markers), (std::vector<MarkerEntry>{{882, "", ""}, {1024, "", ""}}));

  const std::string oversized =
      WriteTempFile("oversized.dsf", DsfFile(kDsd64, 2, 1, 4096, Tag(3, 0, Frame(3, "SYLT", sylt), 0x0FFFFFFF)));
  CDsf other;
  markers.Clear();
  cost = CostOf([&] {
    ASSERT_EQ(other.Open(oversized), err::kOk);
    ASSERT_EQ(other.ReadMarkers(markers, 88200), err::kOk);
  });
  EXPECT_TRUE(markers.empty());
  EXPECT_LE(cost.reads, 2u);  // header, tag header
}

// A WSD file reads a fixed number of bytes whatever its size.
TEST(OneBitHostile, WsdReadsItsHeaderOnly) {
  const std::string path = WriteTempFile("big.wsd", WsdFile(kDsd64, 2, (1u << 20) - 2048, {{0, "Title"}}));
  CWsd reader;
  TagSet tags;
  const Cost cost = CostOf([&] {
    ASSERT_EQ(reader.Open(path), err::kOk);
    ASSERT_EQ(reader.ReadTags(tags), err::kOk);
  });
  EXPECT_EQ(reader.DataSize(), (1u << 20) - 2048);
  EXPECT_EQ(TagText(tags, InfoText::Name), "Title");
  EXPECT_LE(cost.reads, 2u);
}

}  // namespace
}  // namespace tidemark::NS_1BIT
