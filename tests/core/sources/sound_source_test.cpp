// File, silence and view sources: reuse by path, reading through the block
// cache and directly, ownership of working files, and workspace records.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "core/sources/internal/block_cache.h"
#include "core/io/chunk_writer.h"
#include "core/core_options.h"
#include "core/sources/file_source.h"
#include "core/document/segment.h"
#include "core/sources/silence_source.h"
#include "core/sources/source_list.h"
#include "core/sources/source_numbering.h"
#include "core/sources/view_source.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/core/samples/reference_convert.h"
#include "tests/core/source_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using namespace sample_code;
using testing::FileExists;
using testing::RandomBytes;
using testing::WriteWholeFile;

Error ReadChecked(SoundSource* source, std::uint32_t first, std::uint32_t count, SampleCode code,
                          std::vector<std::uint8_t>* out) {
  return testing::ReadGuarded(std::size_t{count} * source->channels() * BytesPerSample(code), out,
                              [&](std::uint8_t* p) { return source->Read(first, count, p, code); });
}

// The stored bytes of frames [first, first + count) converted by the reference rules.
std::vector<std::uint8_t> Expected(const std::vector<std::uint8_t>& file, std::uint32_t offset, SampleCode stored,
                                   unsigned channels, std::uint32_t first, std::uint32_t count, SampleCode code) {
  const std::size_t samples = std::size_t{count} * channels;
  std::vector<std::uint8_t> out(samples * BytesPerSample(code));
  reftest::ReferenceConvert(file.data() + offset + std::size_t{first} * channels * BytesPerSample(stored),
                            out.data(), samples, stored, code);
  return out;
}

class SourceTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing::MakeTempDir("sources"); }
  void TearDown() override {
    MutableCoreOptions().cached_reading_disabled = false;
    fault::RemoveAllFaults();
    EXPECT_EQ(OpenFileSourceCount(), 0u) << "a test leaked a file source";
    std::string why;
    EXPECT_TRUE(CheckSharedBlockCache(&why)) << why;
    EXPECT_EQ(SharedBlockCacheStats().blocks, 0u);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
};

TEST_F(SourceTest, SamePathGivesSameSourceAndOtherLayoutFails) {
  const std::string path = Path("a.wav");
  WriteWholeFile(path, RandomBytes(44 + 4000, 1));

  SourceRef a, b;
  ASSERT_EQ(OpenFileSource(path, 44, 44100, kS16, 2, 1000, 0, nullptr, &a), 0u);
  // A spelling with "." and ".." components and a relative one name the same file.
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  ASSERT_EQ(OpenFileSource("./sub/../a.wav", 44, 44100, kS16, 2, 1000, 0, nullptr, &b), 0u);
  EXPECT_EQ(a.get(), b.get());
  EXPECT_EQ(OpenFileSourceCount(), 1u);
  EXPECT_EQ(FilePath(a.get()), path);
  EXPECT_EQ(DataOffset(a.get()), 44u);
  EXPECT_TRUE(IsFileSource(a.get()));
  EXPECT_FALSE(OwnsFile(a.get()));
  EXPECT_EQ(FindFileSource(dir_ + "//a.wav").get(), a.get());
  // Names differ by case on Linux.
  EXPECT_FALSE(FindFileSource(Path("A.wav")));

  SourceRef c;
  EXPECT_EQ(OpenFileSource(path, 46, 44100, kS16, 2, 1000, 0, nullptr, &c), err::kLayoutMismatch);
  EXPECT_EQ(OpenFileSource(path, 44, 48000, kS16, 2, 1000, 0, nullptr, &c), err::kLayoutMismatch);
  EXPECT_EQ(OpenFileSource(path, 44, 44100, kS24, 2, 1000, 0, nullptr, &c), err::kLayoutMismatch);
  EXPECT_EQ(OpenFileSource(path, 44, 44100, kS16, 1, 1000, 0, nullptr, &c), err::kLayoutMismatch);
  EXPECT_EQ(OpenFileSource(path, 44, 44100, kS16, 2, 999, 0, nullptr, &c), err::kLayoutMismatch);
  EXPECT_FALSE(c);

  // A segment list receives one segment per opening, placed one after another.
  SegmentList list;
  ASSERT_EQ(OpenFileSource(path, 44, 44100, kS16, 2, 1000, 0, &list, nullptr), 0u);
  ASSERT_EQ(OpenFileSource(path, 44, 44100, kS16, 2, 1000, 0, &list, nullptr), 0u);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list.first()->source.get(), a.get());
  EXPECT_EQ(list.first()->length, 1000u);
  EXPECT_EQ(list.last()->position, 1000u);
  EXPECT_EQ(list.last()->source_offset, 0u);

  list.Clear();
  a.reset();
  b.reset();
  EXPECT_FALSE(FindFileSource(path));
}

