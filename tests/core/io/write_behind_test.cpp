// Write-behind files: full windows go to disk on a helper thread. The bytes
// and their order, the errors of a write in flight (the same numbers as a
// file written in place, kept from then on) and the fallback without a thread.
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/io/buffered_file.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/core/io/fake_memory.h"
#include "tests/platform/file_test_util.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

namespace bo = buffered_open;
using testing::RandomText;
using testing::ReadFileText;

constexpr std::uint32_t kBehind = bo::kWorkFile | bo::kSmallCache | bo::kWriteBehind;  // 256 KiB windows

using testing::FakeMemoryScope;

class WriteBehindTest : public ::testing::Test {
 protected:
  std::string dir_ = testing::MakeTempDir("behind");
  std::string path_ = dir_ + "/f";
};

// Sequential writes in pieces of every size class, then the header
// rewritten at the front: the file holds every byte in order.
TEST_F(WriteBehindTest, SequentialPiecesArriveInOrder) {
  for (const std::size_t piece : {std::size_t{1000}, std::size_t{7777}, std::size_t{0x40000}, std::size_t{0x61234}}) {
    SCOPED_TRACE(piece);
    const std::string data = RandomText(0x40000 * 9 + 1236, static_cast<std::uint32_t>(piece));
    BufferedFile f;
    ASSERT_EQ(f.Open(path_, kBehind), err::kOk);
    ASSERT_TRUE(f.write_behind());
    std::uint32_t header = 0;
    const auto frames = static_cast<std::uint32_t>(data.size() / 4);
    ASSERT_EQ(f.WriteHeader(PcmFileKind::Temp, 8000, sample_code::kS16, 2, frames / 2, &header), err::kOk);
    for (std::size_t at = 0; at < data.size(); at += piece)
      ASSERT_EQ(f.Write(data.data() + at, std::min(piece, data.size() - at)), err::kOk);
    // More frames than announced: the header is written again at the front.
    ASSERT_EQ(f.WriteHeader(PcmFileKind::Temp, 8000, sample_code::kS16, 2, frames, &header), err::kOk);
    EXPECT_GE(f.windows_written_behind(), 8u);
    ASSERT_EQ(f.Close(), err::kOk);
    const std::string bytes = ReadFileText(path_);
    ASSERT_EQ(bytes.size(), header + std::size_t{frames} * 4);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_TRUE(bytes.substr(header) == data.substr(0, std::size_t{frames} * 4));
  }
}

// Sequential runs long enough to fill windows, mixed with seeks back into
// windows still in flight, reads, flushes and the end: always the model.
TEST_F(WriteBehindTest, MatchesAByteArrayModel) {
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::string model;
    BufferedFile f;
    ASSERT_EQ(f.Open(path_ + std::to_string(seed), kBehind | bo::kRead), err::kOk);
    std::int64_t pos = 0;
    for (int step = 0; step < 120; ++step) {
      const unsigned op = static_cast<unsigned>(rng() % 8);
      if (op < 4) {
        const std::string data = RandomText(rng() % 0x60000, static_cast<std::uint32_t>(rng()));
        ASSERT_EQ(f.Write(data.data(), data.size()), err::kOk);
        if (model.size() < pos + data.size()) model.resize(pos + data.size(), '\0');
        model.replace(static_cast<std::size_t>(pos), data.size(), data);
        pos += static_cast<std::int64_t>(data.size());
      } else if (op == 4 && !model.empty()) {
        pos = static_cast<std::int64_t>(rng() % model.size());
        ASSERT_EQ(f.Seek(pos, 0), pos);
      } else if (op == 5 && pos < static_cast<std::int64_t>(model.size())) {
        const std::size_t len = std::min<std::size_t>(rng() % 0x50000, model.size() - static_cast<std::size_t>(pos));
        std::string got(len, '\0');
        ASSERT_EQ(f.Read(got.data(), len), err::kOk) << step;
        ASSERT_TRUE(got == model.substr(static_cast<std::size_t>(pos), len)) << step;
        pos += static_cast<std::int64_t>(len);
      } else if (op == 6) {
        std::int64_t physical = -1;
        ASSERT_EQ(f.Flush(&physical), err::kOk);
        ASSERT_EQ(physical, static_cast<std::int64_t>(model.size()));
      } else {
        ASSERT_EQ(f.Seek(0, 2), static_cast<std::int64_t>(model.size()));
        pos = static_cast<std::int64_t>(model.size());
      }
      ASSERT_EQ(f.position(), pos);
    }
    EXPECT_GT(f.windows_written_behind(), 0u);
    std::int64_t final_size = 0;
    ASSERT_EQ(f.Close(&final_size), err::kOk);
    EXPECT_EQ(final_size, static_cast<std::int64_t>(model.size()));
    EXPECT_TRUE(ReadFileText(path_ + std::to_string(seed)) == model);
  }
}

