#include "formats/wav/wav_probe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/sources/sound_source.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/pcm_probe.h"
#include "platform/error_numbers.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::Body;
using testing::ExtensibleBody;
using testing::FormatBody;
using testing::ReadWholeFile;
using testing::RiffBuilder;
using testing::WriteWholeFile;

Error ProbeBytes(const std::vector<std::uint8_t>& bytes, SoundFileInfo* info) {
  MemoryInput input(bytes);
  return ProbePcm(input, bytes.size(), info);
}

// The frames of a probed file as the file source reads them, in `code`.
std::vector<std::uint8_t> ReadThroughSource(const std::string& path, const SoundFileInfo& info, SampleCode code,
                                            Error* rc_out = nullptr) {
  SourceRef source;
  EXPECT_EQ(OpenFileSource(path, info.data_offset, info.rate, info.code, info.channels, info.frames, 0, nullptr,
                           &source),
            0u);
  std::vector<std::uint8_t> out(std::size_t{info.frames} * info.channels * BytesPerSample(code));
  if (!source) return {};
  const Error rc = source->Read(0, info.frames, out.data(), code);
  if (rc_out)
    *rc_out = rc;
  else
    EXPECT_EQ(rc, 0u);
  return out;
}

struct PeerFile {
  const char* name;
  const char* command;  // %s is the output path
  SampleCode code;
  std::uint16_t channels;
  std::uint32_t rate;
  bool extensible;
};

constexpr char kSox[] = "/usr/bin/sox";
constexpr char kFfmpeg[] = "/usr/bin/ffmpeg";

const PeerFile kSoxFiles[] = {
    {"u8m", "sox -n -r 8000 -c 1 -b 8 -e unsigned-integer %s synth 0.05 sine 300", sample_code::kU8, 1, 8000, false},
    {"s16s", "sox -n -r 44100 -c 2 -b 16 %s synth 0.05 sine 440 sine 550", sample_code::kS16, 2, 44100, false},
    {"s24s", "sox -n -r 48000 -c 2 -b 24 %s synth 0.05 sine 440 sine 660", sample_code::kS24, 2, 48000, true},
    {"s24m", "sox -n -r 22050 -c 1 -b 24 -t wavpcm %s synth 0.0503 sine 440", sample_code::kS24, 1, 22050, false},
    {"s32s", "sox -n -r 44100 -c 2 -b 32 %s synth 0.05 sine 440 noise", sample_code::kS32, 2, 44100, true},
    {"s32m", "sox -n -r 32000 -c 1 -b 32 -t wavpcm %s synth 0.05 noise", sample_code::kS32, 1, 32000, false},
    {"f32s", "sox -n -r 44100 -c 2 -e floating-point -b 32 %s synth 0.05 sine 440 noise", sample_code::kFloat, 2,
     44100, false},
    {"f64m", "sox -n -r 96000 -c 1 -e floating-point -b 64 %s synth 0.05 sine 1000", sample_code::kDouble, 1, 96000,
     false},
};

// ffmpeg writes the extensible form above 16 bits or 48 kHz, and a LIST/INFO chunk.
const PeerFile kFfmpegFiles[] = {
    {"ffu8", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=96000:d=0.05 -ac 2 -c:a pcm_u8 %s", sample_code::kU8,
     2, 96000, true},
    {"ffs16", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=96000:d=0.05 -c:a pcm_s16le %s", sample_code::kS16,
     1, 96000, true},
    {"ffs16p", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -ac 2 -c:a pcm_s16le %s",
     sample_code::kS16, 2, 44100, false},
    {"ffs24", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -ac 2 -c:a pcm_s24le %s",
     sample_code::kS24, 2, 44100, true},
    {"ffs32", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -c:a pcm_s32le %s", sample_code::kS32,
     1, 44100, true},
    {"fff32", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -ac 2 -c:a pcm_f32le %s",
     sample_code::kFloat, 2, 44100, true},
    {"fff64", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -c:a pcm_f64le %s",
     sample_code::kDouble, 1, 44100, true},
};

