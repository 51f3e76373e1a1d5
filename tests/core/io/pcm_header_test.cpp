#include "core/io/pcm_header.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/io/buffered_file.h"
#include "platform/error_numbers.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/peer_tools.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

// The expected header, assembled field by field from the published WAV layout.
class Expect {
 public:
  Expect& Tag(const char* t) {
    bytes.insert(bytes.end(), t, t + 4);
    return *this;
  }
  Expect& U16(unsigned v) {
    bytes.push_back(static_cast<unsigned char>(v));
    bytes.push_back(static_cast<unsigned char>(v >> 8));
    return *this;
  }
  Expect& U32(unsigned long v) { return U16(v & 0xFFFF).U16((v >> 16) & 0xFFFF); }
  Expect& Raw(std::initializer_list<unsigned char> b) {
    bytes.insert(bytes.end(), b);
    return *this;
  }
  std::vector<unsigned char> bytes;
};

std::vector<unsigned char> Build(const PcmHeaderRequest& r, Error* rc_out = nullptr) {
  std::byte out[kMaxPcmHeaderBytes];
  std::uint32_t size = 0;
  const Error rc = BuildPcmHeader(r, out, &size);
  if (rc_out) *rc_out = rc;
  const auto* p = reinterpret_cast<const unsigned char*>(out);
  return std::vector<unsigned char>(p, p + size);
}

PcmHeaderRequest Req(PcmFileKind kind, std::uint32_t rate, SampleCode code, std::uint16_t channels,
                     std::uint32_t frames, bool extensible = false) {
  PcmHeaderRequest r;
  r.kind = kind;
  r.rate = rate;
  r.code = code;
  r.channels = channels;
  r.frames = frames;
  r.extensible = extensible;
  return r;
}

TEST(PcmHeader, CanonicalFloatAndExtensibleBytes) {
  // 16-bit stereo, 3 frames: D = 12.
  Expect canonical;
  canonical.Tag("RIFF").U32(36 + 12).Tag("WAVE").Tag("fmt ").U32(16).U16(1).U16(2).U32(44100)
      .U32(44100 * 4).U16(4).U16(16).Tag("data").U32(12);
  EXPECT_EQ(Build(Req(PcmFileKind::Temp, 44100, sample_code::kS16, 2, 3)), canonical.bytes);
  // The extensible setting does not touch widths of 2 bytes or less.
  EXPECT_EQ(Build(Req(PcmFileKind::Wave, 44100, sample_code::kS16, 2, 3, true)), canonical.bytes);

  // 8-bit mono, 5 frames: odd D gives a padded RIFF size but the true data size.
  Expect odd;
  odd.Tag("RIFF").U32(36 + 6).Tag("WAVE").Tag("fmt ").U32(16).U16(1).U16(1).U32(8000).U32(8000)
      .U16(1).U16(8).Tag("data").U32(5);
  EXPECT_EQ(Build(Req(PcmFileKind::Wave, 8000, sample_code::kU8, 1, 5)), odd.bytes);

  // Float mono, 7 frames: 58 bytes with a "fact" chunk.
  Expect flt;
  flt.Tag("RIFF").U32(50 + 28).Tag("WAVE").Tag("fmt ").U32(18).U16(3).U16(1).U32(48000)
      .U32(48000 * 4).U16(4).U16(32).U16(0).Tag("fact").U32(4).U32(7).Tag("data").U32(28);
  EXPECT_EQ(Build(Req(PcmFileKind::Temp, 48000, sample_code::kFloat, 1, 7)), flt.bytes);

  // Double stereo, extensible: 80 bytes, IEEE float sub-format.
  Expect ext;
  ext.Tag("RIFF").U32(72 + 160).Tag("WAVE").Tag("fmt ").U32(40).U16(0xFFFE).U16(2).U32(96000)
      .U32(96000 * 16).U16(16).U16(64).U16(22).U16(64).U32(3)
      .Raw({0x03, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71})
      .Tag("fact").U32(4).U32(10).Tag("data").U32(160);
  EXPECT_EQ(Build(Req(PcmFileKind::Wave, 96000, sample_code::kDouble, 2, 10, true)), ext.bytes);

  // 24-bit mono extensible: PCM sub-format, mask 4; zero frames gives RIFF size 72.
  Expect ext24;
  ext24.Tag("RIFF").U32(72).Tag("WAVE").Tag("fmt ").U32(40).U16(0xFFFE).U16(1).U32(44100)
      .U32(44100 * 3).U16(3).U16(24).U16(22).U16(24).U32(4)
      .Raw({0x01, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71})
      .Tag("fact").U32(4).U32(0).Tag("data").U32(0);
  EXPECT_EQ(Build(Req(PcmFileKind::Temp, 44100, sample_code::kS24, 1, 0, true)), ext24.bytes);

  // Channel masks beyond stereo: the lowest n bits.
  const std::vector<unsigned char> six = Build(Req(PcmFileKind::Wave, 44100, sample_code::kS32, 6, 1, true));
  ASSERT_EQ(six.size(), 80u);
  EXPECT_EQ(six[40], 0x3F);
  EXPECT_EQ(six[41] | six[42] | six[43], 0);

  // Raw has no header.
  std::uint32_t size = 99;
  EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::Raw, 44100, sample_code::kS24BE, 2, 1), &size), err::kOk);
  EXPECT_EQ(size, 0u);
}

