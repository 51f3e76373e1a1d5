#include "formats/wav/wav_probe.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/sources/sound_source.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/open_sound_file.h"
#include "formats/pcm_probe.h"
#include "platform/error_numbers.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::Body;
using testing::Bytes;
using testing::ExtensibleBody;
using testing::FormatBody;
using testing::ProbeBytes;
using testing::ReadWholeFile;
using testing::RiffBuilder;
using testing::WriteWholeFile;

using Chunks = std::vector<std::pair<const char*, Bytes>>;

Bytes Wave(const Chunks& chunks) {
  RiffBuilder riff;
  for (const auto& [id, body] : chunks) riff.Chunk(id, body);
  return riff.Bytes();
}

struct PeerFile {
  const char* name;
  const char* command;  // every %s is the output path
  SampleCode code;
  std::uint16_t channels;
  std::uint32_t rate;
  bool extensible;
  std::uint32_t format_bytes = 0;  // the "fmt " body the peer writes, when it matters
  const char* form = "RIFF";
};

// Where the first "fmt " chunk of a WAV file starts (0 when not found).
std::size_t FormatChunkAt(const Bytes& file) {
  for (std::size_t at = 12; at + 8 <= file.size(); at += 8 + ((LoadLe32(&file[at + 4]) + 1) & ~1u))
    if (LoadLe32(&file[at]) == FourCc("fmt ")) return at;
  return 0;
}

// ffmpeg writes the extensible form above 16 bits or 48 kHz, and a LIST/INFO chunk.
const PeerFile kPeerFiles[] = {
    {"u8m", "sox -n -r 8000 -c 1 -b 8 -e unsigned-integer %s synth 0.05 sine 300", kU8, 1, 8000, false},
    {"s16s", "sox -n -r 44100 -c 2 -b 16 %s synth 0.05 sine 440 sine 550", kS16, 2, 44100, false},
    {"s24s", "sox -n -r 48000 -c 2 -b 24 %s synth 0.05 sine 440 sine 660", kS24, 2, 48000, true},
    {"s24m", "sox -n -r 22050 -c 1 -b 24 -t wavpcm %s synth 0.0503 sine 440", kS24, 1, 22050, false},
    {"s32s", "sox -n -r 44100 -c 2 -b 32 %s synth 0.05 sine 440 noise", kS32, 2, 44100, true},
    {"s32m", "sox -n -r 32000 -c 1 -b 32 -t wavpcm %s synth 0.05 noise", kS32, 1, 32000, false},
    {"f32s", "sox -n -r 44100 -c 2 -e floating-point -b 32 %s synth 0.05 sine 440 noise", kFloat, 2, 44100, false},
    {"f64m", "sox -n -r 96000 -c 1 -e floating-point -b 64 %s synth 0.05 sine 1000", kDouble, 1, 96000, false},
    {"ffu8", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=96000:d=0.05 -ac 2 -c:a pcm_u8 %s", kU8, 2, 96000,
     true},
    {"ffs16", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=96000:d=0.05 -c:a pcm_s16le %s", kS16, 1, 96000,
     true},
    {"ffs16p", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -ac 2 -c:a pcm_s16le %s", kS16, 2,
     44100, false},
    {"ffs24", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -ac 2 -c:a pcm_s24le %s", kS24, 2,
     44100, true},
    {"ffs32", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -c:a pcm_s32le %s", kS32, 1, 44100,
     true},
    {"fff32", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -ac 2 -c:a pcm_f32le %s", kFloat, 2,
     44100, true},
    {"fff64", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -c:a pcm_f64le %s", kDouble, 1, 44100,
     true},
    // libsndfile writes float without the extra-size field.
    {"sf32", "sox -n -r 44100 -c 2 -b 16 %s.in.wav synth 0.05 sine 440 noise && sndfile-convert -float32 %s.in.wav %s",
     kFloat, 2, 44100, false, 16},
    {"sf64", "sox -n -r 22050 -c 1 -b 24 %s.in.wav synth 0.05 sine 440 && sndfile-convert -float64 %s.in.wav %s",
     kDouble, 1, 22050, false, 16},
    // RF64 as ffmpeg writes it even for short sounds.
    {"rf16", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -ac 2 -c:a pcm_s16le -rf64 always %s",
     kS16, 2, 44100, false, 16, "RF64"},
    {"rf24", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=48000:d=0.05 -ac 2 -c:a pcm_s24le -rf64 always %s",
     kS24, 2, 48000, true, 40, "RF64"},
    {"rff32", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=44100:d=0.05 -ac 2 -c:a pcm_f32le -rf64 always "
     "-metadata title=abc %s", kFloat, 2, 44100, true, 40, "RF64"},
    {"rfu8", "ffmpeg -loglevel error -y -f lavfi -i sine=f=440:r=8000:d=0.0503 -c:a pcm_u8 -rf64 always %s", kU8, 1,
     8000, false, 16, "RF64"},
};

