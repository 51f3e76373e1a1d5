#include "formats/chunks/internal/foreign_chunks.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/io/work_folder.h"
#include "formats/chunks/internal/chunk_table.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/formats/chunks/chunk_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;

// Names in the working folder: the kept chunks must never leave a file there.
std::set<std::string> WorkFolderNames() {
  std::string folder;
  EXPECT_EQ(EnsureWorkFolder(&folder), err::kOk);
  return testing::FolderEntries(folder);
}

TEST(ForeignChunks, WhichChunksAreForeign) {
  const auto foreign = [](const Container& c, const char (&id)[5], const char (&type)[5] = "\0\0\0\0") {
    ChunkEntry chunk;
    chunk.id = FourCc(id);
    chunk.list_type = FourCc(type);
    return IsForeignChunk(chunk, c);
  };
  for (const char* id : {"JUNK", "fmt ", "RIFF", "cue ", "data", "fact", "plst"}) {
    char four[5] = {id[0], id[1], id[2], id[3], 0};
    EXPECT_FALSE(foreign(kRiffContainer, four)) << id;
    EXPECT_TRUE(foreign(kFormContainer, four)) << id;
  }
  EXPECT_FALSE(foreign(kRiffContainer, "LIST", "INFO"));
  EXPECT_FALSE(foreign(kRiffContainer, "LIST", "adtl"));
  EXPECT_TRUE(foreign(kRiffContainer, "LIST", "exif"));
  EXPECT_TRUE(foreign(kRiffContainer, "LIST", "info"));
  EXPECT_TRUE(foreign(kRiffContainer, "bext"));
  EXPECT_TRUE(foreign(kRiffContainer, "FMT "));
  for (const char* id : {"MARK", "ANNO", "FVER", "COMT", "COMM", "FORM", "SSND", "NAME", "AUTH", "    ", "(c) "}) {
    char four[5] = {id[0], id[1], id[2], id[3], 0};
    EXPECT_FALSE(foreign(kFormContainer, four)) << id;
  }
  EXPECT_TRUE(foreign(kFormContainer, "APPL"));
  EXPECT_TRUE(foreign(kFormContainer, "LIST", "INFO"));
}

TEST(ForeignChunks, KeepsForeignChunksUpToOneMebibyteAndAppendsThem) {
  ChunkBytes info;
  info.Chunk("INAM", 4, 'n');
  ChunkBytes exif;
  exif.Chunk("ecor", 3, 'e');
  ChunkBytes old_body;
  old_body.Chunk("fmt ", 16, 1)
      .Chunk("bext", Bytes{1, 2, 3, 4, 5}, 0xAA)  // odd, with a pad byte that is not zero
      .Chunk("data", 64, 2)
      .List("INFO", info)
      .List("exif", exif)
      .Chunk("cue ", 4, 0)
      .Chunk("big1", kMaxKeptChunkBody, 0x11)
      .Chunk("big2", kMaxKeptChunkBody + 1, 0x22)
      .Chunk("iXML", 2, 'x');
  const Bytes old_file = testing::RiffWave(old_body);
  const std::string old_path = testing::WriteTempFile("old.wav", old_file);
  const std::set<std::string> names_before = WorkFolderNames();

  PosixFile temp;
  bool kept = false;
  ASSERT_EQ(HarvestForeignChunks(old_path, PcmFileKind::Wave, &temp, &kept), err::kOk);
  ASSERT_TRUE(kept);
  ASSERT_TRUE(temp.is_open());
  EXPECT_EQ(WorkFolderNames(), names_before);  // opened without a name

  const Bytes kept_bytes = testing::ReadOpenFile(temp);
  ASSERT_GE(kept_bytes.size(), 4u);
  EXPECT_EQ(testing::IdAt(kept_bytes, 0), "RIFF");
  ChunkBytes expected;
  expected.Chunk("bext", Bytes{1, 2, 3, 4, 5}).List("exif", exif).Chunk("big1", kMaxKeptChunkBody, 0x11).Chunk(
      "iXML", 2, 'x');
  EXPECT_TRUE(testing::Slice(kept_bytes, 4, kept_bytes.size() - 4) == expected.bytes());

  // The new file's declared size is odd (no pad counted): the chunks go
  // after the pad position.
  ChunkBytes new_body;
  new_body.Chunk("fmt ", 16, 1).Header("data", 3).Fill(3, 9);
  const Bytes new_file = testing::ContainerFile("RIFF", "WAVE", new_body, 4 + new_body.size());
  ASSERT_EQ(new_file.size(), 47u);
  const std::string new_path = testing::WriteTempFile("new.wav", new_file);
  ASSERT_EQ(AppendHarvestedChunks(new_path, PcmFileKind::Wave, temp), err::kOk);
  const Bytes saved = testing::ReadWholeFile(new_path);
  ASSERT_EQ(saved.size(), 48u + expected.size());
  EXPECT_EQ(testing::Le32At(saved, 4), saved.size() - 8);
  EXPECT_EQ(saved[47], 0);
  EXPECT_TRUE(testing::Slice(saved, 48, expected.size()) == expected.bytes());
  const ChunkTable table = testing::TableOf(saved, kRiffContainer);
  ASSERT_EQ(table.size(), 6u);
  EXPECT_EQ(table[5].id, FourCc("iXML"));

  // The working file goes away with its handle.
  EXPECT_EQ(temp.Close(), err::kOk);
  EXPECT_EQ(WorkFolderNames(), names_before);
}

