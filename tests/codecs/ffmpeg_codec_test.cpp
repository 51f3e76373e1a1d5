// The FFmpeg readers and writers: files the peer writes open with the
// samples it decodes (exactly for the integer WAV encodings), AAC at its
// exact length; what we write is read back by ffprobe and mutagen and by
// our readers; a hidden library names its package; damaged files end in a
// clear error or their decodable part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "codecs/codec_install.h"
#include "codecs/codec_library.h"
#include "codecs/codec_progress.h"
#include "codecs/ffmpeg_decoder.h"
#include "codecs/ffmpeg_encoder.h"
#include "codecs/mp3_decoder.h"
#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "formats/open_sound_file.h"
#include "formats/tags/tag_set.h"
#include "platform/error_numbers.h"
#include "tests/codecs/codec_test_util.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

using namespace codec_test;
using Reader = Error (*)(const std::string&, bool, SoundFileInfo*, SegmentList*);

fs::path Dir() { return codec_test::Folder("ffmpeg_codec_test"); }

constexpr std::uint32_t kSourceFrames = 88200;  // 2 s at 44.1 kHz

// Two partials, stereo, 16-bit: music-like enough for the lossy codecs.
fs::path Source() {
  const fs::path wav = Dir() / "source.wav";
  if (!fs::exists(wav)) {
    EXPECT_EQ(Shell("/usr/bin/sox -R -n -r 44100 -c 2 -b 16 '" + wav.string() +
                    "' synth 2 sine 440 sine 1234 vol 0.4"),
              0);
  }
  return wav;
}

std::string TestName(std::string file) {
  std::replace(file.begin(), file.end(), '.', '_');
  return file;
}

struct PeerCase {
  const char* file;
  const char* options;  // ffmpeg output options
  Reader reader;
  bool exact;           // integer output: the same samples as ffmpeg
};

class FfmpegPeerFile : public ::testing::TestWithParam<PeerCase> {};

TEST_P(FfmpegPeerFile, OpensWithThePeersSamples) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  const PeerCase c = GetParam();
  const fs::path file = Dir() / c.file;
  ASSERT_EQ(Shell("/usr/bin/ffmpeg -v error -y -i '" + Source().string() + "' " + c.options +
                  " -metadata title=Peer -metadata artist=Someone '" + file.string() + "'"),
            0);
  const Decoded d = DecodeWith(c.reader, file);
  ASSERT_EQ(d.rc, 0u);
  EXPECT_EQ(d.info.rate, 44100u);
  EXPECT_EQ(d.info.channels, 2u);
  EXPECT_EQ(d.info.code, c.exact ? sample_code::kS16 : sample_code::kFloat);
  const std::vector<float> peer = FfmpegDecode(file);
  if (std::string(c.file).ends_with(".m4a")) {
    // The priming and the end padding are gone: the source's length.
    EXPECT_EQ(d.info.frames, kSourceFrames);
  } else {
    EXPECT_EQ(d.samples.size(), peer.size());
  }
  if (c.exact)
    EXPECT_EQ(d.samples, std::vector<float>(peer.begin(), peer.begin() + static_cast<std::ptrdiff_t>(d.samples.size())));
  else
    EXPECT_GE(Correlation(d.samples, peer), 0.999);
  if (!std::string(c.file).ends_with(".avi") && !std::string(c.file).ends_with(".mkv")) {
    EXPECT_EQ(TagText(d.info.tags, InfoText::Name), "Peer") << c.file;
    EXPECT_EQ(TagText(d.info.tags, InfoText::Artist), "Someone") << c.file;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FfmpegPeerFile,
    ::testing::Values(PeerCase{"aac.m4a", "-c:a aac -b:a 128k", ReadMp4File, false},
                      PeerCase{"wma.wma", "-c:a wmav2 -b:a 128k", ReadWindowsMediaFile, false},
                      PeerCase{"msadpcm.wav", "-c:a adpcm_ms", ReadCompressedWaveFile, true},
                      PeerCase{"imaadpcm.wav", "-c:a adpcm_ima_wav", ReadCompressedWaveFile, true},
                      PeerCase{"mulaw.wav", "-c:a pcm_mulaw", ReadCompressedWaveFile, true},
                      PeerCase{"alaw.wav", "-c:a pcm_alaw", ReadCompressedWaveFile, true},
                      PeerCase{"video.avi", "-f lavfi -i testsrc=duration=2:size=32x24:rate=5 -c:v mpeg4 -c:a libmp3lame -b:a 192k",
                               ReadVideoFile, false},
                      PeerCase{"video.mkv", "-f lavfi -i testsrc=duration=2:size=32x24:rate=5 -c:v mpeg4 -c:a aac",
                               ReadMediaImport, false}),
    [](const auto& test) { return TestName(test.param.file); });

