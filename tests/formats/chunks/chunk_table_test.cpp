#include "formats/chunks/internal/chunk_table.h"

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "formats/chunks/container.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/formats/chunks/chunk_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;

Error ReadWhole(const Bytes& file, std::uint32_t container_id, std::uint32_t form, bool big_endian,
                ChunkTable* table, std::uint32_t length = 0xFFFFFFFFu) {
  MemoryInput input(file);
  if (length == 0xFFFFFFFFu) length = static_cast<std::uint32_t>(file.size());
  return ReadChunkTable(input, 0, length, container_id, form, big_endian, table);
}

TEST(ChunkTable, ListsChunksOfBothByteOrdersWithPadBytes) {
  ChunkBytes info;
  info.Chunk("INAM", Bytes{'a', 'b', 'c'});
  ChunkBytes body;
  body.Chunk("fmt ", 16, 1).Chunk("data", 5, 2).List("INFO", info).Chunk("bext", Bytes{}, 0);
  const Bytes riff = testing::RiffWave(body);

  ChunkTable table;
  ASSERT_EQ(ReadWhole(riff, FourCc("RIFF"), FourCc("WAVE"), false, &table), err::kOk);
  // The odd "data" chunk is followed by its pad byte: the list starts at
  // 36 + 8 + 5 + 1.
  EXPECT_EQ(testing::Describe(table), "fmt @12+16 data@36+5 LIST:INFO@50+16 bext@74+0");
  EXPECT_EQ(EndOfLastChunk(table), riff.size());
  EXPECT_EQ(FindChunk(table, FourCc("LIST"), FourCc("INFO")), &table[2]);
  EXPECT_EQ(FindChunk(table, FourCc("LIST"), FourCc("adtl")), nullptr);
  EXPECT_EQ(FindChunk(table, FourCc("data")), &table[1]);

  // The same layout in a FORM: sizes are big-endian and come out in host order.
  ChunkBytes form_body(true);
  form_body.Chunk("COMM", 18, 0).Chunk("APPL", 7, 3).Chunk("SSND", 0x1234, 0);
  const Bytes form = testing::FormFile("AIFC", form_body);
  ASSERT_EQ(ReadWhole(form, FourCc("FORM"), 0, true, &table), err::kOk);
  EXPECT_EQ(testing::Describe(table), "COMM@12+18 APPL@38+7 SSND@54+4660");
  EXPECT_EQ(EndOfLastChunk(table), form.size());
  // Read little-endian, the same FORM claims sizes it does not hold.
  EXPECT_EQ(ReadWhole(form, FourCc("FORM"), 0, false, &table), err::kMalformed);
  EXPECT_TRUE(table.empty());

  // The whole-file reader checks the form type of each container; a length
  // of 0xFFFFFFFF or more is refused before anything is read.
  const auto whole = [&](const Bytes& file, const Container& container, std::uint64_t length = 0) {
    MemoryInput input(file);
    return ReadFileChunkTable(input, length ? length : file.size(), container, &table);
  };
  EXPECT_EQ(whole(form, kFormContainer), err::kOk);
  EXPECT_EQ(table.size(), 3u);
  EXPECT_EQ(whole(testing::FormFile("AIFX", form_body), kFormContainer), err::kMalformed);
  EXPECT_EQ(whole(testing::ContainerFile("RIFF", "RMID", body), kRiffContainer), err::kMalformed);
  EXPECT_EQ(whole(form, kFormContainer, 0xFFFFFFFFu), err::kMalformed);
  EXPECT_EQ(whole(form, kFormContainer, 0x100000000u), err::kMalformed);
}

TEST(ChunkTable, EmptyContainerAppendsAtTwelve) {
  const Bytes riff = testing::RiffWave(ChunkBytes{});
  ChunkTable table{ChunkEntry{1, 2, 3, 4}};
  ASSERT_EQ(ReadWhole(riff, FourCc("RIFF"), FourCc("WAVE"), false, &table), err::kOk);
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(EndOfLastChunk(table), 12u);
}