TEST_F(SourceTest, BadPathsAndLayoutsFail) {
  SourceRef s;
  EXPECT_EQ(OpenFileSource(Path("missing.wav"), 0, 44100, kS16, 2, 10, 0, nullptr, &s), err::kCannotOpen);
  EXPECT_EQ(OpenFileSource(dir_, 0, 44100, kS16, 2, 10, 0, nullptr, &s), err::kCannotOpen);
  EXPECT_EQ(OpenFileSource("", 0, 44100, kS16, 2, 10, 0, nullptr, &s), err::kInvalidPath);
  const std::string path = Path("x.raw");
  WriteWholeFile(path, RandomBytes(100, 2));
  EXPECT_EQ(OpenFileSource(path, 0, 44100, 0x0005, 2, 10, 0, nullptr, &s), err::kSizeLimit);
  EXPECT_EQ(OpenFileSource(path, 0, 44100, kS16, 0, 10, 0, nullptr, &s), err::kSizeLimit);
  {
    const fault::ScopedFault fault(fault::FaultRule::FailNth(fault::kOpen, 1, EACCES));
    EXPECT_EQ(OpenFileSource(path, 0, 44100, kS16, 2, 10, 0, nullptr, &s), err::kCannotOpen);
  }
  EXPECT_FALSE(s);
  EXPECT_EQ(OpenFileSourceCount(), 0u);
}

TEST_F(SourceTest, OwnedSourcesDeleteOnlyTmpFiles) {
  const std::string tmp = Path("wav1234.tmp"), upper = Path("wavABCD.TMP"), wav = Path("kept.wav"),
                    unowned = Path("other.tmp");
  for (const auto& p : {tmp, upper, wav, unowned}) WriteWholeFile(p, RandomBytes(48, 3));

  SourceRef a, a2, b, c, d;
  ASSERT_EQ(OpenFileSource(tmp, 44, 8000, kS16, 1, 2, kSourceOwnsFile, nullptr, &a), 0u);
  ASSERT_EQ(OpenFileSource(tmp, 44, 8000, kS16, 1, 2, 0, nullptr, &a2), 0u);
  ASSERT_EQ(OpenFileSource(upper, 44, 8000, kS16, 1, 2, kSourceOwnsFile, nullptr, &b), 0u);
  ASSERT_EQ(OpenFileSource(wav, 44, 8000, kS16, 1, 2, kSourceOwnsFile | kSourceSecondFlag, nullptr, &c), 0u);
  ASSERT_EQ(OpenFileSource(unowned, 44, 8000, kS16, 1, 2, 0, nullptr, &d), 0u);
  EXPECT_TRUE(OwnsFile(a.get()));

  a.reset();
  EXPECT_TRUE(FileExists(tmp)) << "deleted while still referenced";
  a2.reset();
  EXPECT_FALSE(FileExists(tmp));
  b.reset();
  EXPECT_FALSE(FileExists(upper));
  c.reset();
  d.reset();
  EXPECT_TRUE(FileExists(wav));
  EXPECT_TRUE(FileExists(unowned));
}

