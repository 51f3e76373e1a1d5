#include "formats/wav/wav_cues.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/markers/marker_list.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/chunks/internal/chunk_table.h"
#include "formats/chunks/container.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/file_markers.h"
#include "formats/pcm_probe.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/narrow_codeset.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::Body;
using testing::FormatBody;
using testing::ReadWholeFile;
using testing::RiffBuilder;
using testing::WriteWholeFile;

using testing::MarkerEntries;
using Expected = testing::MarkerEntry;

MarkerList MakeList(const std::vector<Expected>& markers) { return testing::MakeMarkerList(markers); }

Error ReadBytes(const std::vector<std::uint8_t>& bytes, MarkerList* list) {
  MemoryInput input(bytes);
  return ReadCueList(input, bytes.size(), list);
}

std::vector<std::uint8_t> Pcm16(std::size_t frames) {
  return RiffBuilder().Chunk("fmt ", FormatBody(1, 1, 8000, 2, 16)).Chunk("data", testing::RandomBytes(frames * 2, 9))
      .Bytes();
}

// A cue point; the reader does not look at the position field, which the
// writer sets to the offset.
Body CuePoint(std::uint32_t id, std::uint32_t offset, bool written = false) {
  Body b;
  b.U32(id).U32(written ? offset : 0xDEAD).Text("data").U32(0).U32(0).U32(offset);
  return b;
}

Body TextChunkBody(std::uint32_t id, const std::string& text) { return Body().U32(id).Text(text, true); }

TEST(WavCues, WrittenLayout) {
  const std::string dir = testing::MakeTempDir("wav_cues");
  const std::string path = dir + "/three.wav";
  const std::vector<std::uint8_t> original = Pcm16(100);
  WriteWholeFile(path, original);
  ASSERT_EQ(WriteCueList(path, MakeList({{30, "ab", ""}, {10, "abc", "note text"}, {99, "", ""}})), 0u);

  const std::vector<std::uint8_t> b = ReadWholeFile(path);
  ASSERT_GT(b.size(), original.size());
  EXPECT_TRUE(std::equal(original.begin() + 8, original.end(), b.begin() + 8)) << "bytes before the append point";
  EXPECT_EQ(LoadLe32(&b[4]), b.size() - 8);
  // Cue points numbered from 0 in list order; the 4-byte label and the
  // empty one have odd sizes and pad bytes.
  Body cue = Body().U32(3);
  for (const std::uint32_t i : {0u, 1u, 2u}) cue.Raw(CuePoint(i, i == 0 ? 30 : i == 1 ? 10 : 99, true));
  Body adtl;
  adtl.Chunk("labl", TextChunkBody(0, "ab")).Chunk("labl", TextChunkBody(1, "abc"));
  adtl.Chunk("note", TextChunkBody(1, "note text")).Chunk("labl", TextChunkBody(2, ""));
  EXPECT_EQ(testing::Slice(b, original.size(), b.size() - original.size()), Body().Chunk("cue ", cue).List("adtl", adtl).bytes());

  // Read back: the cue list in reverse order of the cue points; the
  // document's form is in position order.
  MarkerList list;
  ASSERT_EQ(ReadBytes(ReadWholeFile(path), &list), 0u);
  EXPECT_EQ(MarkerEntries(list), (std::vector<Expected>{{99, "", ""}, {10, "abc", "note text"}, {30, "ab", ""}}));
  ASSERT_EQ(ReadFileMarkers(path, PcmFileKind::Wave, 50, &list), 0u);
  EXPECT_EQ(MarkerEntries(list), (std::vector<Expected>{{10, "abc", "note text"}, {30, "ab", ""}, {50, "", ""}}));
}

