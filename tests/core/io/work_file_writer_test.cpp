#include "core/io/work_file_writer.h"

#include <sys/statvfs.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/core_options.h"
#include "core/sources/file_source.h"
#include "core/samples/sample_convert.h"
#include "core/document/segment.h"
#include "core/sources/sound_source.h"
#include "core/sources/source_list.h"
#include "core/io/work_folder.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/core/io/fake_memory.h"
#include "tests/platform/file_test_util.h"

namespace tidemark {
namespace {

namespace fs = std::filesystem;
using testing::FileExists;
using testing::ReadFileText;

std::string Folder() {
  std::string folder;
  EXPECT_EQ(EnsureWorkFolder(&folder), err::kOk);
  return folder;
}

std::size_t FilesInWorkFolder() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(Folder())) ++n;
  return n;
}

std::uint32_t U32At(const std::string& b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
         static_cast<std::uint8_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

// Checks one canonical working file and gives its sample bytes.
std::string CheckedData(const std::string& path, std::uint16_t channels, std::uint32_t rate, unsigned width) {
  const std::string b = ReadFileText(path);
  EXPECT_GE(b.size(), 44u) << path;
  if (b.size() < 44) return {};
  const std::uint32_t data = U32At(b, 40);
  EXPECT_EQ(b.substr(0, 4), "RIFF");
  EXPECT_EQ(b.substr(36, 4), "data");
  EXPECT_EQ(U32At(b, 4), 36 + data + (data & 1));
  EXPECT_EQ(U32At(b, 24), rate);
  EXPECT_EQ(static_cast<std::uint8_t>(b[22]), channels);
  EXPECT_EQ(static_cast<std::uint8_t>(b[34]), width * 8);
  EXPECT_EQ(b.size(), 44 + data + (data & 1)) << path;
  return b.substr(44, data);
}

TEST(WorkFileWriter, SpreadsFramesOverSeveralFiles) {
  const std::string data = testing::RandomText(24000, 1);  // 6000 frames of 16-bit stereo
  WorkFileWriter w;
  w.set_file_byte_limit(10001);  // 2500 whole frames
  ASSERT_EQ(w.Begin(PcmFileKind::Temp, 48000, sample_code::kS16, 2, 6000), err::kOk);
  EXPECT_EQ(w.bytes_per_file(), 10000u);
  EXPECT_EQ(w.header_size(), 44u);
  EXPECT_EQ(w.Write(data.data(), 0), err::kOk);
  for (std::size_t at = 0; at < data.size(); at += 777)
    ASSERT_EQ(w.Write(data.data() + at, std::min<std::size_t>(777, data.size() - at)), err::kOk);
  ASSERT_EQ(w.files().size(), 3u);
  ASSERT_EQ(w.Finish(nullptr), err::kOk);
  std::string joined;
  for (const WorkFileWriter::File& f : w.files()) {
    EXPECT_EQ(f.data_bytes, f.preset_bytes);
    joined += CheckedData(f.path, 2, 48000, 2);
  }
  EXPECT_EQ(w.files()[2].data_bytes, 4000u);
  EXPECT_TRUE(joined == data);
  EXPECT_EQ(FilesInWorkFolder(), 3u);
  w.Discard();
  EXPECT_EQ(FilesInWorkFolder(), 0u);
}

TEST(WorkFileWriter, RewritesHeadersThatDifferFromTheExpectation) {
  const std::string data = testing::RandomText(16400, 2);
  {
    // Fewer frames than expected: the last header is corrected at Finish.
    WorkFileWriter w;
    w.set_file_byte_limit(10000);
    ASSERT_EQ(w.Begin(PcmFileKind::Wave, 44100, sample_code::kS16, 2, 6000), err::kOk);
    ASSERT_EQ(w.Write(data.data(), data.size()), err::kOk);
    ASSERT_EQ(w.Finish(nullptr), err::kOk);
    ASSERT_EQ(w.files().size(), 2u);
    EXPECT_EQ(w.files()[1].preset_bytes, 10000u);
    EXPECT_EQ(w.files()[1].data_bytes, 6400u);
    EXPECT_TRUE(CheckedData(w.files()[0].path, 2, 44100, 2) + CheckedData(w.files()[1].path, 2, 44100, 2) == data);
    w.Discard();
  }
  {
    // More than expected: a full file's header is corrected when the next starts.
    WorkFileWriter w;
    w.set_file_byte_limit(10000);
    ASSERT_EQ(w.Begin(PcmFileKind::Temp, 44100, sample_code::kS16, 2, 100), err::kOk);
    ASSERT_EQ(w.Write(data.data(), 12000), err::kOk);
    ASSERT_EQ(w.files().size(), 2u);
    EXPECT_EQ(CheckedData(w.files()[0].path, 2, 44100, 2).size(), 10000u);
    ASSERT_EQ(w.Finish(nullptr), err::kOk);
    EXPECT_EQ(w.files()[0].preset_bytes, 400u);
    EXPECT_EQ(w.files()[1].preset_bytes, 0u);
    EXPECT_EQ(CheckedData(w.files()[1].path, 2, 44100, 2), data.substr(10000, 2000));
    w.Discard();
  }
  {
    // Odd data sizes get a pad byte.
    WorkFileWriter w;
    w.set_file_byte_limit(1001);
    ASSERT_EQ(w.Begin(PcmFileKind::Temp, 8000, sample_code::kU8, 1, 1500), err::kOk);
    ASSERT_EQ(w.Write(data.data(), 1500), err::kOk);
    ASSERT_EQ(w.Finish(nullptr), err::kOk);
    ASSERT_EQ(w.files().size(), 2u);
    EXPECT_EQ(fs::file_size(w.files()[0].path), 44u + 1002u);
    EXPECT_EQ(CheckedData(w.files()[0].path, 1, 8000, 1) + CheckedData(w.files()[1].path, 1, 8000, 1),
              data.substr(0, 1500));
    w.Discard();
  }
  EXPECT_EQ(FilesInWorkFolder(), 0u);
}

TEST(WorkFileWriter, ConvertsFramesAndPlanarStereo) {
  constexpr std::size_t kFrames = 1500;
  std::vector<float> left(kFrames), right(kFrames), interleaved(2 * kFrames);
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> level(-1.2f, 1.2f);
  for (std::size_t i = 0; i < kFrames; ++i) {
    interleaved[2 * i] = left[i] = level(rng);
    interleaved[2 * i + 1] = right[i] = level(rng);
  }
  std::string expected(2 * kFrames * 3, '\0');
  Convert(interleaved.data(), expected.data(), 2 * kFrames, sample_code::kFloat, sample_code::kS24);

  WorkFileWriter w;
  EXPECT_EQ(w.Write("x", 1), err::kCannotOpen);
  ASSERT_EQ(w.Begin(PcmFileKind::Temp, 96000, sample_code::kS24, 2, 2 * kFrames), err::kOk);
  ASSERT_EQ(w.WriteStereoPlanar(left.data(), right.data(), kFrames), err::kOk);
  ASSERT_EQ(w.WriteFrames(interleaved.data(), kFrames, sample_code::kFloat), err::kOk);
  ASSERT_EQ(w.Finish(nullptr), err::kOk);
  ASSERT_EQ(w.files().size(), 1u);
  EXPECT_TRUE(CheckedData(w.files()[0].path, 2, 96000, 3) == expected + expected);
  w.Discard();

  // Widening: 8-bit frames into a double writer, several 4096-byte blocks.
  std::vector<std::uint8_t> bytes(10001);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 31);
  std::vector<double> doubles(bytes.size());
  Convert(bytes.data(), doubles.data(), bytes.size(), sample_code::kU8, sample_code::kDouble);
  ASSERT_EQ(w.Begin(PcmFileKind::Temp, 8000, sample_code::kDouble, 1, 0), err::kOk);
  ASSERT_EQ(w.header_size(), 58u);
  ASSERT_EQ(w.WriteFrames(bytes.data(), bytes.size(), sample_code::kU8), err::kOk);
  EXPECT_EQ(w.WriteStereoPlanar(left.data(), right.data(), 1), err::kSizeLimit);
  EXPECT_EQ(w.WriteFrames(bytes.data(), 1, 0x0007), err::kSizeLimit);
  ASSERT_EQ(w.Finish(nullptr), err::kOk);
  const std::string b = ReadFileText(w.files()[0].path);
  ASSERT_EQ(b.size(), 58 + doubles.size() * 8);
  EXPECT_EQ(U32At(b, 46), doubles.size());  // the corrected "fact" frame count
  EXPECT_EQ(std::memcmp(b.data() + 58, doubles.data(), doubles.size() * 8), 0);
  w.Discard();
  EXPECT_EQ(FilesInWorkFolder(), 0u);
}

