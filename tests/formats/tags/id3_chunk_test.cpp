// ID3 chunks in WAV and AIFF files: their texts join the tag set where the
// file's own text chunks leave a slot empty, and once the tags change the
// chunk is written anew (by a full save and by a metadata update), so that
// other programs do not go on showing the old texts.
#include "formats/tags/internal/id3_chunk.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/markers/marker_list.h"
#include "formats/chunks/chunk_metadata.h"
#include "formats/file_kind_table.h"
#include "formats/save_document.h"
#include "formats/tags/internal/app_private.h"
#include "formats/tags/tags.h"
#include "platform/error_numbers.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/open_save_test_util.h"
#include "tests/formats/peer_test_util.h"
#include "tests/formats/tags/tag_test_util.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::Cat;
using testing::DocumentPtr;
using testing::TextFrame;

using testing::kPython;

// A sound file of `kind` with `chunks` appended after its samples.
std::string FileWith(const std::string& name, PcmFileKind kind, const std::vector<std::pair<const char*, Bytes>>& chunks) {
  const std::string path = testing::WriteTempFile(name, testing::SoundFileBytes(kind, 50));
  std::vector<ChunkToAppend> list;
  for (const auto& [id, body] : chunks)
    list.push_back({LoadLe32(reinterpret_cast<const std::uint8_t*>(id)), body});
  if (!list.empty()) {
    PosixFile file = testing::OpenFile(path);
    EXPECT_EQ(AppendChunks(file, testing::FileLength(path), *DescribeFileKind(kind).container, list), 0u);
  }
  return path;
}

Bytes Id3(int version, std::initializer_list<Bytes> frames) { return testing::Tag(version, 0, Cat(frames)); }

// The body of an INFO list holding one INAM.
Bytes InfoName(std::string_view name) {
  Bytes b = testing::B("INFOINAM");
  const auto size = static_cast<std::uint32_t>(name.size() + 1);
  for (int shift = 0; shift < 32; shift += 8) b.push_back(static_cast<std::uint8_t>(size >> shift));
  b.insert(b.end(), name.begin(), name.end());
  b.push_back(0);
  if (size & 1) b.push_back(0);
  return b;
}

// The chunks of a file with `id`.
std::vector<ChunkEntry> ChunksNamed(const std::string& path, PcmFileKind kind, const char (&id)[5]) {
  const Bytes file = testing::ReadWholeFile(path);
  std::vector<ChunkEntry> out;
  for (const ChunkEntry& c : testing::TableOf(file, *DescribeFileKind(kind).container))
    if (c.id == FourCc(id)) out.push_back(c);
  return out;
}

Bytes ChunkBytesAt(const std::string& path, const ChunkEntry& c) {
  return testing::Slice(testing::ReadWholeFile(path), c.offset, 8 + std::size_t{c.size});
}

struct ReadCase {
  const char* name;
  PcmFileKind kind;
  std::vector<std::pair<const char*, Bytes>> chunks;
  const char* title;
  const char* copyright;
  const char* album;  // the ALBUM entry of AppPrivate
};