TEST(ChunkTable, ContainerHeaderChecks) {
  ChunkBytes body;
  body.Chunk("data", 4, 0);
  const Bytes good = testing::RiffWave(body);
  ChunkTable table;
  const auto riff = FourCc("RIFF"), wave = FourCc("WAVE");

  // The declared size may use the whole length, not one byte more; it holds
  // the form type at least and stays below 2^32 - 8.
  for (const auto& [declared, length, rc] : std::initializer_list<std::tuple<std::uint32_t, std::size_t, Error>>{
           {4 + 12, 24, err::kOk}, {4 + 12 + 2, 26, err::kOk}, {4 + 12 + 2, 25, err::kMalformed},
           {0xFFFFFFFFu, 24, err::kMalformed}, {0xFFFFFFF8u, 24, err::kMalformed}}) {
    Bytes file = testing::ContainerFile("RIFF", "WAVE", body, declared);
    file.resize(length);
    EXPECT_EQ(ReadWhole(file, riff, wave, false, &table), rc) << declared << " " << length;
  }
  for (const auto& [declared, rc] : {std::pair{3u, err::kMalformed}, std::pair{4u, err::kOk}})
    EXPECT_EQ(ReadWhole(testing::ContainerFile("RIFF", "WAVE", ChunkBytes{}, declared), riff, wave, false, &table), rc);

  // Identifier, form type (unless none is asked for) and length.
  EXPECT_EQ(ReadWhole(good, FourCc("RIFX"), wave, false, &table), err::kMalformed);
  EXPECT_EQ(ReadWhole(good, riff, FourCc("AVI "), false, &table), err::kMalformed);
  EXPECT_EQ(ReadWhole(good, riff, 0, false, &table), err::kOk);
  EXPECT_EQ(ReadWhole(good, riff, 0, false, &table, 11), err::kMalformed);
  // A header longer than the bytes there: the read comes up short.
  EXPECT_EQ(ReadWhole(Bytes(good.begin(), good.begin() + 10), riff, wave, false, &table, 12), err::kReadFailed);

  // start + length must stay below 0xFFFFFFFF.
  MemoryInput input(good);
  EXPECT_EQ(ReadChunkTable(input, 0, 0xFFFFFFFFu, riff, wave, false, &table), err::kMalformed);
  EXPECT_EQ(ReadChunkTable(input, 2, 0xFFFFFFFDu, riff, wave, false, &table), err::kMalformed);
  EXPECT_EQ(ReadChunkTable(input, 0, 0xFFFFFFFEu, riff, wave, false, &table), err::kOk);
  EXPECT_EQ(table.size(), 1u);
}

TEST(ChunkTable, BytesAfterTheDeclaredEndAreIgnored) {
  ChunkBytes body;
  body.Chunk("fmt ", 16, 0).Chunk("data", 3, 0);
  Bytes file = testing::RiffWave(body);
  const std::size_t declared_end = file.size();
  // Garbage after the container, even garbage that looks like a chunk.
  ChunkBytes tail;
  tail.Chunk("LIST", 40, 0x55).Fill(7, 0xEE);
  file.insert(file.end(), tail.bytes().begin(), tail.bytes().end());
  ChunkTable table;
  ASSERT_EQ(ReadWhole(file, FourCc("RIFF"), FourCc("WAVE"), false, &table), err::kOk);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(EndOfLastChunk(table), declared_end);

  // Fewer than 8 bytes left before the declared end: the walk stops there.
  ChunkBytes short_tail = body;
  short_tail.Fill(6, 0xEE);
  ASSERT_EQ(ReadWhole(testing::RiffWave(short_tail), FourCc("RIFF"), FourCc("WAVE"), false, &table), err::kOk);
  EXPECT_EQ(table.size(), 2u);
}