class WavProbePeers : public ::testing::TestWithParam<PeerFile> {};

// The probe agrees with sox on format and length, and the samples read
// through a file source at the probed offset equal what sox decodes.
TEST_P(WavProbePeers, FileMatchesSoxDecoding) {
  const PeerFile& peer = GetParam();
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const bool ffmpeg = std::strncmp(peer.command, "ffmpeg", 6) == 0;
  TIDEMARK_REQUIRE_PEER_IF(!ffmpeg || testing::HaveProgram("/usr/bin/ffmpeg"), "/usr/bin/ffmpeg");
  const bool sndfile = std::strstr(peer.command, "sndfile-convert") != nullptr;
  TIDEMARK_REQUIRE_PEER_IF(!sndfile || testing::HaveProgram("/usr/bin/sndfile-convert"), "/usr/bin/sndfile-convert");
  const std::string wav = testing::MakeTempDir("wav_peers") + "/" + peer.name + ".wav";
  std::string command = peer.command;
  for (std::size_t at; (at = command.find("%s")) != std::string::npos;) command.replace(at, 2, wav);
  std::string output;
  ASSERT_EQ(testing::Run(command, &output), 0) << output;
  const Bytes file = ReadWholeFile(wav);
  ASSERT_GT(file.size(), 12u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), peer.form) << "the peer wrote another header form";
  const std::size_t fmt = FormatChunkAt(file);
  ASSERT_NE(fmt, 0u);
  EXPECT_EQ(LoadLe16(&file[fmt + 8]) == 0xFFFE, peer.extensible) << "the peer wrote another header form";
  if (peer.format_bytes) {
    EXPECT_EQ(LoadLe32(&file[fmt + 4]), peer.format_bytes) << "the peer wrote another format block";
  }

  testing::ExpectProbeMatchesSox(wav, PcmFileKind::Wave, peer.code, peer.channels, peer.rate);
}

INSTANTIATE_TEST_SUITE_P(Files, WavProbePeers, ::testing::ValuesIn(kPeerFiles),
                         [](const auto& p) { return std::string(p.param.name); });

