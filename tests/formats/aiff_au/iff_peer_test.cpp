// AIFF, AIFC and AU files between the program and other tools: files that
// sox and ffmpeg write are probed and read as sox decodes them, and files
// that the program writes decode in sox and ffmpeg to the samples written.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formats/file_kind.h"
#include "formats/aiff_au/internal/iff_markers.h"
#include "platform/error_numbers.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/aiff_au/iff_test_util.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::Bytes;
using testing::ChunkBytes;
using testing::CommBody;
using testing::ReadWholeFile;

constexpr char kSox[] = "/usr/bin/sox";
constexpr char kFfmpeg[] = "/usr/bin/ffmpeg";

// The little-endian code of the same numbers, as sox and ffmpeg write raw output.
SampleCode LittleEndian(SampleCode code) { return static_cast<SampleCode>(code & ~kBigEndianBit); }

// sox's raw output options for little-endian samples of `code`.
std::string SoxRaw(SampleCode code) {
  return std::string(IsFloatCode(code) ? "-e floating-point" : "-e signed-integer") + " -b " +
         std::to_string(BitsPerSample(code)) + " -L";
}

// What a file holds and what sox decodes match: integers exactly, floats
// within sox's 32-bit integer pipeline.
void ExpectSameSamples(const Bytes& got, const Bytes& want, SampleCode code) {
  ASSERT_EQ(got.size(), want.size());
  if (!IsFloatCode(code)) {
    EXPECT_EQ(got, want);
    return;
  }
  const unsigned width = BytesPerSample(code);
  for (std::size_t i = 0; i < got.size(); i += width) {
    double a = 0, b = 0;
    if (width == 4) {
      float fa, fb;
      std::memcpy(&fa, &got[i], 4);
      std::memcpy(&fb, &want[i], 4);
      a = fa, b = fb;
    } else {
      std::memcpy(&a, &got[i], 8);
      std::memcpy(&b, &want[i], 8);
    }
    ASSERT_NEAR(a, b, 1e-6) << "sample " << i / width;
  }
}

// Probes `path`, checks the layout, and compares the samples read through a
// file source with sox's decoding.
void CheckProbeAgainstSox(const std::string& path, PcmFileKind kind, SampleCode code, std::uint16_t channels,
                          std::uint32_t rate) {
  SCOPED_TRACE(path);
  SoundFileInfo info;
  ASSERT_EQ(ProbePcmFile(path, &info), err::kOk);
  EXPECT_EQ(info.kind, kind);
  EXPECT_EQ(info.code, code);
  EXPECT_EQ(info.channels, channels);
  EXPECT_EQ(info.rate, rate);
  std::string out;
  ASSERT_EQ(testing::Run("sox --i -s " + path, &out, true), 0);
  EXPECT_EQ(out, std::to_string(info.frames) + "\n");
  const SampleCode le = LittleEndian(code);
  ASSERT_EQ(testing::Run("sox " + path + " -t raw " + SoxRaw(le) + " " + path + ".raw", &out), 0) << out;
  ExpectSameSamples(testing::ReadThroughSource(path, info, le), ReadWholeFile(path + ".raw"), le);
}

