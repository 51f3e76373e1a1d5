// AIFF, AIFC and AU files between the program and other tools: files that
// sox and ffmpeg write are probed and read as sox decodes them, and files
// that the program writes decode in sox and ffmpeg to the samples written.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formats/aiff_au/internal/iff_markers.h"
#include "formats/file_kind.h"
#include "platform/error_numbers.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::Bytes;
using testing::ReadWholeFile;

constexpr char kSox[] = "/usr/bin/sox";
constexpr char kFfmpeg[] = "/usr/bin/ffmpeg";

using testing::ExpectProbeMatchesSox;
using testing::LittleEndian;

TEST(IffPeers, FilesOfSox) {
  TIDEMARK_REQUIRE_PEER(kSox);
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
    // An odd frame count too: sox leaves the pad byte after odd sample data
    // out of the FORM size; such files must open all the same.
    for (const char* length : {"440s", "441s"}) {
      const std::string path = dir + "/" + length + "-" + f.name;
      ASSERT_EQ(testing::Run(std::string("sox -n -r 22050 ") + f.options + " " + path + " synth " + length +
                             " sine 440 noise"),
                0);
      ExpectProbeMatchesSox(path, f.kind, f.code, f.channels, 22050);
    }
  }

  // 24- and 32-bit "sowt", by hand (neither peer writes them), one with a
  // 22-byte "COMM" that has no compression name.
  for (const auto& [code, name_bytes] : {std::pair{kS24, Bytes{}}, std::pair{kS32, Bytes{2, 'n', 'o', 0}}}) {
    const Bytes samples = testing::RandomBytes(BytesPerSample(code) * 2 * 31, code);
    testing::ChunkBytes b = testing::AifcChunks();
    b.Chunk("COMM", testing::CommBody(2, 31, static_cast<std::uint16_t>(BitsPerSample(code)), 48000, "sowt",
                                      name_bytes));
    b.Chunk("SSND", testing::SsndBody(samples));
    const std::string path = dir + "/sowt" + std::to_string(BitsPerSample(code)) + ".aifc";
    testing::WriteWholeFile(path, testing::FormFile("AIFC", b));
    ExpectProbeMatchesSox(path, PcmFileKind::AIFC, code, 2, 48000);
    SoundFileInfo info;
    ASSERT_EQ(ProbePcmFile(path, &info), err::kOk);
    EXPECT_EQ(testing::ReadThroughSource(path, info, code), samples);
  }
}

// ffmpeg's 16-bit little-endian AIFC: "sowt" in a 24-byte "COMM".
TEST(IffPeers, SowtFileOfFfmpeg) {
  TIDEMARK_REQUIRE_PEER(kSox);
  TIDEMARK_REQUIRE_PEER(kFfmpeg);
  const std::string sowt = testing::MakeTempDir("iff_ffmpeg") + "/ff16.aifc";
  ASSERT_EQ(testing::Run("ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=32000:d=0.02 -ac 2 -c:a pcm_s16le -f aiff " +
                         sowt),
            0);
  const Bytes ff = ReadWholeFile(sowt);
  ASSERT_GT(ff.size(), 54u);
  ASSERT_EQ(testing::IdAt(ff, 24), "COMM");
  EXPECT_EQ(testing::Be32At(ff, 28), 24u);
  EXPECT_EQ(testing::IdAt(ff, 50), "sowt");
  ExpectProbeMatchesSox(sowt, PcmFileKind::AIFC, kS16, 2, 32000);
}

struct Form {
  PcmFileKind kind;
  SampleCode code;
  std::uint16_t channels;
  const char* extension;
  bool ffmpeg;  // ffmpeg misreads 24- and 32-bit "sowt"
};

