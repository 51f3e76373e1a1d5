#include "codecs/container_sniff.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/flac_encode_block.h"

namespace tidemark {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text, std::size_t pad = 0) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.resize(bytes.size() + pad, 0);
  return bytes;
}

// An Ogg page start with one segment whose packet begins with `packet`.
std::vector<std::uint8_t> OggPage(const std::string& packet, std::uint8_t segments = 1) {
  std::vector<std::uint8_t> bytes = Bytes("OggS", 22);
  bytes.push_back(segments);
  bytes.resize(bytes.size() + segments, 0x20);
  const auto tail = Bytes(packet, 40);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

struct SniffCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  Container expected;
};

TEST(ContainerSniff, TellsContainersApart) {
  const std::vector<SniffCase> cases = {
      {"native FLAC", Bytes("fLaC", 40), Container::kFlac},
      {"ID3 in front of FLAC", Bytes(std::string("ID3\x04\0\0\0\0\0\x04", 10) + "abcdfLaC", 8), Container::kFlac},
      {"ID3 then MPEG", Bytes(std::string("ID3\x03\0\0\0\0\0\x04", 10) + "abcd\xFF\xFB\x90\x00", 8),
       Container::kMp3},
      {"MPEG frame", Bytes("\xFF\xFB\x90\x64", 8), Container::kMp3},
      {"reserved MPEG version", Bytes("\xFF\xEB\x90\x64", 8), Container::kUnknown},
      {"bad bit-rate index", Bytes("\xFF\xFB\xF0\x64", 8), Container::kUnknown},
      {"Ogg FLAC", OggPage("\x7F" "FLAC"), Container::kOggFlac},
      {"Ogg Vorbis", OggPage("\x01vorbis"), Container::kOggVorbis},
      {"Ogg Opus", OggPage("OpusHead"), Container::kOggOpus},
      {"Ogg Opus after a longer segment table", OggPage("OpusHead", 3), Container::kOggOpus},
      {"other Ogg", OggPage("Speex   "), Container::kOggOther},
      {"Ogg page cut short", Bytes("OggS", 10), Container::kUnknown},
      {"segment table past the end", Bytes(std::string("OggS") + std::string(22, '\0') + "\xFF"),
       Container::kOggOther},
      {"RIFF", Bytes("RIFF", 40), Container::kUnknown},
      {"empty", {}, Container::kUnknown},
      {"fLa only", Bytes("fLa"), Container::kUnknown},
  };
  for (const SniffCase& c : cases) EXPECT_EQ(SniffContainer(c.bytes), c.expected) << c.name;
}

TEST(ContainerSniff, Id3v2SizeIsSynchsafeWithFooter) {
  struct Case {
    std::string header;
    std::uint64_t size;
  };
  const std::vector<Case> cases = {
      {std::string("ID3\x04\0\0\0\0\0\0", 10), 10},
      {std::string("ID3\x04\0\0\0\0\x01\x7F", 10), 10 + 255},
      {std::string("ID3\x04\0\0\x7F\x7F\x7F\x7F", 10), 10 + 0x0FFFFFFF},
      {std::string("ID3\x04\0\x10\0\0\0\x05", 10), 10 + 5 + 10},    // footer
      {std::string("ID3\x04\0\0\0\0\x80\0", 10), 0},                // not synchsafe
      {std::string("ID3\xFF\0\0\0\0\0\0", 10), 0},                  // impossible version
      {std::string("ID3\x04\0\0\0\0\0", 9), 0},                     // short
      {std::string("ID2\x04\0\0\0\0\0\0", 10), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Id3v2TagSize(Bytes(c.header)), c.size) << c.size;
}

TEST(FlacEncodeBlock, RoundTripsAndRefusesWhatItCannotHold) {
  for (std::uint8_t level = 0; level <= 8; ++level)
    for (std::uint8_t bits : {std::uint8_t{0}, std::uint8_t{8}, std::uint8_t{16}, std::uint8_t{24}})
      for (bool verify : {false, true}) {
        const FlacEncodeSettings in{level, bits, verify};
        FlacEncodeSettings out{};
        const auto block = EncodeFlacBlock(in);
        ASSERT_EQ(DecodeFlacBlock(block, &out), 0u);
        EXPECT_EQ(out.level, level);
        EXPECT_EQ(out.bits, bits);
        EXPECT_EQ(out.verify, verify);
        EXPECT_TRUE(out.keep_wav_metadata);
        EXPECT_FALSE(out.replay_gain);
      }
  struct Bad {
    std::size_t at;
    std::uint8_t value;
  };
  for (const Bad& bad : {Bad{0, 9}, Bad{1, 12}, Bad{1, 32}, Bad{2, 8}, Bad{3, 1}, Bad{15, 1}}) {
    auto block = EncodeFlacBlock({});
    block[bad.at] = bad.value;
    FlacEncodeSettings out{};
    EXPECT_EQ(DecodeFlacBlock(block, &out), 15u) << bad.at;
  }
  FlacEncodeSettings out{};
  EXPECT_EQ(DecodeFlacBlock(std::vector<std::uint8_t>(15, 0), &out), 15u);
  // Bit 1 leaves the WAV metadata out, bit 2 asks for ReplayGain tags.
  auto flags = EncodeFlacBlock({});
  flags[2] = 6;
  ASSERT_EQ(DecodeFlacBlock(flags, &out), 0u);
  EXPECT_FALSE(out.keep_wav_metadata);
  EXPECT_TRUE(out.replay_gain);
  EXPECT_EQ(EncodeFlacBlock(out), flags);
}

}  // namespace
}  // namespace tidemark