TEST(WorkFileWriter, FinishHandsFilesOverAsSegments) {
  const std::string data = testing::RandomText(24000, 4);
  SegmentList list;
  {
    WorkFileWriter w;
    w.set_file_byte_limit(10000);
    ASSERT_EQ(w.Begin(PcmFileKind::Temp, 48000, sample_code::kS16, 2, 6000), err::kOk);
    ASSERT_EQ(w.Write(data.data(), data.size()), err::kOk);
    ASSERT_EQ(w.Finish(&list), err::kOk);
    EXPECT_EQ(w.expected_frames(), 0u);
  }
  ASSERT_EQ(list.size(), 3u);
  std::uint32_t position = 0;
  std::string joined;
  for (Segment* s = list.first(); s; s = s->next) {
    EXPECT_EQ(s->position, position);
    EXPECT_EQ(s->source_offset, 0u);
    EXPECT_TRUE(OwnsFile(s->source.get()));
    EXPECT_EQ(DataOffset(s->source.get()), 44u);
    // Written here in the Temp layout: a save may move it into place.
    EXPECT_TRUE(AsFileSource(s->source.get())->temp_layout());
    std::string frames(s->length * 4, '\0');
    ASSERT_EQ(s->source->Read(0, s->length, frames.data(), sample_code::kS16), err::kOk);
    joined += frames;
    position += s->length;
  }
  EXPECT_EQ(position, 6000u);
  EXPECT_TRUE(joined == data);
  EXPECT_EQ(FilesInWorkFolder(), 3u);
  list.Clear();  // the owned working files go with their sources
  EXPECT_EQ(FilesInWorkFolder(), 0u);

  // No frames: nothing to hand over, nothing left behind.
  WorkFileWriter empty;
  ASSERT_EQ(empty.Begin(PcmFileKind::Temp, 48000, sample_code::kS16, 2, 1000), err::kOk);
  ASSERT_EQ(empty.Finish(&list), err::kOk);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(FilesInWorkFolder(), 0u);
}