const Form kForms[] = {
    {PcmFileKind::AIFF, kS8, 1, "aif", true},        {PcmFileKind::AIFF, kS16BE, 2, "aif", true},
    {PcmFileKind::AIFF, kS24BE, 1, "aif", true},     {PcmFileKind::AIFF, kS32BE, 2, "aif", true},
    {PcmFileKind::AIFC, kS16BE, 1, "aifc", true},    {PcmFileKind::AIFC, kS16, 2, "aifc", true},
    {PcmFileKind::AIFC, kS24, 1, "aifc", false},     {PcmFileKind::AIFC, kS32, 2, "aifc", false},
    {PcmFileKind::AIFC, kFloatBE, 2, "aifc", true},  {PcmFileKind::AIFC, kDoubleBE, 1, "aifc", true},
    {PcmFileKind::AU, kS8, 2, "au", true},           {PcmFileKind::AU, kS16BE, 1, "au", true},
    {PcmFileKind::AU, kS24BE, 2, "au", true},        {PcmFileKind::AU, kS32BE, 1, "au", true},
    {PcmFileKind::AU, kFloatBE, 1, "au", true},      {PcmFileKind::AU, kDoubleBE, 2, "au", true},
};

constexpr std::uint32_t kFrames = 101;  // odd: 8-bit and 24-bit mono IFF data get a pad byte

// Writes form `n` with peer-safe samples (their little-endian form in
// `samples`) and, for IFF, markers after them, which change nothing for the peers.
std::string WriteForm(std::size_t n, Bytes* samples) {
  const Form& f = kForms[n];
  const SampleCode le = LittleEndian(f.code);
  *samples = testing::PeerSafeSamples(le, std::size_t{kFrames} * f.channels, static_cast<std::uint32_t>(n));
  const std::string path = testing::MakeTempDir("iff_write") + "/w" + std::to_string(n) + "." + f.extension;
  PosixFile file;
  FileOpenOptions options;
  options.access = FileAccess::kReadWrite;
  options.disposition = FileDisposition::kCreateAlways;
  EXPECT_EQ(file.Open(path, options), err::kOk);
  EXPECT_EQ(PrepareSoundFile(file, f.kind, 44100, f.code, f.channels, kFrames), err::kOk);
  std::uint32_t header = 0;
  EXPECT_EQ(HeaderSize(f.kind, f.code, &header), err::kOk);
  Bytes stored = *samples;  // big-endian codes hold each sample's bytes reversed
  const unsigned width = BytesPerSample(f.code);
  for (std::size_t i = 0; IsBigEndianCode(f.code) && i < stored.size(); i += width)
    std::reverse(stored.begin() + static_cast<std::ptrdiff_t>(i), stored.begin() + static_cast<std::ptrdiff_t>(i + width));
  std::size_t done = 0;
  EXPECT_EQ(file.WriteAt(stored.data(), stored.size(), header, &done), err::kOk);
  EXPECT_EQ(done, stored.size());
  EXPECT_EQ(file.Close(), err::kOk);
  if (f.kind != PcmFileKind::AU) {
    EXPECT_EQ(WriteIffMarkers(path, testing::MakeMarkerList({{3, "start", "a comment"}, {90, "end", ""}})), err::kOk);
  }
  return path;
}

TEST(IffPeers, SoxReadsWhatWeWrite) {
  TIDEMARK_REQUIRE_PEER(kSox);
  for (std::size_t n = 0; n < std::size(kForms); ++n) {
    Bytes samples;
    const std::string path = WriteForm(n, &samples);
    testing::ExpectSoxDecodes(path, kForms[n].channels, kFrames, 44100, samples, LittleEndian(kForms[n].code), false);
  }
}

// ffmpeg's raw format name for little-endian samples of `code`.
std::string FfmpegRaw(SampleCode code) {
  if (IsFloatCode(code)) return BytesPerSample(code) == 4 ? "f32le" : "f64le";
  const char* const integers[] = {"", "s8", "s16le", "s24le", "s32le"};
  return integers[BytesPerSample(code)];
}

TEST(IffPeers, FfmpegReadsWhatWeWrite) {
  TIDEMARK_REQUIRE_PEER(kFfmpeg);
  for (std::size_t n = 0; n < std::size(kForms); ++n) {
    if (!kForms[n].ffmpeg) continue;
    Bytes samples;
    const std::string path = WriteForm(n, &samples);
    SCOPED_TRACE(path);
    const SampleCode le = LittleEndian(kForms[n].code);
    std::string out;
    ASSERT_EQ(testing::Run("ffmpeg -loglevel error -y -i " + path + " -f " + FfmpegRaw(le) + " " + path + ".ff", &out),
              0)
        << out;
    EXPECT_EQ(ReadWholeFile(path + ".ff"), samples);
  }
}

}  // namespace
}  // namespace tidemark
