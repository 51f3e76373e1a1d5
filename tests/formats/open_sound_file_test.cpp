#include "formats/open_sound_file.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/document/sound_document.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/save_document.h"
#include "formats/tags/tag_set.h"
#include "formats/tags/tags.h"
#include "formats/wav/wav_cues.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "platform/volume_info.h"
#include "tests/core/marker_test_util.h"
#include "tests/formats/one_bit/one_bit_test_util.h"
#include "tests/formats/open_save_test_util.h"
#include "tests/formats/wav/wav_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::DocumentPtr;
using testing::MakeTempDir;

Error OpenFile(const std::string& path, const OpenOptions& options = {}) {
  SoundFileInfo info;
  SegmentList segments;
  return OpenSoundFile(path, options, false, &info, &segments);
}

// A 16-bit stereo WAV file with the markers "intro" (comment "first") at
// 100 and "end" at `end`, and the title "A song".
std::vector<std::uint8_t> WriteMarkedWave(const std::string& path, std::uint32_t rate, std::uint32_t frames,
                                          std::uint32_t end, std::uint32_t seed) {
  testing::WriteWholeFile(path, testing::Pcm16Wave(2, rate, frames, seed));
  EXPECT_EQ(WriteCueList(path, testing::MakeMarkerList({{100, "intro", "first"}, {end, "end", ""}})), 0u);
  TagSet tags;
  SetTagText(tags, InfoText::Name, "A song");
  EXPECT_EQ(WriteTags(path, PcmFileKind::Wave, tags), 0u);
  return testing::Pcm16Wave(2, rate, frames, seed);
}

void ExpectMarked(const SoundDocument& doc, std::uint32_t end) {
  EXPECT_EQ(testing::MarkerEntries(doc.markers),
            (std::vector<testing::MarkerEntry>{{100, "intro", "first"}, {end, "end", ""}}));
  EXPECT_EQ(TagText(doc.metadata, InfoText::Name), "A song");
}

// The dispatch decides by extension before looking at the bytes: a WAV
// image under a refused or codec extension never reaches the PCM probe, the
// MP4 row claims files only with its setting, and other names are probed.
TEST(OpenSoundFile, DispatchByExtension) {
  const std::string dir = MakeTempDir("open_dispatch");
  const std::vector<std::uint8_t> wave = testing::Pcm16Wave(2, 44100, 100, 1);
  for (const char* name : {"a.raw", "b.PCM", "c.txt"}) {
    testing::WriteWholeFile(dir + "/" + name, wave);
    EXPECT_EQ(OpenFile(dir + "/" + name), err::kMalformed) << name;
  }
  // The codec rows answer that their library could not be loaded, not the
  // compressed-WAV message.
  for (const char* name : {"a.mp3", "b.OGG", "c.flac", "d.opus", "e.wma", "f.avi", "g.oga", "h.fla", "i.wmv",
                           "j.asf", "k.opu"}) {
    testing::WriteWholeFile(dir + "/" + name, wave);
    EXPECT_EQ(OpenFile(dir + "/" + name), err::kCodecLibraryUnavailable) << name;
  }
  testing::WriteWholeFile(dir + "/clip.m4a", wave);
  EXPECT_EQ(OpenFile(dir + "/clip.m4a"), 0u);
  OpenOptions mp4;
  mp4.mp4_decoder_enabled = true;
  EXPECT_EQ(OpenFile(dir + "/clip.m4a", mp4), err::kCodecLibraryUnavailable);
  for (const char* name : {"plain.wav", "noext", "odd.xyz"}) {
    testing::WriteWholeFile(dir + "/" + name, wave);
    EXPECT_EQ(OpenFile(dir + "/" + name), 0u) << name;
  }
  EXPECT_EQ(ReaderForPath("/x.y/DSD.DSF"), SoundReader::kOneBit);
  EXPECT_EQ(ReaderForPath("/x.mp3/file"), SoundReader::kPcmProbe);
  EXPECT_EQ(OpenFile(dir + "/missing.wav"), err::kCannotOpen);
}