// What silence reads, in every code, is checked through the cursor in the
// document tests.
TEST_F(SourceTest, SilenceNeedsChannels) {
  EXPECT_EQ(MakeSilenceSource(44100, 2)->kind(), SourceKind::Silence);
  EXPECT_FALSE(MakeSilenceSource(44100, 0));
}

// What views read, each channel of stereo and mono doubled in every code, is
// checked through the cursor in the document tests; here their figures, a
// view of a view and what they refuse.
TEST_F(SourceTest, ViewsReadThroughViewsAndRefuseWhatTheyCannotShow) {
  constexpr std::uint32_t kFrames = 5000;
  const std::vector<std::uint8_t> mono = RandomBytes(kFrames * 2, 3), stereo = RandomBytes(kFrames * 4, 4);
  WriteWholeFile(Path("m.raw"), mono);
  WriteWholeFile(Path("s.raw"), stereo);
  SourceRef s, m;
  ASSERT_EQ(OpenFileSource(Path("s.raw"), 0, 44100, kS16, 2, kFrames, 0, nullptr, &s), 0u);
  ASSERT_EQ(OpenFileSource(Path("m.raw"), 0, 44100, kS16, 1, kFrames, 0, nullptr, &m), 0u);
  SourceRef mv = MakeMonoView(s, 1), sv = MakeStereoView(m, 0);
  ASSERT_TRUE(mv && sv);
  EXPECT_EQ(mv->channels(), 1);
  EXPECT_EQ(mv->rate(), 44100u);
  EXPECT_EQ(sv->channels(), 2);

  // A view of a view reads through both: channel 1 of a stereo view of the
  // left channel is the left channel.
  SourceRef mvv = MakeMonoView(MakeStereoView(s, 0), 1);
  ASSERT_TRUE(mvv);
  std::vector<std::uint8_t> out;
  ASSERT_EQ(ReadChecked(mvv.get(), 7, kFrames - 9, kS16, &out), 0u);
  for (std::uint32_t i = 0; i < kFrames - 9; ++i)
    ASSERT_TRUE(std::equal(&out[2 * i], &out[2 * i + 2], &stereo[4 * (7 + i)])) << i;
  // A read past the end of the inner source fails through the view.
  EXPECT_EQ(ReadChecked(mvv.get(), kFrames - 1, 2, kS16, &out), err::kReadFailed);

  EXPECT_FALSE(MakeMonoView(m, 0));
  EXPECT_FALSE(MakeMonoView(s, 2));
  EXPECT_FALSE(MakeStereoView(SourceRef(), 0));
}