TEST(ForeignChunks, FormFilesKeepTheirByteOrder) {
  ChunkBytes old_body(true);
  old_body.Chunk("COMM", 18, 0).Chunk("APPL", 7, 'a').Chunk("    ", 6, 0).Chunk("ANNO", 3, 'n').Chunk("SSND", 12, 0);
  const std::string old_path = testing::WriteTempFile("old.aif", testing::FormFile("AIFF", old_body));
  PosixFile temp;
  bool kept = false;
  ASSERT_EQ(HarvestForeignChunks(old_path, PcmFileKind::AIFC, &temp, &kept), err::kOk);
  ASSERT_TRUE(kept);

  ChunkBytes new_body(true);
  new_body.Chunk("COMM", 18, 0).Chunk("SSND", 20, 0);
  Bytes new_file = testing::FormFile("AIFC", new_body);
  // An older, longer file's tail after the container must not survive.
  new_file.insert(new_file.end(), 40, 0xEE);
  const std::string new_path = testing::WriteTempFile("new.aifc", new_file);
  {
    PosixFile file = testing::OpenFile(new_path);
    ASSERT_EQ(AppendHarvestedChunks(file, PcmFileKind::AIFF, temp), err::kOk);
  }
  const Bytes saved = testing::ReadWholeFile(new_path);
  EXPECT_EQ(testing::Be32At(saved, 4), saved.size() - 8);
  EXPECT_EQ(testing::Describe(testing::TableOf(saved, kFormContainer)), "COMM@12+18 SSND@38+20 APPL@66+7");
  EXPECT_EQ(saved.size(), 66u + 8 + 8);
}

TEST(ForeignChunks, NothingToKeep) {
  const auto harvest = [](const std::string& path, PcmFileKind kind) {
    PosixFile temp;
    bool kept = true;
    const Error rc = HarvestForeignChunks(path, kind, &temp, &kept);
    EXPECT_FALSE(kept) << path;
    EXPECT_FALSE(temp.is_open()) << path;
    return rc;
  };
  const std::set<std::string> names_before = WorkFolderNames();
  ChunkBytes known;
  known.Chunk("fmt ", 16, 0).Chunk("data", 4, 0).Chunk("JUNK", 2, 0);
  const Bytes known_file = testing::RiffWave(known);
  EXPECT_EQ(harvest(testing::WriteTempFile("known.wav", known_file), PcmFileKind::Wave), err::kOk);
  EXPECT_EQ(harvest("", PcmFileKind::Wave), err::kOk);
  EXPECT_EQ(harvest(testing::TempFilePath("missing.wav"), PcmFileKind::Wave), err::kOk);
  EXPECT_EQ(harvest(testing::TempFilePath("no/folder.wav"), PcmFileKind::Wave), err::kOk);

  // Malformed or of another kind: no error, nothing kept.
  ChunkBytes foreign;
  foreign.Chunk("data", 4, 0).Chunk("bext", 4, 0);
  Bytes claims_more = testing::RiffWave(foreign);
  claims_more.pop_back();
  EXPECT_EQ(harvest(testing::WriteTempFile("short.wav", claims_more), PcmFileKind::Wave), err::kOk);
  const std::string riff = testing::WriteTempFile("riff.wav", testing::RiffWave(foreign));
  EXPECT_EQ(harvest(riff, PcmFileKind::AIFF), err::kOk);
  EXPECT_EQ(harvest(riff, PcmFileKind::AU), err::kOk);
  EXPECT_EQ(harvest(testing::WriteTempFile("tiny.wav", Bytes{'R', 'I', 'F', 'F'}), PcmFileKind::Wave), err::kOk);
  EXPECT_EQ(harvest(testing::WriteSparseFile("huge.wav", testing::RiffWave(foreign), 0xFFFFFFFFu),
                    PcmFileKind::Wave),
            err::kOk);
  // Only foreign chunks too large to keep.
  ChunkBytes large;
  large.Chunk("data", 4, 0).Chunk("big!", kMaxKeptChunkBody + 1, 0);
  EXPECT_EQ(harvest(testing::WriteTempFile("large.wav", testing::RiffWave(large)), PcmFileKind::Wave), err::kOk);
  EXPECT_EQ(WorkFolderNames(), names_before);
}