struct FailureCase {
  const char* name;
  int error;       // what the failing pwrite reports
  Error expected;  // what the caller sees
};

class WriteBehindFailure : public WriteBehindTest, public ::testing::WithParamInterface<FailureCase> {
 protected:
  // Writes ten windows in 64 KiB pieces with the `nth` write failing; gives
  // the first error a call reported and the piece that reported it.
  Error FirstFailure(std::uint32_t flags, std::uint64_t nth, std::size_t* piece_index, BufferedFile& f) {
    const std::string data = RandomText(0x40000 * 10, 9);
    EXPECT_EQ(f.Open(path_, flags), err::kOk);
    const fault::ScopedFault fault(fault::FaultRule::FailNth(fault::kWrite, nth, GetParam().error));
    for (std::size_t i = 0; i * 0x10000 < data.size(); ++i) {
      *piece_index = i;
      if (const Error rc = f.Write(data.data() + i * 0x10000, 0x10000)) return rc;
    }
    *piece_index = ~std::size_t{0};
    return f.Flush();
  }
};

TEST_P(WriteBehindFailure, SameNumberAsInPlaceAndKeptAfterwards) {
  constexpr std::uint64_t kNth = 3;  // the third window
  std::size_t in_place_piece = 0, behind_piece = 0;
  BufferedFile in_place, behind;
  const Error in_place_rc = FirstFailure(bo::kWorkFile | bo::kSmallCache, kNth, &in_place_piece, in_place);
  ASSERT_EQ(in_place_rc, GetParam().expected);
  const Error behind_rc = FirstFailure(kBehind, kNth, &behind_piece, behind);
  EXPECT_EQ(behind_rc, GetParam().expected);
  // Written in place, the window fails on the piece that starts the next
  // one; behind, at the latest on the piece that starts the one after.
  EXPECT_GE(behind_piece, in_place_piece);
  EXPECT_LE(behind_piece, in_place_piece + 4);
  // The failure stays the file's: nothing more reaches the disk.
  EXPECT_EQ(behind.Flush(), GetParam().expected);
  std::uint32_t header = 0;
  EXPECT_EQ(behind.WriteHeader(PcmFileKind::Temp, 8000, sample_code::kU8, 1, 10, &header), GetParam().expected);
  EXPECT_EQ(behind.Close(), GetParam().expected);
  EXPECT_FALSE(behind.is_open());
  (void)in_place.Close();
}

INSTANTIATE_TEST_SUITE_P(Errors, WriteBehindFailure,
                         ::testing::Values(FailureCase{"DiskFull", ENOSPC, err::kDiskFull},
                                           FailureCase{"InputOutput", EIO, err::kWriteFailed}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(WriteBehindTest, WithoutAThreadWindowsAreWrittenInPlace) {
  const std::string data = RandomText(0x40000 * 4 + 99, 10);
  BufferedFile f;
  ASSERT_EQ(f.Open(path_, kBehind), err::kOk);
  {
    const fault::ScopedFault no_thread(fault::FaultRule::FailNth(fault::kThreadStart, 1, EAGAIN));
    ASSERT_EQ(f.Write(data.data(), data.size()), err::kOk);
    EXPECT_TRUE(no_thread.fired());
  }
  EXPECT_FALSE(f.write_behind());
  EXPECT_EQ(f.windows_written_behind(), 0u);
  ASSERT_EQ(f.Close(), err::kOk);
  EXPECT_TRUE(ReadFileText(path_) == data);
}

}  // namespace
}  // namespace tidemark
