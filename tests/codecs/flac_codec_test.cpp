#include "codecs/flac_codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "codecs/codec_install.h"
#include "codecs/codec_library.h"
#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/io/work_folder.h"
#include "formats/open_sound_file.h"
#include "platform/error_numbers.h"
#include "tests/support/peer_tools.h"

namespace tidemark {
namespace {

namespace fs = std::filesystem;

fs::path Folder() {
  static const fs::path folder = [] {
    fs::path p = fs::temp_directory_path() / "flac_codec_test";
    fs::create_directories(p);
    return p;
  }();
  return folder;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Seeded noise plus a full-scale square so that both extremes of the width
// occur; values in the width's signed range.
std::vector<std::int32_t> TestSamples(unsigned bits, std::uint16_t channels, std::uint32_t frames, unsigned seed) {
  std::mt19937 random(seed);
  const std::int32_t top = static_cast<std::int32_t>((1u << (bits - 1)) - 1);
  std::uniform_int_distribution<std::int32_t> noise(-top - 1, top);
  std::vector<std::int32_t> samples(static_cast<std::size_t>(frames) * channels);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = (i / channels) % 64 < 2 ? ((i / channels) % 2 ? top : -top - 1) : noise(random) / 3;
  return samples;
}

// A plain PCM WAV file of `samples` (8-bit stored unsigned).
void WriteWav(const fs::path& path, std::uint32_t rate, std::uint16_t channels, unsigned bits,
              const std::vector<std::int32_t>& samples) {
  const unsigned width = bits / 8;
  const auto data_bytes = static_cast<std::uint32_t>(samples.size() * width);
  std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
  Put32(out, 36 + data_bytes);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<std::uint8_t>(c));
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, channels);
  Put32(out, rate);
  Put32(out, rate * channels * width);
  Put16(out, channels * width);
  Put16(out, bits);
  for (char c : std::string("data")) out.push_back(static_cast<std::uint8_t>(c));
  Put32(out, data_bytes);
  for (std::int32_t s : samples) {
    const auto u = static_cast<std::uint32_t>(width == 1 ? s + 128 : s);
    for (unsigned b = 0; b < width; ++b) out.push_back(static_cast<std::uint8_t>(u >> (8 * b)));
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()),
                                              static_cast<std::streamsize>(out.size()));
}

DocumentPtr OpenDocument(const fs::path& path) {
  SoundDocument* raw = nullptr;
  const Error rc = OpenSoundDocument(path.string(), OpenOptions(), &raw);
  EXPECT_EQ(rc, 0u) << path;
  return DocumentPtr(raw);
}

// The samples of `segments` at `bits`, as the file stored them.
std::vector<std::int32_t> ReadBack(const SegmentList& segments, std::uint16_t channels, std::uint32_t frames,
                                   unsigned bits) {
  std::vector<std::int32_t> samples(static_cast<std::size_t>(frames) * channels);
  SegmentCursor cursor(segments, channels, frames);
  EXPECT_EQ(cursor.Read(frames, samples.data(), sample_code::kS32), 0u);
  for (std::int32_t& s : samples) s >>= 32 - bits;
  return samples;
}

struct Decoded {
  Error rc;
  SoundFileInfo info;
  std::vector<std::int32_t> samples;
};

Decoded Decode(const fs::path& path, bool ogg, unsigned bits) {
  Decoded d;
  SegmentList segments;
  d.rc = ReadFlacFile(path.string(), ogg, true, &d.info, &segments);
  if (!d.rc) d.samples = ReadBack(segments, d.info.channels, d.info.frames, bits);
  return d;
}

