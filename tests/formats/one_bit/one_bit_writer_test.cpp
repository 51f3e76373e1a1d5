// The 1-bit file writers: the bytes of DSDIFF, DSF and WSD files checked
// field by field, the channel layouts and padding, the metadata, refusals
// and file errors, and ffprobe reading what they write.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formats/chunks/byte_order.h"
#include "formats/one_bit/one_bit_writer.h"
#include "formats/tags/internal/app_private.h"
#include "formats/tags/internal/id3v2_reader.h"
#include "formats/tags/internal/id3v2_tag_set.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/file_ops.h"
#include "tests/core/io/fake_memory.h"
#include "tests/core/source_test_util.h"
#include "tests/formats/one_bit/one_bit_test_util.h"
#include "tests/formats/peer_test_util.h"
#include "tests/formats/tags/tag_test_util.h"
#include "tests/support/hermetic_env.h"
#include "tests/support/scoped_codeset.h"

namespace tidemark::NS_1BIT {
namespace {

using namespace tidemark::testing;

std::string Text(const Bytes& b, std::size_t at, std::size_t n) {
  return {reinterpret_cast<const char*>(&b[at]), n};
}

std::string PathFor(const std::string& name) { return MakeTempDir("one_bit") + "/" + name; }

// One planar buffer per channel, each of `bytes` random bytes.
std::vector<Bytes> Planes(std::uint16_t channels, std::uint32_t bytes) {
  std::vector<Bytes> planes;
  for (std::uint16_t c = 0; c < channels; ++c) planes.push_back(RandomBytes(bytes, 100 + c));
  return planes;
}

// Writes `planes` through a writer for `ext` in two calls of uneven size,
// then Finish and (with `tags`) WriteMetadata; returns the file's bytes.
Bytes WriteFile(const std::string& ext, std::uint32_t rate, const std::vector<Bytes>& planes,
                const TagSet* tags = nullptr, std::string* written = nullptr) {
  const auto channels = static_cast<std::uint16_t>(planes.size());
  const auto per_channel = static_cast<std::uint32_t>(planes[0].size());
  std::unique_ptr<COneBitWriter> w = MakeOneBitWriter(ext);
  const std::string path = PathFor("out" + ext);
  EXPECT_EQ(w->Open(path), err::kOk);
  EXPECT_EQ(w->Begin(rate, channels, std::uint64_t{per_channel} * channels), err::kOk);
  const std::uint32_t first = per_channel / 3 + 1;
  for (std::uint32_t at : {0u, first}) {
    const std::uint32_t n = at == 0 ? first : per_channel - first;
    std::vector<const std::uint8_t*> ptrs;
    for (const Bytes& p : planes) ptrs.push_back(p.data() + at);
    EXPECT_EQ(w->WritePlanar(ptrs.data(), n, channels), err::kOk);
  }
  EXPECT_EQ(w->Finish(), err::kOk);
  if (tags) {
    EXPECT_EQ(w->WriteMetadata(rate, *tags), err::kOk);
  }
  EXPECT_EQ(w->Close(), err::kOk);
  if (written) *written = path;
  return ReadWholeFile(path);
}

// The planes byte-interleaved, as DSDIFF and WSD store them.
Bytes Interleaved(const std::vector<Bytes>& planes) {
  Bytes out;
  for (std::size_t i = 0; i < planes[0].size(); ++i)
    for (const Bytes& p : planes) out.push_back(p[i]);
  return out;
}

// Each layout against a file built by the readers' test builders: every
// header field, the channel layout, the padding of the last block and the
// pad byte after odd data. 5001 bytes is not a multiple of the 4096 / C slice.
TEST(OneBitWriter, LayoutsMatchTheBuiltFiles) {
  for (const std::uint16_t channels : {std::uint16_t{1}, std::uint16_t{2}}) {
    SCOPED_TRACE(channels);
    const std::vector<Bytes> planes = Planes(channels, 5001);
    const Bytes data = Interleaved(planes);
    const Iff8Bytes prop = Prop(kDsd64, channels, "DSD ", "", channels == 1 ? "C000" : "SLFTSRGT");
    EXPECT_EQ(WriteFile(".dff", kDsd64, planes), DsdiffFile(Iff8Bytes().Raw(Fver().bytes()).Raw(prop.bytes())
                                                                .Chunk("DSD ", data)));
    Bytes wsd = WsdFile(kDsd64, static_cast<std::uint8_t>(channels), static_cast<std::uint32_t>(data.size()));
    for (std::size_t i = 0; i < data.size(); ++i) wsd[2048 + i] = data[i];
    EXPECT_EQ(WriteFile(".wsd", kDsd64, planes), wsd);  // playing time 0:00:00

    // DSF: 4096-byte blocks per channel in groups, the last padded with silence.
    const std::vector<Bytes> long_planes = Planes(channels, 10000);
    Bytes dsf = DsfFile(kDsd64, channels, 1, 10000);
    for (std::uint16_t c = 0; c < channels; ++c)
      for (std::size_t i = 0; i < 10000; ++i) dsf[92 + (i / 4096 * channels + c) * 4096 + i % 4096] = long_planes[c][i];
    EXPECT_EQ(WriteFile(".dsf", kDsd64, long_planes), dsf);
  }
  // At 8 Hz one byte per channel is one second: 1:23:45 in BCD, and 99:59:59 at most.
  for (auto [seconds, want] : {std::pair<std::uint32_t, Bytes>{5025, {0x45, 0x23, 0x01}}, {360000, {0x59, 0x59, 0x99}}}) {
    const Bytes f = WriteFile(".wsd", 8, Planes(2, seconds));
    EXPECT_EQ(Bytes(f.begin() + 33, f.begin() + 36), want);
  }
}

TEST(OneBitWriter, FactoryRefusalsAndIdlePadding) {
  for (const auto& [ext, lsb] : {std::pair{".DFF", false}, {".Dsf", true}, {".wsD", false}})
    EXPECT_EQ(MakeOneBitWriter(ext)->lsb_first(), lsb) << ext;
  EXPECT_EQ(MakeOneBitWriter(".wav"), nullptr);
  EXPECT_EQ(MakeOneBitWriter("dsf"), nullptr);

  const Bytes ten(10, 0x0F);
  const std::uint8_t* one[] = {ten.data()};
  for (const char* ext : {".dff", ".dsf", ".wsd"}) {
    SCOPED_TRACE(ext);
    const std::string path = PathFor(std::string("refuse") + ext);
    std::unique_ptr<COneBitWriter> w = MakeOneBitWriter(ext);
    EXPECT_EQ(w->Begin(kDsd64, 1, 100), err::kSizeLimit);  // not open
    ASSERT_EQ(w->Open(path), err::kOk);
    EXPECT_EQ(w->Open(path), err::kSizeLimit);
    EXPECT_EQ(w->WriteRaw(ten.data(), 10), err::kSizeLimit);  // not begun
    EXPECT_EQ(w->Begin(kDsd64, 3, 300), err::kSizeLimit);
    EXPECT_EQ(w->Begin(kDsd64, 0, 0), err::kSizeLimit);
    ASSERT_EQ(w->Begin(kDsd64, 1, 100), err::kOk);
    EXPECT_EQ(w->Begin(kDsd64, 1, 100), err::kSizeLimit);
    EXPECT_EQ(w->WritePlanar(one, 10, 2), err::kSizeLimit);  // not the channel count begun with
    EXPECT_EQ(w->WritePlanar(one, 10, 1), err::kOk);
    EXPECT_EQ(w->WriteMetadata(kDsd64, TagSet{}), err::kSizeLimit);  // before Finish
    const Bytes many(200, 0x0F);
    const std::uint8_t* big[] = {many.data()};
    EXPECT_EQ(w->WritePlanar(big, 91, 1), err::kSizeLimit);  // one byte past the declared 100
    EXPECT_EQ(w->Finish(), err::kOk);
    EXPECT_EQ(w->WritePlanar(one, 1, 1), err::kSizeLimit);
    EXPECT_EQ(w->Close(), err::kOk);
    // The refused write left nothing; Finish filled the 90 bytes not written with silence.
    const Bytes f = ReadWholeFile(path);
    const std::size_t data = f.size() - (std::string(ext) == ".dsf" ? 4096 : 100);
    const std::uint8_t idle = std::string(ext) == ".dsf" ? 0x55 : 0xAA;
    EXPECT_EQ(Bytes(f.begin() + data, f.begin() + data + 10), ten);
    EXPECT_EQ(std::count(f.begin() + data + 10, f.end(), idle), f.end() - f.begin() - data - 10);
  }
}

TEST(OneBitWriter, WsdRefusesDataPastItsSizeField) {
  std::unique_ptr<COneBitWriter> w = MakeOneBitWriter(".wsd");
  const std::string path = PathFor("limit.wsd");
  ASSERT_EQ(w->Open(path), err::kOk);
  EXPECT_EQ(w->Begin(kDsd64, 2, 0xFFFFF800u), err::kTooManyFramesForTarget);
  EXPECT_EQ(w->Begin(kDsd64, 2, 0xFFFFFF7Eu), err::kTooManyFramesForTarget);
  // The largest size that fits: Begin only sizes the (sparse) file.
  ASSERT_EQ(w->Begin(kDsd64, 2, 0xFFFFF7FFu), err::kOk);
  ASSERT_EQ(w->Close(), err::kOk);
  PosixFile file;
  ASSERT_EQ(file.Open(path, FileOpenOptions{}), err::kOk);
  std::uint64_t size = 0;
  ASSERT_EQ(file.Size(&size), err::kOk);
  EXPECT_EQ(size, 0xFFFFFFFFu);
  std::uint8_t head[16];
  std::size_t got = 0;
  ASSERT_EQ(file.ReadAt(head, sizeof head, 0, &got), err::kOk);
  EXPECT_EQ(LoadBe32(head + 12), 0xFFFFFFFFu);
  EXPECT_EQ(UnlinkFile(path), err::kOk);
}

// A "COMT" entry as the writer stores it: no time stamp, the text, a pad byte.
Iff8Bytes& AddComment(Iff8Bytes& body, std::uint16_t type, std::uint16_t reference, std::string_view text) {
  body.U32(0).U16(0).U16(type).U16(reference).U32(static_cast<std::uint32_t>(text.size())).Text(text);
  if (text.size() & 1) body.U8(0);
  return body;
}

TEST(OneBitWriter, DsdIffCommentsAndDiin) {
  const ScopedCodeset cp1252("CP1252");
  // "Café": 4 bytes in CP1252, odd with the count.
  const TagSet tags =
      MakeTags({{InfoText::Name, "Caf\xC3\xA9"}, {InfoText::Artist, "Band"}, {InfoText::Comments, "Five!"}});
  const Bytes f = WriteFile(".dff", kDsd64, Planes(1, 7), &tags);  // odd data: pad byte first
  EXPECT_EQ(LoadBe64(&f[4]), f.size() - 12);
  const std::size_t after_data = 126 + 7 + 1;
  EXPECT_EQ(f[after_data - 1], 0);
  Iff8Bytes comt = Iff8Bytes().U16(3);
  AddComment(comt, 2, 2, "sampling rate = 2822400 Hz");
  AddComment(comt, 3, 2, "Tidemark 1.8.5.2");
  AddComment(comt, 0, 0, "Five!");
  const Iff8Bytes diin = Iff8Bytes().Raw(CountedText("DITI", "Caf\xE9").bytes()).Raw(CountedText("DIAR", "Band").bytes());
  EXPECT_EQ(Slice(f, after_data, f.size() - after_data), Iff8Bytes().Chunk("COMT", comt).Chunk("DIIN", diin).bytes());

  // Without Comments two comments; without Name and Artist no DIIN.
  const TagSet other = MakeTags({{InfoText::Genre, "Rock"}});
  const Bytes g = WriteFile(".dff", kDsd64, Planes(2, 8), &other);
  EXPECT_EQ(LoadBe64(&g[4]), g.size() - 12);
  Iff8Bytes two = Iff8Bytes().U16(2);
  AddComment(AddComment(two, 2, 2, "sampling rate = 2822400 Hz"), 3, 2, "Tidemark 1.8.5.2");
  EXPECT_EQ(Slice(g, 130 + 16, g.size() - 130 - 16), Iff8Bytes().Chunk("COMT", two).bytes());
}

TEST(OneBitWriter, DsfId3v2ReadsBack) {
  // The artist is not ASCII: UTF-16.
  const TagSet tags = MakeTags(
      {{InfoText::Name, "Title"}, {InfoText::Artist, "\xE6\x97\xA5\xE6\x9C\xAC"}, {InfoText::Copyright, "(c) Us"},
       {InfoText::Comments, "A comment"}, {InfoText::CreationDate, "2019-03-04"}, {InfoText::Genre, "rOCK"},
       {InfoText::AppPrivate, "TNO=7 ALBUM=\"Big Album\" ISRC=USRC17607839 WEBURL=http://x.example"}});
  const Bytes f = WriteFile(".dsf", kDsd64, Planes(2, 5000), &tags);
  const std::uint64_t tag_at = 92 + 2 * 8192;
  EXPECT_EQ(LoadLe64(&f[20]), tag_at);
  EXPECT_EQ(LoadLe64(&f[12]), f.size());
  Id3v2Tag tag;
  ASSERT_EQ(ParseId3v2Tag(std::span(f).subspan(tag_at), &tag), err::kOk);
  ASSERT_TRUE(tag.found());
  EXPECT_EQ(tag_at + tag.size, f.size());
  TagSet back;
  ASSERT_EQ(Id3v2TagToSet(tag, &back), err::kOk);
  for (InfoText slot : {InfoText::Name, InfoText::Artist, InfoText::Copyright, InfoText::Comments})
    EXPECT_EQ(TagText(back, slot), TagText(tags, slot));
  EXPECT_EQ(TagText(back, InfoText::CreationDate), "2019");
  EXPECT_EQ(TagText(back, InfoText::Genre), "Rock");
  const std::string_view extra = TagText(back, InfoText::AppPrivate);
  EXPECT_EQ(AppPrivateValue(extra, app_private_key::kTrack), "7");
  EXPECT_EQ(AppPrivateValue(extra, app_private_key::kAlbum), "Big Album");
  EXPECT_EQ(AppPrivateValue(extra, app_private_key::kIsrc), "USRC17607839");
  EXPECT_EQ(AppPrivateValue(extra, app_private_key::kWebUrl), "http://x.example");

  // Only slots the tag has no frame for, and a genre not in the list: no tag at all.
  const TagSet nothing = MakeTags({{InfoText::Genre, "No Such Genre"}, {InfoText::Software, "x"}});
  const Bytes g = WriteFile(".dsf", kDsd64, Planes(1, 100), &nothing);
  EXPECT_EQ(g.size(), 92u + 4096);
  EXPECT_EQ(LoadLe64(&g[12]), g.size());
  EXPECT_EQ(LoadLe64(&g[20]), 0u);
}

TEST(OneBitWriter, WsdTextFields) {
  const ScopedCodeset utf8("UTF-8");
  // The cut of the name may not split the é.
  const TagSet tags = MakeTags({{InfoText::Name, std::string(127, 'n') + "\xC3\xA9"}, {InfoText::Artist, "Artist"},
                                {InfoText::Genre, std::string(40, 'g')}, {InfoText::CreationDate, "2020-01-02"},
                                {InfoText::Comments, std::string(600, 'c')},
                                {InfoText::AppPrivate, "TNO=3 ALBUM=\"An Album\""}});
  const Bytes f = WriteFile(".wsd", kDsd64, Planes(2, 10), &tags);
  ASSERT_EQ(f.size(), 2048u + 20);
  std::string area(1920, ' ');
  for (const auto& [at, text] : std::initializer_list<std::pair<std::size_t, std::string>>{
           {0, std::string(127, 'n')}, {384, "Artist"}, {512, "An Album"}, {640, std::string(32, 'g')},
           {672, "2020-01-02"}, {736, std::string(512, 'c')}})
    area.replace(at, text.size(), text);
  EXPECT_EQ(Text(f, 128, 1920), area);

  const ScopedCodeset cp1252("CP1252");
  const TagSet name_only = MakeTags({{InfoText::Name, "\xC3\xA9t\xC3\xA9"}});
  const Bytes g = WriteFile(".wsd", kDsd64, Planes(1, 10), &name_only);
  EXPECT_EQ(Text(g, 128, 4), "\xE9t\xE9 ");
}

// Every data operation failing in turn: each run reports the first error
// from the failing call on, Close reports it too, and a run without a
// fault writes the same file as an undisturbed one.
TEST(OneBitWriter, FileErrorsAreReportedUntilClose) {
  // The smallest write cache (2 MiB), so the data passes through it more than once.
  const FakeMemoryScope memory(1u << 20);
  constexpr std::uint32_t kPerChannel = 1300001;
  const TagSet tags = MakeTags({{InfoText::Name, "N"}});
  for (const char* ext : {".dff", ".dsf", ".wsd"}) {
    SCOPED_TRACE(ext);
    const std::vector<Bytes> planes = Planes(2, kPerChannel);
    const Bytes reference = WriteFile(ext, kDsd64, planes, &tags);
    const std::uint64_t runs = fault::ForEachFaultPoint(fault::kDataOps, EIO, [&](const fault::ScopedFault& fault) {
      std::unique_ptr<COneBitWriter> w = MakeOneBitWriter(ext);
      const std::string path = PathFor(std::string("fault") + ext);
      Error first = w->Open(path);
      auto step = [&](Error rc) {
        if (first == err::kOk) first = rc;
        else EXPECT_EQ(rc, first);  // after a failure every call answers it
      };
      if (first == err::kOk) {
        step(w->Begin(kDsd64, 2, 2 * kPerChannel));
        const std::uint8_t* ptrs[] = {planes[0].data(), planes[1].data()};
        step(w->WritePlanar(ptrs, kPerChannel / 3 + 1, 2));
        const std::uint8_t* rest[] = {ptrs[0] + kPerChannel / 3 + 1, ptrs[1] + kPerChannel / 3 + 1};
        step(w->WritePlanar(rest, kPerChannel - (kPerChannel / 3 + 1), 2));
        step(w->Finish());
        step(w->WriteMetadata(kDsd64, tags));
        const Error close = w->Close();
        if (first == err::kOk) first = close;
        else EXPECT_EQ(close, first);
      }
      EXPECT_EQ(first != err::kOk, fault.fired()) << fault.rule().nth;
      if (!fault.fired()) {
        EXPECT_EQ(ReadWholeFile(path), reference);
      }
    });
    EXPECT_GT(runs, 5u);
  }
}

TEST(OneBitWriter, FullDiskShowsAtBegin) {
  const fault::ScopedFault full(fault::FaultRule::DiskFullAt(65536));
  std::unique_ptr<COneBitWriter> w = MakeOneBitWriter(".dsf");
  ASSERT_EQ(w->Open(PathFor("full.dsf")), err::kOk);
  EXPECT_EQ(w->Begin(kDsd64, 2, 1 << 20), err::kDiskFull);
  EXPECT_EQ(w->Finish(), err::kDiskFull);
  EXPECT_EQ(w->Close(), err::kDiskFull);
}

// ffprobe reads one second of DSD64 stereo idle pattern in each format,
// with its title; the DSF duration counts the block padding (87 blocks of
// 4096 bytes per channel).
TEST(OneBitWriterPeer, FfprobeReadsWhatWeWrite) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  const TagSet tags = MakeTags({{InfoText::Name, "Peer Title"}, {InfoText::Artist, "Peer Artist"}});
  for (const char* ext : {".dsf", ".dff", ".wsd"}) {
    SCOPED_TRACE(ext);
    const bool dsf = std::string(ext) == ".dsf";
    const std::vector<Bytes> planes(2, Bytes(kDsd64 / 8, dsf ? 0x55 : 0xAA));
    std::string path;
    WriteFile(ext, kDsd64, planes, &tags, &path);
    std::map<std::string, std::string> fields =
        FfprobeFields(path, "stream=codec_name,sample_rate,channels:format=duration:format_tags=title,artist");
    ASSERT_EQ(fields.count("duration"), 1u);
    // ffprobe estimates the duration from the file size, metadata included.
    const double seconds = std::stod(fields["duration"]);
    const double data_seconds = dsf ? 87 * 4096 * 8.0 / kDsd64 : 1.0;
    EXPECT_GE(seconds, data_seconds - 1e-6);
    EXPECT_LT(seconds, data_seconds + 0.0005);
    fields.erase("duration");
    EXPECT_EQ(fields, (std::map<std::string, std::string>{{"codec_name", dsf ? "dsd_lsbf_planar" : "dsd_msbf"},
                                                          {"sample_rate", "352800"}, {"channels", "2"},
                                                          {"TAG:title", "Peer Title"}, {"TAG:artist", "Peer Artist"}}));
  }
}

}  // namespace
}  // namespace tidemark::NS_1BIT