TEST(ChunkTable, ChunksMustEndInsideTheContainer) {
  ChunkTable table;
  const auto read = [&](const ChunkBytes& body) {
    return ReadWhole(testing::RiffWave(body), FourCc("RIFF"), FourCc("WAVE"), false, &table);
  };
  ChunkBytes past;
  past.Header("data", 9).Fill(8, 0);
  EXPECT_EQ(read(past), err::kMalformed);
  // An odd last chunk whose pad byte the container size leaves out is read
  // (sox writes such files); appending starts after the missing pad byte.
  ChunkBytes unpadded;
  unpadded.Header("data", 3).Fill(3, 0);
  ASSERT_EQ(read(unpadded), err::kOk);
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(EndOfLastChunk(table), 24u);
  // Only the pad byte may be missing, not body bytes.
  ChunkBytes cut_body;
  cut_body.Header("data", 5).Fill(4, 0);
  EXPECT_EQ(read(cut_body), err::kMalformed);
  // Sizes near 2^32 must not wrap around to a small end.
  for (const std::uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFF0u}) {
    ChunkBytes huge;
    huge.Header("data", size).Fill(16, 0);
    EXPECT_EQ(read(huge), err::kMalformed) << size;
  }
  // A "LIST" needs room for its type.
  for (const std::uint32_t size : {0u, 2u, 3u}) {
    ChunkBytes list;
    list.Header("LIST", size).Fill(PaddedSize(size), 0);
    EXPECT_EQ(read(list), err::kMalformed) << size;
  }
  ChunkBytes empty_list;
  empty_list.Header("LIST", 4).Id("adtl");
  ASSERT_EQ(read(empty_list), err::kOk);
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(table[0].list_type, FourCc("adtl"));
  // A small "list" is just an unknown chunk.
  ChunkBytes lower;
  lower.Header("list", 0);
  EXPECT_EQ(read(lower), err::kOk);
}

TEST(ChunkTable, ListSubTableIsReadWithItsOwnLength) {
  ChunkBytes labels;
  labels.Chunk("labl", Bytes{1, 0, 0, 0, 'x'}).Chunk("note", 8, 0);
  ChunkBytes body;
  body.Chunk("data", 2, 0).List("adtl", labels).Chunk("smpl", 4, 0);
  const Bytes file = testing::RiffWave(body);
  ChunkTable table;
  ASSERT_EQ(ReadWhole(file, FourCc("RIFF"), FourCc("WAVE"), false, &table), err::kOk);
  const ChunkEntry* list = FindChunk(table, FourCc("LIST"), FourCc("adtl"));
  ASSERT_NE(list, nullptr);

  MemoryInput input(file);
  ChunkTable inner;
  ASSERT_EQ(ReadChunkTable(input, list->offset, list->size + 8, FourCc("LIST"), FourCc("adtl"), false, &inner),
            err::kOk);
  ASSERT_EQ(list->offset, 22u);
  EXPECT_EQ(testing::Describe(inner), "labl@34+5 note@48+8");  // offsets stay absolute
  EXPECT_EQ(ChunkEnd(inner[1]), ChunkEnd(*list));
  EXPECT_EQ(ReadChunkTable(input, list->offset, list->size + 8, FourCc("LIST"), FourCc("INFO"), false, &inner),
            err::kMalformed);

  // A list whose inner chunk claims more than the list holds: the file's
  // table is fine, the list's own table is refused.
  ChunkBytes greedy_inner;
  greedy_inner.Header("labl", 40).Fill(8, 0);
  ChunkBytes nested;
  nested.List("adtl", greedy_inner).Chunk("data", 64, 0);
  const Bytes greedy = testing::RiffWave(nested);
  ASSERT_EQ(ReadWhole(greedy, FourCc("RIFF"), FourCc("WAVE"), false, &table), err::kOk);
  ASSERT_EQ(table.size(), 2u);
  MemoryInput greedy_input(greedy);
  EXPECT_EQ(ReadChunkTable(greedy_input, table[0].offset, table[0].size + 8, FourCc("LIST"), FourCc("adtl"), false,
                           &inner),
            err::kMalformed);
  // The same for a list inside a list claiming more than its parent.
  ChunkBytes deeper;
  deeper.Header("LIST", 100).Id("INFO").Fill(4, 0);
  ChunkBytes outer;
  outer.List("INFO", deeper);
  const Bytes deep = testing::RiffWave(outer);
  ASSERT_EQ(ReadWhole(deep, FourCc("RIFF"), FourCc("WAVE"), false, &table), err::kOk);
  MemoryInput deep_input(deep);
  EXPECT_EQ(ReadChunkTable(deep_input, table[0].offset, table[0].size + 8, FourCc("LIST"), FourCc("INFO"), false,
                           &inner),
            err::kMalformed);
}