int RunPeer(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

std::size_t WorkFileCount() {
  std::string folder;
  if (EnsureWorkFolder(&folder)) return 0;
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

struct RoundTripCase {
  unsigned bits;
  std::uint16_t channels;
  std::uint32_t rate;
  std::uint8_t level;
  std::uint32_t frames;
};

class FlacRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Written by us and read by us, and written by us and decoded by the
// reference decoder: the same samples, the same length.
TEST_P(FlacRoundTrip, SampleExactBothWays) {
  const RoundTripCase c = GetParam();
  const std::string stem = "rt" + std::to_string(c.bits) + "_" + std::to_string(c.channels) + "_" +
                           std::to_string(c.rate) + "_" + std::to_string(c.level) + "_" + std::to_string(c.frames);
  const fs::path wav = Folder() / (stem + ".wav");
  const fs::path flac = Folder() / (stem + ".flac");
  const auto samples = TestSamples(c.bits, c.channels, c.frames, c.frames + c.bits);
  WriteWav(wav, c.rate, c.channels, c.bits, samples);
  DocumentPtr document = OpenDocument(wav);
  ASSERT_TRUE(document);
  FlacEncodeSettings settings;
  settings.level = c.level;
  settings.verify = c.level == 8;
  ASSERT_EQ(WriteFlacFile(*document, flac.string(), settings), 0u);

  const Decoded d = Decode(flac, false, c.bits);
  ASSERT_EQ(d.rc, 0u);
  EXPECT_EQ(d.info.frames, c.frames);
  EXPECT_EQ(d.info.rate, c.rate);
  EXPECT_EQ(d.info.channels, c.channels);
  EXPECT_EQ(d.info.code, c.bits == 24 ? sample_code::kS24 : sample_code::kS16);
  EXPECT_EQ(d.samples, samples);

  TIDEMARK_REQUIRE_PEER("/usr/bin/flac");
  const fs::path back = Folder() / (stem + ".peer.wav");
  ASSERT_EQ(RunPeer("/usr/bin/flac -s -f -d -o '" + back.string() + "' '" + flac.string() + "'"), 0);
  DocumentPtr peer = OpenDocument(back);
  ASSERT_TRUE(peer);
  EXPECT_EQ(peer->length, c.frames);
  EXPECT_EQ(ReadBack(peer->segments, peer->channels, peer->length, c.bits), samples);
}

INSTANTIATE_TEST_SUITE_P(Widths, FlacRoundTrip,
                         ::testing::Values(RoundTripCase{16, 2, 44100, 5, 44100 + 17},
                                           RoundTripCase{16, 1, 8000, 0, 4097},
                                           RoundTripCase{24, 2, 96000, 8, 20000},
                                           RoundTripCase{24, 1, 48000, 3, 1},
                                           RoundTripCase{8, 2, 22050, 5, 3000},
                                           RoundTripCase{16, 2, 384000, 1, 2}));

// Files the reference encoder writes, native and in Ogg, at its fastest and
// strongest settings, decode to the samples it was given.
TEST(FlacPeer, ReferenceEncoderFilesOpenExactly) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/flac");
  const auto samples = TestSamples(24, 2, 30011, 7);
  const fs::path wav = Folder() / "peer_in.wav";
  WriteWav(wav, 48000, 2, 24, samples);
  struct Case {
    const char* options;
    const char* name;
    bool ogg;
  };
  for (const Case& c : {Case{"-0", "p0.flac", false}, Case{"-8 -e", "p8.flac", false},
                        Case{"-5 --ogg", "p5.oga", true}}) {
    const fs::path out = Folder() / c.name;
    ASSERT_EQ(RunPeer(std::string("/usr/bin/flac -s -f ") + c.options + " -o '" + out.string() + "' '" + wav.string() +
                  "'"),
              0)
        << c.options;
    const Decoded d = Decode(out, c.ogg, 24);
    ASSERT_EQ(d.rc, 0u) << c.options;
    EXPECT_EQ(d.info.frames, 30011u) << c.options;
    EXPECT_EQ(d.samples, samples) << c.options;
    // The other container is not this reader's file.
    SoundFileInfo info;
    SegmentList segments;
    EXPECT_EQ(ReadFlacFile(out.string(), !c.ogg, false, &info, &segments), 14u) << c.options;
  }
}

// Tags go out as Vorbis comments the reference tools read, and come back.
TEST(FlacTags, WrittenAndReadBack) {
  const fs::path wav = Folder() / "tags.wav";
  WriteWav(wav, 44100, 2, 16, TestSamples(16, 2, 1000, 3));
  DocumentPtr document = OpenDocument(wav);
  ASSERT_TRUE(document);
  document->metadata[InfoText::Name] = "\xE6\xB5\xB7\xE3\x81\xAE\xE6\xAD\x8C";  // Japanese
  document->metadata[InfoText::Artist] = "Artist = with equals";
  document->metadata[InfoText::Genre] = "Ambient";
  document->metadata[InfoText::CreationDate] = "2026-12-09";
  const fs::path flac = Folder() / "tags.flac";
  ASSERT_EQ(WriteFlacFile(*document, flac.string(), {}), 0u);
  const Decoded d = Decode(flac, false, 16);
  ASSERT_EQ(d.rc, 0u);
  for (InfoText slot : {InfoText::Name, InfoText::Artist, InfoText::Genre, InfoText::CreationDate})
    EXPECT_EQ(d.info.tags[slot], document->metadata[slot]) << static_cast<int>(slot);

  TIDEMARK_REQUIRE_PEER("/usr/bin/metaflac");
  const fs::path listing = Folder() / "tags.txt";
  ASSERT_EQ(RunPeer("/usr/bin/metaflac --export-tags-to='" + listing.string() + "' '" + flac.string() + "'"), 0);
  const auto text = ReadBytes(listing);
  const std::string tags(text.begin(), text.end());
  EXPECT_NE(tags.find("TITLE=" + *document->metadata[InfoText::Name]), std::string::npos) << tags;
  EXPECT_NE(tags.find("ARTIST=Artist = with equals"), std::string::npos) << tags;
}

// Damaged files: a clear error (8 or 14) or the whole length, never a crash
// or a wrong length; no working file is left behind by a refusal.
TEST(FlacDamage, TruncatedAndCorruptFilesAreRefusedCleanly) {
  const fs::path wav = Folder() / "damage.wav";
  const auto samples = TestSamples(16, 2, 40000, 11);
  WriteWav(wav, 44100, 2, 16, samples);
  DocumentPtr document = OpenDocument(wav);
  ASSERT_TRUE(document);
  const fs::path good = Folder() / "damage.flac";
  ASSERT_EQ(WriteFlacFile(*document, good.string(), {}), 0u);
  const auto bytes = ReadBytes(good);
  ASSERT_GT(bytes.size(), 1000u);

  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> cases;
  for (std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{8}, std::size_t{41}, bytes.size() / 2,
                          bytes.size() - 1})
    cases.emplace_back("cut at " + std::to_string(cut), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
  std::mt19937 random(5);
  for (int i = 0; i < 6; ++i) {
    auto flipped = bytes;
    const std::size_t at = 100 + random() % (bytes.size() - 100);
    flipped[at] = static_cast<std::uint8_t>(flipped[at] ^ 0x5A);
    cases.emplace_back("flip at " + std::to_string(at), flipped);
  }
  auto long_info = bytes;  // STREAMINFO claiming more bytes than it has
  long_info[7] = 0xFF;
  cases.emplace_back("STREAMINFO length", long_info);
  auto zero_rate = bytes;  // STREAMINFO rate 0 (bits 80-99 of the block)
  zero_rate[18] = 0;
  zero_rate[19] = 0;
  zero_rate[20] = static_cast<std::uint8_t>(zero_rate[20] & 0x0F);
  cases.emplace_back("rate 0", zero_rate);

  const std::size_t work_files = WorkFileCount();
  for (const auto& [name, data] : cases) {
    const fs::path damaged = Folder() / "damaged.flac";
    WriteBytes(damaged, data);
    const Decoded d = Decode(damaged, false, 16);
    if (d.rc == 0u) {
      EXPECT_EQ(d.info.frames, 40000u) << name;  // a flip the stream survives (e.g. in padding)
    } else {
      EXPECT_TRUE(d.rc == 8u || d.rc == 14u || d.rc == 15u) << name << ": " << d.rc;
    }
  }
  EXPECT_EQ(WorkFileCount(), work_files);
}

// A cancel while decoding or encoding leaves no working file, no target and
// no hidden partial file.
TEST(FlacCancel, LeavesNothingBehind) {
  const fs::path wav = Folder() / "cancel.wav";
  WriteWav(wav, 44100, 2, 16, TestSamples(16, 2, 100000, 9));
  DocumentPtr document = OpenDocument(wav);
  ASSERT_TRUE(document);
  const fs::path flac = Folder() / "cancel.flac";
  ASSERT_EQ(WriteFlacFile(*document, flac.string(), {}), 0u);

  const std::size_t work_files = WorkFileCount();
  int calls = 0;
  SetCodecOpenProgress([&](std::uint64_t, std::uint64_t) { return ++calls < 3; });
  SoundFileInfo info;
  SegmentList segments;
  EXPECT_EQ(ReadFlacFile(flac.string(), false, true, &info, &segments), err::kCancelled);
  SetCodecOpenProgress({});
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(WorkFileCount(), work_files);

  const fs::path target = Folder() / "cancelled_out.flac";
  const std::size_t entries = static_cast<std::size_t>(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator()));
  EXPECT_EQ(WriteFlacFile(*document, target.string(), {}, [](std::uint64_t done, std::uint64_t) { return done < 10000; }),
            err::kCancelled);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(static_cast<std::size_t>(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator())), entries);
}