std::string Format(const char* pattern, const std::string& path) {
  std::string out = pattern;
  out.replace(out.find("%s"), 2, path);
  return out;
}

// The probe agrees with sox on format and length, and the samples read
// through a file source at the probed offset equal what sox decodes.
void CheckAgainstSox(const PeerFile& peer, const std::string& dir) {
  SCOPED_TRACE(peer.name);
  const std::string wav = dir + "/" + peer.name + ".wav";
  const std::string raw = dir + "/" + peer.name + ".raw";
  ASSERT_EQ(testing::Run(Format(peer.command, wav)), 0);
  const std::vector<std::uint8_t> file = ReadWholeFile(wav);
  ASSERT_GT(file.size(), 20u);
  EXPECT_EQ(LoadLe16(&file[20]) == 0xFFFE, peer.extensible) << "the peer wrote another header form";

  SoundFileInfo info;
  ASSERT_EQ(ProbePcmFile(wav, &info), 0u);
  EXPECT_EQ(info.kind, PcmFileKind::Wave);
  EXPECT_EQ(info.code, peer.code);
  EXPECT_EQ(info.channels, peer.channels);
  EXPECT_EQ(info.rate, peer.rate);
  std::string frames;
  ASSERT_EQ(testing::Run("sox --i -s " + wav, &frames, true), 0) << frames;
  EXPECT_EQ(std::to_string(info.frames) + "\n", frames);

  if (IsFloatCode(peer.code)) {
    // sox passes samples through 32-bit integers: compare as floats.
    ASSERT_EQ(testing::Run("sox " + wav + " -t raw -e floating-point -b 32 " + raw), 0);
    const std::vector<std::uint8_t> want = ReadWholeFile(raw);
    const std::vector<std::uint8_t> got = ReadThroughSource(wav, info, sample_code::kFloat);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); i += 4) {
      float a, b;
      std::memcpy(&a, &got[i], 4);
      std::memcpy(&b, &want[i], 4);
      ASSERT_NEAR(a, b, 1e-6) << "sample " << i / 4;
    }
  } else {
    // Integer samples decode losslessly in their own encoding.
    ASSERT_EQ(testing::Run("sox " + wav + " -t raw " + raw), 0);
    EXPECT_EQ(ReadThroughSource(wav, info, info.code), ReadWholeFile(raw));
  }
}

TEST(WavProbePeers, FilesOfSoxAndFfmpegMatchTheirDecoding) {
  TIDEMARK_REQUIRE_PEER(kSox);
  const std::string dir = testing::MakeTempDir("wav_peers");
  for (const PeerFile& peer : kSoxFiles) CheckAgainstSox(peer, dir);
  TIDEMARK_REQUIRE_PEER(kFfmpeg);
  for (const PeerFile& peer : kFfmpegFiles) CheckAgainstSox(peer, dir);
}

std::vector<std::uint8_t> Samples(std::size_t n, std::uint32_t seed) { return testing::RandomBytes(n, seed); }