// The format block: which bodies are taken, the code each gives, and the
// frames and data offset that follow from it (48 sample bytes each).
TEST(WavProbe, FormatBlockRulesAndSampleCodes) {
  Body odd_guid_ext = ExtensibleBody(2, 8000, 2, testing::kPcmGuid);
  Bytes odd_guid = odd_guid_ext;
  odd_guid[24] = 2;
  Bytes fmt15 = FormatBody(1, 2, 8000, 4, 16);
  fmt15.pop_back();
  const struct {
    const char* what;
    Bytes fmt;
    Error rc;
    SampleCode code;
    bool data = true;
  } cases[] = {
      // Float takes 16 bytes (libsndfile), or 18 and more when the extra-size
      // field fits; the extensible form 40 bytes with a known GUID.
      {"float, 16 bytes", FormatBody(3, 1, 8000, 4, 32), err::kOk, kFloat},
      {"float, 17 bytes", FormatBody(3, 1, 8000, 4, 32).Zeros(1), err::kMalformed, 0},
      {"float, 20 bytes, no extra", FormatBody(3, 1, 8000, 4, 32).Zeros(4), err::kOk, kFloat},
      {"float, 22 bytes, 4 extra", FormatBody(3, 2, 8000, 8, 32).U16(4).Zeros(4), err::kOk, kFloat},
      {"float, 18 bytes, 2 extra", FormatBody(3, 1, 8000, 4, 32).U16(2), err::kMalformed, 0},
      {"float, 21 bytes, 4 extra", FormatBody(3, 1, 8000, 4, 32).U16(4).Zeros(3), err::kMalformed, 0},
      {"extensible, 42 bytes", ExtensibleBody(2, 8000, 2, testing::kPcmGuid).Zeros(2), err::kMalformed, 0},
      {"extensible, unknown GUID", odd_guid, err::kMalformed, 0},
      // PCM takes any body of 16 bytes or more; 15 is too short.
      {"PCM, 23 bytes", FormatBody(1, 2, 8000, 4, 16).Zeros(7), err::kOk, kS16},
      {"PCM, 15 bytes", fmt15, err::kMalformed, 0},
      // Any other tag is handed on at once, even when nothing else would do.
      {"tag 2", FormatBody(2, 1, 8000, 0, 4), err::kForeignEncoding, 0, false},
      {"tag 0x55", FormatBody(0x55, 2, 8000, 1, 0).Zeros(14), err::kForeignEncoding, 0, false},
      {"no channels", FormatBody(1, 0, 8000, 2, 16), err::kMalformed, 0},
      {"block align 0", FormatBody(1, 2, 8000, 0, 16), err::kMalformed, 0},
      {"block align 3 for stereo", FormatBody(1, 2, 8000, 3, 16), err::kMalformed, 0},
      {"16-byte samples", FormatBody(1, 1, 8000, 16, 128), err::kUnsupportedFormat, 0},
      // The width decides; the bits only whether 8-bit samples are unsigned.
      {"8 bits", FormatBody(1, 1, 8000, 1, 8), err::kOk, kU8},
      {"4 bits", FormatBody(1, 1, 8000, 1, 4), err::kOk, kU8},
      {"16 bits in bytes", FormatBody(1, 2, 8000, 2, 16), err::kOk, kS8},
      {"20 bits", FormatBody(1, 1, 8000, 3, 20), err::kOk, kS24},
      {"32 bits", FormatBody(1, 2, 8000, 8, 32), err::kOk, kS32},
      {"double", Body(FormatBody(3, 1, 8000, 8, 64)).U16(0), err::kOk, kDouble},
      {"extensible 8 bits", ExtensibleBody(1, 8000, 1, testing::kPcmGuid), err::kOk, kU8},
      {"extensible 24 bits", ExtensibleBody(2, 8000, 3, testing::kPcmGuid), err::kOk, kS24},
      {"extensible float", ExtensibleBody(1, 8000, 4, testing::kFloatGuid), err::kOk, kFloat},
  };
  const Bytes data = testing::RandomBytes(48, 2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SoundFileInfo info;
    ASSERT_EQ(ProbeBytes(c.data ? Wave({{"fmt ", c.fmt}, {"data", data}}) : Wave({{"fmt ", c.fmt}}), &info), c.rc);
    if (c.rc != err::kOk) continue;
    EXPECT_EQ(info.code, c.code);
    EXPECT_EQ(info.frames, 48u / (BytesPerSample(c.code) * info.channels));
    EXPECT_EQ(info.data_offset, 12u + 8u + ((c.fmt.size() + 1) & ~std::size_t{1}) + 8u);
  }
  // Only the first format block counts.
  SoundFileInfo info;
  ASSERT_EQ(ProbeBytes(Wave({{"fmt ", FormatBody(1, 1, 8000, 1, 8)}, {"fmt ", FormatBody(2, 1, 8000, 0, 4)},
                             {"data", data}}),
                       &info),
            0u);
  EXPECT_EQ(info.code, kU8);
  EXPECT_EQ(info.frames, 48u);
}