TEST(WorkFileWriter, ChecksSpaceAndCleansUpFailedStarts) {
  WorkFileWriter w;
  w.set_file_byte_limit(1 << 20);
  // 0xFFFF0000 frames of 4096 double channels: far more than any test volume holds.
  EXPECT_EQ(w.Begin(PcmFileKind::Temp, 44100, sample_code::kDouble, 4096, 0xFFFF0000u), err::kDiskFull);
  EXPECT_EQ(FilesInWorkFolder(), 0u);
  EXPECT_EQ(w.Begin(PcmFileKind::Temp, 44100, 0x0009, 2, 10), err::kSizeLimit);
  {
    const fault::ScopedFault no_volume(fault::FaultRule::FailNth(fault::kStatvfs, 1, EIO));
    EXPECT_EQ(w.Begin(PcmFileKind::Temp, 44100, sample_code::kS16, 2, 10), err::kSectorSize);
  }
  {
    // The first file cannot reserve its space: it is deleted again.
    const fault::ScopedFault full(fault::FaultRule::FailNth(fault::kFallocate, 1, ENOSPC));
    EXPECT_EQ(w.Begin(PcmFileKind::Temp, 44100, sample_code::kS16, 2, 100), err::kDiskFull);
    EXPECT_EQ(FilesInWorkFolder(), 0u);
  }
  // The second file's reservation fails in the middle of a Write.
  const std::string data = testing::RandomText(30000, 5);
  w.set_file_byte_limit(10000);
  ASSERT_EQ(w.Begin(PcmFileKind::Temp, 44100, sample_code::kS16, 2, 7500), err::kOk);
  {
    const fault::ScopedFault full(fault::FaultRule::FailNth(fault::kFallocate, 1, ENOSPC));
    EXPECT_EQ(w.Write(data.data(), data.size()), err::kDiskFull);
  }
  EXPECT_EQ(w.files().size(), 1u);
  EXPECT_EQ(FilesInWorkFolder(), 1u);
  w.Discard();
  EXPECT_EQ(FilesInWorkFolder(), 0u);
  {
    // An unfinished run is discarded when the writer goes.
    WorkFileWriter dropped;
    ASSERT_EQ(dropped.Begin(PcmFileKind::Temp, 44100, sample_code::kS16, 2, 10), err::kOk);
    ASSERT_EQ(dropped.Write(data.data(), 40), err::kOk);
    EXPECT_EQ(FilesInWorkFolder(), 1u);
  }
  EXPECT_EQ(FilesInWorkFolder(), 0u);
}

