#include "formats/tags/vorbis_comments.h"

#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "formats/tags/internal/app_private.h"
#include "platform/error_numbers.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/tags/tag_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;

TEST(VorbisComments, BlockRoundTripAndMalformedLengths) {
  const VorbisComments c{"vendor x", {"TITLE=a", "", "ARTIST=\xC3\xA9"}};
  std::vector<std::uint8_t> block;
  ASSERT_EQ(BuildVorbisCommentBlock(c, &block), 0u);
  ChunkBytes want;
  want.U32(8).Text("vendor x").U32(3).U32(7).Text("TITLE=a").U32(0).U32(9).Text("ARTIST=\xC3\xA9");
  EXPECT_EQ(block, want.bytes());
  VorbisComments back;
  ASSERT_EQ(ParseVorbisCommentBlock(block, &back), 0u);
  EXPECT_EQ(back.vendor, c.vendor);
  EXPECT_EQ(back.comments, c.comments);

  // Every prefix that cuts into a length or a text is malformed; so are counts and lengths past the end.
  for (std::size_t n = 0; n < block.size(); ++n) {
    EXPECT_EQ(ParseVorbisCommentBlock(std::span(block).first(n), &back), err::kMalformed) << n;
    EXPECT_TRUE(back.comments.empty());
  }
  for (const Bytes& bad : {ChunkBytes().U32(0xFFFFFFFF).bytes(), ChunkBytes().U32(0).U32(0xFFFFFFFF).U32(1).bytes(),
                           ChunkBytes().U32(0).U32(2).U32(1).Text("x").U32(0xFFFFFFF0).bytes()})
    EXPECT_EQ(ParseVorbisCommentBlock(bad, &back), err::kMalformed);
}

TEST(VorbisComments, ToTagsKeysFirstValueAppPrivateAndVendor) {
  VorbisComments c{"libX 1.2",
                   {"title=First", "TITLE=Second", "Comment=the comment", "DESCRIPTION=late", "no equals sign",
                    "ARTIST=", "artist=Named", "album=The \"Album\"", "TrackNumber=7", "ALBUM=other", "CONTACT=http://x/",
                    "ISRC=USRC17607839", "DATE=2024", "GENRE=Rock", "bad=\xFF"}};
  TagSet tags;
  ASSERT_EQ(VorbisCommentsToTags(c, &tags), 0u);
  EXPECT_EQ(TagText(tags, InfoText::Name), "First");
  EXPECT_EQ(TagText(tags, InfoText::Artist), "Named");  // an empty value does not take the slot
  EXPECT_EQ(TagText(tags, InfoText::Comments), "the comment");
  EXPECT_EQ(TagText(tags, InfoText::CreationDate), "2024");
  EXPECT_EQ(TagText(tags, InfoText::Genre), "Rock");
  EXPECT_EQ(TagText(tags, InfoText::Software), "libX 1.2");
  const std::string_view app = TagText(tags, InfoText::AppPrivate);
  EXPECT_EQ(AppPrivateValue(app, "ALBUM"), "The \"Album\"");
  EXPECT_EQ(AppPrivateValue(app, "TNO"), "7");
  EXPECT_EQ(AppPrivateValue(app, "WEBURL"), "http://x/");
  EXPECT_EQ(AppPrivateValue(app, "ISRC"), "USRC17607839");

  // Slots already filled and an AppPrivate already present are kept.
  TagSet filled =
      testing::MakeTags({{InfoText::Name, "Kept"}, {InfoText::AppPrivate, "TNO=1"}, {InfoText::Software, "Mine"}});
  ASSERT_EQ(VorbisCommentsToTags(c, &filled), 0u);
  EXPECT_EQ(TagText(filled, InfoText::Name), "Kept");
  EXPECT_EQ(TagText(filled, InfoText::AppPrivate), "TNO=1");
  EXPECT_EQ(TagText(filled, InfoText::Software), "Mine");
  EXPECT_EQ(TagText(filled, InfoText::Genre), "Rock");

  // Invalid UTF-8 never reaches the set.
  VorbisComments bad{"v\xC3", {"GENRE=a\xFF" "b"}};
  TagSet t;
  ASSERT_EQ(VorbisCommentsToTags(bad, &t), 0u);
  EXPECT_EQ(TagText(t, InfoText::Genre), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(TagText(t, InfoText::Software), "v\xEF\xBF\xBD");
}

TEST(VorbisComments, FromTagsOrderAndReplayGainFormats) {
  const TagSet tags = testing::MakeTags({{InfoText::Genre, "Jazz"}, {InfoText::Name, "T"}, {InfoText::Comments, "C"},
                                        {InfoText::Engineer, "not mapped"},
                                        {InfoText::AppPrivate, "ISRC=short WEBURL=http://w/ TNO=12 ALBUM=\"A B\""}});
  std::vector<std::string> out;
  ASSERT_EQ(TagsToVorbisComments(tags, std::nullopt, &out), 0u);
  EXPECT_EQ(out, (std::vector<std::string>{"TITLE=T", "DESCRIPTION=C", "GENRE=Jazz", "ALBUM=A B", "TRACKNUMBER=12",
                                           "CONTACT=http://w/"}));

  ASSERT_EQ(TagsToVorbisComments(TagSet{}, ReplayGainValues{89.0, -3.456, 0.98765432}, &out), 0u);
  EXPECT_EQ(out, (std::vector<std::string>{"REPLAYGAIN_REFERENCE_LOUDNESS=89.0 dB", "REPLAYGAIN_TRACK_GAIN=-3.46 dB",
                                           "REPLAYGAIN_TRACK_PEAK=0.987654", "REPLAYGAIN_ALBUM_GAIN=-3.46 dB",
                                           "REPLAYGAIN_ALBUM_PEAK=0.987654"}));
  // printf's formats (the tests run in the C locale): the exact binary value
  // rounds, a tie to even; a negative zero keeps its sign.
  for (const auto& [v, loudness, gain, peak] :
       std::initializer_list<std::tuple<ReplayGainValues, std::string, std::string, std::string>>{
           {{83.25, 0.0, 1.0}, "83.2", "+0.00", "1.000000"},
           {{0.05, -0.004, 1e-7}, "0.1", "-0.00", "0.000000"},
           {{-1.0, 12.345, 0.1234565}, "-1.0", "+12.35", "0.123456"},
           {{89.0, -0.0, 2.5}, "89.0", "-0.00", "2.500000"}}) {
    ASSERT_EQ(TagsToVorbisComments(TagSet{}, v, &out), 0u);
    EXPECT_EQ(out, (std::vector<std::string>{"REPLAYGAIN_REFERENCE_LOUDNESS=" + loudness + " dB",
                                             "REPLAYGAIN_TRACK_GAIN=" + gain + " dB", "REPLAYGAIN_TRACK_PEAK=" + peak,
                                             "REPLAYGAIN_ALBUM_GAIN=" + gain + " dB", "REPLAYGAIN_ALBUM_PEAK=" + peak}));
  }
}

}  // namespace
}  // namespace tidemark