TEST(WavProbe, FrameCountFromFactAndData) {
  const Bytes data = testing::RandomBytes(80, 3);  // 10 stereo float frames
  const Bytes fact_big = Body().U32(1000), fact_small = Body().U32(4), list = Body().Text("INFO");
  const Bytes float_fmt = Body(FormatBody(3, 2, 44100, 8, 32)).U16(0);
  struct Case {
    Chunks chunks;
    Error rc;
    std::uint32_t frames;
  };
  std::vector<Case> cases = {
      // PCM ignores "fact"; without "fact" the data size decides.
      {{{"fmt ", FormatBody(1, 2, 44100, 8, 32)}, {"fact", fact_big}, {"data", data}}, err::kOk, 10},
      {{{"fmt ", float_fmt}, {"data", data}}, err::kOk, 10},
      // Only the first "fact" counts; a short one is malformed.
      {{{"fmt ", float_fmt}, {"fact", fact_small}, {"fact", fact_big}, {"data", data}}, err::kOk, 4},
      {{{"fmt ", float_fmt}, {"fact", Body().U16(3)}, {"data", data}}, err::kMalformed, 0},
      // Both "fmt " and "data" are needed.
      {{{"fmt ", float_fmt}}, err::kMalformed, 0},
      {{{"data", data}}, err::kMalformed, 0},
  };
  // Float and extensible believe "fact", smaller or larger, when the data
  // chunk is last; a chunk behind the data is not read as samples.
  for (const Bytes& fmt : {float_fmt, Bytes(ExtensibleBody(2, 44100, 4, testing::kFloatGuid)),
                           Bytes(ExtensibleBody(2, 44100, 4, testing::kPcmGuid))}) {
    cases.push_back({{{"fmt ", fmt}, {"fact", fact_small}, {"data", data}}, err::kOk, 4});
    cases.push_back({{{"fact", fact_big}, {"fmt ", fmt}, {"data", data}}, err::kOk, 1000});
    cases.push_back({{{"fmt ", fmt}, {"fact", fact_big}, {"data", data}, {"LIST", list}}, err::kOk, 10});
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SoundFileInfo info;
    ASSERT_EQ(ProbeBytes(Wave(cases[i].chunks), &info), cases[i].rc) << i;
    if (cases[i].rc == err::kOk) {
      EXPECT_EQ(info.frames, cases[i].frames) << i;
    }
  }
  // Only the first "data" counts.
  SoundFileInfo info;
  ASSERT_EQ(ProbeBytes(Wave({{"fmt ", float_fmt}, {"data", Bytes(16)}, {"data", data}}), &info), 0u);
  EXPECT_EQ(info.frames, 2u);
  EXPECT_EQ(info.data_offset, 12u + 26u + 8u);
}

TEST(WavProbe, ReadingPastTheDataOfABelievedFactCountFails) {
  const std::string path = testing::MakeTempDir("wav_fact") + "/long_fact.wav";
  WriteWholeFile(path, Wave({{"fmt ", ExtensibleBody(2, 44100, 4, testing::kFloatGuid)}, {"fact", Body().U32(12)},
                             {"data", testing::RandomBytes(80, 4)}}));
  SoundFileInfo info;
  ASSERT_EQ(ProbePcmFile(path, &info), 0u);
  ASSERT_EQ(info.frames, 12u);
  SourceRef source;
  ASSERT_EQ(OpenFileSource(path, info.data_offset, info.rate, info.code, info.channels, info.frames, 0, nullptr,
                           &source),
            0u);
  std::vector<float> frames(24);
  EXPECT_EQ(source->Read(0, 12, frames.data(), kFloat), err::kReadFailed);
  EXPECT_EQ(source->Read(10, 1, frames.data(), kFloat), err::kReadFailed);
}

TEST(WavProbe, DamagedFilesAreRejected) {
  const Bytes good = Wave({{"fmt ", FormatBody(1, 2, 44100, 4, 16)}, {"data", testing::RandomBytes(40, 5)}});
  SoundFileInfo info;
  ASSERT_EQ(ProbeBytes(good, &info), 0u);
  // Every truncation claims more than the file holds.
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_EQ(ProbeBytes(Bytes(good.begin(), good.begin() + static_cast<long>(n)), &info), err::kMalformed) << n;
  // Trailing bytes after the declared end are ignored.
  Bytes longer = good;
  longer.insert(longer.end(), 7, 0xEE);
  EXPECT_EQ(ProbeBytes(longer, &info), 0u);

  // Sizes past the end, another form type, and ids not (yet) known here.
  for (const auto& [at, value] : std::initializer_list<std::pair<std::size_t, std::uint32_t>>{
           {4, 0xFFFFFFFFu}, {16, 0xFFFFFFFFu}, {40, 0xFFFFFFFFu}, {8, FourCc("AVI ")}, {0, FourCc("RIFX")},
           {0, FourCc("FORM")}, {0, FourCc(".snd")}, {0, FourCc("OggS")}}) {
    Bytes b = good;
    StoreLe32(&b[at], value);
    EXPECT_EQ(ProbeBytes(b, &info), err::kMalformed) << at << " " << value;
  }
  // A LIST whose body cannot hold its type.
  EXPECT_EQ(ProbeBytes(Wave({{"fmt ", FormatBody(1, 1, 8000, 2, 16)}, {"LIST", Body().U16(0)},
                             {"data", testing::RandomBytes(4, 6)}}),
                       &info),
            err::kMalformed);
}