// One complete run under an injected fault: every call reporting success
// means the files are right, every failure leaves no working file.
// `behind` runs 2 MiB windows written behind instead of small files.
void WriterRun(const fault::ScopedFault& fault, bool with_segments, bool behind = false) {
  const std::string data = testing::RandomText(behind ? 0x200000 * 2 + 4000 : 26000, behind ? 11 : 6);
  const std::size_t piece = behind ? 0x40000 : 3000;
  SegmentList list;
  WorkFileWriter w;
  if (!behind) w.set_file_byte_limit(10000);
  Error rc = w.Begin(PcmFileKind::Temp, 22050, sample_code::kS16, 2, static_cast<std::uint32_t>(data.size() / 4));
  for (std::size_t at = 0; rc == err::kOk && at < data.size(); at += piece)
    rc = w.Write(data.data() + at, std::min(piece, data.size() - at));
  if (rc == err::kOk) rc = w.Finish(with_segments ? &list : nullptr);
  if (rc == err::kOk) {
    std::string joined;
    if (with_segments) {
      for (Segment* s = list.first(); s && rc == err::kOk; s = s->next) {
        std::string frames(s->length * 4, '\0');
        rc = s->source->Read(0, s->length, frames.data(), sample_code::kS16);
        joined += frames;
      }
    } else {
      for (const WorkFileWriter::File& f : w.files())
        joined += behind ? ReadFileText(f.path).substr(w.header_size()) : CheckedData(f.path, 2, 22050, 2);
    }
    if (rc == err::kOk) {
      EXPECT_TRUE(joined == data) << "fault at op " << fault.rule().nth;
    }
  } else {
    EXPECT_TRUE(fault.fired()) << rc;
    EXPECT_TRUE(list.empty());
  }
  w.Discard();
  list.Clear();
  EXPECT_EQ(FilesInWorkFolder(), 0u) << "fault at op " << fault.rule().nth << " rc " << rc;
}

TEST(WorkFileWriter, EveryFaultPointLeavesNoStrayFile) {
  // Failing deletions are left out: they leave the file by definition.
  constexpr fault::FaultOps kOps = fault::kAllOps & ~fault::kUnlink;
  for (const int error : {EIO, ENOSPC}) {
    const std::uint64_t runs =
        fault::ForEachFaultPoint(kOps, error, [](const fault::ScopedFault& f) { WriterRun(f, false); });
    EXPECT_GT(runs, 20u);
    const std::uint64_t segment_runs =
        fault::ForEachFaultPoint(kOps, error, [](const fault::ScopedFault& f) { WriterRun(f, true); });
    EXPECT_GT(segment_runs, runs);
  }
}