TEST(IffPeers, FilesOfSoxAndFfmpeg) {
  TIDEMARK_REQUIRE_PEER(kSox);
  TIDEMARK_REQUIRE_PEER(kFfmpeg);
  const std::string dir = testing::MakeTempDir("iff_peers");
  const struct {
    const char* name;
    const char* options;
    PcmFileKind kind;
    SampleCode code;
    std::uint16_t channels;
  } sox_files[] = {
      {"s8.aif", "-c 1 -e signed -b 8", PcmFileKind::AIFF, kS8, 1},
      {"s16.aif", "-c 2 -e signed -b 16", PcmFileKind::AIFF, kS16BE, 2},
      {"s24.aif", "-c 2 -e signed -b 24", PcmFileKind::AIFF, kS24BE, 2},
      {"s32.aif", "-c 1 -e signed -b 32", PcmFileKind::AIFF, kS32BE, 1},
      {"s16.aifc", "-c 1 -e signed -b 16", PcmFileKind::AIFC, kS16BE, 1},
      {"f32.aifc", "-c 2 -e floating-point -b 32", PcmFileKind::AIFC, kFloatBE, 2},
      {"f64.aifc", "-c 1 -e floating-point -b 64", PcmFileKind::AIFC, kDoubleBE, 1},
      {"s8.au", "-c 2 -e signed -b 8", PcmFileKind::AU, kS8, 2},
      {"s16.au", "-c 1 -e signed -b 16", PcmFileKind::AU, kS16BE, 1},
      {"s24.au", "-c 2 -e signed -b 24", PcmFileKind::AU, kS24BE, 2},
      {"s32.au", "-c 1 -e signed -b 32", PcmFileKind::AU, kS32BE, 1},
      {"f32.au", "-c 1 -e floating-point -b 32", PcmFileKind::AU, kFloatBE, 1},
      {"f64.au", "-c 2 -e floating-point -b 64", PcmFileKind::AU, kDoubleBE, 2},
  };
  for (const auto& f : sox_files) {
    const std::string path = dir + "/" + f.name;
    ASSERT_EQ(testing::Run(std::string("sox -n -r 22050 ") + f.options + " " + path + " synth 440s sine 440 noise"),
              0);
    CheckProbeAgainstSox(path, f.kind, f.code, f.channels, 22050);
    // An odd frame count: sox leaves the pad byte after odd sample data out
    // of the FORM size; such files must open all the same.
    const std::string odd = dir + "/odd-" + f.name;
    ASSERT_EQ(testing::Run(std::string("sox -n -r 22050 ") + f.options + " " + odd + " synth 441s sine 440 noise"), 0);
    CheckProbeAgainstSox(odd, f.kind, f.code, f.channels, 22050);
  }

  // ffmpeg's 16-bit little-endian AIFC: "sowt" in a 24-byte "COMM".
  const std::string sowt = dir + "/ff16.aifc";
  ASSERT_EQ(testing::Run("ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=32000:d=0.02 -ac 2 -c:a pcm_s16le -f aiff " +
                         sowt),
            0);
  const Bytes ff = ReadWholeFile(sowt);
  ASSERT_GT(ff.size(), 54u);
  ASSERT_EQ(testing::IdAt(ff, 24), "COMM");
  EXPECT_EQ(testing::Be32At(ff, 28), 24u);
  EXPECT_EQ(testing::IdAt(ff, 50), "sowt");
  CheckProbeAgainstSox(sowt, PcmFileKind::AIFC, kS16, 2, 32000);

  // 24- and 32-bit "sowt", by hand (neither peer writes them), one with a
  // 22-byte "COMM" that has no compression name.
  for (const auto& [code, name_bytes] : {std::pair{kS24, Bytes{}}, std::pair{kS32, Bytes{2, 'n', 'o', 0}}}) {
    const Bytes samples = testing::RandomBytes(BytesPerSample(code) * 2 * 31, code);
    ChunkBytes b = testing::AifcChunks();
    b.Chunk("COMM", CommBody(2, 31, static_cast<std::uint16_t>(BitsPerSample(code)), 48000, "sowt", name_bytes));
    b.Chunk("SSND", testing::SsndBody(samples));
    const std::string path = dir + "/sowt" + std::to_string(BitsPerSample(code)) + ".aifc";
    testing::WriteWholeFile(path, testing::FormFile("AIFC", b));
    CheckProbeAgainstSox(path, PcmFileKind::AIFC, code, 2, 48000);
    SoundFileInfo info;
    ASSERT_EQ(ProbePcmFile(path, &info), err::kOk);
    EXPECT_EQ(testing::ReadThroughSource(path, info, code), samples);
  }
}

// Samples that pass through sox's 32-bit integer pipeline unchanged, in the
// little-endian form of `code`.
Bytes PeerSafeSamples(SampleCode code, std::size_t count, std::uint32_t seed) {
  std::mt19937 rng(seed);
  const unsigned width = BytesPerSample(code);
  Bytes out(count * width);
  for (std::size_t i = 0; i < count; ++i) {
    const double v = static_cast<double>(static_cast<std::int32_t>(rng() % (1u << 21)) - (1 << 20)) / (1 << 20);
    if (IsFloatCode(code) && width == 4) {
      const float f = static_cast<float>(v);
      std::memcpy(&out[i * 4], &f, 4);
    } else if (IsFloatCode(code)) {
      std::memcpy(&out[i * 8], &v, 8);
    } else {
      for (unsigned b = 0; b < width; ++b) out[i * width + b] = static_cast<std::uint8_t>(rng());
    }
  }
  return out;
}

Bytes Stored(const Bytes& little_endian, SampleCode code) {
  if (!IsBigEndianCode(code)) return little_endian;
  Bytes out = little_endian;
  const unsigned width = BytesPerSample(code);
  for (std::size_t i = 0; i < out.size(); i += width)
    for (unsigned b = 0; b < width; ++b) out[i + b] = little_endian[i + width - 1 - b];
  return out;
}