TEST(ForeignChunks, HarvestErrors) {
  ChunkBytes body;
  body.Chunk("data", 4, 0).Chunk("bext", 3, 1).Chunk("iXML", 2000, 2);
  const std::string path = testing::WriteTempFile("old.wav", testing::RiffWave(body));
  const std::set<std::string> names_before = WorkFolderNames();
  PosixFile temp;
  bool kept = true;
  {
    const fault::ScopedFault f(fault::FaultRule::FailNth(fault::kOpen, 1, EACCES));
    EXPECT_EQ(HarvestForeignChunks(path, PcmFileKind::Wave, &temp, &kept), err::kCannotOpen);
    EXPECT_FALSE(kept);
  }
  // Every read of the old file may fail, in the table or in the copy.
  const std::uint64_t reads = fault::ForEachFaultPoint(fault::kRead, EIO, [&](const fault::ScopedFault& f) {
    const Error rc = HarvestForeignChunks(path, PcmFileKind::Wave, &temp, &kept);
    EXPECT_EQ(rc, f.fired() ? err::kReadFailed : err::kOk) << f.rule().nth;
    EXPECT_EQ(kept, !f.fired());
    EXPECT_EQ(temp.is_open(), !f.fired());
  });
  EXPECT_GE(reads, 5u);  // header, a window of chunk headers, and the copies in 1024-byte blocks
  // Every write to the working file, and creating it.
  const std::uint64_t writes = fault::ForEachFaultPoint(fault::kWrite, EIO, [&](const fault::ScopedFault& f) {
    const Error rc = HarvestForeignChunks(path, PcmFileKind::Wave, &temp, &kept);
    EXPECT_EQ(rc, f.fired() ? err::kNoWorkFile : err::kOk) << f.rule().nth;
    EXPECT_EQ(temp.is_open(), !f.fired());
  });
  EXPECT_EQ(writes, 1u + 1 + 1 + 2);  // "RIFF", bext and its pad, iXML in two blocks
  // Opening the working file, and unlinking it.
  for (const auto& [op, nth] : {std::pair{fault::kOpen, 2}, {fault::kUnlink, 1}}) {
    const fault::ScopedFault f(fault::FaultRule::FailNth(op, static_cast<std::uint64_t>(nth), EIO));
    EXPECT_EQ(HarvestForeignChunks(path, PcmFileKind::Wave, &temp, &kept), err::kNoWorkFile) << op;
  }
  EXPECT_EQ(temp.Close(), err::kOk);
  EXPECT_EQ(WorkFolderNames(), names_before);
}

// A working file holding "RIFF" and the chunks of `kept`.
PosixFile KeptFile(const ChunkBytes& kept) {
  ChunkBytes bytes;
  bytes.Id("RIFF").Raw(kept.bytes());
  return testing::OpenFile(testing::WriteTempFile("kept.tmp", bytes.bytes()));
}

TEST(ForeignChunks, AppendLeavesUnsuitableFilesAlone) {
  ChunkBytes one;
  one.Chunk("bext", 5, 1);
  PosixFile temp = KeptFile(one);
  ChunkBytes body;
  body.Chunk("data", 4, 0);
  const auto unchanged = [&](const Bytes& file, PcmFileKind kind, PosixFile& kept) {
    const std::string path = testing::WriteTempFile("new.wav", file);
    EXPECT_EQ(AppendHarvestedChunks(path, kind, kept), err::kOk);
    EXPECT_EQ(testing::ReadWholeFile(path), file);
  };
  unchanged(testing::FormFile("AIFF", body), PcmFileKind::Wave, temp);
  unchanged(testing::RiffWave(body), PcmFileKind::AIFF, temp);
  unchanged(testing::RiffWave(body), PcmFileKind::Raw, temp);
  unchanged(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V'}, PcmFileKind::Wave, temp);
  PosixFile empty = KeptFile(ChunkBytes{});
  unchanged(testing::RiffWave(body), PcmFileKind::Wave, empty);

  // A new file that the kept chunks would push past 4 GiB gets nothing:
  // 0xFFFFFFF2 + 14 bytes of "bext" passes 0xFFFFFFFE.
  ChunkBytes head;
  head.Id("RIFF").U32(0xFFFFFFF2u - 8).Id("WAVE").Header("data", 0xFFFFFFF2u - 20);
  const std::string big = testing::WriteSparseFile("big.wav", head.bytes(), 0xFFFFFFF2u);
  EXPECT_EQ(AppendHarvestedChunks(big, PcmFileKind::Wave, temp), err::kMetadataTooLarge);
  EXPECT_EQ(testing::FileLength(big), 0xFFFFFFF2u);
  EXPECT_EQ(testing::ReadFileHead(big, 20), head.bytes());

  // A failed write keeps the old container size.
  const std::string path = testing::WriteTempFile("fail.wav", testing::RiffWave(body));
  const fault::ScopedFault f(fault::FaultRule::FailNth(fault::kWrite, 1, EIO));
  EXPECT_EQ(AppendHarvestedChunks(path, PcmFileKind::Wave, temp), err::kWriteFailed);
  EXPECT_EQ(testing::ReadWholeFile(path), testing::RiffWave(body));
}

}  // namespace
}  // namespace tidemark