// The open limits in their order; a compressed WAV goes to the (absent)
// compressed-WAV decoder and keeps the WAV encoding error; an unknown file is
// 14 unless its extension is one the settings list for the media import,
// whose library is missing.
TEST(OpenSoundFile, LimitsCompressedWaveAndImportLists) {
  const std::string dir = MakeTempDir("open_limits");
  for (const auto& [name, channels, rate, rc] : std::initializer_list<std::tuple<const char*, int, std::uint32_t, Error>>{
           {"three.wav", 3, 44100, err::kUnsupportedFormat}, {"slow.wav", 1, 2000, err::kUnsupportedFormat},
           {"fast.wav", 1, 384001, err::kUnsupportedFormat}, {"edge.wav", 1, 4000, err::kOk}}) {
    testing::WriteWholeFile(dir + "/" + name, testing::Pcm16Wave(static_cast<std::uint16_t>(channels), rate, 10, 2));
    EXPECT_EQ(OpenFile(dir + "/" + name), rc) << name;
  }

  testing::RiffBuilder adpcm;
  adpcm.Chunk("fmt ", testing::FormatBody(2, 1, 8000, 256, 4).bytes()).Chunk("data", std::vector<std::uint8_t>(256));
  testing::WriteWholeFile(dir + "/adpcm.wav", adpcm.Bytes());
  EXPECT_EQ(OpenFile(dir + "/adpcm.wav"), err::kForeignEncoding);

  testing::WriteWholeFile(dir + "/movie.mkv", std::vector<std::uint8_t>(64, 'x'));
  EXPECT_EQ(OpenFile(dir + "/movie.mkv"), err::kMalformed);
  OpenOptions lists;
  lists.importable_video_extensions = {"avi", ".MKV"};
  EXPECT_EQ(OpenFile(dir + "/movie.mkv", lists), err::kCodecLibraryUnavailable);
  lists.importable_video_extensions.clear();
  lists.importable_audio_extensions = {"mkv"};
  EXPECT_EQ(OpenFile(dir + "/movie.mkv", lists), err::kCodecLibraryUnavailable);
}

// A document opened from a WAV file holds its samples, markers and tags and
// starts unmodified with the file's kind and code.
TEST(OpenSoundFile, DocumentTakesSamplesMarkersAndTags) {
  const std::string path = MakeTempDir("open_doc") + "/song.wav";
  const std::vector<std::uint8_t> bytes = WriteMarkedWave(path, 48000, 5000, 4000, 4);
  const DocumentPtr doc = testing::OpenDocument(path);
  ASSERT_TRUE(doc);
  EXPECT_EQ(std::tuple(doc->length, doc->rate, doc->kind, doc->code, doc->modification_counter),
            std::tuple(5000u, 48000u, PcmFileKind::Wave, sample_code::kS16, 0u));
  ASSERT_TRUE(doc->path);
  EXPECT_FALSE(doc->second_path);
  const std::vector<std::int16_t> samples = testing::DocumentSamples(*doc);
  EXPECT_EQ(std::memcmp(samples.data(), bytes.data() + 44, samples.size() * 2), 0);
  ExpectMarked(*doc, 4000);
}

// A document decoded from a 1-bit file keeps the path in the second slot
// and has none of its own, so a plain save cannot write PCM over it.
TEST(OpenSoundFile, OneBitDocumentKeepsTheSecondPath) {
  const std::string path = MakeTempDir("open_one_bit") + "/tone.dsf";
  testing::WriteWholeFile(path, testing::DsfFile(2822400, 2, 1, 40000));
  SoundDocument* raw = nullptr;
  ASSERT_EQ(OpenSoundDocument(path, OpenOptions(), &raw), 0u);
  const DocumentPtr doc(raw);
  EXPECT_FALSE(doc->path);
  EXPECT_EQ(std::tuple(doc->second_path.value_or(""), doc->code), std::tuple(path, sample_code::kFloat));
  EXPECT_GT(doc->length, 0u);
}