// 3-byte stereo behind a 44-byte header: frames straddle every 0x40000
// boundary of the cache blocks.
TEST_F(SourceTest, CachedAndDirectReadsMatchTheFileBytes) {
  constexpr std::uint32_t kOffset = 44, kFrames = 200000;
  const std::vector<std::uint8_t> file = RandomBytes(kOffset + kFrames * 6, 4);
  const std::string path = Path("c.wav"), alias = Path("d.wav");
  WriteWholeFile(path, file);
  ASSERT_EQ(link(path.c_str(), alias.c_str()), 0);

  SourceRef cached, direct;
  ASSERT_EQ(OpenFileSource(path, kOffset, 48000, kS24, 2, kFrames, 0, nullptr, &cached), 0u);
  ASSERT_EQ(cached->kind(), SourceKind::FileCached);
  EXPECT_EQ(SharedBlockCacheStats().blocks, 8u);
  MutableCoreOptions().cached_reading_disabled = true;
  ASSERT_EQ(OpenFileSource(alias, kOffset, 48000, kS24, 2, kFrames, 0, nullptr, &direct), 0u);
  ASSERT_EQ(direct->kind(), SourceKind::FileDirect);

  // Ranges around each block boundary, then random ones, the whole, and the last frame.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
  for (std::uint64_t boundary = 0x40000; boundary < file.size(); boundary += 0x40000) {
    const auto frame = static_cast<std::uint32_t>((boundary - kOffset) / 6);
    ranges.push_back({frame, 1});
    ranges.push_back({frame - 3, 7});
  }
  std::mt19937 rng(5);
  for (int i = 0; i < 40; ++i) {
    const std::uint32_t first = static_cast<std::uint32_t>(rng()) % kFrames;
    ranges.push_back({first, std::min<std::uint32_t>(kFrames - first, static_cast<std::uint32_t>(rng()) % 90000)});
  }
  ranges.push_back({0, kFrames});
  ranges.push_back({kFrames - 1, 1});

  for (const SampleCode code : {kS24, kS16, kFloat, kDouble, kS32BE, kU8}) {
    for (const auto& [first, count] : ranges) {
      const std::vector<std::uint8_t> want = Expected(file, kOffset, kS24, 2, first, count, code);
      std::vector<std::uint8_t> a, b;
      ASSERT_EQ(ReadChecked(cached.get(), first, count, code, &a), 0u);
      ASSERT_EQ(ReadChecked(direct.get(), first, count, code, &b), 0u);
      ASSERT_EQ(a, want) << "cached, code " << code << " frames " << first << "+" << count;
      ASSERT_EQ(b, want) << "direct, code " << code << " frames " << first << "+" << count;
    }
  }
  // Reading up to the end succeeds; one frame more fails and writes nothing.
  std::vector<std::uint8_t> out;
  EXPECT_EQ(ReadChecked(cached.get(), kFrames - 10, 11, kS16, &out), err::kReadFailed);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t x) { return x == 0xCD; }));
  EXPECT_EQ(ReadChecked(direct.get(), kFrames, 1, kS16, &out), err::kReadFailed);
  EXPECT_EQ(ReadChecked(cached.get(), kFrames, 0, kS16, &out), 0u);
  EXPECT_EQ(cached->Read(0, 1, out.data(), 0x0007), err::kSizeLimit);
}

TEST_F(SourceTest, SparseFilesAreReadDirectly) {
  const std::string path = Path("sparse.raw");
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 8 << 20), 0);
  ::close(fd);
  SourceRef s;
  ASSERT_EQ(OpenFileSource(path, 0, 44100, kS16, 2, 1 << 20, 0, nullptr, &s), 0u);
  EXPECT_EQ(s->kind(), SourceKind::FileDirect);
  std::vector<std::uint8_t> out;
  ASSERT_EQ(ReadChecked(s.get(), 1000, 5000, kFloat, &out), 0u);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::uint8_t x) { return x == 0; }));
}

// The declared data run past the end of the file: what is missing fails
// with 8, in both modes, and the cache keeps no half-filled block.
TEST_F(SourceTest, TruncatedFilesFailInsteadOfReturningGarbage) {
  constexpr std::uint32_t kFrames = 250000;  // 1000000 bytes declared
  const std::vector<std::uint8_t> file = RandomBytes(3 * 0x40000 + 1000, 6);  // the fourth block is short
  const std::string path = Path("cut.raw"), alias = Path("cut2.raw");
  WriteWholeFile(path, file);
  ASSERT_EQ(link(path.c_str(), alias.c_str()), 0);
  SourceRef cached, direct;
  ASSERT_EQ(OpenFileSource(path, 0, 44100, kS16, 2, kFrames, 0, nullptr, &cached), 0u);
  MutableCoreOptions().cached_reading_disabled = true;
  ASSERT_EQ(OpenFileSource(alias, 0, 44100, kS16, 2, kFrames, 0, nullptr, &direct), 0u);

  std::vector<std::uint8_t> out;
  for (SoundSource* s : {cached.get(), direct.get()}) {
    EXPECT_EQ(ReadChecked(s, 3 * 0x40000 / 4 + 500, 10, kS16, &out), err::kReadFailed);
    EXPECT_EQ(ReadChecked(s, kFrames - 1, 1, kFloat, &out), err::kReadFailed);
    ASSERT_EQ(ReadChecked(s, 0, 1000, kS16, &out), 0u);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), file.begin()));
  }
  EXPECT_EQ(SharedBlockCacheStats().used, 1u) << "a failed fill kept its block";
  std::string why;
  EXPECT_TRUE(CheckSharedBlockCache(&why)) << why;

  // An I/O error of the system fails the read once; the next one succeeds.
  {
    const fault::ScopedFault fault(fault::FaultRule::FailNth(fault::kRead, 1, EIO));
    EXPECT_EQ(ReadChecked(cached.get(), 0x40000 / 4 - 10, 20, kS16, &out), err::kReadFailed);
    EXPECT_TRUE(fault.fired());
    EXPECT_EQ(ReadChecked(direct.get(), 10, 20, kS16, &out), 0u);
  }
  ASSERT_EQ(ReadChecked(cached.get(), 0x40000 / 4 - 10, 20, kS16, &out), 0u);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), file.begin() + 0x40000 - 40));
}

