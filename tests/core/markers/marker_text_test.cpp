// Label text files: the time and line forms, the line grammar, decoding by
// byte-order mark, bad input, and the export and import files.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/markers/marker_list.h"
#include "core/markers/marker_text.h"
#include "core/samples/sample_format.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/narrow_codeset.h"
#include "tests/core/document_test_util.h"
#include "tests/core/marker_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::FolderNames;
using Entry = testing::MarkerEntry;
constexpr auto Entries = testing::MarkerEntries;
constexpr auto MakeList = testing::MakeMarkerList;
std::vector<Entry> ParseAll(std::string_view bytes, std::uint32_t rate) {
  MarkerList list;
  EXPECT_EQ(ParseMarkerText(bytes, rate, &list), 0u);
  return Entries(list);
}

using testing::ReadFileText;
using testing::Utf16Bytes;
using testing::WriteFileText;

TEST(MarkerTextTest, TimeFormRoundsAndCarries) {
  const struct {
    std::uint32_t frames, rate;
    const char* text;
  } cases[] = {
      {66150, 44100, "00:01.5000"}, {0, 44100, "00:00.0000"},
      {1, 44100, "00:00.0000"},  // 0.227 ten-thousandths
      {3, 44100, "00:00.0001"},  // 0.680
      {7 * 60 * 48000 + 5 * 48000 + 12, 48000, "07:05.0003"},  // 2.5 rounds up
      // 59.99999 s: 47999 / 48000 of a second is 9999.79 ten-thousandths,
      // which rounds to a whole second and carries into the minutes.
      {59 * 48000 + 47999, 48000, "01:00.0000"}, {5999999, 100000, "01:00.0000"},
      {3599 * 48000 + 47999, 48000, "60:00.0000"}, {12 * 48000 + 47999, 48000, "00:13.0000"},
      // Minutes are not limited to two digits: 0xFFFF0000 frames at 4000 Hz
      // are 1073725.44 s = 17895 min 25.44 s.
      {kMaxFrames, 4000, "17895:25.4400"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatMarkerTime(c.frames, c.rate), c.text) << c.frames << " at " << c.rate;
}

TEST(MarkerTextTest, LineFormQuotesEscapesAndOmitsAnEmptyComment) {
  const auto line = [](std::string_view name, std::string_view comment, std::uint32_t position) {
    Marker* m = NewMarker(name, comment, position);
    std::string out;
    EXPECT_EQ(AppendMarkerLine(*m, 44100, &out), 0u);
    m->Release();
    return out;
  };
  EXPECT_EQ(line("name", "", 66150), "00:01.5000\t\"name\"");
  EXPECT_EQ(line("say \"hi\"", "C:\\dir\\", 0), "00:00.0000\t\"say \\\"hi\\\"\" \"C:\\\\dir\\\\\"");
  EXPECT_EQ(line("", "two\r\nlines", 0), "00:00.0000\t\"\" \"two  lines\"");
}

TEST(MarkerTextTest, LineGrammarAcceptsTimesAndTokens) {
  const struct {
    const char* line;
    double seconds;
    const char* name;
    const char* comment;
  } cases[] = {
      {"1:02:03.5 Intro", 3723.5, "Intro", ""},
      // An unquoted name is the rest of the line, inner and trailing spaces too.
      {" \t12.25   My long  name \"x\"  ", 12.25, "My long  name \"x\"  ", ""},
      // Only \" and \\ are escapes.
      {"0:5\t\"a \\\"q\\\" \\\\ \\n\"   \"the note\" trailing", 5, "a \"q\" \\ \\n", "the note"},
      {"3 \"quoted\" unquoted comment", 3, "quoted", "unquoted comment"},
      // A quote that never closes takes the rest of the line.
      {"3 \"open name \\\"", 3, "open name \"", ""}, {"3 \"n\" \"open", 3, "n", "open"},
      // Fraction digits after the eighth are ignored; a point may end the time.
      {"1.123456789999", 1.12345678, "", ""}, {"7. seven", 7, "seven", ""}, {"0", 0, "", ""},
      // Eight digits in every field; each ':' multiplies by 60.
      {"99999999:99999999:99999999.5", (99999999.0 * 60 + 99999999.0) * 60 + 99999999.5, "", ""},
      {"1:75", 135, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    MarkerTextLine l;
    ASSERT_EQ(ParseMarkerLine(c.line, &l), LineParse::kMarker);
    EXPECT_DOUBLE_EQ(l.seconds, c.seconds);
    EXPECT_EQ(l.name, c.name);
    EXPECT_EQ(l.comment, c.comment);
  }
  EXPECT_EQ(SecondsToFrames(3723.5, 48000), 178728000u);
}

TEST(MarkerTextTest, LineGrammarRejectsEveryBadTime) {
  for (const char* bad : {"", "   ", "x1 name", ".5 name", "-1 name", "\"1\" name",
                          "123456789 nine digits", "1:123456789", "123456789:1", "1.5:3 colon after point",
                          "1:2:3:4 third colon", "1: name", "1:", "1::2", "1:x", "1:.5", "1.x", "1..5",
                          "12a name", "1.5\"name\"", "1,5 comma"}) {
    MarkerTextLine l;
    EXPECT_EQ(ParseMarkerLine(bad, &l), LineParse::kNoMarker) << '"' << bad << '"';
  }
}

TEST(MarkerTextTest, SecondsBecomeFramesWithinTheRange) {
  const struct {
    double seconds;
    std::uint32_t rate, frames;
  } cases[] = {
      {1.5, 44100, 66150}, {0.5 / 44100, 44100, 1},  // exactly half a frame rounds up
      {0.49 / 44100, 44100, 0}, {0, 44100, 0}, {-3, 44100, 0}, {std::nan(""), 44100, 0}, {1e12, 384000, kMaxFrames},
      {std::numeric_limits<double>::infinity(), 8000, kMaxFrames},
      {static_cast<double>(kMaxFrames) - 1, 1, kMaxFrames - 1},
  };
  for (const auto& c : cases) EXPECT_EQ(SecondsToFrames(c.seconds, c.rate), c.frames) << c.seconds << " at " << c.rate;
}

TEST(MarkerTextTest, TextDecodesByByteOrderMark) {
  // UTF-16LE with CR LF, a character outside the BMP, a skipped header and
  // no LF after the last line.
  const std::u16string text = u"# source file:\r\n#\r\n00:01.5000\t\"caf\u00E9 \U0001F3B5\"\r\n0:02 \"b\" \"note\"";
  const std::vector<Entry> expected = {{66150, "caf\xC3\xA9 \xF0\x9F\x8E\xB5", ""}, {88200, "b", "note"}};
  EXPECT_EQ(ParseAll(Utf16Bytes(text), 44100), expected);
  EXPECT_EQ(ParseAll(Utf16Bytes(text, true), 44100), expected);
  EXPECT_EQ(ParseAll("\xEF\xBB\xBF" "00:01.5 \"caf\xC3\xA9 \xF0\x9F\x8E\xB5\"\r\n2 \"b\" note", 44100),
            (std::vector<Entry>{{66150, "caf\xC3\xA9 \xF0\x9F\x8E\xB5", ""}, {88200, "b", "note"}}));

  // An odd byte left at the end of UTF-16 text is dropped; the line before
  // it still counts.
  EXPECT_EQ(ParseAll(Utf16Bytes(u"1 a") + std::string(1, '\0'), 10), (std::vector<Entry>{{10, "a", ""}}));
  // A lone surrogate becomes U+FFFD.
  EXPECT_EQ(ParseAll(Utf16Bytes(std::u16string(u"1 a") + char16_t(0xD800)), 10),
            (std::vector<Entry>{{10, "a\xEF\xBF\xBD", ""}}));

  // Without a mark the text is in the narrow code page.
  SetNarrowCodesetForTesting("CP1252");
  EXPECT_EQ(ParseAll("1 caf\xE9\r\n", 10), (std::vector<Entry>{{10, "caf\xC3\xA9", ""}}));
  SetNarrowCodesetForTesting("UTF-8");
  // Invalid UTF-8 cannot reach a name as it is.
  EXPECT_EQ(ParseAll("1 a\xFF" "b\n", 10), (std::vector<Entry>{{10, "a\xEF\xBF\xBD" "b", ""}}));
  SetNarrowCodesetForTesting("");
}

TEST(MarkerTextTest, BadInputIsSkippedAndGoodLinesStillLoad) {
  EXPECT_TRUE(ParseAll("", 44100).empty());
  EXPECT_TRUE(ParseAll("\xFF\xFE", 44100).empty());
  EXPECT_TRUE(ParseAll("\n\n\r\n", 44100).empty());

  // Lines that fail around good ones; CRs anywhere are dropped.
  EXPECT_EQ(ParseAll("junk\n1 one\r\n1:2:3:4 bad\n\r2\r \"two\"\r\n123456789 long\n3 \"open", 1),
            (std::vector<Entry>{{1, "one", ""}, {2, "two", ""}, {3, "open", ""}}));

  // A line over the limit is skipped whole, also when its end is far away;
  // the next line loads.
  std::string overlong = "5 " + std::string(kMaxLabelLineBytes, 'x') + "\n6 after\n";
  EXPECT_EQ(ParseAll(overlong, 1), (std::vector<Entry>{{6, "after", ""}}));

  // Binary input: whatever lines parse come out in range, nothing breaks.
  std::mt19937 rng(5);
  const std::string alphabet = "0123456789:. \t\"\\\r\nab\xC3\xFF";
  for (int round = 0; round < 20; ++round) {
    std::string bytes;
    for (int i = 0; i < 20000; ++i)
      bytes += round % 2 ? static_cast<char>(rng()) : alphabet[rng() % alphabet.size()];
    if (round % 4 == 1) bytes.insert(0, "\xFF\xFE");
    MarkerList list;
    ASSERT_EQ(ParseMarkerText(bytes, 48000, &list), 0u);
    MarkerList merged = MergeSorted(std::move(list), 1000);
    std::uint32_t last = 0;
    for (const Marker* m = merged.first(); m; m = m->next) {
      EXPECT_LE(m->position, 1000u);
      EXPECT_GE(m->position, last);
      last = m->position;
      for (char c : m->name) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20);
    }
  }
}

class MarkerFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::MakeTempDir("marker_text");
    doc_.reset(testing::MakeDocument(SegmentList(), 10 * 48000, 2, 48000));
    ASSERT_TRUE(doc_);
  }
  std::string dir_;
  testing::DocumentPtr doc_;
};