TEST(WavCues, ReadingRules) {
  const Body cue = Body().U32(3).Raw(CuePoint(7, 70).bytes().data(), 24).Raw(CuePoint(8, 80).bytes().data(), 24)
                       .Raw(CuePoint(9, 90).bytes().data(), 24);
  auto with = [&](const Body& cue_body, const std::vector<std::pair<std::string, Body>>& subs) {
    Body adtl = Body().Text("adtl");
    for (const auto& [id, body] : subs) {
      adtl.Text(id).U32(static_cast<std::uint32_t>(body.bytes().size())).Raw(body.bytes().data(), body.bytes().size());
      if (body.bytes().size() & 1) adtl.Zeros(1);
    }
    return RiffBuilder().Chunk("fmt ", FormatBody(1, 1, 8000, 2, 16)).Chunk("data", std::vector<std::uint8_t>(20))
        .Chunk("cue ", cue_body).Chunk("LIST", adtl).Bytes();
  };
  MarkerList list;

  // Notes without a label are dropped, empty labels kept; unknown ids, later
  // duplicates and other sub-chunks are skipped; a text ends at its first zero.
  ASSERT_EQ(ReadBytes(with(cue, {{"note", TextChunkBody(7, "lonely note")},
                                 {"labl", TextChunkBody(8, "")},
                                 {"labl", TextChunkBody(9, std::string("cut\0here", 8))},
                                 {"labl", TextChunkBody(9, "second")},
                                 {"note", TextChunkBody(9, "first note")},
                                 {"note", TextChunkBody(9, "second note")},
                                 {"labl", TextChunkBody(42, "nobody")},
                                 {"ltxt", TextChunkBody(7, "not a label")},
                                 {"labl", Body().U16(7)}}),
                      &list),
            0u);
  EXPECT_EQ(MarkerEntries(list), (std::vector<Expected>{{90, "cut", "first note"}, {80, "", ""}}));

  // The count is clamped to the points the chunk holds; 0 gives nothing.
  Body clamped = Body().U32(1000).Raw(CuePoint(7, 70).bytes().data(), 24).Zeros(23);
  ASSERT_EQ(ReadBytes(with(clamped, {{"labl", TextChunkBody(7, "a")}, {"labl", TextChunkBody(8, "b")}}), &list), 0u);
  EXPECT_EQ(MarkerEntries(list), (std::vector<Expected>{{70, "a", ""}}));
  ASSERT_EQ(ReadBytes(with(Body().U32(0).Raw(CuePoint(7, 70).bytes().data(), 24), {{"labl", TextChunkBody(7, "a")}}),
                      &list), 0u);
  EXPECT_TRUE(list.empty());
  // No cue chunk, or one of 4 bytes: empty and no error.
  ASSERT_EQ(ReadBytes(Pcm16(4), &list), 0u);
  EXPECT_TRUE(list.empty());
  ASSERT_EQ(ReadBytes(with(Body().U32(1), {{"labl", TextChunkBody(7, "a")}}), &list), 0u);
  EXPECT_TRUE(list.empty());
  // Repeated identifiers: the first such point gets the texts.
  Body repeated = Body().U32(2).Raw(CuePoint(5, 50).bytes().data(), 24).Raw(CuePoint(5, 55).bytes().data(), 24);
  ASSERT_EQ(ReadBytes(with(repeated, {{"labl", TextChunkBody(5, "x")}, {"labl", TextChunkBody(5, "y")}}), &list), 0u);
  EXPECT_EQ(MarkerEntries(list), (std::vector<Expected>{{50, "x", ""}}));

  // A label chunk claiming more than its list is a damaged file.
  std::vector<std::uint8_t> bad = with(cue, {{"labl", TextChunkBody(7, "abc")}});
  const std::size_t labl = bad.size() - 8 - 8;  // header of the one label chunk
  ASSERT_EQ(std::string(&bad[labl], &bad[labl] + 4), "labl");
  StoreLe32(&bad[labl + 4], 0x1000);
  list = MakeList({{1, "stale", ""}});
  EXPECT_EQ(ReadBytes(bad, &list), err::kMalformed);
  EXPECT_TRUE(list.empty());
}