// Narrowing direct reads go through the staging buffer and never write
// the wider stored bytes into the caller's smaller buffer.
TEST_F(SourceTest, DirectNarrowingReadsStayInsideTheDestination) {
  constexpr std::uint32_t kFrames = 3000;
  std::vector<std::uint8_t> file(kFrames * 16);
  std::mt19937 rng(7);
  for (std::uint32_t i = 0; i < kFrames * 2; ++i) {
    const double x = static_cast<double>(rng() % 20001) / 10000.0 - 1.0;
    std::memcpy(&file[i * 8], &x, 8);
  }
  WriteWholeFile(Path("d.raw"), file);
  MutableCoreOptions().cached_reading_disabled = true;
  SourceRef s;
  ASSERT_EQ(OpenFileSource(Path("d.raw"), 0, 44100, kDouble, 2, kFrames, 0, nullptr, &s), 0u);
  for (const SampleCode code : {kU8, kS16, kS24, kFloat}) {
    std::vector<std::uint8_t> out;
    ASSERT_EQ(ReadChecked(s.get(), 11, kFrames - 11, code, &out), 0u);
    EXPECT_EQ(out, Expected(file, 0, kDouble, 2, 11, kFrames - 11, code)) << code;
  }
}

// Several threads read one cached source (and a second one) while another
// thread writes a different file; every read returns exactly the bytes written.
TEST_F(SourceTest, ConcurrentReadersGetExactData) {
  constexpr std::uint32_t kFrames = 400000;
  const std::vector<std::uint8_t> a = RandomBytes(44 + kFrames * 4, 8), b = RandomBytes(kFrames * 2, 9);
  WriteWholeFile(Path("a.wav"), a);
  WriteWholeFile(Path("b.raw"), b);
  SourceRef sa, sb;
  ASSERT_EQ(OpenFileSource(Path("a.wav"), 44, 44100, kS16, 2, kFrames, 0, nullptr, &sa), 0u);
  ASSERT_EQ(OpenFileSource(Path("b.raw"), 0, 44100, kS16, 1, kFrames, 0, nullptr, &sb), 0u);
  ASSERT_EQ(sa->kind(), SourceKind::FileCached);

  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 rng(100 + t);
      std::vector<std::uint8_t> buf;
      for (int i = 0; i < 300; ++i) {
        const bool use_a = (rng() % 4) != 0;
        SoundSource* s = use_a ? sa.get() : sb.get();
        const std::uint32_t first = static_cast<std::uint32_t>(rng()) % kFrames;
        const std::uint32_t count = std::min<std::uint32_t>(kFrames - first, 1 + static_cast<std::uint32_t>(rng()) % 70000);
        const SampleCode code = (i % 2) ? kFloat : kS16;
        buf.assign(std::size_t{count} * s->channels() * BytesPerSample(code), 0);
        if (s->Read(first, count, buf.data(), code) != 0 ||
            buf != (use_a ? Expected(a, 44, kS16, 2, first, count, code) : Expected(b, 0, kS16, 1, first, count, code)))
          ++failures;
      }
    });
  }
  threads.emplace_back([&] {
    const std::string path = Path("written.raw");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const std::vector<std::uint8_t> chunk = RandomBytes(1 << 20, 10);
    for (int i = 0; i < 32 && fd >= 0; ++i)
      if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) ++failures;
    if (fd < 0 || ::close(fd) != 0) ++failures;
  });
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  std::string why;
  EXPECT_TRUE(CheckSharedBlockCache(&why)) << why;
}