DocumentPtr OpenDocument(const fs::path& path, const OpenOptions& options = {}) {
  SoundDocument* raw = nullptr;
  const Error rc = OpenSoundDocument(path.string(), options, &raw);
  EXPECT_EQ(rc, 0u) << path;
  return DocumentPtr(raw);
}

std::vector<float> DocumentFloats(const SoundDocument& d) {
  std::vector<float> samples(static_cast<std::size_t>(d.length) * d.channels);
  SegmentCursor cursor(d.segments, d.channels, d.length);
  EXPECT_EQ(cursor.Read(d.length, samples.data(), sample_code::kFloat), 0u);
  return samples;
}

struct WriteCase {
  const char* file;
  AvWriter writer;
  std::uint32_t bitrate;
  std::uint16_t wave_format;
  const char* codec_name;  // as ffprobe names it
  double min_correlation;  // ours read back against the source
};

class FfmpegWriter : public ::testing::TestWithParam<WriteCase> {
 protected:
  void SetUp() override { InstallCodecs(); }
  void TearDown() override { InstallCodecReaders({}); }
};

TEST_P(FfmpegWriter, PeersAndOurReadersReadItBack) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffprobe");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/python3");
  const WriteCase c = GetParam();
  DocumentPtr source = OpenDocument(Source());
  ASSERT_TRUE(source);
  SetTagText(source->metadata, InfoText::Name, "日本語のタイトル");
  SetTagText(source->metadata, InfoText::Artist, "Künstler");
  const fs::path file = Dir() / c.file;
  AvEncodeSettings settings;
  settings.writer = c.writer;
  settings.bitrate = c.bitrate;
  settings.wave_format = c.wave_format;
  ASSERT_EQ(WriteThroughFfmpeg(*source, file.string(), settings), 0u);
  EXPECT_EQ(Capture("/usr/bin/ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + file.string() + "'"),
            std::string(c.codec_name) + "\n");
  const std::string tags = Capture("/usr/bin/python3 -c \"import mutagen,sys; t=mutagen.File(sys.argv[1]).tags; "
                                   "print(str(t))\" '" + file.string() + "' 2>&1");
  if (c.writer != AvWriter::kAcm) {
    EXPECT_NE(tags.find("日本語のタイトル"), std::string::npos) << tags;
    EXPECT_NE(tags.find("Künstler"), std::string::npos) << tags;
  }

  const std::vector<float> original = FfmpegDecode(Source());
  OpenOptions options;
  options.mp4_decoder_enabled = true;
  DocumentPtr back = OpenDocument(file, options);
  ASSERT_TRUE(back);
  const std::vector<float> ours = DocumentFloats(*back);
  if (c.writer == AvWriter::kAac || c.writer == AvWriter::kMp3 || c.wave_format == 0x0007) {
    // AAC (edit list), MP3 (LAME header) and µ-law keep the exact length.
    EXPECT_EQ(back->length, kSourceFrames);
  } else {
    EXPECT_GE(back->length, kSourceFrames);
    EXPECT_LE(back->length, kSourceFrames + 4096);
  }
  // WMA's decoder starts with the encoder's delay, as ffmpeg's does; that
  // encoder reaches about 0.978 here at 128 kbps (its own command line too).
  double best = 0;
  for (std::size_t lag = 0; lag <= (c.writer == AvWriter::kWma ? 4096u : 0u); ++lag)
    best = std::max(best, Correlation(original, std::vector<float>(ours.begin() + static_cast<std::ptrdiff_t>(lag * 2),
                                                                   ours.end())));
  EXPECT_GE(best, c.min_correlation);
  if (c.writer == AvWriter::kAac || c.writer == AvWriter::kWma) {
    EXPECT_EQ(TagText(back->metadata, InfoText::Name), "日本語のタイトル");
  }
  EXPECT_EQ(back->second_path, file.string());
  EXPECT_FALSE(back->path.has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Writers, FfmpegWriter,
    ::testing::Values(WriteCase{"out.m4a", AvWriter::kAac, 192000, 0, "aac", 0.999},
                      WriteCase{"out.wma", AvWriter::kWma, 128000, 0, "wmav2", 0.97},
                      WriteCase{"out.mp3", AvWriter::kMp3, 192000, 0, "mp3", 0.999},
                      WriteCase{"out_ms.wav", AvWriter::kAcm, 0, 0x0002, "adpcm_ms", 0.999},
                      WriteCase{"out_ima.wav", AvWriter::kAcm, 0, 0x0011, "adpcm_ima_wav", 0.999},
                      WriteCase{"out_mulaw.wav", AvWriter::kAcm, 0, 0x0007, "pcm_mulaw", 0.9999}),
    [](const auto& test) { return TestName(test.param.file); });

// Not its container: 14 before any library is loaded; an empty file too.
TEST(FfmpegReaders, OtherFormatsAndEmptyFilesAreNotTheirs) {
  const fs::path empty = Dir() / "empty.bin";
  WriteBytes(empty, {});
  const fs::path text = Dir() / "text.bin";
  WriteBytes(text, std::vector<std::uint8_t>(200, 'x'));
  for (const Reader reader : {ReadMp4File, ReadWindowsMediaFile, ReadVideoFile, ReadCompressedWaveFile,
                              ReadMediaImport}) {
    SoundFileInfo info;
    SegmentList segments;
    EXPECT_EQ(reader(empty.string(), true, &info, &segments), 14u);
    EXPECT_EQ(reader(text.string(), true, &info, &segments), 14u);
  }
}

// More than two channels are refused rather than mixed down.
TEST(FfmpegReaders, SurroundIsRefused) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  const fs::path file = Dir() / "surround.m4a";
  ASSERT_EQ(Shell("/usr/bin/ffmpeg -v error -y -f lavfi -i 'sine=frequency=500:duration=0.5' -af "
                  "'pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0' -c:a aac '" + file.string() + "'"),
            0);
  EXPECT_EQ(DecodeWith(ReadMp4File, file).rc, 15u);
}