TEST(ChunkTable, GrowsPastThirtyTwoEntries) {
  ChunkBytes body;
  std::vector<std::uint32_t> offsets;
  for (std::uint32_t i = 0; i < 100; ++i) {
    offsets.push_back(static_cast<std::uint32_t>(12 + body.size()));
    body.Chunk("ckxx", i % 7, static_cast<std::uint8_t>(i));
  }
  const Bytes file = testing::RiffWave(body);
  ChunkTable table;
  ASSERT_EQ(ReadWhole(file, FourCc("RIFF"), FourCc("WAVE"), false, &table), err::kOk);
  ASSERT_EQ(table.size(), 100u);
  for (std::uint32_t i = 0; i < 100; ++i) {
    EXPECT_EQ(table[i].offset, offsets[i]) << i;
    EXPECT_EQ(table[i].size, i % 7) << i;
  }
  EXPECT_EQ(EndOfLastChunk(table), file.size());

  // Half a million empty chunks in 4 MiB: a table that grew by a fixed step
  // would be copied once per step and take minutes (the test would time out).
  constexpr std::size_t kMany = std::size_t{1} << 19;
  ChunkBytes many;
  for (std::size_t i = 0; i < kMany; ++i) many.Header("abcd", 0);
  ASSERT_EQ(ReadWhole(testing::RiffWave(many), FourCc("RIFF"), FourCc("WAVE"), false, &table), err::kOk);
  ASSERT_EQ(table.size(), kMany);
  EXPECT_EQ(table.back().offset, 12 + 8 * (kMany - 1));
}

// Hostile containers of many tiny chunks cost one read per window of
// headers, not one per chunk, and never much more than their own bytes;
// containers of a few large chunks cost a read per chunk, not a window's
// worth of bytes each.
TEST(ChunkTable, ReadsGrowWithTheBytesNotTheChunks) {
  const auto costs = [](const Bytes& file, std::uint32_t start, std::uint32_t length, const char* id,
                        std::uint32_t form, std::size_t chunks) {
    testing::CountingInput input(file);
    ChunkTable table;
    EXPECT_EQ(ReadChunkTable(input, start, length, LoadLe32(reinterpret_cast<const std::uint8_t*>(id)), form, false,
                             &table),
              err::kOk);
    EXPECT_EQ(table.size(), chunks);
    return std::pair{input.reads, input.bytes};
  };
  constexpr std::size_t kMany = 100000;
  ChunkBytes empty, lists, inner;
  for (std::size_t i = 0; i < kMany; ++i) {
    empty.Header("abcd", 0);
    lists.Header("LIST", 4).Id("adtl");
    inner.Header("labl", 0);
  }
  const std::uint64_t windows = 1 + 8 * kMany / WindowedReader::kWindowBytes;
  const Bytes many = testing::RiffWave(empty);
  auto [reads, bytes] = costs(many, 0, static_cast<std::uint32_t>(many.size()), "RIFF", FourCc("WAVE"), kMany);
  EXPECT_LE(reads, 1 + windows);
  EXPECT_LE(bytes, 2 * many.size());
  const Bytes listed = testing::RiffWave(lists);
  std::tie(reads, bytes) = costs(listed, 0, static_cast<std::uint32_t>(listed.size()), "RIFF", FourCc("WAVE"), kMany);
  EXPECT_LE(reads, 1 + 2 * windows);
  EXPECT_LE(bytes, 2 * listed.size());
  // The sub-chunks of one large "LIST".
  ChunkBytes one_list;
  one_list.List("adtl", inner);
  const Bytes deep = testing::RiffWave(one_list);
  std::tie(reads, bytes) = costs(deep, 12, static_cast<std::uint32_t>(deep.size() - 12), "LIST", FourCc("adtl"), kMany);
  EXPECT_LE(reads, 1 + windows);
  // A few large chunks: no window of bytes is read for a 12-byte "LIST".
  ChunkBytes big;
  big.Chunk("fmt ", 16, 0).Chunk("data", 1 << 20, 1).List("INFO", ChunkBytes().Chunk("INAM", 2, 'a'));
  const Bytes large = testing::RiffWave(big);
  std::tie(reads, bytes) = costs(large, 0, static_cast<std::uint32_t>(large.size()), "RIFF", FourCc("WAVE"), 3);
  EXPECT_LE(reads, 3u);
  EXPECT_LE(bytes, 12 + 2 * WindowedReader::kWindowBytes);
  const std::uint32_t list_at = static_cast<std::uint32_t>(large.size() - 22);
  std::tie(reads, bytes) = costs(large, list_at, 22, "LIST", FourCc("INFO"), 1);
  EXPECT_LE(bytes, 12u + 22u);
}

