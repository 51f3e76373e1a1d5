// Markers and tags in FLAC files as the WAV chunks `flac
// --keep-foreign-metadata` keeps: files it writes open with the WAV file's
// cue points and labels; files we write decode with it into a WAV file
// holding our markers and tags; leaving the metadata out writes no blocks.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "codecs/codec_install.h"
#include "codecs/flac_codec.h"
#include "core/document/segment.h"
#include "core/document/sound_document.h"
#include "core/markers/marker_list.h"
#include "formats/open_sound_file.h"
#include "formats/tags/tag_set.h"
#include "formats/wav/wav_cues.h"
#include "tests/codecs/codec_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Dir() { return codec_test::Folder("flac_foreign_metadata_test"); }

struct Mark {
  std::string name;
  std::uint32_t position;
  friend bool operator==(const Mark&, const Mark&) = default;
};

std::vector<Mark> MarksOf(const MarkerList& list) {
  std::vector<Mark> marks;
  for (const Marker* m = list.first(); m; m = m->next) marks.push_back({m->name, m->position});
  return marks;
}

const std::vector<Mark> kMarks = {{"Intro", 0}, {"Verse", 12345}, {"Ende", 39999}};

DocumentPtr OpenDocument(const fs::path& path) {
  SoundDocument* raw = nullptr;
  EXPECT_EQ(OpenSoundDocument(path.string(), OpenOptions(), &raw), 0u) << path;
  return DocumentPtr(raw);
}

class FlacForeign : public ::testing::Test {
 protected:
  void SetUp() override { InstallCodecs(); }
  void TearDown() override { InstallCodecReaders({}); }

  // A 16-bit stereo WAV file of 44100 frames with kMarks as cue points.
  fs::path MarkedWave() {
    const fs::path wav = Dir() / "marked.wav";
    EXPECT_EQ(Shell("/usr/bin/sox -R -n -r 44100 -c 2 -b 16 '" + wav.string() + "' synth 1 sine 300"), 0);
    MarkerList markers;
    for (const Mark& mark : kMarks) InsertMarker(markers, NewMarker(mark.name, "", mark.position));
    EXPECT_EQ(WriteCueList(wav.string(), markers), 0u);
    return wav;
  }
};

TEST_F(FlacForeign, PeerFilesOpenWithTheirCuePoints) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/flac");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const fs::path flac = Dir() / "peer.flac";
  ASSERT_EQ(Shell("/usr/bin/flac -s -f --keep-foreign-metadata -o '" + flac.string() + "' '" +
                  MarkedWave().string() + "'"),
            0);
  DocumentPtr doc = OpenDocument(flac);
  ASSERT_TRUE(doc);
  EXPECT_EQ(MarksOf(doc->markers), kMarks);
}

TEST_F(FlacForeign, OursDecodeWithThePeerIntoTheSameCuePoints) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/flac");
  TIDEMARK_REQUIRE_PEER("/usr/bin/metaflac");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  DocumentPtr source = OpenDocument(MarkedWave());
  ASSERT_TRUE(source);
  SetTagText(source->metadata, InfoText::Name, "Foreign");
  struct Case {
    bool keep;
    std::vector<Mark> expected;
  };
  for (const Case& c : {Case{true, kMarks}, Case{false, {}}}) {
    const fs::path flac = Dir() / (c.keep ? "ours.flac" : "bare.flac");
    FlacEncodeSettings settings;
    settings.keep_wav_metadata = c.keep;
    ASSERT_EQ(WriteFlacFile(*source, flac.string(), settings), 0u);
    const fs::path back = Dir() / (c.keep ? "ours_back.wav" : "bare_back.wav");
    ASSERT_EQ(Shell("/usr/bin/flac -s -f -d --keep-foreign-metadata -o '" + back.string() + "' '" + flac.string() +
                    "'"),
              c.keep ? 0 : 1 << 8)
        << c.keep;
    if (!c.keep) {
      // The peer refuses a file without foreign metadata; the cue sheet
      // still holds the positions.
      DocumentPtr bare = OpenDocument(flac);
      ASSERT_TRUE(bare);
      EXPECT_EQ(MarksOf(bare->markers), (std::vector<Mark>{{"Track 01", 0}, {"Track 02", 12345}, {"Track 03", 39999}}));
      const std::string sheet = Capture("/usr/bin/metaflac --export-cuesheet-to=- '" + flac.string() + "'");
      EXPECT_NE(sheet.find("TRACK 02"), std::string::npos) << sheet;
      continue;
    }
    DocumentPtr peer = OpenDocument(back);
    ASSERT_TRUE(peer);
    EXPECT_EQ(MarksOf(peer->markers), c.expected);
    EXPECT_EQ(TagText(peer->metadata, InfoText::Name), "Foreign");
    EXPECT_EQ(peer->length, source->length);
    // And through our own reader.
    DocumentPtr ours = OpenDocument(flac);
    ASSERT_TRUE(ours);
    EXPECT_EQ(MarksOf(ours->markers), c.expected);
  }
}

}  // namespace
}  // namespace tidemark