// Raw import reads the frames after the offset in the given layout; layouts
// outside the open limits and offsets past the end are refused.
TEST(OpenSoundFile, RawImport) {
  const std::string path = MakeTempDir("open_raw") + "/data.bin";
  const std::vector<std::uint8_t> bytes = testing::RandomBytes(1000 + 4 * 300 + 3, 5);
  testing::WriteWholeFile(path, bytes);
  RawLayout layout;
  layout.code = sample_code::kS16BE;
  layout.rate = 22050;
  layout.channels = 2;
  layout.data_offset = 1000;
  SoundDocument* raw = nullptr;
  ASSERT_EQ(OpenRawDocument(path, layout, &raw), 0u);
  const DocumentPtr doc(raw);
  EXPECT_EQ(doc->length, 300u);
  EXPECT_EQ(doc->kind, PcmFileKind::Raw);
  const std::vector<std::int16_t> samples = testing::DocumentSamples(*doc);
  for (std::size_t i = 0; i < samples.size(); i += 97)
    EXPECT_EQ(samples[i], static_cast<std::int16_t>(bytes[1000 + 2 * i] << 8 | bytes[1001 + 2 * i])) << i;

  SoundDocument* none = nullptr;
  const auto with = [&](auto change) {
    RawLayout bad = layout;
    change(bad);
    return OpenRawDocument(path, bad, &none);
  };
  EXPECT_EQ(with([](RawLayout& l) { l.channels = 3; }), err::kUnsupportedFormat);
  EXPECT_EQ(with([](RawLayout& l) { l.rate = 2000; }), err::kUnsupportedFormat);
  EXPECT_EQ(with([](RawLayout& l) { l.code = 0x0005; }), err::kUnsupportedFormat);
  EXPECT_EQ(with([&](RawLayout& l) { l.data_offset = static_cast<std::uint32_t>(bytes.size()); }), err::kMalformed);
  EXPECT_EQ(OpenRawDocument(path + ".missing", layout, &none), err::kCannotOpen);
}

// The drive flag: files on network and FUSE file systems get 0x4000 in
// their open flags, whatever reader opened them (1-bit files keep their 3),
// and files on local disks do not. The machine has no network file system,
// so the volume query is faked by its file system number.
std::atomic<std::uint32_t> g_fake_fs_magic{0};
Error FakeVolume(const std::string&, VolumeInfo* info) {
  *info = VolumeInfo();
  info->fs_magic = g_fake_fs_magic.load();
  return err::kOk;
}
Error FailingVolume(const std::string&, VolumeInfo*) { return err::OsError(EIO); }

TEST(OpenSoundFile, OpenFlagForNetworkAndFuseDrives) {
  const std::string dir = MakeTempDir("open_flags");
  testing::WriteWholeFile(dir + "/a.wav", testing::Pcm16Wave(2, 44100, 100, 1));
  testing::ChunkBytes aiff(true);
  aiff.Chunk("COMM", testing::CommBody(1, 4, 16, 8000)).Chunk("SSND", testing::SsndBody(Bytes(8, 1)));
  testing::WriteWholeFile(dir + "/b.aif", testing::FormFile("AIFF", aiff));
  testing::WriteWholeFile(dir + "/c.dsf", testing::DsfFile(2822400, 2, 1, 40000));
  const auto flags_of = [](const std::string& path) {
    SoundFileInfo info;
    SegmentList segments;
    EXPECT_EQ(OpenSoundFile(path, OpenOptions(), false, &info, &segments), 0u) << path;
    return info.open_flags;
  };

  // The real volume of the test folder: a local disk, so no flag.
  VolumeInfo real;
  ASSERT_EQ(QueryVolume(dir, &real), 0u);
  ASSERT_FALSE(IsRemoteFileSystem(real.fs_magic)) << "the test folder must lie on a local disk";
  EXPECT_EQ(flags_of(dir + "/a.wav"), 0u);
  EXPECT_EQ(flags_of(dir + "/c.dsf"), open_flag::kFromOneBit);

  detail::SetOpenVolumeQuery(FakeVolume);
  const struct {
    const char* what;
    std::uint32_t magic;
    bool remote;
  } volumes[] = {{"ext4", 0xEF53, false},      {"tmpfs", 0x01021994, false}, {"btrfs", 0x9123683E, false},
                 {"vfat", 0x4D44, false},      {"nfs", 0x6969, true},        {"cifs", 0xFF534D42, true},
                 {"smb2", 0xFE534D42, true},   {"9p", 0x01021997, true},     {"fuse", 0x65735546, true},
                 {"ceph", 0x00C36400, true}};
  for (const auto& v : volumes) {
    SCOPED_TRACE(v.what);
    g_fake_fs_magic = v.magic;
    const std::uint16_t drive = v.remote ? open_flag::kRemovableDrive : 0;
    EXPECT_EQ(flags_of(dir + "/a.wav"), drive);
    EXPECT_EQ(flags_of(dir + "/b.aif"), drive);
    EXPECT_EQ(flags_of(dir + "/c.dsf"), drive | open_flag::kFromOneBit);
  }
  // A volume that cannot be queried counts as local; a failed open has no flags to give.
  detail::SetOpenVolumeQuery(FailingVolume);
  EXPECT_EQ(flags_of(dir + "/a.wav"), 0u);
  detail::SetOpenVolumeQuery(FakeVolume);
  SoundFileInfo info;
  SegmentList segments;
  EXPECT_EQ(OpenSoundFile(dir + "/missing.wav", OpenOptions(), false, &info, &segments), err::kCannotOpen);
  EXPECT_EQ(info.open_flags, 0u);
  detail::SetOpenVolumeQuery(nullptr);
  EXPECT_EQ(flags_of(dir + "/b.aif"), 0u);
}