TEST(Id3Chunk, FillsTheSlotsTheTextChunksLeaveEmpty) {
  const Bytes v3 = Id3(3, {TextFrame(3, "TIT2", "Id3 title"), TextFrame(3, "TCOP", "Id3 owner"),
                           TextFrame(3, "TALB", "Id3 album")});
  const Bytes v4 = Id3(4, {TextFrame(4, "TIT2", "Id3 title", 3), TextFrame(4, "TALB", "Id3 album", 3)});
  Bytes too_long = v3;
  too_long.pop_back();  // the tag claims one byte more than the chunk holds
  const std::vector<ReadCase> cases = {
      {"WAV, ID3 alone", PcmFileKind::Wave, {{"id3 ", v3}}, "Id3 title", "Id3 owner", "Id3 album"},
      {"WAV, INFO wins its slots", PcmFileKind::Wave, {{"LIST", InfoName("Info title")}, {"id3 ", v3}}, "Info title",
       "Id3 owner", "Id3 album"},
      {"WAV, the other spelling, version 4", PcmFileKind::Wave, {{"ID3 ", v4}}, "Id3 title", "", "Id3 album"},
      {"WAV, a tag longer than its chunk is none", PcmFileKind::Wave,
       {{"LIST", InfoName("Info title")}, {"id3 ", too_long}}, "Info title", "", ""},
      {"AIFF, NAME wins", PcmFileKind::AIFF, {{"NAME", testing::B("Aiff title")}, {"ID3 ", v3}}, "Aiff title",
       "Id3 owner", "Id3 album"},
      {"AIFC, ID3 alone", PcmFileKind::AIFC, {{"id3 ", v4}}, "Id3 title", "", "Id3 album"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = FileWith("read.wav", c.kind, c.chunks);
    TagSet tags;
    ASSERT_EQ(ReadTags(path, c.kind, &tags), 0u);
    EXPECT_EQ(TagText(tags, InfoText::Name), c.title);
    EXPECT_EQ(TagText(tags, InfoText::Copyright), c.copyright);
    EXPECT_EQ(AppPrivateValue(TagText(tags, InfoText::AppPrivate), app_private_key::kAlbum).value_or(""), c.album);
  }
}

// What a save leaves of the ID3 chunk, through both save paths: the chunk
// as it was while the tags are unchanged, a new one from the changed tags,
// none once the tags hold nothing an ID3 tag carries.
TEST(Id3Chunk, SavesRewriteItOnlyWhenTheTagsChanged) {
  const Bytes old_tag = Id3(4, {TextFrame(4, "TIT2", "Old title", 3), TextFrame(4, "TALB", "The album", 3),
                                TextFrame(4, "TSSE", "a frame we do not map", 3)});
  for (const PcmFileKind kind : {PcmFileKind::Wave, PcmFileKind::AIFF}) {
    for (const bool in_place : {false, true}) {
      SCOPED_TRACE(std::string(kind == PcmFileKind::Wave ? "WAV" : "AIFF") + (in_place ? " in place" : " saved"));
      const char(&id)[5] = kind == PcmFileKind::Wave ? "id3 " : "ID3 ";
      const std::string path = FileWith("song.wav", kind, {{id, old_tag}});
      const auto save = [&](SoundDocument& doc) {
        return in_place ? UpdateMetadata(doc) : SaveAs(doc, path, doc.kind, doc.code);
      };
      const DocumentPtr doc = testing::OpenDocument(path);
      ASSERT_TRUE(doc);
      EXPECT_EQ(TagText(doc->metadata, InfoText::Name), "Old title");

      ASSERT_TRUE(InsertMarker(doc->markers, NewMarker("m", "", 10)));
      ++doc->marker_change_counter;
      ASSERT_EQ(save(*doc), 0u);
      std::vector<ChunkEntry> now = ChunksNamed(path, kind, id);
      ASSERT_EQ(now.size(), 1u);
      EXPECT_EQ(testing::Slice(ChunkBytesAt(path, now[0]), 8, old_tag.size()), old_tag);

      SetDocumentTag(*doc, InfoText::Name, std::string("New title"));
      ASSERT_EQ(save(*doc), 0u);
      now = ChunksNamed(path, kind, id);
      ASSERT_EQ(now.size(), 1u);
      const Bytes stored = testing::Slice(ChunkBytesAt(path, now[0]), 8, now[0].size);
      EXPECT_EQ(stored[3], 4);  // the old tag's version
      const TagSet written = testing::TagsOf(stored);
      EXPECT_EQ(TagText(written, InfoText::Name), "New title");
      EXPECT_EQ(AppPrivateValue(TagText(written, InfoText::AppPrivate), app_private_key::kAlbum), "The album");
      TagSet read;
      ASSERT_EQ(ReadTags(path, kind, &read), 0u);
      EXPECT_EQ(TagText(read, InfoText::Name), "New title");

      for (const InfoText slot : {InfoText::Name, InfoText::AppPrivate}) SetDocumentTag(*doc, slot, std::nullopt);
      ASSERT_EQ(save(*doc), 0u);
      EXPECT_TRUE(ChunksNamed(path, kind, id).empty());
    }
  }
}

// Tags the file argv[2] of type argv[1] ("wave" or "aiff") with an ID3 chunk
// as mutagen writes it.
constexpr const char* kMutagenTag = R"py(import sys, mutagen.wave, mutagen.aiff, mutagen.id3 as m
f = (mutagen.wave.WAVE if sys.argv[1] == "wave" else mutagen.aiff.AIFF)(sys.argv[2])
f.add_tags()
f.tags.add(m.TIT2(encoding=3, text="Old title"))
f.tags.add(m.TPE1(encoding=3, text="An artist"))
f.tags.add(m.TALB(encoding=3, text="An album"))
f.save()
)py";

