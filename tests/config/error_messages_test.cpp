#include "config/error_messages.h"

#include <string.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <set>
#include <string>

#include "config/error_codes.h"

namespace tidemark {
namespace {

// A catalogue whose error texts name themselves: text k of section S reads
// "S#k", so every selection shows which slot it took.
class ErrorMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string file;
    for (const char* path : {"error", "error/wavein", "error/waveout", "error/script",
                             "error/effectchain", "error/silent", "error/cd"}) {
      file += std::string("[") + path + "]\n";
      const TextSection* section = FindTextSection(path);
      ASSERT_NE(section, nullptr);
      for (unsigned k = 0; k < section->count; ++k) file += std::string("=") + path + "#" + std::to_string(k) + "\n";
    }
    ASSERT_GT(catalogue_.Parse(file), 0u);
  }

  std::string Describe(std::uint32_t code) const { return DescribeError(Error(code), catalogue_); }
  static std::string Generic(const std::string& number) { return "error#77\n\n(error code = " + number + ")"; }

  TextCatalogue catalogue_;
};

TEST_F(ErrorMessages, EveryClassSelectsItsTextAtEveryBoundary) {
  const std::pair<std::uint32_t, std::string> cases[] = {
      // General codes: 60 has no text, 77 to 79 share one.
      {0, "error#1"}, {1, "error#2"}, {25, "error#26"}, {59, "error#60"}, {60, Generic("60")}, {61, "error#61"},
      {76, "error#76"}, {77, "error#77"}, {78, "error#77"}, {79, "error#77"}, {80, "error#78"}, {81, "error#79"},
      {82, Generic("82")}, {0xFFFF, Generic("65535")},
      // Device, script and effect-chain classes.
      {0x10000, "error/wavein#0"}, {0x10001, "error/wavein#1"}, {0x10002, Generic("65538")},
      {0x20000, "error/waveout#0"}, {0x20001, "error/waveout#1"}, {0x20002, Generic("131074")},
      {0x30000, "error/script#0"}, {0x3000C, "error/script#12"}, {0x3000D, "error/script#13"},
      {0x3000E, Generic("196622")}, {0x40000, "error/effectchain#0"}, {0x40001, "error/effectchain#1"},
      {0x40002, "error/effectchain#2"}, {0x40003, Generic("262147")},
      // Optical-drive status and the workspace-internal class have no text here.
      {0x50000, Generic("327680")}, {err::kWorkspaceAccess.code(), Generic("16646144")}, {0x060000, Generic("393216")},
      // A value with bits above the class is no code of the table.
      {0x01010000, Generic("16842752")}, {0x80070057u, Generic("-2147024809")},
      // Quiet outcomes.
      {0xFFFFFFFFu, "error/silent#0"}, {0xFFFFFFFEu, "error/silent#1"}, {0xFFFFFFFDu, "error/silent#2"},
      {0xFFFFFFFCu, "error#0"}, {0xFFFFFFFBu, "error#0"}, {0xFF000000u, "error#0"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(Describe(code), text) << std::hex << code;
  // Every general code below 82 but 60 has a slot inside "error"; no two
  // codes share one except 77 to 79.
  std::set<std::uint16_t> seen;
  for (std::uint32_t k = 0; k < err::kGeneralCodeCount; ++k) {
    const auto slot = ErrorTextSlot(Error(k));
    if (k == 60) {
      EXPECT_FALSE(slot);
      continue;
    }
    ASSERT_TRUE(slot) << k;
    EXPECT_GE(slot->number, text_section::kError.first_slot + 1) << k;
    EXPECT_LT(slot->number, text_section::kError.first_slot + text_section::kError.count) << k;
    if (k < 78 || k > 79) {
      EXPECT_TRUE(seen.insert(slot->number).second) << k;
    }
  }
}

TEST_F(ErrorMessages, SystemErrors) {
  char expected[256];
  EXPECT_EQ(Describe(0xFD0005), strerror_r(5, expected, sizeof expected));  // EIO
  EXPECT_EQ(Describe(err::OsError(ENOSPC).code()), strerror_r(ENOSPC, expected, sizeof expected));
  ASSERT_EQ(strerrorname_np(4000), nullptr);
  EXPECT_EQ(Describe(0xFD0000 + 4000), "WIN32 ERROR: 4000 (0xFA0)");
  EXPECT_EQ(SystemErrorText(0xFFFF), "WIN32 ERROR: 65535 (0xFFFF)");
  EXPECT_EQ(SystemErrorText(0x12345678), "WIN32 ERROR: 305419896 (0x12345678)");
  for (int e = 1; e < 134; ++e) {  // every known number has a text without a line break
    const std::string text = SystemErrorText(static_cast<std::uint32_t>(e));
    EXPECT_FALSE(text.empty()) << e;
    EXPECT_EQ(text.find('\n'), std::string::npos) << e;
  }
}

TEST_F(ErrorMessages, ReportAppendsTheDetailAndShowsNothingForQuietCodes) {
  EXPECT_EQ(ErrorReport(Error(25), "", catalogue_), "error#26");
  EXPECT_EQ(ErrorReport(Error(25), "/music/a.wav", catalogue_), "error#26\n\n/music/a.wav");
  EXPECT_EQ(ErrorReport(Error(60), "x", catalogue_), Generic("60") + "\n\nx");
  for (std::uint32_t quiet : {0u, 0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFBu, 0x80000000u})
    EXPECT_EQ(ErrorReport(Error(quiet), "detail", catalogue_), "") << quiet;

  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  for (std::uint32_t quiet : {0u, 0xFFFFFFFFu, 0x80000000u}) ShowError(Error(quiet), "detail", catalogue_, out);
  EXPECT_EQ(std::ftell(out), 0);  // nothing written
  ShowError(Error(26), "/music/a.wav", catalogue_, out);
  ShowError(Error(0x7FFFFFFF), {}, catalogue_, out);
  std::rewind(out);
  std::string written(512, '\0');
  written.resize(std::fread(written.data(), 1, written.size(), out));
  std::fclose(out);
  EXPECT_EQ(written, "Tidemark\nerror#27\n\n/music/a.wav\n"
                     "Tidemark\n" + Generic("2147483647") + "\n");
}

TEST(ErrorMessagesEmpty, EveryCodeDescribesWithoutTextsLoaded) {
  const TextCatalogue empty;
  EXPECT_EQ(DescribeError(Error(60), empty), "\n\n(error code = 60)");
  EXPECT_EQ(DescribeError(Error(25), empty), "");
  for (std::uint32_t code : {0u, 81u, 0x10001u, 0x3000Du, 0xFD0002u, 0xFE0000u, 0xFFFFFFFFu, 0x12345678u})
    (void)DescribeError(Error(code), empty);  // never fails, never reads a null text
}

}  // namespace
}  // namespace tidemark
