// Metadata that cannot be read costs only itself: the file opens with the
// rest (and says what it left out), and a later save carries the unread
// chunks over as they are unless the user changed that kind of metadata.
#include "formats/file_metadata.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/markers/marker_list.h"
#include "formats/file_markers.h"
#include "formats/open_sound_file.h"
#include "formats/save_document.h"
#include "formats/tags/tags.h"
#include "platform/error_numbers.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/open_save_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;
using testing::DocumentPtr;
using Expected = testing::MarkerEntry;

constexpr std::uint32_t kFrames = 3000;

struct Damage {
  bool labels = false;  // a label of the adtl list runs past the list
  bool texts = false;   // a text of the INFO list runs past the list
};

// A stereo 16-bit WAV file with two labelled cue points, an INFO list and an
// unknown chunk, damaged as asked.
Bytes SongFile(Damage damage) {
  ChunkBytes cue;
  cue.U32(2);
  for (const std::uint32_t id : {0u, 1u}) {
    const std::uint32_t at = id ? 2000 : 100;
    cue.U32(id).U32(at).Text("data").U32(0).U32(0).U32(at);
  }
  ChunkBytes labels;
  labels.Text("labl").U32(damage.labels ? 400 : 8).U32(0).Text("one", true);
  labels.Text("labl").U32(8).U32(1).Text("two", true);
  ChunkBytes texts;
  texts.Text("INAM").U32(6).Text("Title", true).Text("ICMT").U32(damage.texts ? 300 : 6).Text("Notes", true);
  ChunkBytes body;
  body.Chunk("fmt ", testing::FormatBody(1, 2, 44100, 4, 16).bytes())
      .Chunk("data", testing::RandomBytes(std::size_t{kFrames} * 4, 3))
      .Chunk("cue ", cue.bytes())
      .List("adtl", labels)
      .List("INFO", texts)
      .Chunk("abcd", Bytes{'k', 'e', 'p', 't', '!'});
  return testing::RiffWave(body);
}

std::vector<Expected> Entries(const MarkerList& markers) { return testing::MarkerEntries(markers); }

// What the skipped list says, one "kind chunks error" word each.
std::vector<std::string> Described(const std::vector<SkippedMetadata>& skipped) {
  std::vector<std::string> out;
  for (const SkippedMetadata& s : skipped)
    out.push_back(std::string(s.kind == SkippedMetadata::Kind::kMarkers ? "markers" : "tags") + " (" + s.chunks +
                  ") " + std::to_string(s.error.code()));
  return out;
}

struct OpenCase {
  const char* name;
  Damage damage;
  std::vector<std::string> skipped;
  std::vector<Expected> markers;
  const char* title;
};

TEST(FileMetadata, DamagedMetadataCostsOnlyItself) {
  const std::vector<Expected> both = {{100, "one", ""}, {2000, "two", ""}};
  const OpenCase cases[] = {
      {"whole", {}, {}, both, "Title"},
      {"labels", {true, false}, {"markers (cue, LIST adtl) 78"}, {}, "Title"},
      {"texts", {false, true}, {"tags (LIST INFO) 78"}, both, ""},
      {"both", {true, true}, {"markers (cue, LIST adtl) 78", "tags (LIST INFO) 78"}, {}, ""},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = SongFile(c.damage);
    const std::string path = testing::WriteTempFile("song.wav", bytes);
    SoundDocument* raw = nullptr;
    std::vector<SkippedMetadata> skipped;
    ASSERT_EQ(OpenSoundDocument(path, OpenOptions(), &raw, &skipped), 0u);
    const DocumentPtr doc(raw);
    EXPECT_EQ(Described(skipped), c.skipped);
    EXPECT_EQ(Entries(doc->markers), c.markers);
    EXPECT_EQ(TagText(doc->metadata, InfoText::Name), c.title);
    const std::vector<std::int16_t> samples = testing::DocumentSamples(*doc);
    ASSERT_EQ(samples.size(), std::size_t{kFrames} * 2);
    EXPECT_EQ(std::memcmp(samples.data(), bytes.data() + 44, samples.size() * 2), 0);
    // The strict readers still call the damage what it is.
    MarkerList markers;
    TagSet tags;
    EXPECT_EQ(ReadFileMarkers(path, PcmFileKind::Wave, kFrames, &markers), c.damage.labels ? 78u : 0u);
    EXPECT_EQ(ReadTags(path, PcmFileKind::Wave, &tags), c.damage.texts ? 78u : 0u);
  }
}