// An RF64 (or BW64) file opens as the document its RIFF twin gives: the
// same samples, markers and tags, the metadata before or after the samples
// and with sizes from the "ds64" table. It is never edited in place; saving
// it writes a RIFF file.
TEST(OpenSoundFile, Rf64DocumentsAreTheirRiffTwins) {
  const std::string dir = MakeTempDir("open_rf64");
  const std::string riff = dir + "/riff.wav";
  WriteMarkedWave(riff, 48000, 3000, 2900, 21);
  const DocumentPtr want = testing::OpenDocument(riff);
  ASSERT_TRUE(want);

  testing::Rf64Options bw64, table;
  bw64.magic = "BW64";
  table.large = {"data", "LIST", "cue "};
  int n = 0;
  for (const testing::Rf64Options& options : {testing::Rf64Options{}, bw64, table}) {
    const std::string path = dir + "/twin" + std::to_string(n++) + ".wav";
    SCOPED_TRACE(path);
    testing::WriteWholeFile(path, testing::Rf64Twin(testing::ReadWholeFile(riff), options));
    const DocumentPtr doc = testing::OpenDocument(path);
    ASSERT_TRUE(doc);
    EXPECT_EQ(std::tuple(doc->kind, doc->code, doc->rate), std::tuple(PcmFileKind::Wave, want->code, want->rate));
    EXPECT_EQ(testing::DocumentSamples(*doc), testing::DocumentSamples(*want));
    ExpectMarked(*doc, 2900);
  }

  // The chunk writers refuse an RF64 file and leave it as it was.
  const std::string twin = dir + "/twin0.wav";
  const std::vector<std::uint8_t> before = testing::ReadWholeFile(twin);
  EXPECT_EQ(WriteCueList(twin, MarkerList()), err::kLayoutMismatch);
  EXPECT_EQ(WriteTags(twin, PcmFileKind::Wave, want->metadata), err::kLayoutMismatch);
  EXPECT_EQ(testing::ReadWholeFile(twin), before);

  // Saved over itself with a new marker, the document becomes a RIFF file.
  const DocumentPtr doc = testing::OpenDocument(twin);
  ASSERT_TRUE(doc);
  ASSERT_TRUE(InsertMarker(doc->markers, NewMarker("added", "", 5)));
  ++doc->marker_change_counter;
  ASSERT_EQ(SaveAs(*doc, twin, PcmFileKind::Wave, doc->code), 0u);
  const std::vector<std::uint8_t> saved = testing::ReadWholeFile(twin);
  ASSERT_GE(saved.size(), 4u);
  EXPECT_EQ(LoadLe32(saved.data()), FourCc("RIFF"));
  const DocumentPtr reopened = testing::OpenDocument(twin);
  ASSERT_TRUE(reopened);
  EXPECT_EQ(testing::DocumentSamples(*reopened), testing::DocumentSamples(*want));
  ASSERT_TRUE(reopened->markers.first());
  EXPECT_EQ(reopened->markers.first()->name, "added");
}