// Truncated and corrupted files of every kind: a clear error or the part
// that decodes, never a crash or a hang.
TEST(FfmpegReaders, DamagedFilesEndCleanly) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  struct Kind {
    const char* file;
    const char* options;
    Reader reader;
  };
  const Kind kinds[] = {{"d.m4a", "-c:a aac", ReadMp4File},
                        {"d.wma", "-c:a wmav2", ReadWindowsMediaFile},
                        {"d.wav", "-c:a adpcm_ms", ReadCompressedWaveFile},
                        {"d.avi", "-c:a libmp3lame", ReadVideoFile}};
  std::mt19937 random(34);
  for (const Kind& k : kinds) {
    const fs::path whole = Dir() / k.file;
    ASSERT_EQ(Shell("/usr/bin/ffmpeg -v error -y -i '" + Source().string() + "' " + k.options + " '" +
                    whole.string() + "'"),
              0);
    const std::vector<std::uint8_t> bytes = ReadBytes(whole);
    std::vector<std::vector<std::uint8_t>> variants;
    for (const std::size_t cut : {std::size_t{4}, std::size_t{40}, std::size_t{600}, bytes.size() / 2,
                                  bytes.size() - 1})
      variants.emplace_back(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    for (int i = 0; i < 6; ++i) {
      std::vector<std::uint8_t> damaged = bytes;
      for (int j = 0; j < 40; ++j) damaged[random() % damaged.size()] = static_cast<std::uint8_t>(random());
      variants.push_back(std::move(damaged));
    }
    for (std::size_t v = 0; v < variants.size(); ++v) {
      const fs::path path = Dir() / ("damaged_" + std::to_string(v) + "_" + k.file);
      WriteBytes(path, variants[v]);
      const Decoded d = DecodeWith(k.reader, path);
      EXPECT_TRUE(d.rc == 0u || d.rc == 8u || d.rc == 14u || d.rc == 15u) << k.file << " variant " << v << ": " << d.rc;
      if (d.rc == 0u) {
        EXPECT_GT(d.info.frames, 0u);
      }
    }
  }
}