// RF64 and BW64: the twin of a RIFF file describes as that file, its
// samples a "ds64" chunk later; the 64-bit sizes stand where the 32-bit
// fields hold 0xFFFFFFFF, the 32-bit values elsewhere.
TEST(WavProbe, Rf64AndBw64DescribeAsTheirRiffTwins) {
  const Bytes float_fmt = Body(FormatBody(3, 2, 44100, 8, 32)).U16(0);
  const Bytes data = testing::RandomBytes(80, 7), odd = testing::RandomBytes(81, 8);
  const Bytes list = Body().Text("INFO").Text("INAM").U32(4).Text("abc", true);
  const std::vector<Chunks> files = {
      {{"fmt ", FormatBody(1, 2, 44100, 4, 16)}, {"data", data}},
      {{"fmt ", FormatBody(1, 1, 8000, 1, 8)}, {"data", odd}, {"LIST", list}},
      {{"fmt ", float_fmt}, {"fact", Body().U32(7)}, {"data", data}},
      {{"fmt ", ExtensibleBody(2, 96000, 4, testing::kFloatGuid)}, {"fact", Body().U32(100)}, {"data", data}},
      {{"fmt ", ExtensibleBody(1, 48000, 3, testing::kPcmGuid)}, {"LIST", list}, {"data", Bytes(81, 1)}},
      // Two chunks of one id take their table entries in file order.
      {{"LIST", Body().Text("adtl")}, {"fmt ", FormatBody(1, 1, 8000, 2, 16)}, {"LIST", list}, {"data", data}},
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Bytes riff = Wave(files[i]);
    SoundFileInfo want;
    ASSERT_EQ(ProbeBytes(riff, &want), 0u) << i;
    for (const testing::Rf64Options& options :
         {testing::Rf64Options{}, testing::Rf64Options{"BW64"}, testing::Rf64Options{"RF64", {"data", "LIST"}},
          testing::Rf64Options{"BW64", {}, static_cast<std::uint32_t>(riff.size() + 28)},
          testing::Rf64Options{"RF64", {"fmt ", "data"}}}) {
      SCOPED_TRACE(std::to_string(i) + " " + options.magic + " " + std::to_string(options.large.size()));
      const Bytes twin = testing::Rf64Twin(riff, options);
      SoundFileInfo got;
      ASSERT_EQ(ProbeBytes(twin, &got), 0u);
      const std::uint32_t ds64 = static_cast<std::uint32_t>(twin.size() - riff.size());
      EXPECT_EQ(testing::LayoutOf(got), testing::Layout(want.kind, want.code, want.channels, want.rate, want.frames,
                                                        want.data_offset + ds64));
    }
  }

  // A "fact" count of 0xFFFFFFFF is the "ds64" sample count, believed
  // beyond the data when the data is last.
  const Bytes riff = Wave({{"fmt ", float_fmt}, {"fact", Body().U32(0xFFFFFFFFu)}, {"data", data}});
  const Bytes followed =
      Wave({{"fmt ", float_fmt}, {"fact", Body().U32(0xFFFFFFFFu)}, {"data", data}, {"LIST", list}});
  for (const auto& [file, count, frames] : {std::tuple{&riff, 6u, 6u}, {&riff, 1000u, 1000u}, {&followed, 1000u, 10u}}) {
    testing::Rf64Options counted;
    counted.sample_count = count;
    SoundFileInfo info;
    ASSERT_EQ(ProbeBytes(testing::Rf64Twin(*file, counted), &info), 0u);
    EXPECT_EQ(info.frames, frames) << count;
  }
}