TEST(PcmHeader, SizesLimitsAndRegistration) {
  std::uint32_t size = 0;
  for (const SampleCode c : {sample_code::kU8, sample_code::kS16, sample_code::kS24, sample_code::kS32}) {
    EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::Wave, 44100, c, 2, 0), &size), err::kOk);
    EXPECT_EQ(size, 44u) << c;
    EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::Wave, 44100, c, 2, 0, true), &size), err::kOk);
    EXPECT_EQ(size, BytesPerSample(c) > 2 ? 80u : 44u) << c;
  }
  EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::Temp, 44100, sample_code::kDouble, 1, 0), &size), err::kOk);
  EXPECT_EQ(size, 58u);

  // Header + data must stay at or below 0xFFFFFFFE.
  Error rc;
  EXPECT_EQ(Build(Req(PcmFileKind::Wave, 8000, sample_code::kU8, 1, 0xFFFFFFFEu - 44), &rc).size(), 44u);
  EXPECT_EQ(rc, err::kOk);
  EXPECT_TRUE(Build(Req(PcmFileKind::Wave, 8000, sample_code::kU8, 1, 0xFFFFFFFFu - 44), &rc).empty());
  EXPECT_EQ(rc, err::kSizeLimit);
  Build(Req(PcmFileKind::Wave, 44100, sample_code::kS32, 2, 0x3FFFFFFF), &rc);
  EXPECT_EQ(rc, err::kSizeLimit);

  // Layouts no header can describe.
  EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::Wave, 44100, 0x0005, 2, 0), &size), err::kSizeLimit);
  EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::Wave, 44100, sample_code::kS16, 0, 0), &size), err::kSizeLimit);
  EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::Wave, 44100, sample_code::kDouble, 8192, 0), &size),
            err::kSizeLimit);

  // Kinds without a format give 77 until a table that has one is installed.
  EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::AU, 8000, sample_code::kS16BE, 1, 4), &size), err::kSizeLimit);
  EXPECT_EQ(PcmFileEnd(PcmFileKind::Temp, 47), 48u);
  EXPECT_EQ(PcmFileEnd(PcmFileKind::Raw, 47), 47u);
  PcmHeaderFormat au;
  au.size = [](const PcmHeaderRequest&, std::uint32_t* bytes) -> Error {
    *bytes = 128;
    return err::kOk;
  };
  au.build = [](const PcmHeaderRequest& r, std::byte* out) -> Error {
    for (int i = 0; i < 128; ++i) out[i] = std::byte(r.frames + i);
    return err::kOk;
  };
  PcmHeaderTable table = CorePcmHeaderFormats();
  table[static_cast<std::size_t>(PcmFileKind::AU)] = &au;
  table[static_cast<std::size_t>(PcmFileKind::Wave)] = &au;
  InstallPcmHeaderFormats(table);
  const std::vector<unsigned char> built = Build(Req(PcmFileKind::AU, 8000, sample_code::kS16BE, 1, 4), &rc);
  EXPECT_EQ(rc, err::kOk);
  ASSERT_EQ(built.size(), 128u);
  EXPECT_EQ(built[0], 4);
  EXPECT_EQ(built[127], 131);
  EXPECT_EQ(PcmFileEnd(PcmFileKind::AU, 47), 47u);
  // The whole table is replaced, the kinds core writes itself included.
  EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::Wave, 8000, sample_code::kS16, 1, 4), &size), err::kOk);
  EXPECT_EQ(size, 128u);
  InstallPcmHeaderFormats(CorePcmHeaderFormats());
  EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::Wave, 8000, sample_code::kS16, 1, 4), &size), err::kOk);
  EXPECT_EQ(size, 44u);
  EXPECT_EQ(PcmHeaderSize(Req(PcmFileKind::AU, 8000, sample_code::kS16BE, 1, 4), &size), err::kSizeLimit);
}