// Damage to what the samples need still refuses the file, as the probe
// says (14 until an entry point turns it into 78).
TEST(FileMetadata, StructuralDamageStillRefuses) {
  ChunkBytes no_format;
  no_format.Chunk("data", 400, 1);
  Bytes short_data = SongFile({});
  short_data.resize(300);  // the RIFF size now claims more than the file holds
  for (const Bytes& bytes : {testing::RiffWave(no_format), short_data}) {
    SoundFileInfo info;
    SegmentList segments;
    EXPECT_EQ(OpenSoundFile(testing::WriteTempFile("broken.wav", bytes), OpenOptions(), true, &info, &segments),
              err::kMalformed);
  }
}

// The bytes of every chunk with `id` (and list type `type`) in the file.
std::vector<Bytes> Chunks(const Bytes& file, const char (&id)[5], const char* type = nullptr) {
  std::vector<Bytes> out;
  for (const ChunkEntry& c : testing::TableOf(file, kRiffContainer))
    if (c.id == FourCc(id) && (!type || c.list_type == LoadLe32(reinterpret_cast<const std::uint8_t*>(type))))
      out.push_back(testing::Slice(file, c.offset, 8 + std::size_t{c.size}));
  return out;
}

enum class Change { kTags, kMarkers };

struct SaveCase {
  const char* name;
  Damage damage;
  Change change;
  // Whether the old cue and adtl chunks, or the old INFO list, are in the
  // saved file as they were.
  bool old_markers_kept;
  bool old_texts_kept;
};

TEST(FileMetadata, SavesCarryUnreadChunksUntilThatKindChanges) {
  const SaveCase cases[] = {
      {"unread markers, tags changed", {true, false}, Change::kTags, true, false},
      {"unread markers, markers changed", {true, false}, Change::kMarkers, false, false},
      {"unread texts, markers changed", {false, true}, Change::kMarkers, false, true},
      {"unread texts, tags changed", {false, true}, Change::kTags, false, false},
  };
  for (const SaveCase& c : cases) {
    for (const bool in_place : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (in_place ? ", in place" : ", saved"));
      const Bytes old = SongFile(c.damage);
      const std::string path = testing::WriteTempFile("song.wav", old);
      const DocumentPtr doc = testing::OpenDocument(path);
      ASSERT_TRUE(doc);
      if (c.change == Change::kTags) {
        SetDocumentTag(*doc, InfoText::Artist, std::string("Someone"));
      } else {
        ASSERT_TRUE(InsertMarker(doc->markers, NewMarker("new", "", 500)));
        ++doc->marker_change_counter;
      }
      ASSERT_EQ(in_place ? UpdateMetadata(*doc) : SaveAs(*doc, path, doc->kind, doc->code), 0u);

      const Bytes now = testing::ReadWholeFile(path);
      const std::vector<Bytes> cue = Chunks(now, "cue "), adtl = Chunks(now, "LIST", "adtl");
      const std::vector<Bytes> info = Chunks(now, "LIST", "INFO");
      EXPECT_EQ(Chunks(now, "abcd"), Chunks(old, "abcd"));
      if (c.old_markers_kept) {
        EXPECT_EQ(cue, Chunks(old, "cue "));
        EXPECT_EQ(adtl, Chunks(old, "LIST", "adtl"));
      } else {
        // Written from the document: what it read, and what was added.
        MarkerList markers;
        ASSERT_EQ(ReadFileMarkers(path, PcmFileKind::Wave, kFrames, &markers), 0u);
        EXPECT_EQ(Entries(markers), Entries(doc->markers));
      }
      if (c.old_texts_kept) {
        EXPECT_EQ(info, Chunks(old, "LIST", "INFO"));  // and no second list beside it
      } else {
        TagSet tags;
        ASSERT_EQ(ReadTags(path, PcmFileKind::Wave, &tags), 0u);
        EXPECT_EQ(TagText(tags, InfoText::Artist), TagText(doc->metadata, InfoText::Artist));
        EXPECT_EQ(TagText(tags, InfoText::Name), TagText(doc->metadata, InfoText::Name));
      }
      // What was carried is still skipped on the next open, and only that.
      SoundDocument* again = nullptr;
      std::vector<SkippedMetadata> skipped;
      ASSERT_EQ(OpenSoundDocument(path, OpenOptions(), &again, &skipped), 0u);
      DocumentPtr(again).reset();
      EXPECT_EQ(Skipped(skipped, SkippedMetadata::Kind::kMarkers), c.old_markers_kept);
      EXPECT_EQ(Skipped(skipped, SkippedMetadata::Kind::kTags), c.old_texts_kept);
    }
  }
}

}  // namespace
}  // namespace tidemark