// Through the open dispatch: the document keeps the path in the second slot
// (a save must not write PCM over the FLAC file); ".ogg" reaches Ogg FLAC.
TEST(FlacDispatch, OpensThroughTheRowsWithThePathSecond) {
  InstallCodecs();
  const fs::path wav = Folder() / "dispatch.wav";
  WriteWav(wav, 44100, 2, 16, TestSamples(16, 2, 2000, 4));
  DocumentPtr source = OpenDocument(wav);
  ASSERT_TRUE(source);
  const fs::path flac = Folder() / "dispatch.FLAC";
  ASSERT_EQ(WriteFlacFile(*source, flac.string(), {}), 0u);
  DocumentPtr opened = OpenDocument(flac);
  ASSERT_TRUE(opened);
  EXPECT_FALSE(opened->path.has_value());
  EXPECT_EQ(opened->second_path, flac.string());
  EXPECT_EQ(opened->length, 2000u);

  const fs::path not_flac = Folder() / "wav_inside.flac";
  fs::copy_file(wav, not_flac, fs::copy_options::overwrite_existing);
  SoundDocument* raw = nullptr;
  EXPECT_EQ(OpenSoundDocument(not_flac.string(), OpenOptions(), &raw), 14u);

  TIDEMARK_REQUIRE_PEER("/usr/bin/flac");
  const fs::path ogg = Folder() / "dispatch.ogg";
  ASSERT_EQ(RunPeer("/usr/bin/flac -s -f --ogg -o '" + ogg.string() + "' '" + wav.string() + "'"), 0);
  DocumentPtr from_ogg = OpenDocument(ogg);
  ASSERT_TRUE(from_ogg);
  EXPECT_EQ(from_ogg->length, 2000u);
}

}  // namespace
}  // namespace tidemark