TEST(WavProbe, FormatBlockRules) {
  SoundFileInfo info;
  const std::vector<std::uint8_t> data = Samples(64, 1);
  // Float needs the 18-byte body, the extensible form 40 bytes with a known GUID.
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", FormatBody(3, 1, 8000, 4, 32)).Chunk("data", data).Bytes(), &info),
            err::kMalformed);
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", FormatBody(3, 1, 8000, 4, 32).Zeros(4)).Chunk("data", data).Bytes(),
                       &info),
            err::kMalformed);
  Body ext = ExtensibleBody(2, 8000, 2, testing::kPcmGuid);
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", Body(ext).Zeros(2)).Chunk("data", data).Bytes(), &info),
            err::kMalformed);
  std::uint8_t odd_guid[16];
  std::memcpy(odd_guid, testing::kPcmGuid, 16);
  odd_guid[0] = 2;
  EXPECT_EQ(ProbeBytes(RiffBuilder()
                           .Chunk("fmt ", ExtensibleBody(2, 8000, 2, odd_guid))
                           .Chunk("data", data)
                           .Bytes(),
                       &info),
            err::kMalformed);
  // PCM takes any body of 16 bytes or more; 15 is too short.
  ASSERT_EQ(
      ProbeBytes(RiffBuilder().Chunk("fmt ", FormatBody(1, 2, 8000, 4, 16).Zeros(7)).Chunk("data", data).Bytes(), &info),
      0u);
  EXPECT_EQ(info.code, sample_code::kS16);
  EXPECT_EQ(info.frames, 16u);
  std::vector<std::uint8_t> short_fmt = FormatBody(1, 2, 8000, 4, 16);
  short_fmt.pop_back();
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", short_fmt).Chunk("data", data).Bytes(), &info), err::kMalformed);

  // Any other tag is handed on at once, even when nothing else would do.
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", FormatBody(2, 1, 8000, 0, 4)).Bytes(), &info),
            err::kForeignEncoding);
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", FormatBody(0x55, 2, 8000, 1, 0).Zeros(14)).Bytes(), &info),
            err::kForeignEncoding);
  // Only the first format block counts.
  ASSERT_EQ(ProbeBytes(RiffBuilder()
                           .Chunk("fmt ", FormatBody(1, 1, 8000, 1, 8))
                           .Chunk("fmt ", FormatBody(2, 1, 8000, 0, 4))
                           .Chunk("data", data)
                           .Bytes(),
                       &info),
            0u);
  EXPECT_EQ(info.code, sample_code::kU8);
  EXPECT_EQ(info.frames, 64u);

  // Channels and block align.
  for (const auto& [channels, block] : {std::pair<int, int>{0, 2}, {2, 0}, {2, 3}}) {
    SCOPED_TRACE(channels * 100 + block);
    EXPECT_EQ(ProbeBytes(RiffBuilder()
                             .Chunk("fmt ", FormatBody(1, static_cast<std::uint16_t>(channels), 8000,
                                                       static_cast<std::uint16_t>(block), 16))
                             .Chunk("data", data)
                             .Bytes(),
                         &info),
              err::kMalformed);
  }
  // A width the sample code cannot hold.
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", FormatBody(1, 1, 8000, 16, 128)).Chunk("data", data).Bytes(), &info),
            err::kUnsupportedFormat);
}

TEST(WavProbe, SampleCodeFromWidthAndBits) {
  const std::vector<std::uint8_t> data = Samples(48, 2);
  struct Case {
    Body fmt;
    SampleCode code;
  };
  const Case cases[] = {
      {FormatBody(1, 1, 8000, 1, 8), sample_code::kU8},
      {FormatBody(1, 1, 8000, 1, 4), sample_code::kU8},  // fewer bits still unsigned
      {FormatBody(1, 2, 8000, 2, 16), sample_code::kS8},  // bits decide only the unsigned bit
      {FormatBody(1, 1, 8000, 3, 20), sample_code::kS24},
      {FormatBody(1, 2, 8000, 8, 32), sample_code::kS32},
      {Body(FormatBody(3, 1, 8000, 8, 64)).U16(0), sample_code::kDouble},
      {ExtensibleBody(1, 8000, 1, testing::kPcmGuid), sample_code::kU8},
      {ExtensibleBody(2, 8000, 3, testing::kPcmGuid), sample_code::kS24},
      {ExtensibleBody(1, 8000, 4, testing::kFloatGuid), sample_code::kFloat},
  };
  for (const Case& c : cases) {
    SoundFileInfo info;
    ASSERT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", c.fmt).Chunk("data", data).Bytes(), &info), 0u);
    EXPECT_EQ(info.code, c.code);
    EXPECT_EQ(info.frames, 48u / (BytesPerSample(c.code) * info.channels));
    EXPECT_EQ(info.data_offset, 12u + 8u + c.fmt.bytes().size() + 8u);
  }
}