// Through the dispatch: a compressed WAV file and an importable extension
// open decoded, with the path in the second slot so `save` cannot write PCM
// over them; the lists decide the media import.
TEST(FfmpegDispatch, CompressedWaveAndMediaImport) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  InstallCodecs();
  const fs::path adpcm = Dir() / "dispatch.wav";
  const fs::path mka = Dir() / "dispatch.mka";
  ASSERT_EQ(Shell("/usr/bin/ffmpeg -v error -y -i '" + Source().string() + "' -c:a adpcm_ima_wav '" +
                  adpcm.string() + "'"),
            0);
  ASSERT_EQ(Shell("/usr/bin/ffmpeg -v error -y -i '" + Source().string() + "' -c:a pcm_s16le '" + mka.string() + "'"),
            0);
  DocumentPtr wav = OpenDocument(adpcm);
  ASSERT_TRUE(wav);
  EXPECT_FALSE(wav->path.has_value());
  EXPECT_EQ(wav->second_path, adpcm.string());
  SoundDocument* raw = nullptr;
  EXPECT_EQ(OpenSoundDocument(mka.string(), OpenOptions(), &raw), 14u);
  OpenOptions listed;
  listed.importable_audio_extensions = {"MKA"};
  DocumentPtr imported = OpenDocument(mka, listed);
  ASSERT_TRUE(imported);
  EXPECT_EQ(imported->length, kSourceFrames);
  EXPECT_EQ(imported->second_path, mka.string());
  InstallCodecReaders({});
}