// What makes an RF64 file malformed, and the sniff that agrees with the probe.
TEST(WavProbe, Rf64RulesAndSniff) {
  const Bytes riff = Wave({{"fmt ", FormatBody(1, 2, 44100, 4, 16)}, {"data", testing::RandomBytes(40, 9)}});
  const Bytes good = testing::Rf64Twin(riff);
  SoundFileInfo info;
  ASSERT_EQ(ProbeBytes(good, &info), 0u);
  const auto with = [&](std::size_t at, std::uint32_t value) {
    Bytes b = good;
    StoreLe32(&b[at], value);
    return b;
  };
  testing::Rf64Options short_ds64, long_riff, small_riff;
  short_ds64.ds64_body = 24;
  long_riff.ds64_riff = good.size() - 7;
  small_riff.riff_field = 3;
  Bytes ds64_later = good;  // "fmt " first, "ds64" second
  std::rotate(ds64_later.begin() + 12, ds64_later.begin() + 48, ds64_later.begin() + 72);
  const struct {
    const char* what;
    Bytes file;
  } bad[] = {
      {"ds64 body under 28 bytes", testing::Rf64Twin(riff, short_ds64)},
      {"ds64 RIFF size past the end", testing::Rf64Twin(riff, long_riff)},
      {"RIFF size under 4", testing::Rf64Twin(riff, small_riff)},
      {"ds64 not first", ds64_later},
      {"data size past the end", with(28, 41)},
      {"data size above 32 bits", with(32, 1)},
      {"another form type", with(8, FourCc("AVI "))},
      {"no ds64", with(12, FourCc("JUNK"))},
      // A size field of 0xFFFFFFFF that "ds64" does not name stands as stored.
      {"fmt size from nowhere", with(52, 0xFFFFFFFFu)},
  };
  for (const auto& c : bad) EXPECT_EQ(ProbeBytes(c.file, &info), err::kMalformed) << c.what;
  for (std::size_t n = 0; n < good.size(); ++n)
    EXPECT_NE(ProbeBytes(Bytes(good.begin(), good.begin() + static_cast<long>(n)), &info), 0u) << n;

  // The sniff takes RF64 and BW64 as WAV files, as the probe does.
  for (const char* magic : {"RF64", "BW64"}) {
    testing::Rf64Options options;
    options.magic = magic;
    const Bytes file = testing::Rf64Twin(riff, options);
    SoundFileInfo probed, sniffed;
    ASSERT_EQ(ProbeBytes(file, &probed), 0u);
    SniffSoundHeaderBytes(file.data(), file.size(), &sniffed);
    EXPECT_EQ(testing::LayoutOf(sniffed), testing::Layout(PcmFileKind::Wave, probed.code, probed.channels,
                                                          probed.rate, 0, probed.data_offset));
  }
  const Bytes not_wave = with(0, FourCc("RF65"));
  EXPECT_EQ(ProbeBytes(not_wave, &info), err::kMalformed);
  SniffSoundHeaderBytes(not_wave.data(), not_wave.size(), &info);
  EXPECT_EQ(info.kind, PcmFileKind::Raw);
}

// The frame limit with 64-bit sizes, on headers alone: the input holds the
// header, the length given is that of the whole file.
TEST(WavProbe, Rf64FrameCountsBeyondTheLimit) {
  const struct {
    std::uint16_t block;
    std::uint64_t data_bytes;
    std::uint32_t frames;
    Error limits;
  } cases[] = {
      {1, 0xFFFF0000u, 0xFFFF0000u, err::kOk},
      {1, 0xFFFF0001u, 0xFFFF0001u, err::kTooManyFrames},
      {4, 4ull * 0xFFFF0000u, 0xFFFF0000u, err::kOk},
      {4, 4ull * 0xFFFF0000u + 4, 0xFFFF0001u, err::kTooManyFrames},
      {1, 1ull << 40, 0xFFFFFFFFu, err::kTooManyFrames},  // saturated, never wrapped
      {2, (1ull << 33) + 2, 0xFFFFFFFFu, err::kTooManyFrames},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data_bytes);
    const auto [bytes, length] = testing::Rf64Header(1, c.block, c.data_bytes);
    MemoryInput input(bytes);
    SoundFileInfo info;
    ASSERT_EQ(ProbePcm(input, length, &info), 0u);
    EXPECT_EQ(info.frames, c.frames);
    EXPECT_EQ(info.data_offset, bytes.size());
    EXPECT_EQ(CheckOpenLimits(info), c.limits);
  }
  // A RIFF file is never longer than 0xFFFFFFFE bytes, whatever it declares.
  const Bytes riff = Wave({{"fmt ", FormatBody(1, 1, 8000, 1, 8)}, {"data", {}}});
  MemoryInput input(riff);
  SoundFileInfo info;
  EXPECT_EQ(ProbePcm(input, 0xFFFFFFFFu, &info), err::kMalformed);
}

