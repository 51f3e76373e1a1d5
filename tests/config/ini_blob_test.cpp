// The blob value form: run packing, checksum and every refusal.
#include "config/ini_blob.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tidemark {
namespace {

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

std::string Packed(const std::vector<std::byte>& bytes) { return PackBlob(bytes); }

TEST(IniBlobTest, RunsAndChecksum) {
  // Control byte n < 0x80: n + 1 zero bytes; n >= 0x80: n - 0x7F bytes as
  // they are; the checksum is the low byte of the sum of all bytes written.
  const std::pair<std::vector<std::byte>, std::string> cases[] = {
      {{}, "00"},
      {Bytes({0x41}), "8041C1"},
      {Bytes({0}), "0000"},
      {Bytes({1, 2, 0, 3}), "81010200800307"},                    // runs of 2, 1 and 1
      {std::vector<std::byte>(130, std::byte{0}), "7F0180"},      // runs longer than 128 split
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(Packed(bytes), text);
  std::vector<std::byte> ff(129, std::byte{0xFF});
  const std::string text = Packed(ff);
  ASSERT_EQ(text.size(), 2u * (1 + 128 + 1 + 1 + 1));
  EXPECT_EQ(text.substr(0, 2), "FF");
  EXPECT_EQ(text.substr(258, 4), "80FF");
  std::vector<std::byte> back(129);
  ASSERT_TRUE(UnpackBlob(text, back));
  EXPECT_EQ(back, ff);
  std::vector<std::byte> zeros(92, std::byte{0xAA});
  ASSERT_TRUE(UnpackBlob("5b5b", zeros));  // lower-case digits read as well
  EXPECT_EQ(zeros, std::vector<std::byte>(92, std::byte{0}));
}

TEST(IniBlobTest, RoundTripOfMixedBytes) {
  std::vector<std::byte> bytes(128);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::byte>(i % 3 == 0 ? 0 : (i * 37) & 0xFF);
  const std::string text = PackBlob(bytes);
  EXPECT_LE(text.size(), 514u);
  EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  std::vector<std::byte> back(128);
  ASSERT_TRUE(UnpackBlob(text, back));
  EXPECT_EQ(back, bytes);
}

TEST(IniBlobTest, RefusalsLeaveTheOutputUnchanged) {
  auto refused = [&](std::string_view text, std::size_t size = 4) {
    std::vector<std::byte> out(size, std::byte{0x11});
    const bool ok = UnpackBlob(text, out);
    return !ok && out == std::vector<std::byte>(size, std::byte{0x11});
  };
  EXPECT_FALSE(refused("0303"));                // 4 zero bytes fill exactly: accepted
  EXPECT_TRUE(refused("0304"));                 // wrong checksum
  EXPECT_TRUE(refused("030"));                  // odd length
  EXPECT_TRUE(refused("03"));                   // too short
  EXPECT_TRUE(refused("00"));                   // the empty blob is never accepted
  EXPECT_TRUE(refused("0G0G"));                 // not hexadecimal
  EXPECT_TRUE(refused("0202"));                 // fills 3 of 4
  EXPECT_TRUE(refused("0404"));                 // a run of 5 overruns 4
  EXPECT_TRUE(refused("83010286"));             // literal run of 4 cut short by the end
  EXPECT_TRUE(refused(std::string(516, '0'), 1000));  // longer than 514
  // 514 characters is the longest accepted text: 256 zero runs of 1 byte... the
  // checksum of 256 zero control bytes is 0.
  std::string longest(514, '0');
  std::vector<std::byte> out(256, std::byte{1});
  EXPECT_TRUE(UnpackBlob(longest, out));
  EXPECT_EQ(out, std::vector<std::byte>(256, std::byte{0}));
}

}  // namespace
}  // namespace tidemark