// Prints the title, artist and album mutagen reads from the ID3 chunk.
constexpr const char* kMutagenRead = R"py(import sys, mutagen.wave, mutagen.aiff
f = (mutagen.wave.WAVE if sys.argv[1] == "wave" else mutagen.aiff.AIFF)(sys.argv[2])
print("%s|%s|%s" % (f.tags["TIT2"], f.tags["TPE1"], f.tags["TALB"]))
)py";

std::string FfprobeTitle(const std::string& path) {
  return testing::FfprobeFields(path, "format_tags=title")["TAG:title"];
}

// Files tagged by mutagen: after a title change, mutagen and ffprobe read
// the new title, and the fields we did not touch, from either save path.
TEST(Id3Chunk, MutagenAndFfprobeSeeTheNewTitle) {
  TIDEMARK_REQUIRE_PEER_IF(testing::HaveMutagen(), "python3 with mutagen");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  const std::string dir = testing::MakeTempDir("id3_chunk_mutagen");
  const std::string tag = testing::WriteScript(dir, "tag.py", kMutagenTag);
  const std::string read = testing::WriteScript(dir, "read.py", kMutagenRead);
  for (const PcmFileKind kind : {PcmFileKind::Wave, PcmFileKind::AIFF}) {
    for (const bool in_place : {false, true}) {
      const std::string type = kind == PcmFileKind::Wave ? "wave" : "aiff";
      SCOPED_TRACE(type + (in_place ? " in place" : " saved"));
      const std::string path = dir + (kind == PcmFileKind::Wave ? "/m.wav" : "/m.aif");
      testing::WriteWholeFile(path, testing::SoundFileBytes(kind, 300));
      std::string out;
      ASSERT_EQ(testing::Run(std::string(kPython) + " " + tag + " " + type + " " + path, &out), 0) << out;
      const DocumentPtr doc = testing::OpenDocument(path);
      ASSERT_TRUE(doc);
      ASSERT_EQ(TagText(doc->metadata, InfoText::Name), "Old title");
      SetDocumentTag(*doc, InfoText::Name, std::string("New title \xC3\xA9t\xC3\xA9"));
      ASSERT_EQ(in_place ? UpdateMetadata(*doc) : SaveAs(*doc, path, doc->kind, doc->code), 0u);
      ASSERT_EQ(testing::Run("PYTHONIOENCODING=utf-8 " + std::string(kPython) + " " + read + " " + type + " " + path,
                             &out),
                0)
          << out;
      EXPECT_EQ(out, "New title \xC3\xA9t\xC3\xA9|An artist|An album\n");
      EXPECT_EQ(FfprobeTitle(path), "New title \xC3\xA9t\xC3\xA9");
    }
  }
}

// An AIFF file that ffmpeg tagged with an ID3 chunk as well as its own text
// chunks: ffprobe reads the new title after the change.
TEST(Id3Chunk, FfmpegAiffShowsTheNewTitle) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  const std::string dir = testing::MakeTempDir("id3_chunk_ffmpeg");
  const std::string path = dir + "/f.aif";
  std::string out;
  ASSERT_EQ(testing::Run("/usr/bin/ffmpeg -nostdin -v error -f lavfi -i sine=d=0.1 -metadata title='Old title' "
                         "-write_id3v2 1 " + path, &out),
            0)
      << out;
  ASSERT_EQ(ChunksNamed(path, PcmFileKind::AIFF, "ID3 ").size(), 1u);
  for (const bool in_place : {false, true}) {
    SCOPED_TRACE(in_place ? "in place" : "saved");
    const DocumentPtr doc = testing::OpenDocument(path);
    ASSERT_TRUE(doc);
    const std::string title = in_place ? "Second title" : "First title";
    SetDocumentTag(*doc, InfoText::Name, title);
    ASSERT_EQ(in_place ? UpdateMetadata(*doc) : SaveAs(*doc, path, doc->kind, doc->code), 0u);
    EXPECT_EQ(FfprobeTitle(path), title);
    const std::vector<ChunkEntry> id3 = ChunksNamed(path, PcmFileKind::AIFF, "ID3 ");
    ASSERT_EQ(id3.size(), 1u);
    EXPECT_EQ(TagText(testing::TagsOf(testing::Slice(ChunkBytesAt(path, id3[0]), 8, id3[0].size)), InfoText::Name),
              title);
  }
}

}  // namespace
}  // namespace tidemark