// ffmpeg's raw format name for little-endian samples of `code`.
std::string FfmpegRaw(SampleCode code) {
  if (IsFloatCode(code)) return BytesPerSample(code) == 4 ? "f32le" : "f64le";
  return BytesPerSample(code) == 1 ? "s8" : "s" + std::to_string(BitsPerSample(code)) + "le";
}

TEST(IffPeers, SoxAndFfmpegReadWhatWeWrite) {
  TIDEMARK_REQUIRE_PEER(kSox);
  TIDEMARK_REQUIRE_PEER(kFfmpeg);
  const std::string dir = testing::MakeTempDir("iff_write");
  const struct {
    PcmFileKind kind;
    SampleCode code;
    std::uint16_t channels;
    const char* extension;
    bool ffmpeg;  // ffmpeg misreads 24- and 32-bit "sowt"
  } forms[] = {
      {PcmFileKind::AIFF, kS8, 1, "aif", true},        {PcmFileKind::AIFF, kS16BE, 2, "aif", true},
      {PcmFileKind::AIFF, kS24BE, 1, "aif", true},     {PcmFileKind::AIFF, kS32BE, 2, "aif", true},
      {PcmFileKind::AIFC, kS16BE, 1, "aifc", true},    {PcmFileKind::AIFC, kS16, 2, "aifc", true},
      {PcmFileKind::AIFC, kS24, 1, "aifc", false},     {PcmFileKind::AIFC, kS32, 2, "aifc", false},
      {PcmFileKind::AIFC, kFloatBE, 2, "aifc", true},  {PcmFileKind::AIFC, kDoubleBE, 1, "aifc", true},
      {PcmFileKind::AU, kS8, 2, "au", true},           {PcmFileKind::AU, kS16BE, 1, "au", true},
      {PcmFileKind::AU, kS24BE, 2, "au", true},        {PcmFileKind::AU, kS32BE, 1, "au", true},
      {PcmFileKind::AU, kFloatBE, 1, "au", true},      {PcmFileKind::AU, kDoubleBE, 2, "au", true},
  };
  int n = 0;
  for (const auto& f : forms) {
    const std::string path = dir + "/w" + std::to_string(n++) + "." + f.extension;
    SCOPED_TRACE(path);
    const std::uint32_t frames = 101;  // odd: 8-bit and 24-bit mono IFF data get a pad byte
    const SampleCode le = LittleEndian(f.code);
    const Bytes samples = PeerSafeSamples(le, std::size_t{frames} * f.channels, n);
    {
      PosixFile file;
      FileOpenOptions options;
      options.access = FileAccess::kReadWrite;
      options.disposition = FileDisposition::kCreateAlways;
      ASSERT_EQ(file.Open(path, options), err::kOk);
      ASSERT_EQ(PrepareSoundFile(file, f.kind, 44100, f.code, f.channels, frames), err::kOk);
      std::uint32_t header = 0;
      ASSERT_EQ(HeaderSize(f.kind, f.code, &header), err::kOk);
      const Bytes stored = Stored(samples, f.code);
      std::size_t done = 0;
      ASSERT_EQ(file.WriteAt(stored.data(), stored.size(), header, &done), err::kOk);
      ASSERT_EQ(done, stored.size());
    }
    if (f.kind != PcmFileKind::AU) {
      // Markers after the samples change nothing for the peers.
      ASSERT_EQ(WriteIffMarkers(path, testing::MakeMarkerList({{3, "start", "a comment"}, {90, "end", ""}})),
                err::kOk);
    }

    std::string out;
    ASSERT_EQ(testing::Run("sox --i -s " + path, &out, true), 0);
    EXPECT_EQ(out, std::to_string(frames) + "\n");
    ASSERT_EQ(testing::Run("sox --i -r " + path, &out, true), 0);
    EXPECT_EQ(out, "44100\n");
    ASSERT_EQ(testing::Run("sox -V1 " + path + " -t raw " + SoxRaw(le) + " " + path + ".raw", &out), 0) << out;
    EXPECT_TRUE(out.empty()) << out;
    ExpectSameSamples(ReadWholeFile(path + ".raw"), samples, le);
    if (f.ffmpeg) {
      ASSERT_EQ(testing::Run("ffmpeg -loglevel error -y -i " + path + " -f " + FfmpegRaw(le) + " " + path + ".ff",
                             &out),
                0)
          << out;
      EXPECT_EQ(ReadWholeFile(path + ".ff"), samples);
    }
  }
}

}  // namespace
}  // namespace tidemark