TEST(WavProbe, FrameCountFromFactAndData) {
  const std::vector<std::uint8_t> data = Samples(80, 3);  // 10 stereo float frames
  const Body fact_big = Body().U32(1000), fact_small = Body().U32(4);
  const Body float_fmt = Body(FormatBody(3, 2, 44100, 8, 32)).U16(0);
  const Body ext_float = ExtensibleBody(2, 44100, 4, testing::kFloatGuid);
  const Body ext_pcm = ExtensibleBody(2, 44100, 4, testing::kPcmGuid);
  SoundFileInfo info;

  // PCM ignores "fact".
  ASSERT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", FormatBody(1, 2, 44100, 8, 32)).Chunk("fact", fact_big)
                           .Chunk("data", data).Bytes(), &info), 0u);
  EXPECT_EQ(info.frames, 10u);
  // Without "fact", the data size decides.
  ASSERT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", float_fmt).Chunk("data", data).Bytes(), &info), 0u);
  EXPECT_EQ(info.frames, 10u);
  // Float and extensible believe "fact", smaller or larger, when the data chunk is last.
  for (const Body* fmt : {&float_fmt, &ext_float, &ext_pcm}) {
    ASSERT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", *fmt).Chunk("fact", fact_small).Chunk("data", data).Bytes(),
                         &info), 0u);
    EXPECT_EQ(info.frames, 4u);
    ASSERT_EQ(ProbeBytes(RiffBuilder().Chunk("fact", fact_big).Chunk("fmt ", *fmt).Chunk("data", data).Bytes(),
                         &info), 0u);
    EXPECT_EQ(info.frames, 1000u);
    // A chunk behind the data is not read as samples.
    ASSERT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", *fmt).Chunk("fact", fact_big).Chunk("data", data)
                             .Chunk("LIST", Body().Text("INFO")).Bytes(), &info), 0u);
    EXPECT_EQ(info.frames, 10u);
  }
  // Only the first "fact" counts; a short one is malformed.
  ASSERT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", float_fmt).Chunk("fact", fact_small).Chunk("fact", fact_big)
                           .Chunk("data", data).Bytes(), &info), 0u);
  EXPECT_EQ(info.frames, 4u);
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", float_fmt).Chunk("fact", Body().U16(3)).Chunk("data", data)
                           .Bytes(), &info), err::kMalformed);
  // Only the first "data" counts.
  ASSERT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", float_fmt).Chunk("data", std::vector<std::uint8_t>(16))
                           .Chunk("data", data).Bytes(), &info), 0u);
  EXPECT_EQ(info.frames, 2u);
  EXPECT_EQ(info.data_offset, 12u + 26u + 8u);
  // Both "fmt " and "data" are needed.
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", float_fmt).Bytes(), &info), err::kMalformed);
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("data", data).Bytes(), &info), err::kMalformed);
}

TEST(WavProbe, ReadingPastTheDataOfABelievedFactCountFails) {
  const std::string dir = testing::MakeTempDir("wav_fact");
  const std::vector<std::uint8_t> data = Samples(80, 4);
  const std::string path = dir + "/long_fact.wav";
  WriteWholeFile(path, RiffBuilder().Chunk("fmt ", ExtensibleBody(2, 44100, 4, testing::kFloatGuid))
                           .Chunk("fact", Body().U32(12)).Chunk("data", data).Bytes());
  SoundFileInfo info;
  ASSERT_EQ(ProbePcmFile(path, &info), 0u);
  ASSERT_EQ(info.frames, 12u);
  SourceRef source;
  ASSERT_EQ(OpenFileSource(path, info.data_offset, info.rate, info.code, info.channels, info.frames, 0, nullptr,
                           &source), 0u);
  std::vector<float> frames(24);
  EXPECT_EQ(source->Read(0, 12, frames.data(), sample_code::kFloat), err::kReadFailed);
  EXPECT_EQ(source->Read(10, 1, frames.data(), sample_code::kFloat), err::kReadFailed);
}