// A 32-bit float WAV file of `samples` (interleaved).
void WriteFloatWave(const fs::path& path, std::uint16_t channels, std::uint32_t rate, const std::vector<float>& samples) {
  const auto data = static_cast<std::uint32_t>(samples.size() * 4);
  std::vector<std::uint8_t> bytes;
  const auto put = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const auto tag = [&](const char* t) { bytes.insert(bytes.end(), t, t + 4); };
  tag("RIFF");
  put(36 + data, 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(3, 2);  // IEEE float
  put(channels, 2);
  put(rate, 4);
  put(rate * channels * 4u, 4);
  put(channels * 4u, 2);
  put(32, 2);
  tag("data");
  put(data, 4);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(samples.data());
  bytes.insert(bytes.end(), raw, raw + data);
  WriteBytes(path, bytes);
}

// Non-finite samples are written as silence: nothing NaN or infinite comes
// back and the rest of the signal is intact. A cancelled write leaves no
// file; a cancelled open no document.
TEST(FfmpegWriterEdges, NonFiniteSamplesAndCancel) {
  std::vector<float> samples(44100 * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.3f * std::sin(static_cast<float>(i / 2) * 0.0627f);
  std::vector<float> dirty = samples;
  for (std::size_t i = 1000; i < 1100; ++i) dirty[i] = i % 2 ? std::numeric_limits<float>::quiet_NaN() : INFINITY;
  const fs::path wav = Dir() / "nonfinite.wav";
  WriteFloatWave(wav, 2, 44100, dirty);
  DocumentPtr doc = OpenDocument(wav);
  ASSERT_TRUE(doc);
  const fs::path m4a = Dir() / "nonfinite.m4a";
  AvEncodeSettings settings;
  ASSERT_EQ(WriteThroughFfmpeg(*doc, m4a.string(), settings), 0u);
  const Decoded d = DecodeWith(ReadMp4File, m4a);
  ASSERT_EQ(d.rc, 0u);
  EXPECT_TRUE(std::all_of(d.samples.begin(), d.samples.end(), [](float x) { return std::isfinite(x); }));
  EXPECT_GE(Correlation(std::vector<float>(samples.begin() + 8820, samples.end()),
                        std::vector<float>(d.samples.begin() + 8820, d.samples.end())),
            0.999);

  const fs::path cancelled = Dir() / "cancelled.wma";
  settings.writer = AvWriter::kWma;
  EXPECT_EQ(WriteThroughFfmpeg(*doc, cancelled.string(), settings, [](std::uint64_t, std::uint64_t) { return false; }),
            err::kCancelled);
  EXPECT_FALSE(fs::exists(cancelled));
  SetCodecOpenProgress([](std::uint64_t, std::uint64_t) { return false; });
  EXPECT_EQ(DecodeWith(ReadMp4File, m4a).rc, err::kCancelled);
  SetCodecOpenProgress({});
}

class FfmpegHidden : public ::testing::Test {
 protected:
  // A search folder with libavcodec and libswresample but no libavformat.
  void SetUp() override {
    const fs::path folder = Dir() / "hidden";
    fs::create_directories(folder);
    for (const char* name : {"libavcodec.so.59", "libswresample.so.4"}) {
      std::error_code ignored;
      fs::create_symlink(fs::path("/usr/lib/x86_64-linux-gnu") / name, folder / name, ignored);
    }
    ::setenv("TIDEMARK_CODEC_PATH", folder.c_str(), 1);
    detail::ResetCodecLibraries();
  }
  void TearDown() override {
    ::unsetenv("TIDEMARK_CODEC_PATH");
    detail::ResetCodecLibraries();
  }
};

TEST_F(FfmpegHidden, OpenAndSaveNameThePackage) {
  const fs::path mp4 = Dir() / "hidden.m4a";
  std::vector<std::uint8_t> bytes = {0, 0, 0, 24, 'f', 't', 'y', 'p', 'M', '4', 'A', ' '};
  bytes.resize(64);
  WriteBytes(mp4, bytes);
  SoundFileInfo info;
  SegmentList segments;
  EXPECT_EQ(ReadMp4File(mp4.string(), true, &info, &segments), 37u);
  EXPECT_EQ(MissingCodecPackage(), "libavformat59");

  ::unsetenv("TIDEMARK_CODEC_PATH");
  detail::ResetCodecLibraries();
  DocumentPtr source = OpenDocument(Source());
  ASSERT_TRUE(source);
  ::setenv("TIDEMARK_CODEC_PATH", (Dir() / "hidden").c_str(), 1);
  detail::ResetCodecLibraries();
  const fs::path target = Dir() / "hidden_out.wma";
  AvEncodeSettings settings;
  settings.writer = AvWriter::kWma;
  EXPECT_EQ(WriteThroughFfmpeg(*source, target.string(), settings), 37u);
  EXPECT_EQ(MissingCodecPackage(), "libavformat59");
  EXPECT_FALSE(fs::exists(target));
}

}  // namespace
}  // namespace tidemark