// Labels and notes of odd size packed without pad bytes are read as other
// readers read them.
TEST(WavCues, LabelsWithoutPadBytes) {
  Body adtl = Body().Text("adtl");
  for (const auto& [id, body] : {std::pair{"labl", TextChunkBody(7, "one!")}, std::pair{"note", TextChunkBody(7, "no")},
                                 std::pair{"labl", TextChunkBody(8, "second")}})
    adtl.Text(id).U32(static_cast<std::uint32_t>(body.size())).Raw(body.bytes());
  const Body cue = Body().U32(2).Raw(CuePoint(7, 70).bytes()).Raw(CuePoint(8, 80).bytes());
  const std::vector<std::uint8_t> file = RiffBuilder().Chunk("fmt ", FormatBody(1, 1, 8000, 2, 16))
                                             .Chunk("data", std::vector<std::uint8_t>(200)).Chunk("cue ", cue)
                                             .Chunk("LIST", adtl).Bytes();
  MarkerList list;
  ASSERT_EQ(ReadBytes(file, &list), 0u);
  EXPECT_EQ(MarkerEntries(list), (std::vector<Expected>{{80, "second", ""}, {70, "one!", "no"}}));
}

TEST(WavCues, TextsUseTheNarrowCodePage) {
  SetNarrowCodesetForTesting("CP1252");
  const std::string dir = testing::MakeTempDir("wav_cp");
  const std::string path = dir + "/cp.wav";
  WriteWholeFile(path, Pcm16(10));
  ASSERT_EQ(WriteCueList(path, MakeList({{1, "caf\xC3\xA9", "\xE2\x82\xAC 5"}, {2, "\xE6\x97\xA5", ""}})), 0u);
  const std::vector<std::uint8_t> b = ReadWholeFile(path);
  const std::string bytes(b.begin(), b.end());
  EXPECT_NE(bytes.find(std::string("caf\xE9\0", 5)), std::string::npos);
  EXPECT_NE(bytes.find(std::string("\x80 5\0", 4)), std::string::npos);
  EXPECT_NE(bytes.find(std::string("?\0", 2)), std::string::npos);  // not in CP1252
  MarkerList list;
  ASSERT_EQ(ReadFileMarkers(path, PcmFileKind::Wave, 10, &list), 0u);
  EXPECT_EQ(MarkerEntries(list), (std::vector<Expected>{{1, "caf\xC3\xA9", "\xE2\x82\xAC 5"}, {2, "?", ""}}));
  SetNarrowCodesetForTesting("");
}

TEST(WavCues, InPlaceEditsKeepSamplesAndForeignChunks) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const std::string dir = testing::MakeTempDir("wav_edit");
  const std::string path = dir + "/real.wav";
  ASSERT_EQ(testing::Run("sox -n -r 44100 -c 2 -b 24 " + path + " synth 0.2 sine 440 noise"), 0);
  // A foreign chunk after the data, as other programs leave them.
  {
    PosixFile file;
    std::uint64_t length = 0;
    ASSERT_EQ(OpenForMetadataEdit(path, &file, &length), 0u);
    const std::vector<std::uint8_t> body = {'f', 'o', 'r', 'e', 'i', 'g', 'n', '!', 1};
    const ChunkToAppend chunk{FourCc("xtra"), body};
    ASSERT_EQ(AppendChunks(file, length, kRiffContainer, std::span<const ChunkToAppend>(&chunk, 1)), 0u);
  }
  const std::vector<std::uint8_t> original = ReadWholeFile(path);
  SoundFileInfo before;
  ASSERT_EQ(ProbePcmFile(path, &before), 0u);
  const auto data_bytes = [&](const std::vector<std::uint8_t>& b) {
    return std::vector<std::uint8_t>(b.begin() + before.data_offset,
                                     b.begin() + before.data_offset + std::size_t{before.frames} * 6);
  };

  ASSERT_EQ(WriteCueList(path, MakeList({{100, "one", "c1"}, {200, "two", ""}})), 0u);
  ASSERT_EQ(WriteCueList(path, MakeList({{300, "three", ""}})), 0u);
  std::vector<std::uint8_t> now = ReadWholeFile(path);
  EXPECT_TRUE(std::equal(original.begin() + 8, original.end(), now.begin() + 8));
  EXPECT_EQ(data_bytes(now), data_bytes(original));
  MarkerList list;
  ASSERT_EQ(ReadFileMarkers(path, PcmFileKind::Wave, kMaxFrames, &list), 0u);
  EXPECT_EQ(MarkerEntries(list), (std::vector<Expected>{{300, "three", ""}}));
  SoundFileInfo after;
  ASSERT_EQ(ProbePcmFile(path, &after), 0u);
  EXPECT_EQ(after.frames, before.frames);
  EXPECT_EQ(after.data_offset, before.data_offset);

  // An empty list removes the markers and writes nothing: the file is as it was.
  ASSERT_EQ(WriteCueList(path, MarkerList()), 0u);
  EXPECT_EQ(ReadWholeFile(path), original);
  ASSERT_EQ(WriteCueList(path, MakeList({{5, "again", ""}})), 0u);
  ASSERT_EQ(StripMetadata(path, PcmFileKind::Wave), 0u);
  EXPECT_EQ(ReadWholeFile(path), original);
}