TEST(WavProbe, DamagedFilesAreRejected) {
  const std::vector<std::uint8_t> good =
      RiffBuilder().Chunk("fmt ", FormatBody(1, 2, 44100, 4, 16)).Chunk("data", Samples(40, 5)).Bytes();
  SoundFileInfo info;
  ASSERT_EQ(ProbeBytes(good, &info), 0u);
  // Every truncation claims more than the file holds.
  for (std::size_t n = 0; n < good.size(); ++n) {
    const std::vector<std::uint8_t> part(good.begin(), good.begin() + static_cast<long>(n));
    EXPECT_EQ(ProbeBytes(part, &info), err::kMalformed) << n << " bytes";
  }
  // Trailing bytes after the declared end are ignored.
  std::vector<std::uint8_t> longer = good;
  longer.insert(longer.end(), 7, 0xEE);
  EXPECT_EQ(ProbeBytes(longer, &info), 0u);

  auto patched = [&](std::size_t at, std::uint32_t value) {
    std::vector<std::uint8_t> b = good;
    StoreLe32(&b[at], value);
    return b;
  };
  EXPECT_EQ(ProbeBytes(patched(4, 0xFFFFFFFFu), &info), err::kMalformed);   // RIFF size
  EXPECT_EQ(ProbeBytes(patched(16, 0xFFFFFFFFu), &info), err::kMalformed);  // fmt size
  EXPECT_EQ(ProbeBytes(patched(40, 0xFFFFFFFFu), &info), err::kMalformed);  // data size
  EXPECT_EQ(ProbeBytes(patched(8, FourCc("AVI ")), &info), err::kMalformed);
  EXPECT_EQ(ProbeBytes(patched(0, FourCc("RIFX")), &info), err::kMalformed);
  // "FORM" and ".snd" are not yet known here; nor is anything else.
  EXPECT_EQ(ProbeBytes(patched(0, FourCc("FORM")), &info), err::kMalformed);
  EXPECT_EQ(ProbeBytes(patched(0, FourCc(".snd")), &info), err::kMalformed);
  EXPECT_EQ(ProbeBytes(patched(0, FourCc("OggS")), &info), err::kMalformed);
  // A LIST whose body cannot hold its type.
  EXPECT_EQ(ProbeBytes(RiffBuilder().Chunk("fmt ", FormatBody(1, 1, 8000, 2, 16)).Chunk("LIST", Body().U16(0))
                           .Chunk("data", Samples(4, 6)).Bytes(), &info), err::kMalformed);
}

TEST(WavProbe, FilesThatCannotBeProbed) {
  const std::string dir = testing::MakeTempDir("wav_files");
  SoundFileInfo info;
  EXPECT_EQ(ProbePcmFile(dir + "/missing.wav", &info), err::kCannotOpen);
  EXPECT_EQ(ProbePcmFile(dir, &info), err::kCannotOpen);
  WriteWholeFile(dir + "/empty.wav", {});
  EXPECT_EQ(ProbePcmFile(dir + "/empty.wav", &info), err::kMalformed);
  WriteWholeFile(dir + "/three.wav", {'R', 'I', 'F'});
  EXPECT_EQ(ProbePcmFile(dir + "/three.wav", &info), err::kMalformed);

  // Sparse files at the 32-bit limit: 0xFFFFFFFE bytes is the largest that
  // is read, one more is refused before anything is parsed.
  const std::string big = dir + "/big.wav";
  std::vector<std::uint8_t> header =
      RiffBuilder().Chunk("fmt ", FormatBody(1, 2, 44100, 4, 16)).Chunk("data", {}).Bytes();
  StoreLe32(&header[4], 0xFFFFFFFEu - 8);
  StoreLe32(&header[40], 0xFFFFFFFEu - 44);
  WriteWholeFile(big, header);
  ASSERT_EQ(::truncate(big.c_str(), 0xFFFFFFFEll), 0);
  ASSERT_EQ(ProbePcmFile(big, &info), 0u);
  EXPECT_EQ(info.frames, (0xFFFFFFFEu - 44) / 4);
  ASSERT_EQ(::truncate(big.c_str(), 0xFFFFFFFFll), 0);
  EXPECT_EQ(ProbePcmFile(big, &info), err::kMalformed);
  ASSERT_EQ(::truncate(big.c_str(), 0x100000000ll), 0);
  EXPECT_EQ(ProbePcmFile(big, &info), err::kMalformed);
  ::unlink(big.c_str());
}

}  // namespace
}  // namespace tidemark
