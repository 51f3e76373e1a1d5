// 1-bit files end to end: PCM through the modulator into each container,
// opened again as a float document through the converter, and the same
// files decoded by ffmpeg.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/segment.h"
#include "core/document/segment_cursor.h"
#include "core/document/sound_document.h"
#include "core/document/source_format.h"
#include "core/markers/marker_regions.h"
#include "dsp/analysis/tone_analysis.h"
#include "dsp/delta_sigma/delta_sigma_modulator.h"
#include "formats/one_bit/one_bit_document.h"
#include "formats/one_bit/one_bit_source.h"
#include "formats/one_bit/one_bit_writer.h"
#include "formats/open_sound_file.h"
#include "formats/tags/tag_set.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/core/document_test_util.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/chunks/chunk_test_util.h"
#include "tests/formats/one_bit/one_bit_test_util.h"
#include "tests/formats/tags/tag_test_util.h"
#include "tests/formats/wav/wav_test_util.h"

namespace tidemark::NS_1BIT {
namespace {

using testing::Bytes;
using testing::MakeTempDir;
using testing::ReadWholeFile;
using testing::Run;

using testing::kDsd64;
constexpr std::uint32_t kPcmRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// 1-bit data of one modulated PCM signal, one byte vector per channel,
// most significant bit first.
struct OneBitData {
  std::uint16_t channels = 0;
  std::vector<std::vector<std::uint8_t>> bytes;
};

OneBitData Modulate(const std::vector<float>& interleaved, std::uint16_t channels, dsp::DeltaSigmaMode mode) {
  dsp::DeltaSigmaModulator modulator;
  dsp::DeltaSigmaOptions options;
  options.mode = mode;
  options.one_bit_rate = kDsd64;
  options.pcm_rate = kPcmRate;
  options.channels = channels;
  options.lsb_first = false;
  EXPECT_EQ(modulator.Init(options), 0u);
  const std::uint32_t frames = static_cast<std::uint32_t>(interleaved.size() / channels);
  const std::size_t per_frame = kDsd64 / kPcmRate / 8;
  OneBitData data;
  data.channels = channels;
  data.bytes.assign(channels, std::vector<std::uint8_t>(frames * per_frame));
  std::vector<std::uint8_t*> out;
  for (auto& c : data.bytes) out.push_back(c.data());
  EXPECT_EQ(modulator.Process(interleaved.data(), frames, out.data()), 0u);
  return data;
}

std::uint8_t Reversed(std::uint8_t b) {
  b = static_cast<std::uint8_t>((b & 0xF0) >> 4 | (b & 0x0F) << 4);
  b = static_cast<std::uint8_t>((b & 0xCC) >> 2 | (b & 0x33) << 2);
  return static_cast<std::uint8_t>((b & 0xAA) >> 1 | (b & 0x55) << 1);
}

// Writes `data` as a 1-bit file of the extension's type.
void WriteOneBitFile(const std::string& path, const std::string& ext, const OneBitData& data, const TagSet& tags = {}) {
  auto writer = MakeOneBitWriter(ext);
  ASSERT_TRUE(writer);
  ASSERT_EQ(writer->Open(path), 0u);
  const std::size_t per_channel = data.bytes[0].size();
  ASSERT_EQ(writer->Begin(kDsd64, data.channels, per_channel * data.channels), 0u);
  std::vector<std::vector<std::uint8_t>> stored = data.bytes;
  if (writer->lsb_first())
    for (auto& c : stored) std::transform(c.begin(), c.end(), c.begin(), Reversed);
  std::vector<const std::uint8_t*> in;
  for (const auto& c : stored) in.push_back(c.data());
  ASSERT_EQ(writer->WritePlanar(in.data(), static_cast<std::uint32_t>(per_channel), data.channels), 0u);
  ASSERT_EQ(writer->Finish(), 0u);
  ASSERT_EQ(writer->WriteMetadata(kDsd64, tags), 0u);
  ASSERT_EQ(writer->Close(), 0u);
}

// The whole converted sound of a 1-bit file, interleaved floats.
std::vector<float> Convert(const std::string& path, SoundFileInfo* info_out = nullptr) {
  SegmentList segments;
  SoundFileInfo info;
  SourceRef source;
  EXPECT_EQ(OpenOneBitFile(path, true, false, &segments, &info, &source), 0u) << path;
  if (!source) return {};
  std::vector<float> pcm(std::size_t{info.frames} * info.channels);
  EXPECT_EQ(source->Read(0, info.frames, pcm.data(), sample_code::kFloat), 0u);
  if (info_out) *info_out = std::move(info);
  return pcm;
}

std::vector<float> Channel(const std::vector<float>& interleaved, std::uint16_t channels, std::uint16_t c) {
  std::vector<float> out;
  for (std::size_t i = c; i < interleaved.size(); i += channels) out.push_back(interleaved[i]);
  return out;
}

std::vector<float> Sine(std::uint32_t frames, std::uint16_t channels, double level_db, double hz = 1000.0) {
  const double amplitude = std::pow(10.0, level_db / 20.0);
  std::vector<float> x(std::size_t{frames} * channels);
  for (std::uint32_t i = 0; i < frames; ++i)
    for (std::uint16_t c = 0; c < channels; ++c)
      x[std::size_t{i} * channels + c] =
          static_cast<float>(amplitude * (c ? 0.5 : 1.0) * std::sin(2 * kPi * hz * i / kPcmRate));
  return x;
}

const char* const kExtensions[] = {".dsf", ".dff", ".wsd"};

TEST(OneBitDocument, OpensAsFloatDocumentWithTagsAndRateOption) {
  const std::string dir = MakeTempDir("one_bit_doc");
  OneBitData silence;
  silence.channels = 2;
  silence.bytes.assign(2, std::vector<std::uint8_t>(kDsd64 / 8 / 4, 0xAA));  // 0.25 s
  const TagSet tags = testing::MakeTags({{InfoText::Name, "Title"}, {InfoText::Artist, "Artist"}});
  for (const char* ext : kExtensions) {
    SCOPED_TRACE(ext);
    const std::string path = dir + "/silence" + ext;
    WriteOneBitFile(path, ext, silence, tags);
    for (bool max_48k : {false, true}) {
      SegmentList segments;
      SoundFileInfo info;
      SourceRef source;
      ASSERT_EQ(OpenOneBitFile(path, true, max_48k, &segments, &info, &source), 0u);
      // DSF pads the data to whole blocks; the converter reads the declared samples only.
      EXPECT_EQ(std::tuple(info.kind, info.code, info.rate, info.channels, info.open_flags, info.frames),
                std::tuple(PcmFileKind::Wave, sample_code::kFloat, max_48k ? 44100u : 88200u, std::uint16_t{2},
                           open_flag::kFromOneBit, kDsd64 / 4 / (max_48k ? 64 : 32)));
      EXPECT_EQ(TagText(info.tags, InfoText::Name), "Title");
      EXPECT_EQ(TagText(info.tags, InfoText::Artist), "Artist");
      ASSERT_EQ(segments.size(), 1u);
      EXPECT_EQ(segments.first()->length, info.frames);
      EXPECT_EQ(segments.first()->source.get(), source.get());
      std::vector<float> pcm(std::size_t{info.frames} * 2);
      ASSERT_EQ(source->Read(0, info.frames, pcm.data(), sample_code::kFloat), 0u);
      EXPECT_LT(*std::max_element(pcm.begin(), pcm.end(), [](float a, float b) { return std::fabs(a) < std::fabs(b); }),
                1e-4f);
    }
    SegmentList segments;
    SoundFileInfo info;
    ASSERT_EQ(OpenOneBitFile(path, false, false, &segments, &info), 0u);
    EXPECT_TRUE(IsTagSetEmpty(info.tags));
  }

  // A rate below the lowest the converter plans for, and an unknown extension.
  const std::string slow_path = dir + "/slow.dff";
  testing::WriteWholeFile(slow_path, testing::DsdiffOf(1000000, 1, 1000));
  SegmentList segments;
  SoundFileInfo info;
  EXPECT_EQ(OpenOneBitFile(slow_path, true, false, &segments, &info), err::kUnsupportedFormat);
  EXPECT_EQ(OpenOneBitFile(dir + "/sound.wav", true, false, &segments, &info), err::kUnsupportedFormat);
  EXPECT_NE(OpenOneBitFile(dir + "/missing.dsf", true, false, &segments, &info), 0u);
  EXPECT_TRUE(segments.empty());
}

// The file's marks land at their frames of the converted rate.
TEST(OneBitDocument, MarkersFollowTheConvertedRate) {
  using testing::Iff8Bytes;
  const std::string path = MakeTempDir("one_bit_marks") + "/marks.dff";
  const Iff8Bytes diin = Iff8Bytes()
                             .Raw(testing::Mark({0, 0, 1, 6400, 0, 0, 0, "start"}).bytes())
                             .Raw(testing::Mark({0, 0, 0, 64000, 0, 4, 0, "index"}).bytes());
  // 2 s of silence.
  testing::WriteWholeFile(path, testing::DsdiffOf(kDsd64, 2, kDsd64 / 2, Iff8Bytes().Chunk("DIIN", diin), 0xAA));
  for (bool max_48k : {false, true}) {
    SegmentList segments;
    SoundFileInfo info;
    ASSERT_EQ(OpenOneBitFile(path, true, max_48k, &segments, &info), 0u);
    const std::uint32_t ratio = kDsd64 / info.rate;
    ASSERT_EQ(info.frames, 2 * info.rate);
    EXPECT_EQ(testing::MarkerEntries(info.markers),
              (std::vector<testing::MarkerEntry>{{64000 / ratio, "index", "Index marker"},
                                                 {6400 / ratio + info.rate, "start", "TrackStart marker"}}));
  }
}

// Marks stored out of order, past the end and repeated reach the document
// as a PCM file's markers do: in position order, the late one at the end,
// the exact repeat dropped, equal positions in file order. Region selection
// then stays inside the sound.
TEST(OneBitDocument, MarkersAreOrderedAndClampedToTheDocument) {
  using testing::Iff8Bytes;
  const std::string dir = MakeTempDir("one_bit_order");
  // One second of DSD64: 88200 frames. Marks at 5 s, 0.05 s, 0.01 s, 0.05 s
  // again (the same mark) and 0.05 s under another name.
  const std::uint32_t length = 88200;
  Iff8Bytes diin;
  std::vector<std::pair<std::string, std::uint32_t>> lyrics;  // the same times as DSF lyrics (milliseconds)
  for (const auto& [text, ms] : std::initializer_list<std::pair<const char*, std::uint32_t>>{
           {"late", 5000}, {"b", 50}, {"a", 10}, {"b", 50}, {"c", 50}}) {
    diin.Raw(testing::Mark({0, 0, static_cast<std::uint8_t>(ms / 1000), kDsd64 * (ms % 1000) / 1000, 0,
                            static_cast<std::uint16_t>(ms >= 1000 ? 0 : 4), 0, text}).bytes());
    lyrics.emplace_back(text, ms);
  }
  const std::string dff = dir + "/marks.dff", dsf = dir + "/marks.dsf";
  testing::WriteWholeFile(dff, testing::DsdiffOf(kDsd64, 2, kDsd64 / 8 * 2, Iff8Bytes().Chunk("DIIN", diin), 0xAA));
  testing::WriteWholeFile(dsf, testing::DsfFile(kDsd64, 2, 1, kDsd64 / 8,
                                                testing::Tag(3, 0, testing::Frame(3, "SYLT", testing::SyltBody(lyrics)))));

  const struct {
    std::string path;
    std::string comment;
  } files[] = {{dff, "Index marker"}, {dsf, ""}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.path);
    SoundDocument* raw = nullptr;
    ASSERT_EQ(OpenSoundDocument(f.path, OpenOptions{}, &raw), 0u);
    const testing::DocumentPtr doc(raw);
    ASSERT_EQ(doc->length, length);
    const std::string& c = f.comment;
    EXPECT_EQ(testing::MarkerEntries(doc->markers),
              (std::vector<testing::MarkerEntry>{
                  {882, "a", c}, {4410, "b", c}, {4410, "c", c}, {length, "late", f.path == dff ? "TrackStart marker" : ""}}));
    // Walking the regions forward: each marker before the end starts one
    // (the one at "b" ends at "c", in the same place); then it wraps.
    const std::pair<std::uint32_t, std::uint32_t> expected[] = {{882, 4410}, {4410, 4410}, {0, 882}, {882, 4410}};
    for (const auto& [from, to] : expected) {
      SelectNextRegion(*doc);
      std::uint32_t got_from = 0, got_to = 0;
      GetSelection(*doc, &got_from, &got_to);
      EXPECT_EQ(got_from, from);
      EXPECT_EQ(got_to, to);
    }
  }
}

// Every file error while opening, in the reader or in the converting source
// (which opens the file again to check it holds the data), comes back as the
// file answered it, never as a shortage of memory.
TEST(OneBitDocument, FileErrorsComeBackAsTheyHappened) {
  const std::string dir = MakeTempDir("one_bit_faults");
  OneBitData silence;
  silence.channels = 2;
  silence.bytes.assign(2, std::vector<std::uint8_t>(8192, 0xAA));
  const TagSet tags = testing::MakeTags({{InfoText::Name, "Title"}});
  for (const char* ext : kExtensions) {
    SCOPED_TRACE(ext);
    const std::string path = dir + "/faults" + ext;
    WriteOneBitFile(path, ext, silence, tags);
    {
      // The reader's open works; the source's check of the file does not.
      const fault::ScopedFault second_open(fault::FaultRule::FailNth(fault::kOpen, 2, EACCES));
      SegmentList segments;
      SoundFileInfo info;
      EXPECT_EQ(OpenOneBitFile(path, true, false, &segments, &info), err::kCannotOpen);
      EXPECT_TRUE(second_open.fired());
      EXPECT_TRUE(segments.empty());
    }
    const std::size_t sources = OneBitSourceCount();
    const std::uint64_t runs = fault::ForEachFaultPoint(fault::kOpen | fault::kRead | fault::kStat, EIO,
                                                        [&](const fault::ScopedFault& fault) {
      SegmentList segments;
      SoundFileInfo info;
      const Error rc = OpenOneBitFile(path, true, false, &segments, &info);
      if (fault.fired()) {
        EXPECT_TRUE(rc == err::kCannotOpen || rc == err::kReadFailed) << rc << " at " << fault.rule().nth;
        EXPECT_TRUE(segments.empty());
      } else {
        EXPECT_EQ(rc, err::kOk);
        EXPECT_EQ(TagText(info.tags, InfoText::Name), "Title");
      }
    });
    EXPECT_GE(runs, 4u);  // the reader's open, stat, header read; the source's open
    EXPECT_EQ(OneBitSourceCount(), sources);
  }
  // A file cut after its header was written: the reader refuses it.
  const std::string cut = dir + "/cut.dff";
  WriteOneBitFile(cut, ".dff", silence);
  ASSERT_EQ(::truncate(cut.c_str(), 200), 0);
  SegmentList segments;
  SoundFileInfo info;
  EXPECT_EQ(OpenOneBitFile(cut, true, false, &segments, &info), err::kMalformed);
}

// A document over the converting source keeps the 1-bit file in its second
// path slot and reads through its cursor what the source computes.
TEST(OneBitDocument, DocumentReadsTheConvertedSound) {
  const std::string path = MakeTempDir("one_bit_store") + "/tone.dsf";
  WriteOneBitFile(path, ".dsf", Modulate(Sine(kPcmRate / 2, 2, -6.0), 2, dsp::DeltaSigmaMode::kSixthOrder));
  SegmentList segments;
  SoundFileInfo info;
  SourceRef source;
  ASSERT_EQ(OpenOneBitFile(path, true, false, &segments, &info, &source), 0u);
  EXPECT_EQ(NativeSampleCode(source.get()), sample_code::kFloat);
  std::vector<float> direct(std::size_t{info.frames} * 2);
  ASSERT_EQ(source->Read(0, info.frames, direct.data(), sample_code::kFloat), 0u);

  DocumentDescription d;
  d.format.rate = info.rate;
  d.format.channels = info.channels;
  d.format.code = info.code;
  d.length = info.frames;
  d.path_is_second = true;
  SoundDocument* raw = nullptr;
  ASSERT_EQ(CreateDocument(path, std::move(segments), std::move(d), &raw), 0u);
  const testing::DocumentPtr doc(raw);
  EXPECT_FALSE(doc->path.has_value());
  ASSERT_TRUE(doc->second_path.has_value());
  EXPECT_NE(doc->second_path->find("tone.dsf"), std::string::npos);
  EXPECT_EQ(doc->rate, 88200u);

  SegmentCursor cursor(doc->segments, doc->channels, doc->length);
  cursor.Seek(1000);
  std::vector<float> read(4000 * 2);
  ASSERT_EQ(cursor.ReadFloat(4000, read.data(), 2), 0u);
  EXPECT_TRUE(std::equal(read.begin(), read.end(), direct.begin() + 2000));
}

// A -6 dBFS 1 kHz tone through each modulator mode and each container comes
// back with a clean passband; louder tones and full-scale square waves keep
// the loop stable and the level right.
TEST(OneBitDocument, RoundTripThroughModulatorAndConverter) {
  const std::string dir = MakeTempDir("one_bit_trip");
  const std::uint32_t frames = kPcmRate * 2;
  for (dsp::DeltaSigmaMode mode : {dsp::DeltaSigmaMode::kTenthOrder, dsp::DeltaSigmaMode::kSixthOrder}) {
    SCOPED_TRACE(static_cast<int>(mode));
    const OneBitData tone = Modulate(Sine(frames, 1, -6.0), 1, mode);
    for (const char* ext : kExtensions) {
      SCOPED_TRACE(ext);
      const std::string path = dir + "/tone" + ext;
      WriteOneBitFile(path, ext, tone);
      SoundFileInfo info;
      const std::vector<float> pcm = Convert(path, &info);
      ASSERT_EQ(info.rate, 88200u);
      // Half a second for the start to settle, then a second and a half.
      const std::size_t skip = 44100, count = 131072;
      ASSERT_GE(pcm.size(), skip + count);
      const double sinad = dsp::MeasureSinadDb(pcm.data() + skip, count, 88200, 1000, 20, 20000);
      EXPECT_GE(sinad, 80.0);
      double peak = 0;
      for (std::size_t i = skip; i < skip + count; ++i) peak = std::max(peak, double(std::fabs(pcm[i])));
      EXPECT_NEAR(peak, 0.5, 0.01);
      RecordProperty(std::string("sinad_") + (mode == dsp::DeltaSigmaMode::kTenthOrder ? "10_" : "6_") + (ext + 1),
                     std::to_string(sinad));
    }

    // Louder material: a -3 dBFS tone, then full-scale square waves, then the
    // -6 dBFS tone again, which must come through as cleanly as before.
    std::vector<float> loud = Sine(frames / 2, 1, -3.0);
    for (std::uint32_t i = 0; i < frames / 2; ++i) loud.push_back((i / 50) % 2 ? 1.0f : -1.0f);
    const std::vector<float> after = Sine(frames, 1, -6.0);
    loud.insert(loud.end(), after.begin(), after.end());
    const std::string path = dir + "/loud.dff";
    WriteOneBitFile(path, ".dff", Modulate(loud, 1, mode));
    const std::vector<float> pcm = Convert(path);
    // At 88.2 kHz: the -3 dBFS tone in [0, 88200), the square in [88200,
    // 176400), the -6 dBFS tone after it.
    ASSERT_GE(pcm.size(), std::size_t{frames} * 4);
    double peak = 0;
    for (std::size_t i = 44100; i < 88200; ++i) peak = std::max(peak, double(std::fabs(pcm[i])));
    EXPECT_NEAR(peak, std::sqrt(0.5), 0.01);
    // The square's flat tops decode to full scale; its edges ring but stay bounded.
    double level = 0;
    for (std::size_t i = 88200 + 4410; i < 176400; ++i) {
      ASSERT_LT(std::fabs(pcm[i]), 1.3f) << i;
      level += std::fabs(pcm[i]);
    }
    EXPECT_NEAR(level / (88200 - 4410), 1.0, 0.1);
    const std::size_t tail = 176400 + 44100;
    EXPECT_GE(dsp::MeasureSinadDb(pcm.data() + tail, 131072, 88200, 1000, 20, 20000), 80.0);
  }
}

// ffmpeg's own DSD decoder reads the files and hears the same sound.
TEST(OneBitDocument, FfmpegDecodesTheSameSound) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  const std::string dir = MakeTempDir("one_bit_peer");
  const OneBitData tone = Modulate(Sine(kPcmRate * 2, 2, -6.0), 2, dsp::DeltaSigmaMode::kTenthOrder);
  for (const char* ext : kExtensions) {
    SCOPED_TRACE(ext);
    const std::string path = dir + "/tone" + ext;
    const std::string raw = dir + "/peer.f32";
    WriteOneBitFile(path, ext, tone);
    std::string log;
    ASSERT_EQ(testing::Run("/usr/bin/ffmpeg -v error -y -i " + path + " -af aresample=88200 -f f32le -c:a pcm_f32le " + raw,
                  &log),
              0)
        << log;
    const std::vector<std::uint8_t> bytes = ReadWholeFile(raw);
    std::vector<float> peer(bytes.size() / 4);
    std::memcpy(peer.data(), bytes.data(), peer.size() * 4);
    const std::vector<float> ours = Convert(path);
    for (std::uint16_t c = 0; c < 2; ++c) {
      const std::vector<float> a = Channel(ours, 2, c), b = Channel(peer, 2, c);
      // One second from half a second in, at the lag that lines the two up.
      const std::size_t start = 44100, n = 88200;
      ASSERT_GE(a.size(), start + n + 4096);
      ASSERT_GE(b.size(), start + n + 4096);
      double best = -1;
      for (int lag = -2048; lag <= 2048; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (std::size_t i = start; i < start + n; ++i) {
          const double x = a[i], y = b[i + lag];
          ab += x * y;
          aa += x * x;
          bb += y * y;
        }
        best = std::max(best, ab / std::sqrt(aa * bb));
      }
      EXPECT_GT(best, 0.999) << "channel " << c;
    }
  }
}

}  // namespace
}  // namespace tidemark::NS_1BIT