TEST_F(SourceTest, MixdownSwitchResizesAndEmptiesTheCache) {
  const std::vector<std::uint8_t> file = RandomBytes(40u << 20, 11);
  WriteWholeFile(Path("big.raw"), file);
  // Chosen before any cached source exists: applies to the cache created next.
  ASSERT_EQ(SetMixdownCache(true), 0u);
  SourceRef s;
  ASSERT_EQ(OpenFileSource(Path("big.raw"), 0, 44100, kS16, 2, 10u << 20, 0, nullptr, &s), 0u);
  EXPECT_EQ(SharedBlockCacheStats().blocks, 32u);
  ASSERT_EQ(SetMixdownCache(false), 0u);
  EXPECT_EQ(SharedBlockCacheStats().blocks, 8u);

  std::vector<std::uint8_t> out;
  ASSERT_EQ(ReadChecked(s.get(), 0, 4u << 20, kS16, &out), 0u);  // 16 MiB: more than 8 blocks
  EXPECT_EQ(out, std::vector<std::uint8_t>(file.begin(), file.begin() + (16 << 20)));
  EXPECT_EQ(SharedBlockCacheStats().used, 8u);

  ASSERT_EQ(SetMixdownCache(true), 0u);
  BlockCacheStats stats = SharedBlockCacheStats();
  EXPECT_EQ(stats.blocks, 32u);
  EXPECT_EQ(stats.used, 0u);
  ASSERT_EQ(ReadChecked(s.get(), 1u << 20, 4u << 20, kS16, &out), 0u);
  EXPECT_EQ(out, std::vector<std::uint8_t>(file.begin() + (4 << 20), file.begin() + (20 << 20)));
  EXPECT_EQ(SharedBlockCacheStats().used, 32u);
  ASSERT_EQ(SetMixdownCache(false), 0u);
  stats = SharedBlockCacheStats();
  EXPECT_EQ(stats.blocks, 8u);
  EXPECT_EQ(stats.used, 0u);
  std::string why;
  EXPECT_TRUE(CheckSharedBlockCache(&why)) << why;
  // The last cached source takes the cache with it.
  s.reset();
  EXPECT_EQ(SharedBlockCacheStats().blocks, 0u);
}

std::vector<std::uint8_t> Utf16Text(const std::string& ascii) {
  std::vector<std::uint8_t> v = {'w', 't', 'x', 't'};
  for (const char c : ascii) {
    v.push_back(static_cast<std::uint8_t>(c));
    v.push_back(0);
  }
  return v;
}

std::vector<std::uint8_t> Sf0(std::uint32_t frames, std::uint32_t rate, std::uint16_t code, std::uint16_t channels,
                              std::uint32_t offset, std::uint16_t flags, const std::string& text) {
  RecordBytes r("sf0 ");
  r.U32(frames);
  r.U32(rate);
  r.U16(code);
  r.U16(channels);
  r.U32(offset);
  r.U16(flags);
  r.U16(static_cast<std::uint16_t>(text.size()));
  r.U16(0);
  std::vector<std::uint8_t> v = r.bytes();
  const std::vector<std::uint8_t> t = Utf16Text(text);
  v.insert(v.end(), t.begin(), t.end());
  return v;
}

