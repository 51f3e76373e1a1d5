// Hostile and broken language files: loading must stay bounded, never crash
// and never leave a slot pointing anywhere but into a live buffer.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "config/config_file_io.h"
#include "config/text_catalogue.h"
#include "platform/error_numbers.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::MakeTempDir;
using testing::WriteWholeFile;

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
  WriteWholeFile(dir + "/empty.txt", "");
  EXPECT_EQ(Load(dir + "/empty.txt", catalogue, &rc), 0u);
  EXPECT_EQ(rc, err::kOk);
  for (const char* bom : {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"}) {
    WriteWholeFile(dir + "/bom.txt", bom);  // nothing behind the mark
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
    WriteWholeFile(path, bytes);
    TextCatalogue fresh;
    (void)Load(path, fresh);
  }

  // Binary noise around a real section still fills that section.
  WriteWholeFile(dir + "/noisy.txt", std::string("\x00\x01\xFF[", 4) + "\n[undo]\n=Cut\n\x7F\x80\n");
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
    WriteWholeFile(path, file.substr(0, cut));
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
  WriteWholeFile(dir + "/surrogate.txt", std::string("\xFF\xFE[\0u\0n\0d\0o\0]\0\n\0=\0\x00\xD8", 20));
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
  WriteWholeFile(dir + "/long.txt", file);
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
  WriteWholeFile(dir + "/many.txt", file);
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