TEST(WavCues, FailedWritesNeverTouchTheSamples) {
  const std::string dir = testing::MakeTempDir("wav_faults");
  const std::string path = dir + "/f.wav";
  const std::vector<std::uint8_t> base = Pcm16(64);
  WriteWholeFile(path, base);
  ASSERT_EQ(WriteCueList(path, MakeList({{1, "old", "old note"}})), 0u);
  const std::vector<std::uint8_t> with_old = ReadWholeFile(path);
  const MarkerList fresh = MakeList({{2, "new", ""}, {3, "newer", "n"}});

  const std::uint64_t runs = fault::ForEachFaultPoint(
      fault::kWrite | fault::kFtruncate | fault::kRead, EIO, [&](const fault::ScopedFault& fault) {
        WriteWholeFile(path, with_old);
        const Error rc = WriteCueList(path, fresh);
        if (!fault.fired()) {
          EXPECT_EQ(rc, 0u);
          return;
        }
        SCOPED_TRACE(fault.rule().nth);
        EXPECT_NE(rc, 0u);
        const std::vector<std::uint8_t> now = ReadWholeFile(path);
        ASSERT_GE(now.size(), base.size());
        EXPECT_TRUE(std::equal(base.begin() + 8, base.end(), now.begin() + 8)) << "header or samples changed";
        SoundFileInfo info;
        EXPECT_EQ(ProbePcmFile(path, &info), 0u) << "the file no longer opens";
      });
  EXPECT_GT(runs, 3u);
  MarkerList list;
  ASSERT_EQ(ReadFileMarkers(path, PcmFileKind::Wave, kMaxFrames, &list), 0u);
  EXPECT_EQ(list.size(), 2u);
}

TEST(WavCues, DamagedAndOutsizedFiles) {
  const std::string dir = testing::MakeTempDir("wav_cue_bad");
  MarkerList list;
  const MarkerList one = MakeList({{1, "x", ""}});
  EXPECT_EQ(ReadFileMarkers(dir + "/missing.wav", PcmFileKind::Wave, kMaxFrames, &list), err::kCannotOpen);
  EXPECT_EQ(WriteCueList(dir + "/missing.wav", one), err::kCannotOpen);
  const std::string empty = dir + "/empty.wav";
  WriteWholeFile(empty, {});
  EXPECT_EQ(ReadFileMarkers(empty, PcmFileKind::Wave, kMaxFrames, &list), err::kLayoutMismatch);
  EXPECT_EQ(WriteCueList(empty, one), err::kLayoutMismatch);
  EXPECT_TRUE(ReadWholeFile(empty).empty());
  // A RIFF claiming more than the file.
  std::vector<std::uint8_t> b = Pcm16(8);
  StoreLe32(&b[4], 0xFFFFFFFFu);
  const std::string lying = dir + "/lying.wav";
  WriteWholeFile(lying, b);
  EXPECT_EQ(ReadFileMarkers(lying, PcmFileKind::Wave, kMaxFrames, &list), err::kLayoutMismatch);
  EXPECT_EQ(WriteCueList(lying, one), err::kLayoutMismatch);
  EXPECT_EQ(ReadWholeFile(lying), b);
  // 4 GiB: refused before anything is read or written.
  const std::string big = dir + "/big.wav";
  WriteWholeFile(big, Pcm16(8));
  ASSERT_EQ(::truncate(big.c_str(), 0x100000000ll), 0);
  EXPECT_EQ(ReadFileMarkers(big, PcmFileKind::Wave, kMaxFrames, &list), err::kLayoutMismatch);
  EXPECT_EQ(WriteCueList(big, one), err::kLayoutMismatch);
  ::unlink(big.c_str());
}

}  // namespace
}  // namespace tidemark