// RF64 files past 4 GiB, as sparse files: the samples are read at 64-bit
// offsets, and the frame limit holds (12 for one frame more than a
// document can have).
TEST(OpenSoundFile, Rf64FilesPastFourGibibytes) {
  const std::string dir = MakeTempDir("open_rf64_big");
  const auto write_header = [&](const std::string& path, std::uint16_t channels, std::uint16_t width,
                                std::uint64_t data_bytes) {
    const auto [file, length] = testing::Rf64Header(channels, width, data_bytes);
    testing::WriteWholeFile(path, file);
    EXPECT_EQ(::truncate(path.c_str(), static_cast<off_t>(length)), 0);
    return file.size();
  };
  SoundFileInfo info;
  SegmentList segments;
  const std::string big = dir + "/big.wav";
  const std::uint32_t frames = 0x50000000u;  // 5 GiB of 16-bit stereo
  const std::size_t header = write_header(big, 2, 2, std::uint64_t{frames} * 4);
  ASSERT_EQ(OpenSoundFile(big, OpenOptions(), false, &info, &segments), 0u);
  EXPECT_EQ(info.frames, frames);
  EXPECT_EQ(info.data_offset, header);
  // The last frame lies past 4 GiB: a hole reads as zeros, a frame written there as written.
  const std::uint8_t last[4] = {1, 2, 3, 4};
  {
    PosixFile file;
    FileOpenOptions write;
    write.access = FileAccess::kReadWrite;
    ASSERT_EQ(file.Open(big, write), 0u);
    std::size_t done = 0;
    ASSERT_EQ(file.WriteAt(last, sizeof last, header + (std::uint64_t{frames} - 1) * 4, &done), 0u);
  }
  std::int16_t read[4] = {};
  ASSERT_EQ(segments.first()->source->Read(frames - 2, 2, read, sample_code::kS16), 0u);
  EXPECT_EQ(read[0], 0);
  EXPECT_EQ(read[2], 0x0201);
  EXPECT_EQ(read[3], 0x0403);
  segments = SegmentList();

  // One byte per frame: one frame more than a document holds is 12.
  const std::string limit = dir + "/limit.wav";
  write_header(limit, 1, 1, kMaxFrames);
  ASSERT_EQ(OpenSoundFile(limit, OpenOptions(), false, &info, &segments), 0u);
  EXPECT_EQ(info.frames, kMaxFrames);
  segments = SegmentList();
  write_header(limit, 1, 1, std::uint64_t{kMaxFrames} + 1);
  EXPECT_EQ(OpenSoundFile(limit, OpenOptions(), false, &info, &segments), err::kTooManyFrames);
  write_header(limit, 2, 2, std::uint64_t{kMaxFrames} * 4 + 4);
  EXPECT_EQ(OpenSoundFile(limit, OpenOptions(), false, &info, &segments), err::kTooManyFrames);
  ::unlink(big.c_str());
  ::unlink(limit.c_str());
}