// Writes a canonical file through BufferedFile and asks Python's wave module
// to read it back.
TEST(PcmHeader, PythonWaveReadsWrittenFiles) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/python3");
  const std::string dir = testing::MakeTempDir("pywave");
  const std::string script = dir + "/check.py";
  testing::WriteFileText(script,
                          "import sys, wave\n"
                          "w = wave.open(sys.argv[1], 'rb')\n"
                          "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())\n"
                          "open(sys.argv[2], 'wb').write(w.readframes(w.getnframes()))\n");
  struct Case {
    SampleCode code;
    std::uint16_t channels;
    std::uint32_t rate;
    std::uint32_t frames;
  };
  for (const Case c : {Case{sample_code::kU8, 1, 8000, 1001}, Case{sample_code::kS16, 2, 44100, 4097},
                       Case{sample_code::kS24, 2, 96000, 333}, Case{sample_code::kS32, 1, 192000, 10}}) {
    SCOPED_TRACE(c.code);
    const std::string path = dir + "/c" + std::to_string(c.code) + ".wav";
    const std::uint32_t data_bytes = BytesPerSample(c.code) * c.channels * c.frames;
    std::string data(data_bytes, '\0');
    for (std::uint32_t i = 0; i < data_bytes; ++i) data[i] = static_cast<char>(i * 7 + 3);
    {
      BufferedFile f;
      ASSERT_EQ(f.Open(path, buffered_open::kWorkFile), err::kOk);
      std::uint32_t header = 0;
      ASSERT_EQ(f.WriteHeader(PcmFileKind::Wave, c.rate, c.code, c.channels, c.frames, &header), err::kOk);
      ASSERT_EQ(header, 44u);
      ASSERT_EQ(f.Write(data.data(), data.size()), err::kOk);
      std::int64_t size = 0;
      ASSERT_EQ(f.Close(&size), err::kOk);
      EXPECT_EQ(size, static_cast<std::int64_t>((44 + data_bytes + 1) & ~1u));
    }
    const std::string command = "/usr/bin/python3 " + script + " " + path + " " + dir + "/frames > " + dir + "/out.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(testing::ReadFileText(dir + "/out.txt"), std::to_string(c.channels) + " " +
                                                           std::to_string(BytesPerSample(c.code)) + " " +
                                                           std::to_string(c.rate) + " " + std::to_string(c.frames) + "\n");
    EXPECT_TRUE(testing::ReadFileText(dir + "/frames") == data);
  }
}

}  // namespace
}  // namespace tidemark