TEST_F(MarkerFileTest, ExportWritesUtf16WithHeaderAndReplacesTheFileWhole) {
  doc_->rate = 44100;
  doc_->markers = MakeList({{66150, "name", ""}, {88200, "n\"b", "c\\d"}});
  const std::string path = dir_ + "/labels.txt";
  ASSERT_EQ(ExportMarkerText(*doc_, path), 0u);
  EXPECT_EQ(ReadFileText(path),
            Utf16Bytes(u"00:01.5000\t\"name\"\r\n00:02.0000\t\"n\\\"b\" \"c\\\\d\"\r\n"));

  const auto starts_with = [&path](std::u16string_view header) {
    const std::string expected = Utf16Bytes(header);
    return ReadFileText(path).substr(0, expected.size()) == expected;
  };
  doc_->second_path = "/music/take \u00E9.wav";
  ASSERT_EQ(ExportMarkerText(*doc_, path), 0u);
  EXPECT_TRUE(starts_with(u"# source file:\r\n# /music/take \u00E9.wav\r\n#\r\n00:01.5000\t"));
  doc_->path = "/music/own.wav";  // the document's own path comes first
  ASSERT_EQ(ExportMarkerText(*doc_, path), 0u);
  EXPECT_TRUE(starts_with(u"# source file:\r\n# /music/own.wav\r\n#\r\n00:01.5000\t"));
  EXPECT_EQ(FolderNames(dir_), std::vector<std::string>{"labels.txt"});

  // Without markers only the mark and the header remain.
  doc_->markers.Clear();
  doc_->path.reset();
  doc_->second_path.reset();
  ASSERT_EQ(ExportMarkerText(*doc_, path), 0u);
  EXPECT_EQ(ReadFileText(path), "\xFF\xFE");

  // Through a link the file it names is written; the link stays.
  ASSERT_EQ(symlink("labels.txt", (dir_ + "/link.txt").c_str()), 0);
  doc_->markers = MakeList({{0, "l", ""}});
  ASSERT_EQ(ExportMarkerText(*doc_, dir_ + "/link.txt"), 0u);
  struct stat st;
  ASSERT_EQ(lstat((dir_ + "/link.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileText(path), Utf16Bytes(u"00:00.0000\t\"l\"\r\n"));
}

TEST_F(MarkerFileTest, ExportFailuresLeaveNothingBehind) {
  doc_->markers = MakeList({{0, "a", ""}});
  EXPECT_EQ(ExportMarkerText(*doc_, dir_ + "/missing/labels.txt"), err::kCreateFailed);
  WriteFileText(dir_ + "/plain", "x");
  EXPECT_EQ(ExportMarkerText(*doc_, dir_ + "/plain/labels.txt"), err::kCreateFailed);
  ASSERT_EQ(mkdir((dir_ + "/folder").c_str(), 0700), 0);
  EXPECT_EQ(ExportMarkerText(*doc_, dir_ + "/folder"), err::kCreateFailed);
  EXPECT_EQ(FolderNames(dir_), (std::vector<std::string>{"folder", "plain"}));
  EXPECT_TRUE(FolderNames(dir_ + "/folder").empty());

  // A write that fails leaves the old file as it was and no temporary file.
  const std::string path = dir_ + "/folder/labels.txt";
  WriteFileText(path, "old content");
  {
    const fault::ScopedFault full(fault::FaultRule::FailNth(fault::kWrite, 1, ENOSPC));
    EXPECT_EQ(ExportMarkerText(*doc_, path), err::kDiskFull);
    EXPECT_TRUE(full.fired());
  }
  {
    const fault::ScopedFault broken(fault::FaultRule::FailNth(fault::kRename, 1, EIO));
    EXPECT_EQ(ExportMarkerText(*doc_, path), err::kCreateFailed);
  }
  EXPECT_EQ(ReadFileText(path), "old content");
  EXPECT_EQ(FolderNames(dir_ + "/folder"), std::vector<std::string>{"labels.txt"});
}

TEST_F(MarkerFileTest, ReadingAFileGivesTheReadersErrors) {
  MarkerList list;
  EXPECT_EQ(ReadMarkerTextFile(dir_ + "/none.txt", 48000, &list), err::kCannotOpen);
  EXPECT_EQ(ImportMarkerText(*doc_, dir_ + "/none.txt"), err::kCannotOpen);
  EXPECT_EQ(ReadMarkerTextFile(dir_, 48000, &list), err::kReadFailed);  // a folder cannot be read
  EXPECT_TRUE(doc_->markers.empty());

  // A file read in pieces gives what the whole text gives, a UTF-16 unit
  // or a line cut by a piece boundary included.
  std::u16string text = u"\r\n";
  for (int i = 0; i < 120000; ++i) text += u"1:" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u".25 \"m\u00E9\"\r\n";
  const std::string bytes = Utf16Bytes(text);
  ASSERT_GT(bytes.size(), std::size_t{2} << 20);
  WriteFileText(dir_ + "/big.txt", bytes);
  ASSERT_EQ(ReadMarkerTextFile(dir_ + "/big.txt", 48000, &list), 0u);
  EXPECT_EQ(Entries(list), ParseAll(bytes, 48000));
  EXPECT_EQ(list.size(), 120000u);
}

// Peak resident memory of this process so far, in KiB.
long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

TEST_F(MarkerFileTest, HundredMegabytesOfJunkKeepMemoryBounded) {
  const std::string path = dir_ + "/junk.bin";
  {
    std::ofstream out(path, std::ios::binary);
    std::mt19937_64 rng(17);
    std::vector<std::uint64_t> block(1 << 17);  // 1 MiB
    for (int mib = 0; mib < 100; ++mib) {
      for (auto& w : block) w = rng();
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
    ASSERT_TRUE(out.good());
  }
  // Start the high-water mark afresh where the kernel allows it.
  if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
  const long before = PeakResidentKiB();
  ASSERT_GT(before, 0);
  MarkerList list;
  ASSERT_EQ(ReadMarkerTextFile(path, 48000, &list), 0u);
  const long growth = PeakResidentKiB() - before;
  RecordProperty("peak_growth_kib", static_cast<int>(growth));
  // Reading the file whole would take 100 MiB at least.
  EXPECT_LT(growth, 48 * 1024) << "peak grew by " << growth << " KiB";
  unlink(path.c_str());
}

TEST_F(MarkerFileTest, ImportMergesIntoTheDocument) {
  const std::string path = dir_ + "/in.txt";
  // Clamped to the length (10 s), an exact duplicate dropped, the same time
  // with another name kept in file order.
  WriteFileText(path, "\xEF\xBB\xBF" "1:02:03.5 Intro\n0:02 \"b\"\n0:01 a\n0:02 \"b\"\n0:02 \"b2\" \"c\"\nbad line\n");
  ASSERT_EQ(ImportMarkerText(*doc_, path), 0u);
  EXPECT_EQ(Entries(doc_->markers), (std::vector<Entry>{{48000, "a", ""},
                                                        {96000, "b", ""},
                                                        {96000, "b2", "c"},
                                                        {480000, "Intro", ""}}));
  EXPECT_EQ(doc_->marker_change_counter, 1u);

  // A file without one good line adds nothing.
  WriteFileText(path, "no markers here\n");
  ASSERT_EQ(ImportMarkerText(*doc_, path), 0u);
  WriteFileText(path, "");
  ASSERT_EQ(ImportMarkerText(*doc_, path), 0u);
  EXPECT_EQ(doc_->markers.size(), 4u);
  EXPECT_EQ(doc_->marker_change_counter, 1u);
}

TEST_F(MarkerFileTest, ExportedMarkersComeBackUnchanged) {
  // Positions on whole milliseconds survive the four-digit fraction.
  doc_->markers = MakeList({{0, "plain", ""},
                            {48, "with \"quotes\"", "and \\backslashes\\"},
                            {48000 * 6 + 480, "\\\"", "\""},
                            {48000 * 6 + 480, "caf\xC3\xA9 \xF0\x9F\x8E\xB5 \xE6\x97\xA5", ""},
                            {9 * 48000, "", "comment only"}});
  const std::vector<Entry> before = Entries(doc_->markers);
  const std::string path = dir_ + "/round.txt";
  ASSERT_EQ(ExportMarkerText(*doc_, path), 0u);
  testing::DocumentPtr other(testing::MakeDocument(SegmentList(), 10 * 48000, 2, 48000));
  ASSERT_TRUE(other);
  ASSERT_EQ(ImportMarkerText(*other, path), 0u);
  EXPECT_EQ(Entries(other->markers), before);
}

}  // namespace
}  // namespace tidemark
