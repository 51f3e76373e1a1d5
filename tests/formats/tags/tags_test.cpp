#include "formats/tags/tags.h"

#include <gtest/gtest.h>

#include "core/core_options.h"
#include "formats/chunks/chunk_metadata.h"
#include "platform/ascii_case.h"
#include "platform/error_numbers.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/peer_test_util.h"
#include "tests/formats/tags/tag_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;

class ScopedStamp {
 public:
  explicit ScopedStamp(bool on) : old_(GetCoreOptions().software_name_stamp) {
    MutableCoreOptions().software_name_stamp = on;
  }
  ~ScopedStamp() { MutableCoreOptions().software_name_stamp = old_; }

 private:
  bool old_;
};

TagSet Sample() {
  return testing::MakeTags({{InfoText::Name, "A Title"}, {InfoText::Artist, "An Artist"},
                            {InfoText::Copyright, "2024 Owner"}, {InfoText::Comments, "Some words"},
                            {InfoText::Software, "Other 1.0"}, {InfoText::Genre, "Jazz"}});
}

TEST(Tags, RoundTripsPerKindWithTheSoftwareStamp) {
  ScopedStamp stamp(true);
  for (const PcmFileKind kind : {PcmFileKind::Temp, PcmFileKind::Wave, PcmFileKind::AIFF, PcmFileKind::AIFC,
                                 PcmFileKind::AU}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const Bytes original = testing::SoundFileBytes(kind, 5);
    const std::string path = testing::WriteTempFile("t.snd", original);
    ASSERT_EQ(WriteTags(path, kind, Sample()), 0u);
    TagSet back;
    ASSERT_EQ(ReadTags(path, kind, &back), 0u);
    TagSet want;
    if (kind == PcmFileKind::AU) {
      want = testing::MakeTags({{InfoText::Copyright, "2024 Owner"}});
    } else if (kind == PcmFileKind::AIFF || kind == PcmFileKind::AIFC) {
      for (const InfoText slot : {InfoText::Name, InfoText::Artist, InfoText::Copyright, InfoText::Comments})
        SetTagText(want, slot, TagText(Sample(), slot));
    } else {
      want = Sample();
      SetTagText(want, InfoText::Software, kSoftwareStamp);  // replaces the old value
    }
    EXPECT_EQ(back, want);
    // The samples are untouched.
    const Bytes written = testing::ReadWholeFile(path);
    EXPECT_EQ(testing::Slice(written, original.size() - 20, 20), testing::Slice(original, original.size() - 20, 20));

    // Replacing gives the new set, not both.
    ASSERT_EQ(ReplaceTags(path, kind, testing::MakeTags({{InfoText::Copyright, "New"}})), 0u);
    ASSERT_EQ(ReadTags(path, kind, &back), 0u);
    EXPECT_EQ(TagText(back, InfoText::Copyright), "New");
    EXPECT_EQ(TagText(back, InfoText::Name), "");
  }
}

TEST(Tags, StampOffWritesNothingForAnEmptySetAndRawDoesNothing) {
  const Bytes original = testing::SoundFileBytes(PcmFileKind::Wave, 2);
  const std::string path = testing::WriteTempFile("t.wav", original);
  {
    ScopedStamp stamp(false);
    ASSERT_EQ(WriteTags(path, PcmFileKind::Wave, TagSet{}), 0u);
    EXPECT_EQ(testing::ReadWholeFile(path), original);
    ASSERT_EQ(WriteTags(path, PcmFileKind::Wave, Sample()), 0u);
    TagSet back;
    ASSERT_EQ(ReadTags(path, PcmFileKind::Wave, &back), 0u);
    EXPECT_EQ(TagText(back, InfoText::Software), "Other 1.0");
  }
  ScopedStamp stamp(true);
  ASSERT_EQ(ReplaceTags(path, PcmFileKind::Wave, TagSet{}), 0u);
  TagSet back;
  ASSERT_EQ(ReadTags(path, PcmFileKind::Wave, &back), 0u);
  EXPECT_EQ(back, testing::MakeTags({{InfoText::Software, std::string(kSoftwareStamp)}}));

  const std::string raw = testing::WriteTempFile("t.raw", Bytes(64, 1));
  EXPECT_EQ(WriteTags(raw, PcmFileKind::Raw, Sample()), 0u);
  EXPECT_EQ(testing::ReadWholeFile(raw), Bytes(64, 1));
  EXPECT_EQ(ReadTags(raw, PcmFileKind::Raw, &back), 0u);
  EXPECT_TRUE(IsTagSetEmpty(back));
}

TEST(Tags, DamagedHugeAndMissingFiles) {
  ScopedStamp stamp(true);
  TagSet back;
  // Not a container of the kind: 78, for reading and writing, and the file stays as it was.
  const Bytes wav = testing::SoundFileBytes(PcmFileKind::Wave, 2);
  const std::string wav_path = testing::WriteTempFile("t.wav", wav);
  EXPECT_EQ(ReadTags(wav_path, PcmFileKind::AIFF, &back), err::kLayoutMismatch);
  EXPECT_EQ(WriteTags(wav_path, PcmFileKind::AIFF, Sample()), err::kLayoutMismatch);
  EXPECT_EQ(WriteTags(wav_path, PcmFileKind::AU, Sample()), err::kLayoutMismatch);
  EXPECT_EQ(testing::ReadWholeFile(wav_path), wav);

  const std::string huge = testing::WriteSparseFile("h.wav", wav, 0xFFFFFFFFull);
  EXPECT_EQ(ReadTags(huge, PcmFileKind::Wave, &back), err::kLayoutMismatch);
  EXPECT_EQ(WriteTags(huge, PcmFileKind::Wave, Sample()), err::kLayoutMismatch);

  EXPECT_EQ(WriteTags(testing::TempFilePath("none.wav"), PcmFileKind::Wave, Sample()), err::kCannotOpen);
}

// What ffprobe lists as the file's tags, lower-cased (it upper-cases some names).
std::string ProbeTags(const std::string& path) { return AsciiLower(testing::FfprobeOutput(path, "format_tags")); }

TEST(Tags, FfprobeReadsWhatWeWrite) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  ScopedStamp stamp(true);
  const TagSet tags = testing::MakeTags({{InfoText::Name, "probe title"}, {InfoText::Artist, "probe artist"}});
  const std::string wav =
      testing::WriteTempFile("p.wav", testing::PcmFile(sample_code::kS16, 2, 44100, Bytes(400, 0)));
  ASSERT_EQ(WriteTags(wav, PcmFileKind::Wave, tags), 0u);
  const std::string wav_tags = ProbeTags(wav);
  EXPECT_NE(wav_tags.find("tag:title=probe title"), std::string::npos) << wav_tags;
  EXPECT_NE(wav_tags.find("tag:artist=probe artist"), std::string::npos) << wav_tags;
  EXPECT_NE(wav_tags.find("tag:encoder=tidemark 1.8.5.2"), std::string::npos) << wav_tags;

  const std::string aiff = testing::WriteTempFile("p.aif", testing::SoundFileBytes(PcmFileKind::AIFF, 100));
  ASSERT_EQ(WriteTags(aiff, PcmFileKind::AIFF, tags), 0u);
  const std::string aiff_tags = ProbeTags(aiff);
  EXPECT_NE(aiff_tags.find("tag:title=probe title"), std::string::npos) << aiff_tags;
  EXPECT_NE(aiff_tags.find("tag:author=probe artist"), std::string::npos) << aiff_tags;
}

}  // namespace
}  // namespace tidemark