// The window never reads past its end, and pieces larger than it go through whole.
TEST(ChunkTable, WindowedReaderStaysInsideItsEnd) {
  const Bytes bytes = testing::RandomBytes(3 * WindowedReader::kWindowBytes, 1);
  testing::CountingInput input(bytes);
  WindowedReader reader(input, 100);
  std::uint8_t piece[8];
  ASSERT_EQ(reader.ReadExact(piece, 8, 10), err::kOk);
  EXPECT_TRUE(std::equal(piece, piece + 8, bytes.begin() + 10));
  ASSERT_EQ(reader.ReadExact(piece, 8, 92), err::kOk);
  EXPECT_EQ(input.reads, 1u);
  EXPECT_EQ(input.bytes, 90u);
  Bytes large(WindowedReader::kWindowBytes + 1);
  WindowedReader whole(input, bytes.size());
  ASSERT_EQ(whole.ReadExact(large.data(), large.size(), 5), err::kOk);
  EXPECT_TRUE(std::equal(large.begin(), large.end(), bytes.begin() + 5));
  // Past the end of the input: a read error, as a short read.
  WindowedReader beyond(input, bytes.size() + 100);
  EXPECT_EQ(beyond.ReadExact(piece, 8, bytes.size() - 4), err::kReadFailed);
  EXPECT_EQ(beyond.ReadExact(piece, 4, bytes.size() - 4), err::kOk);
}

// A patched input shows its patches wherever a read overlaps them, and ends at its length.
TEST(ChunkTable, PatchedInputOverlaysItsPatches) {
  const Bytes bytes = testing::RandomBytes(64, 2);
  MemoryInput memory(bytes);
  std::vector<PatchedInput::Patch> patches(2);
  patches[0].offset = 4;
  StoreLe32(patches[0].bytes, 0x11223344u);
  patches[1].offset = 30;
  StoreLe32(patches[1].bytes, 0xAABBCCDDu);
  PatchedInput input(memory, 40, patches);
  Bytes want(bytes.begin(), bytes.begin() + 40);
  StoreLe32(&want[4], 0x11223344u);
  StoreLe32(&want[30], 0xAABBCCDDu);
  for (std::size_t from = 0; from < 40; ++from)
    for (std::size_t n = 1; from + n <= 40; ++n) {
      Bytes got(n);
      ASSERT_EQ(input.ReadExact(got.data(), n, from), err::kOk) << from << " " << n;
      EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin() + static_cast<std::ptrdiff_t>(from)))
          << from << " " << n;
    }
  std::uint8_t past[2];
  EXPECT_EQ(input.ReadExact(past, 2, 39), err::kReadFailed);
}

TEST(ChunkTable, FailedAndShortFileReadsGiveReadError) {
  ChunkBytes info;
  info.Chunk("IART", 3, 'a');
  ChunkBytes body;
  body.Chunk("fmt ", 16, 0).List("INFO", info).Chunk("data", 10, 0);
  const std::string path = testing::WriteTempFile("reads.wav", testing::RiffWave(body));
  PosixFile file = testing::OpenFile(path, FileAccess::kRead);
  FileInput input(file);
  ChunkTable table;
  const auto read = [&] {
    return ReadChunkTable(input, 0, static_cast<std::uint32_t>(testing::FileLength(path)), FourCc("RIFF"),
                          FourCc("WAVE"), false, &table);
  };
  // The header, then one window holding the three chunk headers and the
  // list type: each read may fail.
  const std::uint64_t faults = fault::ForEachFaultPoint(fault::kRead, EIO, [&](const fault::ScopedFault& f) {
    const Error rc = read();
    EXPECT_EQ(rc, f.fired() ? err::kReadFailed : err::kOk) << f.rule().nth;
    if (f.fired()) {
      EXPECT_TRUE(table.empty());
    }
  });
  EXPECT_EQ(faults, 2u);
  ASSERT_EQ(table.size(), 3u);
  // A read that ends early, as at the end of the file.
  for (std::uint64_t nth = 1; nth <= 2; ++nth) {
    const fault::ScopedFault f(fault::FaultRule::ShortNth(fault::kRead, nth, 2, 0));
    EXPECT_EQ(read(), err::kReadFailed) << nth;
  }
}

}  // namespace
}  // namespace tidemark