// Files of about 1 MB made of as many tiny chunks as fit: opening one as a
// document (probe, markers and tags, each listing the chunks) reads the
// file a window at a time, never once per chunk.
TEST(OpenSoundFile, HostileChunkCountsCostReadsByTheWindow) {
  const std::string dir = MakeTempDir("open_hostile");
  constexpr std::size_t kRoom = (1u << 20) - 4096;
  testing::RiffBuilder tiny, listed;
  tiny.Chunk("fmt ", testing::FormatBody(1, 1, 8000, 2, 16).bytes());
  for (std::size_t i = 0; i < kRoom / 8; ++i) tiny.Chunk("JUNK", {});
  tiny.Chunk("data", testing::RandomBytes(2000, 1));
  testing::ChunkBytes info;
  info.Id("INFO");
  for (std::size_t i = 0; i < kRoom / 8; ++i) info.Header("ISFT", 0);
  listed.Chunk("fmt ", testing::FormatBody(1, 1, 8000, 2, 16).bytes())
      .Chunk("data", testing::RandomBytes(2000, 2))
      .Chunk("LIST", info.bytes());
  testing::ChunkBytes form(true);
  form.Chunk("COMM", testing::CommBody(1, 1000, 16, 8000)).Chunk("SSND", testing::SsndBody(Bytes(2000, 3)));
  for (std::size_t i = 0; i < kRoom / 8; ++i) form.Header("    ", 0);
  // The probe, the marker reader, the tag reader and the ID3 chunk lookup
  // each list the chunks; for RF64 each walks the file and then its RIFF view.
  const struct {
    const char* name;
    Bytes file;
    std::uint32_t walks;
  } files[] = {
      {"tiny.wav", tiny.Bytes(), 4},
      {"listed.wav", listed.Bytes(), 4},
      {"tiny.aif", testing::FormFile("AIFF", form), 4},
      {"tiny_rf64.wav", testing::Rf64Twin(tiny.Bytes()), 6},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    ASSERT_LT(f.file.size(), 1u << 20);
    const std::string path = dir + "/" + f.name;
    testing::WriteWholeFile(path, f.file);
    SoundFileInfo info_out;
    SegmentList segments;
    const fault::ScopedFault count(fault::FaultRule::FailNth(fault::kRead, ~std::uint64_t{0}, EIO));
    ASSERT_EQ(OpenSoundFile(path, OpenOptions(), true, &info_out, &segments), 0u);
    EXPECT_EQ(info_out.frames, 1000u);
    const std::uint64_t windows = 1 + f.file.size() / WindowedReader::kWindowBytes;
    // A few reads more for headers and bodies.
    EXPECT_LE(count.seen(), 32 + f.walks * windows);
  }
}

// An AIFC file of compression `type` with an empty name.
Bytes AifcOfType(const char* type, std::uint16_t bits) {
  testing::ChunkBytes b = testing::AifcChunks();
  b.Chunk("COMM", testing::CommBody(2, 4, bits, 44100, type, Bytes{0, 0}))
      .Chunk("SSND", testing::SsndBody(Bytes(16, 1)));
  return testing::FormFile("AIFC", b);
}

// The sniff looks at 256 bytes only and always answers 0 for a readable
// file, whatever it finds there: "data" beyond them leaves the offset
// unknown; AIFC float types count in either case, other cases of the name
// are not floats; an unknown AU encoding reads as 16-bit; what is none of
// these is raw.
TEST(OpenSoundFile, HeaderSniff) {
  using testing::Layout;
  using namespace sample_code;
  testing::RiffBuilder late;
  late.Chunk("fmt ", testing::FormatBody(3, 1, 96000, 4, 32).bytes())
      .Chunk("junk", std::vector<std::uint8_t>(300))
      .Chunk("data", std::vector<std::uint8_t>(8));
  const Bytes au = testing::AuFile(28, 0, 4, 8000, 1, Bytes(4), 4), au99 = testing::AuFile(28, 0, 99, 8000, 1, Bytes(4), 4);
  // FORM, FVER, COMM with its type and name, the SSND header.
  constexpr std::uint32_t kAifcData = 12 + 12 + 32 + 16;
  const struct {
    const char* name;
    Bytes file;
    Layout layout;
  } cases[] = {
      {"a.wav", testing::Pcm16Wave(2, 32000, 10, 6), Layout(PcmFileKind::Wave, kS16, 2, 32000, 0, 44)},
      {"late.wav", late.Bytes(), Layout(PcmFileKind::Wave, kFloat, 1, 96000, 0, 0)},
      {"fl32", AifcOfType("fl32", 32), Layout(PcmFileKind::AIFC, kFloatBE, 2, 44100, 0, kAifcData)},
      {"FL32", AifcOfType("FL32", 32), Layout(PcmFileKind::AIFC, kFloatBE, 2, 44100, 0, kAifcData)},
      {"FL64", AifcOfType("FL64", 64), Layout(PcmFileKind::AIFC, kDoubleBE, 2, 44100, 0, kAifcData)},
      {"Fl32", AifcOfType("Fl32", 32), Layout(PcmFileKind::AIFC, kS32BE, 2, 44100, 0, kAifcData)},
      {"sowt", AifcOfType("sowt", 16), Layout(PcmFileKind::AIFC, kS16, 2, 44100, 0, kAifcData)},
      {"a.au", au, Layout(PcmFileKind::AU, kS24BE, 1, 8000, 0, 28)},
      {"b.au", au99, Layout(PcmFileKind::AU, kS16BE, 1, 8000, 0, 28)},
      {"text", Bytes{'h', 'i'}, Layout(PcmFileKind::Raw, 0, 0, 0, 0, 0)},
  };
  const std::string dir = MakeTempDir("open_sniff");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::WriteWholeFile(dir + "/" + c.name, c.file);
    SoundFileInfo info;
    ASSERT_EQ(SniffSoundHeader(dir + "/" + c.name, &info), 0u);
    EXPECT_EQ(testing::LayoutOf(info), c.layout);
  }
  SoundFileInfo info;
  EXPECT_EQ(SniffSoundHeader(dir + "/missing", &info), err::kCannotOpen);
}

