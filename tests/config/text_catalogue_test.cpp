// The language file catalogue: the line rules, encodings, what stays valid
// across loads, and hostile or broken files.
#include "config/text_catalogue.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "config/config_file_io.h"
#include "platform/error_numbers.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::MakeTempDir;
using testing::WriteFileText;

const TextSection& Section(std::string_view path) {
  const TextSection* section = FindTextSection(path);
  EXPECT_NE(section, nullptr) << path;
  return *section;
}

std::string_view TextOf(const TextCatalogue& catalogue, std::string_view path, unsigned k) {
  return catalogue.Text(SlotInSection(Section(path), k));
}

TEST(TextCatalogue, EverySlotStartsEmptyAndNeverNull) {
  TextCatalogue catalogue;
  for (std::uint32_t n = 0; n < kTextSlotCount; ++n) {
    EXPECT_TRUE(catalogue.Text(n).empty()) << n;
    EXPECT_NE(catalogue.Text(n).data(), nullptr) << n;
  }
  EXPECT_TRUE(catalogue.Text(kTextSlotCount).empty());
  EXPECT_TRUE(catalogue.Text(0xFFFFFFFFu).empty());
}

// The line rules of a language file: which lines count, how section names
// match, escapes, and what an earlier load leaves in place.
TEST(TextCatalogue, ParseRules) {
  struct Text {
    const char* section;
    unsigned k;
    std::string_view text;
  };
  struct Case {
    const char* what;
    std::string earlier, file;
    std::size_t filled;
    std::vector<Text> texts;
  } cases[] = {
      {"ASCII case is ignored", "", "[Frame/Menu/File]\n=&Open\n", 1, {{"frame/menu/file", 0, "&Open"}}},
      // The spaces are part of the name, so the section is unknown and its
      // lines are skipped, not added to the section before it.
      {"spaces inside the brackets", "[frame/menu/file]\n=&Open\n", "[undo]\n=Cut\n[ frame/menu/file ]\n=x\n=y\n", 1,
       {{"undo", 0, "Cut"}, {"undo", 1, ""}, {"frame/menu/file", 0, "&Open"}, {"frame/menu/file", 1, ""}}},
      {"only ASCII letters fold", "", "[UND\xC3\x96]\n=z\n", 0, {}},
      {"blanks around brackets go, after = stay", "", " \t[status]\t \n \t= Ready \n", 1, {{"status", 0, " Ready "}}},
      {"a lone = keeps the slot but counts", "[frame/menu/file]\n=a\n=b\n=c\n", "[frame/menu/file]\n=Open\n=\n=Save\n", 2,
       {{"frame/menu/file", 0, "Open"}, {"frame/menu/file", 1, "b"}, {"frame/menu/file", 2, "Save"}}},
      {"escapes resolved, unknown ones kept", "",
       "[text]\n=one\\ntwo\n=a\\\\b\n=tab\\there\n=cr\\rlf\n=end\\\n=\\\\n is not a line feed\n=\\q\\\\\\n\n=a=b\n", 8,
       {{"text", 0, "one\ntwo"}, {"text", 1, "a\\b"}, {"text", 2, "tab\\there"}, {"text", 3, "cr\rlf"},
        {"text", 4, "end\\"}, {"text", 5, "\\n is not a line feed"}, {"text", 6, "\\q\\\n"}, {"text", 7, "a=b"}}},
      {"a repeated section is filled twice, later lines win", "",
       "[status]\n=first\n=second\n=third\n[undo]\n=Cut\n[STATUS]\n=\n=SECOND\n", 4,
       {{"status", 0, "first"}, {"status", 1, "SECOND"}, {"status", 2, "third"}, {"undo", 0, "Cut"}}},
      {"only section and text lines count", "",
       "; comment\n=before any section\n[status]\n; a comment does not move the position\n\nReady\n"
       "[not closed\nx=y\n=Ready\n[status] trailing\n=Wrapped\n",
       2, {{"status", 0, "Ready"}, {"status", 1, "Wrapped"}}},
      {"[] is a section of an unknown (empty) name", "[status]\n=Ready\n", "[status]\n[]\n=lost\n", 0,
       {{"status", 0, "Ready"}}},
      {"carriage returns vanish, the last line needs no line feed", "", "[status]\r\n=Re\rady\r\n=last", 2,
       {{"status", 0, "Ready"}, {"status", 1, "last"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TextCatalogue catalogue;
    (void)catalogue.Parse(c.earlier);
    EXPECT_EQ(catalogue.Parse(c.file), c.filled);
    for (const Text& t : c.texts) EXPECT_EQ(TextOf(catalogue, t.section, t.k), t.text) << t.section << " " << t.k;
  }
}

TEST(TextCatalogue, SurplusLinesAreIgnoredAndNeverReachTheNextSection) {
  std::string file = "[button]\n";
  for (int i = 0; i < 12; ++i) file += "=b" + std::to_string(i) + "\n";
  TextCatalogue catalogue;
  EXPECT_EQ(catalogue.Parse(file), 9u);
  for (unsigned k = 0; k < 9; ++k) EXPECT_EQ(TextOf(catalogue, "button", k), std::string("b").append(std::to_string(k)));
  // "cderase" owns the slots right after "button".
  ASSERT_EQ(Section("cderase").first_slot, Section("button").first_slot + 9);
  EXPECT_TRUE(TextOf(catalogue, "cderase", 0).empty());
}

TEST(TextCatalogue, NothingChangesWhenNoSlotIsFilled) {
  TextCatalogue catalogue;
  ASSERT_EQ(catalogue.Parse("[undo]\n=Cut\n"), 1u);
  const std::string_view before = catalogue.Text(text::kUndoAdd);
  for (const char* text : {"", "\n\n", "[undo]\n=\n=\n", "[nosuch]\n=x\n", "=x\n", "garbage"})
    EXPECT_EQ(catalogue.Parse(text), 0u) << text;
  EXPECT_EQ(catalogue.Text(text::kUndoAdd), "Cut");
  EXPECT_EQ(catalogue.Text(text::kUndoAdd).data(), before.data());
}

TEST(TextCatalogue, TextsHandedOutStayValidAcrossLaterLoads) {
  TextCatalogue catalogue;
  ASSERT_EQ(catalogue.Parse(std::string("[undo]\n=Cut\n=Delete\n")), 2u);
  const std::string_view cut = catalogue.Text(text::kUndoAdd);
  ASSERT_EQ(catalogue.Parse(std::string("[undo]\n=Schneiden\n")), 1u);
  catalogue.ClearSlots();
  EXPECT_EQ(cut, "Cut");  // still readable (the sanitizer would see a freed buffer)
  EXPECT_TRUE(catalogue.Text(text::kUndoAdd).empty());
  EXPECT_TRUE(catalogue.Text(text::kUndoRemove).empty());
}

TEST(TextCatalogue, LoadFileDecodesEveryEncoding) {
  const std::string dir = MakeTempDir("catalogue-load");
  const std::string body = "[status]\n=caf\xC3\xA9\n=\xE6\x97\xA5\xE6\x9C\xAC\n";
  // [status]\n=café\n=日本\n in both byte orders.
  const std::u16string_view units = u"[status]\n=caf\u00E9\n=\u65E5\u672C\n";
  struct Case {
    const char* name;
    std::string bytes;
    std::string_view codeset;
    std::string_view second;
  } cases[] = {
      {"utf8-bom", "\xEF\xBB\xBF" + body, "CP1252", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"utf16le", testing::Utf16Bytes(units), "CP1252", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"utf16be", testing::Utf16Bytes(units, true), "CP1252", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"narrow-cp1252", "[status]\n=caf\xE9\n=\x80\n", "CP1252", "\xE2\x82\xAC"},
      {"narrow-utf8", body, "UTF-8", "\xE6\x97\xA5\xE6\x9C\xAC"},
  };
  for (const Case& c : cases) {
    const std::string path = dir + "/" + c.name + ".txt";
    WriteFileText(path, c.bytes);
    TextCatalogue catalogue;
    std::size_t filled = 99;
    EXPECT_EQ(catalogue.LoadFile(path, c.codeset, &filled), err::kOk) << c.name;
    EXPECT_EQ(filled, 2u) << c.name;
    EXPECT_EQ(TextOf(catalogue, "status", 0), "caf\xC3\xA9") << c.name;
    EXPECT_EQ(TextOf(catalogue, "status", 1), c.second) << c.name;
  }
}

TEST(TextCatalogue, UnreadableFilesLeaveTheCatalogueUnchanged) {
  const std::string dir = MakeTempDir("catalogue-unreadable");
  TextCatalogue catalogue;
  ASSERT_EQ(catalogue.Parse("[undo]\n=Cut\n"), 1u);
  std::size_t filled = 99;
  EXPECT_EQ(catalogue.LoadFile(dir + "/missing.txt", "UTF-8", &filled), err::kCannotOpen);
  EXPECT_EQ(filled, 0u);
  EXPECT_EQ(catalogue.LoadFile(dir, "UTF-8", &filled), err::kCannotOpen);  // a folder
  EXPECT_EQ(catalogue.Text(text::kUndoAdd), "Cut");
}

// --- hostile and broken files: loading stays bounded, never crashes and
// never leaves a slot pointing anywhere but into a live buffer ---

// Reads every slot, so that a dangling view would be caught by the sanitizer.
std::size_t TouchAll(const TextCatalogue& catalogue) {
  std::size_t sum = 0;
  for (std::uint32_t n = 0; n < kTextSlotCount; ++n)
    for (char c : catalogue.Text(n)) sum += static_cast<unsigned char>(c);
  return sum;
}

std::size_t Load(const std::string& path, TextCatalogue& catalogue, Error* rc = nullptr) {
  std::size_t filled = 0;
  const Error result = catalogue.LoadFile(path, "UTF-8", &filled);
  if (rc) *rc = result;
  TouchAll(catalogue);
  return filled;
}

TEST(TextCatalogueBadInput, EmptyAndBinaryFilesLoadNothing) {
  const std::string dir = MakeTempDir("bad-binary");
  TextCatalogue catalogue;
  Error rc(1);
  WriteFileText(dir + "/empty.txt", "");
  EXPECT_EQ(Load(dir + "/empty.txt", catalogue, &rc), 0u);
  EXPECT_EQ(rc, err::kOk);
  for (const char* bom : {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"}) {
    WriteFileText(dir + "/bom.txt", bom);  // nothing behind the mark
    EXPECT_EQ(Load(dir + "/bom.txt", catalogue), 0u);
  }

  std::mt19937 random(12345);
  for (int round = 0; round < 40; ++round) {
    std::string bytes(1 + random() % 20000, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    if (round % 4 == 1) bytes.insert(0, "\xFF\xFE");
    if (round % 4 == 2) bytes.insert(0, "\xFE\xFF");
    if (round % 4 == 3) bytes.insert(0, "\xEF\xBB\xBF");
    const std::string path = dir + "/random" + std::to_string(round) + ".txt";
    WriteFileText(path, bytes);
    TextCatalogue fresh;
    (void)Load(path, fresh);
  }

  // Binary noise around a real section still fills that section.
  WriteFileText(dir + "/noisy.txt", std::string("\x00\x01\xFF[", 4) + "\n[undo]\n=Cut\n\x7F\x80\n");
  TextCatalogue noisy;
  EXPECT_EQ(Load(dir + "/noisy.txt", noisy), 1u);
  EXPECT_EQ(noisy.Text(text::kUndoAdd), "Cut");
}

TEST(TextCatalogueBadInput, Utf16CutInsideAUnitKeepsWhatCameBefore) {
  const std::string dir = MakeTempDir("bad-utf16");
  std::string file = "\xFF\xFE";
  for (char c : std::string_view("[undo]\n=Cut\n=Delete")) file += std::string{c, '\0'};
  for (std::size_t cut = 2; cut <= file.size(); ++cut) {
    const std::string path = dir + "/cut" + std::to_string(cut) + ".txt";
    WriteFileText(path, file.substr(0, cut));
    TextCatalogue catalogue;
    const std::size_t filled = Load(path, catalogue);
    const std::size_t whole_units = (cut - 2) / 2;
    if (whole_units >= std::string_view("[undo]\n=Cut").size()) {
      EXPECT_GE(filled, 1u) << cut;
      // A half unit at the end becomes U+FFFD, never a stray byte.
      const std::string_view last = catalogue.Text(text::kUndoRemove);
      if (cut % 2 == 1 && !last.empty()) {
        EXPECT_TRUE(last.ends_with("\xEF\xBF\xBD")) << cut;
      }
    }
    EXPECT_LE(filled, 2u);
  }
  // A lone high surrogate is replaced too.
  WriteFileText(dir + "/surrogate.txt", std::string("\xFF\xFE[\0u\0n\0d\0o\0]\0\n\0=\0\x00\xD8", 20));
  TextCatalogue catalogue;
  EXPECT_EQ(Load(dir + "/surrogate.txt", catalogue), 1u);
  EXPECT_EQ(catalogue.Text(text::kUndoAdd), "\xEF\xBF\xBD");
}

TEST(TextCatalogueBadInput, MegabyteLinesAreHandledWhole) {
  const std::string dir = MakeTempDir("bad-long");
  const std::string long_text(1 << 20, 'x');
  const std::string long_name(1 << 20, 'a');
  const std::string file = "[" + long_name + "]\n=lost\n" + "[undo]\n=" + long_text + "\n" +
                           std::string(1 << 20, ' ') + "=second\n" + "; " + long_text + "\n=third\n";
  WriteFileText(dir + "/long.txt", file);
  TextCatalogue catalogue;
  EXPECT_EQ(Load(dir + "/long.txt", catalogue), 3u);
  EXPECT_EQ(catalogue.Text(text::kUndoAdd), long_text);
  EXPECT_EQ(catalogue.Text(text::kUndoRemove), "second");
  EXPECT_EQ(catalogue.Text(text::kUndoChange), "third");
}

TEST(TextCatalogueBadInput, HundredThousandSectionsLoadInBoundedTime) {
  const std::string dir = MakeTempDir("bad-many");
  std::string file;
  for (int i = 0; i < 100000; ++i) {
    file += (i % 3 == 0) ? "[undo]\n" : (i % 3 == 1) ? "[Unknown/Section" + std::to_string(i) + "]\n" : "[STATUS]\n";
    file += "=t" + std::to_string(i) + "\n";
  }
  WriteFileText(dir + "/many.txt", file);
  TextCatalogue catalogue;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Load(dir + "/many.txt", catalogue), 2u);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 20.0);  // linear work; generous for sanitizer builds on a busy machine
  EXPECT_EQ(catalogue.Text(text::kUndoAdd), "t99999");
  EXPECT_EQ(catalogue.Text(text::kStatusReady), "t99998");
}

TEST(TextCatalogueBadInput, OversizedFileIsRefusedBeforeReading) {
  const std::string dir = MakeTempDir("bad-huge");
  const std::string path = dir + "/huge.txt";
  const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxConfigFileBytes + 1)), 0);  // sparse
  ::close(fd);
  TextCatalogue catalogue;
  ASSERT_EQ(catalogue.Parse("[undo]\n=Cut\n"), 1u);
  Error rc;
  EXPECT_EQ(Load(path, catalogue, &rc), 0u);
  EXPECT_EQ(rc, err::kSizeLimit);
  EXPECT_EQ(catalogue.Text(text::kUndoAdd), "Cut");
}

}  // namespace
}  // namespace tidemark
