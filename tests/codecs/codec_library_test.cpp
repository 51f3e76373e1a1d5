// Hiding the codec libraries (an empty TIDEMARK_CODEC_PATH): each reader
// answers 37 naming its Debian package once the file is its format, a file
// of another format is still told apart (14), the FLAC writer leaves no
// file, PCM files keep opening, and the libraries come back when shown.
#include "codecs/codec_library.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/flac_codec.h"
#include "codecs/mp3_decoder.h"
#include "codecs/opus_codec.h"
#include "codecs/vorbis_decoder.h"
#include "core/document/segment.h"
#include "core/document/sound_document.h"
#include "formats/open_sound_file.h"
#include "tests/codecs/codec_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

using Reader = Error (*)(const std::string&, bool, SoundFileInfo*, SegmentList*);

Error ReadFlac(const std::string& path, bool tags, SoundFileInfo* info, SegmentList* segments) {
  return ReadFlacFile(path, false, tags, info, segments);
}

std::vector<std::uint8_t> Text(const std::string& text, std::size_t pad) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.resize(bytes.size() + pad, 0);
  return bytes;
}

class HiddenLibraries : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path empty = codec_test::Folder("codec_library_test") / "empty";
    fs::create_directories(empty);
    ::setenv("TIDEMARK_CODEC_PATH", empty.c_str(), 1);
    detail::ResetCodecLibraries();
  }
  void TearDown() override {
    ::unsetenv("TIDEMARK_CODEC_PATH");
    detail::ResetCodecLibraries();
  }
};

TEST_F(HiddenLibraries, EachReaderNamesItsPackage) {
  struct Case {
    const char* name;
    Reader reader;
    std::vector<std::uint8_t> bytes;
    CodecLibrary library;
    const char* package;
  };
  const std::vector<Case> cases = {
      {"x.flac", ReadFlac, Text("fLaC", 60), CodecLibrary::kFlac, "libflac12"},
      {"x.mp3", ReadMp3File, Text("\xFF\xFB\x90\x64", 60), CodecLibrary::kMpg123, "libmpg123-0"},
      {"x.ogg", ReadVorbisFile, Text(std::string("OggS", 4) + std::string(22, '\0') + "\x01" "\x1E" "\x01vorbis", 40),
       CodecLibrary::kVorbisFile, "libvorbisfile3"},
      {"x.opus", ReadOpusFile, Text(std::string("OggS", 4) + std::string(22, '\0') + "\x01" "\x13" "OpusHead", 40),
       CodecLibrary::kOpusFile, "libopusfile0"},
  };
  const fs::path folder = codec_test::Folder("codec_library_test");
  const fs::path riff = folder / "riff.bin";
  WriteBytes(riff, Text("RIFF", 60));
  for (const Case& c : cases) {
    const fs::path path = folder / c.name;
    WriteBytes(path, c.bytes);
    SoundFileInfo info;
    SegmentList segments;
    EXPECT_EQ(c.reader(path.string(), true, &info, &segments), 37u) << c.name;
    EXPECT_EQ(MissingCodecPackage(), c.package) << c.name;
    EXPECT_FALSE(CodecLibraryAvailable(c.library)) << c.name;
    EXPECT_EQ(c.reader(riff.string(), true, &info, &segments), 14u) << c.name;
  }
}

TEST_F(HiddenLibraries, WriterLeavesNothingAndPcmStillOpens) {
  const fs::path folder = codec_test::Folder("codec_library_test");
  const fs::path wav = folder / "in.wav";
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  ASSERT_EQ(Shell("/usr/bin/sox -R -n -r 8000 -c 1 -b 16 '" + wav.string() + "' synth 0.1 sine 300"), 0);
  SoundDocument* raw = nullptr;
  ASSERT_EQ(OpenSoundDocument(wav.string(), OpenOptions(), &raw), 0u);
  DocumentPtr document(raw);
  const fs::path target = folder / "out.flac";
  EXPECT_EQ(WriteFlacFile(*document, target.string(), {}), 37u);
  EXPECT_FALSE(fs::exists(target));
  for (const auto& entry : fs::directory_iterator(folder))
    EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
  ::unsetenv("TIDEMARK_CODEC_PATH");
  detail::ResetCodecLibraries();
  EXPECT_EQ(WriteFlacFile(*document, target.string(), {}), 0u);
  EXPECT_TRUE(fs::exists(target));
}

}  // namespace
}  // namespace tidemark
