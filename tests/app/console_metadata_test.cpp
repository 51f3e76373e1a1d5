// The console editor and metadata it cannot read: the file opens with a
// line naming what was left out, and a save keeps that metadata as it was;
// tags changed with "tag" reach a file's ID3 chunk on "save".
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "config/error_messages.h"
#include "platform/error_numbers.h"
#include "tests/app/console_test_util.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;
using testing::ConsoleRun;

bool Has(const Bytes& bytes, const Bytes& part) {
  return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

// A WAV file whose label list is damaged (its label claims more than the
// list holds) and whose INFO list packs odd texts without pad bytes.
Bytes DamagedLabels() {
  ChunkBytes cue;
  cue.U32(1).U32(0).U32(50).Text("data").U32(0).U32(0).U32(50);
  ChunkBytes labels;
  labels.Text("labl").U32(200).U32(0).Text("verse", true);
  ChunkBytes texts;
  texts.Text("INAM").U32(5).Text("Tune", true).Text("IART").U32(5).Text("Band", true);
  ChunkBytes body;
  body.Chunk("fmt ", testing::FormatBody(1, 1, 8000, 2, 16).bytes())
      .Chunk("data", testing::RandomBytes(1600, 4))
      .Chunk("cue ", cue.bytes())
      .List("adtl", labels)
      .List("INFO", texts);
  return testing::RiffWave(body);
}

TEST(ConsoleMetadata, OpenSaysWhatItLeftOutAndSaveKeepsIt) {
  const std::string dir = testing::MakeTempDir("console_skipped");
  const std::string path = dir + "/damaged.wav";
  const Bytes old = DamagedLabels();
  testing::WriteWholeFile(path, old);
  ConsoleRun run;
  ASSERT_EQ(run.Script("open " + path + "\ntag\nmarker list\ntag artist Other\nsave\n"), 0) << run.err.str();
  const std::string line =
      "skipped markers (cue, LIST adtl) of " + path + ": " + DescribeError(err::kLayoutMismatch) + "\n";
  EXPECT_EQ(run.out.str(), line + "INAM  Tune\nIART  Band\nno markers\n");
  EXPECT_EQ(run.err.str(), "");
  // The unread cue and label chunks went into the new file as they were.
  const Bytes now = testing::ReadWholeFile(path);
  const ChunkTable old_table = testing::TableOf(old, kRiffContainer);
  for (const ChunkEntry& c : old_table) {
    if (c.id != FourCc("cue ") && c.list_type != FourCc("adtl")) continue;
    EXPECT_TRUE(Has(now, testing::Slice(old, c.offset, 8 + std::size_t{c.size})));
  }
  const testing::DocumentPtr back = testing::OpenDocument(path);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->metadata[InfoText::Artist].value_or(""), "Other");
  EXPECT_EQ(back->metadata[InfoText::Name].value_or(""), "Tune");
}

// A WAV file tagged by mutagen: "tag title" and "save" give mutagen the new
// title, and the album it wrote is still there.
TEST(ConsoleMetadata, TagThenSaveReachesTheId3Chunk) {
  constexpr const char* kPython = "/usr/bin/python3";
  TIDEMARK_REQUIRE_PEER_IF(
      testing::HaveProgram(kPython) && testing::Run(std::string(kPython) + " -c 'import mutagen'", nullptr, true) == 0,
      "python3 with mutagen");
  const std::string dir = testing::MakeTempDir("console_id3");
  const std::string path = dir + "/tagged.wav";
  testing::WriteWholeFile(path, testing::Pcm16Wave(2, 44100, 2000, 8));
  const std::string tag = "import sys, mutagen.wave, mutagen.id3 as m\n"
                          "f = mutagen.wave.WAVE(sys.argv[1])\nf.add_tags()\n"
                          "f.tags.add(m.TIT2(encoding=3, text='Old'))\nf.tags.add(m.TALB(encoding=3, text='Album'))\n"
                          "f.save()\n";
  const std::string read = "import sys, mutagen.wave\nt = mutagen.wave.WAVE(sys.argv[1]).tags\n"
                           "print('%s|%s' % (t['TIT2'], t['TALB']))\n";
  testing::WriteWholeFile(dir + "/tag.py", Bytes(tag.begin(), tag.end()));
  testing::WriteWholeFile(dir + "/read.py", Bytes(read.begin(), read.end()));
  std::string out;
  ASSERT_EQ(testing::Run(std::string(kPython) + " " + dir + "/tag.py " + path, &out), 0) << out;
  ConsoleRun run;
  ASSERT_EQ(run.Script("open " + path + "\ntag\ntag title New\nsave\n"), 0) << run.err.str();
  EXPECT_EQ(run.out.str(), "INAM  Old\n");
  ASSERT_EQ(testing::Run(std::string(kPython) + " " + dir + "/read.py " + path, &out), 0) << out;
  EXPECT_EQ(out, "New|Album\n");
}

}  // namespace
}  // namespace tidemark
