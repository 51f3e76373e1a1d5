// The 1-bit file readers on hand-made DSDIFF, DSF and WSD files: header
// checks and their codes, markers, tags, the limits check and hostile inputs.
#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/segment.h"
#include "formats/one_bit/internal/dsdiff_reader.h"
#include "formats/one_bit/internal/dsf_reader.h"
#include "formats/one_bit/internal/iff8_chunks.h"
#include "formats/one_bit/internal/wsd_reader.h"
#include "formats/one_bit/one_bit_document.h"
#include "formats/tags/internal/app_private.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/one_bit/one_bit_test_util.h"
#include "tests/formats/peer_test_util.h"
#include "tests/formats/tags/tag_test_util.h"
#include "tests/support/scoped_codeset.h"

namespace tidemark::NS_1BIT {
namespace {

using namespace tidemark::testing;

Error OpenBytes(COneBitAudio& reader, const Bytes& bytes, const std::string& name = "t.bin") {
  return reader.Open(WriteTempFile(name, bytes));
}

// What an open reader reports: rate, channels, data offset and size, layout.
auto Shape(const COneBitAudio& r) {
  return std::tuple{r.SampleRate(), r.Channels(), r.DataOffset(), r.DataSize(), r.layout()};
}
using ShapeOf = std::tuple<std::uint32_t, std::uint16_t, std::uint64_t, std::uint64_t, OneBitLayout>;

// A refused open leaves the reader closed.
void ExpectRefused(COneBitAudio& reader, const Bytes& bytes, Error rc, const char* what) {
  EXPECT_EQ(OpenBytes(reader, bytes), rc) << what;
  EXPECT_EQ(reader.CheckLimits(0, ~0u, 0, 0xFFFF), err::kSizeLimit) << what << ": left open";
}

TEST(OneBitReader, FactoryPicksTheReaderByExtension) {
  EXPECT_NE(dynamic_cast<CDsdIff*>(MakeOneBitReader(".DfF").get()), nullptr);
  EXPECT_NE(dynamic_cast<CDsf*>(MakeOneBitReader(".dsf").get()), nullptr);
  EXPECT_NE(dynamic_cast<CWsd*>(MakeOneBitReader(".WSD").get()), nullptr);
  EXPECT_EQ(MakeOneBitReader(".wav"), nullptr);
  EXPECT_EQ(MakeOneBitReader("dff"), nullptr);
}

TEST(OneBitReader, DsdiffOpensAndChecksLimits) {
  CDsdIff reader;
  EXPECT_EQ(reader.CheckLimits(1411200, 12288000, 1, 2), err::kSizeLimit);
  // An odd-sized chunk before the data: the next one starts after its pad byte.
  const Bytes bytes = DsdiffFile(Iff8Bytes()
                                     .Raw(Fver().bytes())
                                     .Chunk("ODD ", Bytes(3, 7))
                                     .Raw(Prop(kDsd64, 2).bytes())
                                     .Raw(DsdData(11).bytes()));
  const std::string path = WriteTempFile("a.dff", bytes);
  ASSERT_EQ(reader.Open(path), 0u);
  // One pad byte after the data, 11 bytes of it.
  EXPECT_EQ(Shape(reader), ShapeOf(kDsd64, 2, bytes.size() - 12, 11, OneBitLayout::kByteInterleaved));
  EXPECT_EQ(bytes[reader.DataOffset()], 0x69);
  EXPECT_EQ(reader.CheckLimits(1411200, 12288000, 1, 2), 0u);
  EXPECT_EQ(reader.CheckLimits(1411200, 12288000, 1, 1), err::kUnsupportedFormat);
  EXPECT_EQ(reader.Open(path), err::kSizeLimit);  // already open, and stays so
  EXPECT_EQ(reader.SampleRate(), kDsd64);
  reader.Close();
  EXPECT_EQ(reader.CheckLimits(1411200, 12288000, 1, 2), err::kSizeLimit);
  ASSERT_EQ(OpenBytes(reader, DsdiffOf(1000000)), 0u);
  EXPECT_EQ(reader.CheckLimits(1411200, 12288000, 1, 2), err::kUnsupportedFormat);
}

TEST(OneBitReader, DsdiffRefusals) {
  const Bytes fver = Fver().bytes(), prop = Prop(kDsd64, 2).bytes(), data = DsdData(4).bytes();
  auto file = [](std::initializer_list<Bytes> parts) {
    Iff8Bytes body;
    for (const Bytes& p : parts) body.Raw(p);
    return DsdiffFile(body);
  };
  Bytes overlong = file({fver, prop, data});
  StoreBe32(overlong.data() + 8, static_cast<std::uint32_t>(overlong.size() - 11));  // size + 12 past the file
  Bytes chunk_past = file({fver, prop, data});
  StoreBe32(chunk_past.data() + chunk_past.size() - 4 - 4, 5);  // data chunk claims 5 of 4 bytes
  const struct {
    const char* what;
    Bytes bytes;
    Error rc;
  } cases[] = {
      {"no FVER", file({prop, data}), err::kMalformed},
      {"FVER 2.0", file({Fver(0x02000000).bytes(), prop, data}), err::kMalformed},
      {"short FVER", file({Iff8Bytes().Chunk("FVER", Bytes{1, 5}).bytes(), prop, data}), err::kMalformed},
      {"no PROP", file({fver, data}), err::kMalformed},
      {"PROP of another type",
       file({fver, Iff8Bytes().Container("PROP", "XYZ ", Iff8Bytes().Raw(prop)).bytes(), data}), err::kMalformed},
      {"PROP body below 4", file({fver, Iff8Bytes().Chunk("PROP", Bytes{'S', 'N'}).bytes(), data}), err::kMalformed},
      {"no FS", file({fver, Prop(kDsd64, 2, "DSD ", "FS  ").bytes(), data}), err::kMalformed},
      {"no CHNL", file({fver, Prop(kDsd64, 2, "DSD ", "CHNL").bytes(), data}), err::kMalformed},
      {"no CMPR", file({fver, Prop(kDsd64, 2, "DSD ", "CMPR").bytes(), data}), err::kMalformed},
      {"DST", file({fver, Prop(kDsd64, 2, "DST ").bytes(), data}), err::kUnsupportedFormat},
      {"no data chunk", file({fver, prop}), err::kUnsupportedFormat},
      {"zero channels", file({fver, Prop(kDsd64, 0).bytes(), data}), err::kMalformed},
      {"rate 0", file({fver, Prop(0, 2).bytes(), data}), err::kMalformed},
      {"container past the file", overlong, err::kMalformed},
      {"chunk past its container", chunk_past, err::kMalformed},
      {"not FRM8", Bytes(64, 'x'), err::kMalformed},
      {"empty", Bytes{}, err::kMalformed},
  };
  for (const auto& c : cases) {
    CDsdIff reader;
    ExpectRefused(reader, c.bytes, c.rc, c.what);
    EXPECT_EQ(OpenBytes(reader, DsdiffOf()), 0u) << c.what << ": cannot open again";
  }
  CDsdIff reader;
  EXPECT_EQ(reader.Open(TempFilePath("missing.dff")), err::kCannotOpen);
}

// CIff8 itself treats only "LIST" as a container; the DSDIFF reader "PROP" too.
class PlainIff8 : public CIff8 {};

TEST(OneBitReader, Iff8ContainerRulesAndOddStarts) {
  const Bytes bytes = Iff8Bytes()
                          .Container("FRM8", "TEST", Iff8Bytes().Chunk("PROP", Bytes{1, 2}).Chunk("ABCD", Bytes{}))
                          .bytes();
  MemoryInput input(bytes);
  PlainIff8 plain;
  Iff8Table table;
  ASSERT_EQ(plain.ReadContainer(input, 0, bytes.size(), FourCc("FRM8"), FourCc("TEST"), &table), 0u);
  ASSERT_EQ(table.entries().size(), 2u);
  EXPECT_EQ(table.entries()[0].size, 2u);
  EXPECT_EQ(table.entries()[1].offset, 16u + 14u);
  CDsdIff dsdiff;
  EXPECT_EQ(dsdiff.ReadContainer(input, 0, bytes.size(), FourCc("FRM8"), FourCc("TEST"), &table), err::kMalformed);
  EXPECT_TRUE(table.entries().empty());
  EXPECT_EQ(plain.ReadContainer(input, 1, bytes.size() - 1, FourCc("FRM8"), FourCc("TEST"), &table), err::kSizeLimit);
  EXPECT_EQ(plain.ReadChunkList(input, 17, bytes.size(), &table), err::kSizeLimit);
  EXPECT_EQ(plain.ReadContainer(input, 0, bytes.size(), FourCc("FRM8"), FourCc("DSD "), &table), err::kMalformed);
}

// A file whose "DSD " chunk header lies at `header`, behind a hole.
std::string SparseDsdiff(std::uint64_t header) {
  const Iff8Bytes head = Iff8Bytes().Raw(Fver().bytes()).Raw(Prop(kDsd64, 2).bytes());
  const std::uint64_t gap_at = 16 + head.size();
  const std::uint64_t length = header + 12 + 2;
  Iff8Bytes first;
  first.Header("FRM8", length - 12).Id("DSD ").Raw(head.bytes()).Header("HOLE", header - gap_at - 12);
  const std::string path = WriteSparseFile("big.dff", first.bytes(), length);
  const Bytes tail = Iff8Bytes().Chunk("DSD ", Bytes{0x69, 0x96}).bytes();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  EXPECT_EQ(::pwrite(fd, tail.data(), tail.size(), static_cast<off_t>(header)), static_cast<ssize_t>(tail.size()));
  ::close(fd);
  return path;
}

TEST(OneBitReader, DsdiffDataMustStartBelowFourGiB) {
  CDsdIff reader;
  ASSERT_EQ(reader.Open(SparseDsdiff(0xFFFFFFF2u)), 0u);
  EXPECT_EQ(reader.DataOffset(), 0xFFFFFFFEu);
  EXPECT_EQ(reader.DataSize(), 2u);
  reader.Close();
  EXPECT_EQ(reader.Open(SparseDsdiff(0xFFFFFFF4u)), err::kMalformed);
}

TEST(OneBitReader, DsdiffMarkers) {
  ScopedCodeset cp1252("CP1252");
  // 27:03:10 and 2761 frames at 44.1 kHz is frame 0xFFFF0001.
  Iff8Bytes diin;
  for (const MarkFields& m : std::initializer_list<MarkFields>{
           {0, 1, 2, 6400, -64, 0, 0, "Caf\xE9"}, {0, 0, 0, 100, 0, 1, 0, "stop"}, {0, 0, 0, 64, 0, 3, 0, "type 3"},
           {0, 0, 0, 64, 0, 0, 1, "channel 1"}, {0, 0, 0, 0, -640, 2, 0, "before the start"},
           {27, 3, 10, 2760 * 64, 0, 4, 0, "last"}, {27, 3, 10, 2761 * 64, 0, 4, 0, "too late"},
           {0, 0, 1, 0, 0, 4, 0, std::string(300, 'n')}, {0, 0, 2, 0, 0, 4, 0, "cut", 1000}})
    diin.Raw(Mark(m).bytes());
  diin.Chunk("MARK", Bytes(21, 0));  // too short to be a mark
  CDsdIff reader;
  MarkerList markers;
  EXPECT_EQ(reader.ReadMarkers(markers, 44100), err::kSizeLimit);
  ASSERT_EQ(OpenBytes(reader, DsdiffOf(kDsd64, 2, 10, Iff8Bytes().Chunk("DIIN", diin))), 0u);
  markers.PushFrontAdopt(NewMarker("already there", "", 5));
  ASSERT_EQ(reader.ReadMarkers(markers, 44100), 0u);
  EXPECT_EQ(MarkerEntries(markers), (std::vector<MarkerEntry>{{5, "already there", ""},
                                                              {99 + 62 * 44100, "Caf\xC3\xA9", "TrackStart marker"},
                                                              {1, "stop", "TrackStop marker"},
                                                              {0, "before the start", "ProgramStart marker"},
                                                              {0xFFFF0000u, "last", "Index marker"},
                                                              {44100, std::string(255, 'n'), "Index marker"},
                                                              {88200, "cut", "Index marker"}}));
  EXPECT_EQ(reader.ReadMarkers(markers, 0), err::kUnsupportedFormat);
  EXPECT_EQ(reader.ReadMarkers(markers, kDsd64 + 1), err::kUnsupportedFormat);
  EXPECT_EQ(markers.size(), 7u);
}

TEST(OneBitReader, DsdiffTags) {
  ScopedCodeset cp1252("CP1252");
  const Iff8Bytes extra =
      Iff8Bytes()
          .Raw(Comt({{1, 0, "a remark"}, {0, 0, "Na\xEFve"}, {0, 0, "second comment"}, {3, 2, "Maker 1.0"},
                     {0, 0, "past the end", 100}}, 9).bytes())
          .Chunk("DIIN", Iff8Bytes().Raw(CountedText("DITI", "The title").bytes())
                             .Raw(CountedText("DITI", "second title").bytes())
                             .Raw(CountedText("DIAR", "Artist", 7).bytes()));
  CDsdIff reader;
  TagSet tags;
  EXPECT_EQ(reader.ReadTags(tags), err::kSizeLimit);
  ASSERT_EQ(OpenBytes(reader, DsdiffOf(kDsd64, 2, 10, extra)), 0u);
  tags = MakeTags({{InfoText::Copyright, "kept"}, {InfoText::Artist, "kept too"}});
  ASSERT_EQ(reader.ReadTags(tags), 0u);
  EXPECT_EQ(TagText(tags, InfoText::Comments), "Na\xC3\xAFve");
  EXPECT_EQ(TagText(tags, InfoText::Software), "Maker 1.0");
  EXPECT_EQ(TagText(tags, InfoText::Name), "The title");
  EXPECT_EQ(TagText(tags, InfoText::Artist), "kept too");  // its length does not fit the chunk
  EXPECT_EQ(TagText(tags, InfoText::Copyright), "kept");

  // A comment chunk with a count of 0 gives nothing.
  CDsdIff uncounted;
  ASSERT_EQ(OpenBytes(uncounted, DsdiffOf(kDsd64, 2, 10, Comt({{0, 0, "abcdefgh"}}, 0))), 0u);
  TagSet none;
  ASSERT_EQ(uncounted.ReadTags(none), 0u);
  EXPECT_TRUE(IsTagSetEmpty(none));
}

TEST(OneBitReader, DsfHeader) {
  CDsf reader;
  ASSERT_EQ(OpenBytes(reader, DsfFile(kDsd64, 2, 1, 10000)), 0u);
  EXPECT_EQ(Shape(reader), ShapeOf(kDsd64, 2, 92, 20000, OneBitLayout::kDsfLsbFirst));
  EXPECT_EQ(reader.CheckLimits(1411200, 12288000, 1, 2), 0u);
  reader.Close();
  ASSERT_EQ(OpenBytes(reader, DsfFile(kDsd64 * 2, 1, 8, 5)), 0u);
  EXPECT_EQ(Shape(reader), ShapeOf(kDsd64 * 2, 1, 92, 5, OneBitLayout::kDsfMsbFirst));
  reader.Close();

  const Bytes good = DsfFile(kDsd64, 2, 1, 100);
  auto with = [&](std::size_t at, std::uint64_t v, bool wide = false) {
    Bytes b = good;
    wide ? PutLe64(b, at, v) : PutLe32(b, at, static_cast<std::uint32_t>(v));
    return b;
  };
  const struct {
    const char* what;
    Bytes bytes;
  } bad[] = {
      {"91 bytes", Bytes(good.begin(), good.begin() + 91)},
      {"id", with(0, FourCc("DSF "))},
      {"fmt id", with(28, FourCc("fmt_"))},
      {"version 2", with(40, 2)},
      {"format id 1", with(44, 1)},
      {"2 bits per sample", with(60, 2)},
      {"block size 2048", with(72, 2048)},
      {"data id", with(80, FourCc("DATA"))},
      {"total past the file", with(12, good.size() + 1, true)},
      {"data chunk past the total", with(84, good.size() - 79, true)},
      {"data chunk below the samples", with(84, 2 * 100 - 1, true)},
      {"samples past the declared size", with(64, (4096 + 3) * 8, true)},  // 6 bytes past; the chunk size covers them
      {"samples overflowing", with(64, ~std::uint64_t{0}, true)},
      {"zero channels", with(52, 0)},
      {"rate 0", with(56, 0)},
  };
  for (const auto& c : bad) ExpectRefused(reader, c.bytes, err::kMalformed, c.what);
}

TEST(OneBitReader, DsfTagsAndMarkersFromId3v2) {
  ScopedCodeset cp1252("CP1252");
  const Bytes id3 = Tag(3, 0, Cat({TextFrame(3, "TIT2", "Caf\xE9"), TextFrame(3, "TPE1", "Someone"),
                                   Frame(3, "SYLT", SyltBody({{"one", 1000}, {"two", 2000}}))}));
  CDsf reader;
  ASSERT_EQ(OpenBytes(reader, DsfFile(kDsd64, 2, 1, 100, id3)), 0u);
  TagSet tags;
  ASSERT_EQ(reader.ReadTags(tags), 0u);
  EXPECT_EQ(TagText(tags, InfoText::Name), "Caf\xC3\xA9");
  EXPECT_EQ(TagText(tags, InfoText::Artist), "Someone");
  EXPECT_EQ(AppPrivateValue(TagText(tags, InfoText::AppPrivate), "SYNLYR"), "1");
  MarkerList markers;
  ASSERT_EQ(reader.ReadMarkers(markers, 44100), 0u);
  ASSERT_EQ(reader.ReadMarkers(markers, 48000), 0u);  // the kept tag serves again
  EXPECT_EQ(MarkerEntries(markers),
            (std::vector<MarkerEntry>{{44100, "one", ""}, {88200, "two", ""}, {48000, "one", ""}, {96000, "two", ""}}));

  // A metadata offset at or past the total size, or a tag larger than the
  // file, gives no tag and no error.
  Bytes outside = DsfFile(kDsd64, 2, 1, 100, id3);
  PutLe64(outside, 20, outside.size());
  Bytes far = outside;
  PutLe64(far, 20, 0x7FFFFFFFFFFFFFFFull);
  Bytes oversized = DsfFile(kDsd64, 2, 1, 100, Tag(3, 0, TextFrame(3, "TIT2", "x"), 0x0FFFFFFF));
  for (const Bytes& b : {outside, far, oversized}) {
    CDsf other;
    ASSERT_EQ(OpenBytes(other, b), 0u);
    TagSet none;
    MarkerList no_markers;
    EXPECT_EQ(other.ReadTags(none), 0u);
    EXPECT_EQ(other.ReadMarkers(no_markers, 44100), 0u);
    EXPECT_TRUE(IsTagSetEmpty(none));
    EXPECT_TRUE(no_markers.empty());
  }
}

TEST(OneBitReader, WsdHeader) {
  CWsd reader;
  ASSERT_EQ(OpenBytes(reader, WsdFile(kDsd64, 2, 100)), 0u);
  EXPECT_EQ(Shape(reader), ShapeOf(kDsd64, 2, 2048, 100, OneBitLayout::kByteInterleaved));
  MarkerList markers;
  EXPECT_EQ(reader.ReadMarkers(markers, 44100), 0u);
  EXPECT_TRUE(markers.empty());
  reader.Close();
  EXPECT_EQ(reader.ReadMarkers(markers, 44100), err::kSizeLimit);

  const Bytes good = WsdFile(kDsd64, 1, 0);
  Bytes version_1f = good;
  version_1f[8] = 0x1F;
  EXPECT_EQ(OpenBytes(reader, version_1f), 0u);
  EXPECT_EQ(reader.DataSize(), 0u);
  reader.Close();
  auto with = [&](std::size_t at, std::uint32_t v, bool byte = false) {
    Bytes b = good;
    byte ? void(b[at] = static_cast<std::uint8_t>(v)) : PutBe32(b, at, v);
    return b;
  };
  const struct {
    const char* what;
    Bytes bytes;
  } bad[] = {
      {"2047 bytes", Bytes(good.begin(), good.end() - 1)},
      {"id", with(0, 0x74696231)},  // "tib1"
      {"version 2.0", with(8, 0x20, true)},
      {"version 0.1", with(8, 0x01, true)},
      {"file size past the file", with(12, 2049)},
      {"data offset past the file size", with(24, 2049)},
      {"rate 0", with(36, 0)},
      {"zero channels", with(44, 0, true)},
  };
  for (const auto& c : bad) ExpectRefused(reader, c.bytes, err::kMalformed, c.what);
}

TEST(OneBitReader, WsdTextFields) {
  ScopedCodeset cp1252("CP1252");
  CWsd reader;
  ASSERT_EQ(OpenBytes(reader, WsdFile(kDsd64, 2, 16,
                                      {{0, "   The title   "},
                                       {384, std::string("Caf\xE9\0\0 ", 7)},
                                       {512, "An \"album\""},
                                       {640, "                                "},
                                       {672, "2024"},
                                       {736, std::string(512, 'c')}})),
            0u);
  TagSet tags;
  ASSERT_EQ(reader.ReadTags(tags), 0u);
  EXPECT_EQ(TagText(tags, InfoText::Name), "The title");
  EXPECT_EQ(TagText(tags, InfoText::Artist), "Caf\xC3\xA9");
  EXPECT_FALSE(tags[InfoText::Genre].has_value());
  EXPECT_EQ(TagText(tags, InfoText::CreationDate), "2024");
  EXPECT_EQ(TagText(tags, InfoText::Comments), std::string(512, 'c'));
  EXPECT_EQ(AppPrivateValue(TagText(tags, InfoText::AppPrivate), "ALBUM"), "An \"album\"");
  reader.Close();

  Bytes text_outside = WsdFile(kDsd64, 2, 16);
  PutBe32(text_outside, 20, 2048 + 16 - 1919);  // the area's last byte is past the file
  ASSERT_EQ(OpenBytes(reader, text_outside), 0u);
  TagSet untouched = MakeTags({{InfoText::Name, "old"}});
  EXPECT_EQ(reader.ReadTags(untouched), err::kReadFailed);
  EXPECT_EQ(TagText(untouched, InfoText::Name), "old");
}

// Files built here are what another demuxer reads too: same 1-bit rate
// (ffprobe reports bytes per second of one channel), channels and titles.
TEST(OneBitReader, PeerDemuxerAgrees) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  Iff8Bytes diin;
  diin.Raw(CountedText("DITI", "Dff title").bytes()).Raw(CountedText("DIAR", "Dff artist").bytes());
  const Iff8Bytes dsdiff_meta = Iff8Bytes().Chunk("DIIN", diin);
  const Bytes dsf_tag = Tag(3, 0, Cat({TextFrame(3, "TIT2", "Dsf title"), TextFrame(3, "TPE1", "Dsf artist")}));
  const struct {
    std::string name;
    std::unique_ptr<COneBitAudio> reader;
    Bytes bytes;
  } files[] = {
      {"p.dff", std::make_unique<CDsdIff>(), DsdiffOf(kDsd64 * 2, 1, 10, dsdiff_meta)},
      {"p.dsf", std::make_unique<CDsf>(), DsfFile(kDsd64, 2, 1, 5000, dsf_tag)},
      {"p.wsd", std::make_unique<CWsd>(), WsdFile(kDsd64 * 4, 2, 64, {{0, "Wsd title"}, {384, "Wsd artist"}})},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const std::string path = WriteTempFile(f.name, f.bytes);
    ASSERT_EQ(f.reader->Open(path), 0u);
    TagSet tags;
    ASSERT_EQ(f.reader->ReadTags(tags), 0u);
    EXPECT_EQ(FfprobeFields(path, "stream=sample_rate,channels:format_tags=title,artist"),
              (std::map<std::string, std::string>{{"sample_rate", std::to_string(f.reader->SampleRate() / 8)},
                                                  {"channels", std::to_string(f.reader->Channels())},
                                                  {"TAG:title", std::string(TagText(tags, InfoText::Name))},
                                                  {"TAG:artist", std::string(TagText(tags, InfoText::Artist))}}));
  }
}

// The worst inputs of about 1 MiB for each reader: what they give, and that
// the work grows no faster than the input (chunk tables grow O(log n) times,
// each chunk header is read once, a tag is read once). Wall time is not
// measured here; bench/one_bit_open_bench.cpp times these files.

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