// Files written by other programs open with the samples those programs
// decode from them.
TEST(OpenSoundFile, PeerFilesOpen) {
  TIDEMARK_REQUIRE_PEER("/usr/bin/sox");
  TIDEMARK_REQUIRE_PEER("/usr/bin/ffmpeg");
  const std::string dir = MakeTempDir("open_peer");
  ASSERT_EQ(testing::Run("/usr/bin/sox -D -n -r 44100 -c 2 -b 16 " + dir + "/sox.wav synth 0.25 sine 440 sine 660"), 0);
  ASSERT_EQ(testing::Run("/usr/bin/sox -D -n -r 22050 -c 1 -b 16 " + dir + "/sox.aiff synth 0.1 sine 300"), 0);
  ASSERT_EQ(testing::Run("/usr/bin/sox -D -n -r 8000 -c 1 -b 16 " + dir + "/sox.au synth 0.1 sine 300"), 0);
  ASSERT_EQ(testing::Run("/usr/bin/ffmpeg -nostdin -loglevel error -f lavfi -i sine=f=500:d=0.2:r=48000 -ac 2 "
                         "-c:a pcm_s16le " + dir + "/ff.wav"), 0);
  ASSERT_EQ(testing::Run("/usr/bin/ffmpeg -nostdin -loglevel error -f lavfi -i sine=f=500:d=0.2:r=44100 -ac 2 "
                         "-c:a pcm_s16le -rf64 always -metadata title=Far " + dir + "/ff_rf64.wav"), 0);
  for (const char* name : {"sox.wav", "sox.aiff", "sox.au", "ff.wav", "ff_rf64.wav"}) {
    SCOPED_TRACE(name);
    const std::string path = dir + "/" + name;
    const DocumentPtr doc = testing::OpenDocument(path);
    ASSERT_TRUE(doc);
    ASSERT_EQ(testing::Run("/usr/bin/sox -D " + path + " -t raw -e signed -b 16 -L " + path + ".raw"), 0);
    const std::vector<std::uint8_t> expected = testing::ReadWholeFile(path + ".raw");
    const std::vector<std::int16_t> samples = testing::DocumentSamples(*doc);
    ASSERT_EQ(samples.size() * 2, expected.size());
    EXPECT_EQ(std::memcmp(samples.data(), expected.data(), expected.size()), 0);
  }
  // ffmpeg's RF64 file keeps its title in an INFO list.
  const DocumentPtr rf64 = testing::OpenDocument(dir + "/ff_rf64.wav");
  ASSERT_TRUE(rf64);
  EXPECT_EQ(TagText(rf64->metadata, InfoText::Name), "Far");
}

}  // namespace
}  // namespace tidemark
