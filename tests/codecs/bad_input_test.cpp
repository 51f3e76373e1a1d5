// Bad input the other codec tests leave out: MP3 files whose Xing/Info
// header states the wrong length, and the FLAC writer meeting a full disk
// partway through the fault seam.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/flac_codec.h"
#include "codecs/mp3_decoder.h"
#include "formats/chunks/byte_order.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/codecs/encoder_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;

fs::path Folder() { return codec_test::Folder("codec_bad_input_test"); }

// A Xing/Info header that states the wrong byte count changes nothing; one
// that states the wrong frame count would move the gapless cut into the
// audio (or make the decoder drop the header): the file opens untrimmed,
// the exact samples inside it, with a notice.
TEST(Mp3BadInput, WrongXingLengthNeverCutsInsideTheAudio) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/lame");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const fs::path wav = Folder() / "xing.wav";
  const fs::path mp3 = Folder() / "xing.mp3";
  ASSERT_EQ(Shell("/usr/bin/sox -R -n -r 44100 -c 2 -b 16 '" + wav.string() + "' synth 2 sine 500"), 0);
  ASSERT_EQ(Shell("/usr/bin/lame -S -b 128 '" + wav.string() + "' '" + mp3.string() + "'"), 0);
  const auto good = ReadBytes(mp3);
  const Decoded reference = DecodeWith(ReadMp3File, mp3);
  ASSERT_EQ(reference.rc, 0u);
  ASSERT_EQ(reference.info.frames, 88200u);

  const std::size_t tag = 4 + 32;  // after the first frame's header and side information (MPEG-1 stereo)
  ASSERT_EQ(std::memcmp(good.data() + tag, "Info", 4), 0);
  ASSERT_EQ(good[tag + 7] & 3, 3);  // frame and byte counts present
  const std::uint32_t frames = LoadBe32(&good[tag + 8]);

  struct Case {
    const char* name;
    std::size_t at;
    std::uint32_t value;
    bool exact;
  };
  const Case cases[] = {
      {"bytes absurd", tag + 12, 0xFFFFFFFFu, true}, {"bytes tiny", tag + 12, 10, true},
      {"frames doubled", tag + 8, frames * 2, false}, {"frames halved", tag + 8, frames / 2, false},
      {"frames one short", tag + 8, frames - 1, false}, {"no frames", tag + 8, 0, false},
      {"frames absurd", tag + 8, 0xFFFFFFFFu, false},
  };
  for (const Case& c : cases) {
    auto bytes = good;
    StoreBe32(&bytes[c.at], c.value);
    const fs::path damaged = Folder() / "xing_damaged.mp3";
    WriteBytes(damaged, bytes);
    const Decoded d = DecodeWith(ReadMp3File, damaged);
    ASSERT_EQ(d.rc, 0u) << c.name;
    if (c.exact) {
      EXPECT_EQ(d.samples, reference.samples) << c.name;
      EXPECT_TRUE(d.info.skipped_metadata.empty()) << c.name;
    } else {
      EXPECT_EQ(d.info.frames, frames * 1152u) << c.name;
      EXPECT_NE(std::search(d.samples.begin(), d.samples.end(), reference.samples.begin(), reference.samples.end()),
                d.samples.end())
          << c.name;
      EXPECT_EQ(d.info.skipped_metadata.size(), 1u) << c.name;
    }
  }
}

// A full disk at every write of the encoder in turn, the headers it
// rewrites at the end included: the error, no target and no hidden file,
// until the write that meets no fault completes at the document's length.
TEST(FlacBadInput, FullDiskAtEachWriteLeavesNothing) {
  const fs::path folder = codec_test::Folder("flac_full_disk");
  DocumentPtr d = OpenFloatDocument(folder / "in.wav", 44100, 2, MusicLike(44100, 2, 60000, 7));
  ASSERT_TRUE(d);
  const fs::path target = folder / "out.flac";
  FlacEncodeSettings settings;
  settings.bits = 24;
  std::uint64_t nth = 1;
  for (;; ++nth) {
    ASSERT_LT(nth, 400u);
    const fault::ScopedFault full(fault::FaultRule::FailNth(fault::kWrite, nth, ENOSPC).Sticky());
    const Error rc = WriteFlacFile(*d, target.string(), settings);
    EXPECT_EQ(PartFiles(folder), 0) << nth;
    if (!full.fired()) {
      ASSERT_EQ(rc, 0u) << nth;
      break;
    }
    EXPECT_EQ(rc, err::kDiskFull) << nth;
    EXPECT_FALSE(fs::exists(target)) << nth;
  }
  EXPECT_GT(nth, 5u);  // the fault seam reached the encoder's writes
  SoundFileInfo info;
  SegmentList segments;
  ASSERT_EQ(ReadFlacFile(target.string(), false, false, &info, &segments), 0u);
  EXPECT_EQ(info.frames, 60000u);
}

}  // namespace
}  // namespace tidemark
