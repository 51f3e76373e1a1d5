// The program's clip on the system clipboard: the WAVE image round trip,
// announcing and withdrawing through the clip code, pasting what another
// program left there, and a clipboard that cannot be opened dropping the clip.
#include "formats/clip_image.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/core_options.h"
#include "core/document/segment_cursor.h"
#include "core/edit/edit_commands.h"
#include "core/edit/sound_clip.h"
#include "platform/clipboard.h"
#include "platform/error_numbers.h"
#include "tests/core/document_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

std::vector<std::int16_t> ReadS16(const SegmentList& list, std::uint16_t channels, std::uint32_t length) {
  std::vector<std::int16_t> v(std::size_t{length} * channels);
  SegmentCursor cursor(list, channels, length);
  cursor.Seek(0);
  EXPECT_EQ(cursor.Read(length, v.data(), sample_code::kS16), 0u);
  return v;
}

class ClipImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeTempDir("clip_image");
    MutableCoreOptions().host_work_folder = testing::MakeTempDir("work");
    MutableCoreOptions().use_system_clipboard = true;
    board_ = dir_ + "/board.wav";
    setenv("TIDEMARK_CLIPBOARD", board_.c_str(), 1);
    InstallWaveClipboardLink();
    SegmentList list;
    testing::MakeRandomSource(dir_ + "/src.raw", sample_code::kS16, 2, 1000, 21, 32000);
    ASSERT_EQ(OpenFileSource(dir_ + "/src.raw", 0, 32000, sample_code::kS16, 2, 1000, 0, &list, nullptr), 0u);
    doc_.reset(testing::MakeDocument(std::move(list), 1000, 2, 32000));
    ASSERT_TRUE(doc_);
  }
  void TearDown() override {
    ClearCurrentClip();
    SetSystemClipboardLink(nullptr);
    SetClipboardOpenFailsForTesting(false);
    unsetenv("TIDEMARK_CLIPBOARD");
    doc_.reset();
    MutableCoreOptions() = CoreOptions();
  }
  std::string dir_, board_;
  testing::DocumentPtr doc_;
};

TEST_F(ClipImageTest, ImageRoundTripKeepsFormatAndSamples) {
  ClipRef clip;
  ASSERT_EQ(CopyToClip(*doc_, 100, 600, &clip), 0u);
  WaveImage image;
  ASSERT_EQ(ClipToWaveImage(*clip, &image), 0u);
  ClipRef back;
  ASSERT_EQ(ClipFromWaveImage(image, &back), 0u);
  ASSERT_EQ(std::tuple(back->rate, back->channels, back->code, back->length),
            std::tuple(32000u, std::uint16_t{2}, sample_code::kS16, 500u));
  EXPECT_EQ(ReadS16(back->segments, 2, 500), ReadS16(clip->segments, 2, 500));
  image[8] = 'X';  // not WAVE any more
  EXPECT_EQ(ClipFromWaveImage(image, &back), err::kMalformed);
}

TEST_F(ClipImageTest, ClipsAreAnnouncedWithdrawnAndFetched) {
  ASSERT_EQ(CopySelection(*doc_, 0, 300), 0u);
  ClipRef own = GetCurrentClip();
  ASSERT_TRUE(own);
  std::vector<std::uint8_t> on_board = testing::ReadWholeFile(board_);
  WaveImage expected;
  ASSERT_EQ(ClipToWaveImage(*own, &expected), 0u);
  EXPECT_EQ(on_board, expected);
  // Releasing the program's clip empties the clipboard it still owns.
  own.reset();
  ClearCurrentClip();
  EXPECT_FALSE(testing::FileExists(board_));

  // Another program's image: pasted through a clip read from it.
  testing::WriteWholeFile(board_, expected);
  std::ofstream(board_ + ".owner", std::ios::trunc) << "1";
  ClipRef fetched;
  ASSERT_EQ(ClipForPaste(&fetched), 0u);
  ASSERT_TRUE(fetched);
  EXPECT_EQ(fetched->length, 300u);
  ASSERT_EQ(Paste(*doc_, 1000, *fetched), 0u);
  const std::vector<std::int16_t> all = ReadS16(doc_->segments, 2, doc_->length);
  EXPECT_EQ(std::vector<std::int16_t>(all.begin() + 2000, all.end()),
            std::vector<std::int16_t>(all.begin(), all.begin() + 600));
  // A clip of the program's own is not withdrawn over another's image.
  ClipRef mine;
  ASSERT_EQ(CopyToClip(*doc_, 0, 10, &mine), 0u);
  MutableCoreOptions().use_system_clipboard = false;
  ASSERT_EQ(SetCurrentClip(mine), 0u);
  MutableCoreOptions().use_system_clipboard = true;
  ClearCurrentClip();
  EXPECT_EQ(testing::ReadWholeFile(board_), expected);
}

TEST_F(ClipImageTest, AClipboardThatCannotBeOpenedDropsTheClip) {
  ASSERT_EQ(CopySelection(*doc_, 0, 100), 0u);
  ASSERT_TRUE(GetCurrentClip());
  SetClipboardOpenFailsForTesting(true);
  EXPECT_EQ(CopySelection(*doc_, 0, 200), err::kClipboardUnavailable);
  EXPECT_FALSE(GetCurrentClip());  // neither the new clip nor the old one
  const std::uint32_t length = doc_->length;
  EXPECT_EQ(CutSelection(*doc_, 0, 200), err::kClipboardUnavailable);
  EXPECT_EQ(doc_->length, length);  // nothing cut
  EXPECT_TRUE(doc_->history.empty());
  ClipRef fetched;
  EXPECT_EQ(ClipForPaste(&fetched), err::kClipboardUnavailable);
  EXPECT_FALSE(fetched);
}

}  // namespace
}  // namespace tidemark