// A "ds64" table that claims gigabytes is not read (nor allocated) whole.
TEST(WavProbe, Rf64TableClaimsAreBounded) {
  const Bytes riff = Wave({{"fmt ", FormatBody(1, 1, 8000, 1, 8)}, {"data", {}}});
  Bytes file = testing::Rf64Twin(riff);
  const std::uint64_t length = 1ull << 33;
  StoreLe32(&file[16], 0xFFFFFFF0u);   // the "ds64" body
  StoreLe64(&file[20], length - 8);   // the RIFF size
  StoreLe32(&file[44], 0xFFFFFFFFu);   // table entries
  testing::CountingInput input(file);
  SoundFileInfo info;
  EXPECT_EQ(ProbePcm(input, length, &info), err::kReadFailed);  // the input holds the header only
  EXPECT_LE(input.largest, 65536u * 12);
}

// An RF64 file of many tiny chunks whose sizes all come from the "ds64"
// table: the walk reads a window of headers at a time and looks each size
// up without going through the table again, so the probe stays linear.
TEST(WavProbe, Rf64OfManyTinyChunksIsReadInWindows) {
  constexpr std::size_t kMany = 30000;
  RiffBuilder riff;
  riff.Chunk("fmt ", FormatBody(1, 1, 8000, 2, 16).bytes());
  for (std::size_t i = 0; i < kMany; ++i) riff.Chunk("tiny", {});
  riff.Chunk("data", testing::RandomBytes(20, 3));
  testing::Rf64Options options;
  options.large = {"data", "tiny"};
  const Bytes file = testing::Rf64Twin(riff.Bytes(), options);
  testing::CountingInput input(file);
  SoundFileInfo info;
  ASSERT_EQ(ProbePcm(input, file.size(), &info), 0u);
  EXPECT_EQ(info.frames, 10u);
  EXPECT_EQ(info.data_offset, file.size() - 20);
  // Two walks (the file's and its RIFF view's), each a window at a time,
  // plus the header, the table and the format block.
  EXPECT_LE(input.reads, 8 + 2 * (1 + file.size() / WindowedReader::kWindowBytes));
}

TEST(WavProbe, FilesThatCannotBeProbed) {
  const std::string dir = testing::MakeTempDir("wav_files");
  SoundFileInfo info;
  WriteWholeFile(dir + "/empty.wav", {});
  WriteWholeFile(dir + "/three.wav", {'R', 'I', 'F'});
  for (const auto& [name, rc] : {std::pair{"/missing.wav", err::kCannotOpen}, {"", err::kCannotOpen},
                                 {"/empty.wav", err::kMalformed}, {"/three.wav", err::kMalformed}})
    EXPECT_EQ(ProbePcmFile(dir + name, &info), rc) << name;

  // Sparse files at the 32-bit limit: 0xFFFFFFFE bytes is the largest that
  // is read, one more is refused before anything is parsed.
  const std::string big = dir + "/big.wav";
  Bytes header = Wave({{"fmt ", FormatBody(1, 2, 44100, 4, 16)}, {"data", {}}});
  StoreLe32(&header[4], 0xFFFFFFFEu - 8);
  StoreLe32(&header[40], 0xFFFFFFFEu - 44);
  WriteWholeFile(big, header);
  ASSERT_EQ(::truncate(big.c_str(), 0xFFFFFFFEll), 0);
  ASSERT_EQ(ProbePcmFile(big, &info), 0u);
  EXPECT_EQ(info.frames, (0xFFFFFFFEu - 44) / 4);
  for (const long long length : {0xFFFFFFFFll, 0x100000000ll}) {
    ASSERT_EQ(::truncate(big.c_str(), length), 0);
    EXPECT_EQ(ProbePcmFile(big, &info), err::kMalformed) << length;
  }
  ::unlink(big.c_str());
}

}  // namespace
}  // namespace tidemark