TEST_F(SourceTest, SerializeWritesNumberedRecords) {
  const std::string work = testing::MakeTempDir("work");
  const std::string owned = work + "/wav00A1.tmp", owned2 = work + "/wav00A2.tmp", user = Path("user.wav"),
                    elsewhere = Path("wav00A3.tmp");
  for (const auto& p : {owned, owned2, user, elsewhere}) WriteWholeFile(p, RandomBytes(64, 12));
  SourceRef f0, f1, f2, f3;
  ASSERT_EQ(OpenFileSource(owned, 44, 44100, kS16, 2, 5, kSourceOwnsFile, nullptr, &f0), 0u);
  ASSERT_EQ(OpenFileSource(owned2, 58, 96000, kFloat, 1, 1, kSourceOwnsFile | kSourceSecondFlag, nullptr, &f1), 0u);
  ASSERT_EQ(OpenFileSource(user, 44, 22050, kS24, 1, 6, kSourceSecondFlag, nullptr, &f2), 0u);
  ASSERT_EQ(OpenFileSource(elsewhere, 0, 8000, kU8, 1, 64, kSourceOwnsFile, nullptr, &f3), 0u);
  SourceRef silence = MakeSilenceSource(48000, 2);
  SourceRef mono = MakeMonoView(f0, 1);
  SourceRef stereo_of_mono = MakeStereoView(mono, 0);

  SourceNumbering numbering;
  // Views and silence added first still come after the file sources, and a
  // view after the view it reads.
  numbering.Add(stereo_of_mono.get());
  numbering.Add(silence.get());
  numbering.Add(f1.get());
  numbering.Add(f2.get());
  numbering.Add(f3.get());
  numbering.Add(mono.get());  // already there through the outer view
  EXPECT_EQ(numbering.file_count(), 4u);
  EXPECT_EQ(numbering.file_and_silence_count(), 5u);
  EXPECT_EQ(numbering.total(), 7u);
  std::uint32_t n = 99;
  ASSERT_TRUE(numbering.NumberOf(*f0.get(), &n));
  EXPECT_EQ(n, 0u);
  ASSERT_TRUE(numbering.NumberOf(*mono.get(), &n));
  EXPECT_EQ(n, 5u);
  ASSERT_TRUE(numbering.NumberOf(*stereo_of_mono.get(), &n));
  EXPECT_EQ(n, 6u);

  MemoryChunkWriter writer(&numbering, work + "/");
  ASSERT_EQ(numbering.SerializeAll(writer), 0u);

  std::vector<std::uint8_t> want;
  auto add = [&](const std::vector<std::uint8_t>& v) { want.insert(want.end(), v.begin(), v.end()); };
  add(Sf0(5, 44100, kS16, 2, 44, 5, "wav00A1.tmp"));   // owned, in the working folder: name only
  add(Sf0(1, 96000, kFloat, 1, 58, 7, "wav00A2.tmp"));
  add(Sf0(6, 22050, kS24, 1, 44, 2, user));           // a user's file: full path
  add(Sf0(64, 8000, kU8, 1, 0, 1, elsewhere));        // owned but elsewhere: full path, no flag 4
  add({'s', 'f', '1', ' ', 0x80, 0xBB, 0, 0, 2, 0});
  add({'s', 'f', '2', ' ', 1, 0, 1, 0, 0, 0, 0, 0});  // mono view of channel 1 of source 0
  add({'s', 'f', '2', ' ', 2, 0, 0, 0, 5, 0, 0, 0});  // stereo view of source 5
  EXPECT_EQ(writer.bytes(), want);

  // A view whose inner source has no number cannot be written.
  MemoryChunkWriter bare;
  EXPECT_EQ(mono->Serialize(bare), err::kPathUnresolved);
}

}  // namespace
}  // namespace tidemark