TEST(WorkFileWriterBehind, EveryFaultPointLeavesNoStrayFile) {
  const testing::FakeMemoryScope memory(std::uint64_t{200} << 20);  // 2 MiB windows
  constexpr fault::FaultOps kOps = fault::kAllOps & ~fault::kUnlink;
  EXPECT_GT(fault::ForEachFaultPoint(kOps, EIO, [](const fault::ScopedFault& f) { WriterRun(f, false, true); }), 10u);
  EXPECT_GT(fault::ForEachFaultPoint(kOps, ENOSPC, [](const fault::ScopedFault& f) { WriterRun(f, true, true); }), 10u);
}

// Really crosses 4 GiB on disk. Normal configuration only.
TEST(WorkFileWriterLarge, CrossesFourGiBOnDisk) {
#ifdef TIDEMARK_SANITIZED_BUILD
  GTEST_SKIP() << "large on-disk test skipped in the sanitizer configuration";
#else
  const std::string folder = Folder();
  struct statvfs vfs {};
  ASSERT_EQ(statvfs(folder.c_str(), &vfs), 0);
  const std::uint64_t free_bytes = std::uint64_t{vfs.f_bavail} * vfs.f_frsize;
  if (free_bytes < (std::uint64_t{10} << 30))
    GTEST_SKIP() << "needs 10 GiB free in " << folder << ", has " << (free_bytes >> 20) << " MiB";

  WorkFileWriter w;
  constexpr std::uint32_t kExtra = 3000000;
  ASSERT_EQ(w.Begin(PcmFileKind::Temp, 44100, sample_code::kS16, 2, 0), err::kOk);
  const std::uint32_t per_file = w.bytes_per_file() / 4;
  const std::uint32_t total = per_file + kExtra;
  ASSERT_EQ(w.Begin(PcmFileKind::Temp, 44100, sample_code::kS16, 2, total), err::kOk);
  // Frame i holds (i, i >> 16) as 16-bit samples.
  std::vector<std::int16_t> block(2 * (1u << 21));
  for (std::uint32_t first = 0; first < total;) {
    const std::uint32_t n = std::min<std::uint32_t>(total - first, 1u << 21);
    for (std::uint32_t i = 0; i < n; ++i) {
      block[2 * i] = static_cast<std::int16_t>(first + i);
      block[2 * i + 1] = static_cast<std::int16_t>((first + i) >> 16);
    }
    ASSERT_EQ(w.Write(block.data(), std::size_t{n} * 4), err::kOk);
    first += n;
  }
  ASSERT_EQ(w.files().size(), 2u);
  EXPECT_EQ(fs::file_size(w.files()[0].path), 44u + w.bytes_per_file());
  EXPECT_GT(std::uint64_t{44} + w.bytes_per_file() + fs::file_size(w.files()[1].path), std::uint64_t{1} << 32);
  SegmentList list;
  ASSERT_EQ(w.Finish(&list), err::kOk);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list.first()->length, per_file);
  EXPECT_EQ(list.last()->length, kExtra);
  EXPECT_EQ(list.last()->position, per_file);

  // Every segment: its start, its end and spots in between.
  std::vector<std::int16_t> got(2 * 4096);
  for (Segment* s = list.first(); s; s = s->next) {
    std::vector<std::uint32_t> starts = {0, s->length - 4096};
    for (std::uint32_t k = 1; k < 16; ++k) starts.push_back(static_cast<std::uint32_t>(std::uint64_t{s->length - 4096} * k / 16));
    for (const std::uint32_t at : starts) {
      ASSERT_EQ(s->source->Read(at, 4096, got.data(), sample_code::kS16), err::kOk);
      for (std::uint32_t i = 0; i < 4096; ++i) {
        const std::uint32_t frame = s->position + at + i;
        ASSERT_EQ(got[2 * i], static_cast<std::int16_t>(frame)) << frame;
        ASSERT_EQ(got[2 * i + 1], static_cast<std::int16_t>(frame >> 16)) << frame;
      }
    }
  }
  list.Clear();
  EXPECT_EQ(FilesInWorkFolder(), 0u);
#endif
}

}  // namespace
}  // namespace tidemark
