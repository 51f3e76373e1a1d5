#include "formats/chunks/chunk_metadata.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formats/chunks/internal/chunk_table.h"
#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/formats/chunks/chunk_test_util.h"

namespace tidemark {
namespace {

using testing::Bytes;
using testing::ChunkBytes;

Error Append(const std::string& path, const Container& container, std::span<const ChunkToAppend> chunks) {
  PosixFile file = testing::OpenFile(path);
  return AppendChunks(file, testing::FileLength(path), container, chunks);
}

// A sub-list case: the body of an INFO list after its type, and the table
// ReadListChunks gives for it (the list starts at offset 12 of the file, so
// its first sub-chunk at 24), or the error.
struct ListCase {
  const char* name;
  ChunkBytes inner;
  const char* table;
  Error rc = err::kOk;
};

ChunkBytes Inner(std::initializer_list<std::pair<const char*, std::string_view>> parts) {
  ChunkBytes b;
  for (const auto& [what, bytes] : parts) {
    if (std::string_view(what) == "raw") b.Text(bytes);
    else b.Text(what).U32(static_cast<std::uint32_t>(bytes.size())).Text(bytes);
  }
  return b;
}

TEST(ChunkMetadata, ListChunksTolerateMissingPadBytes) {
  using namespace std::string_view_literals;
  const ListCase cases[] = {
      {"padded as the rule says", Inner({{"INAM", "Tune\0"sv}, {"raw", "\0"sv}, {"IART", "Bnd\0"sv}}),
       "INAM@24+5 IART@38+4"},
      {"odd chunks back to back", Inner({{"INAM", "Tune\0"sv}, {"IART", "Band\0"sv}, {"ICMT", "Notes\0"sv}}),
       "INAM@24+5 IART@37+5 ICMT@50+6"},
      {"an empty chunk that fits only without the pad", Inner({{"INAM", "Tune\0"sv}, {"IART", ""sv}}),
       "INAM@24+5 IART@37+0"},
      {"the last pad byte outside the list", Inner({{"INAM", "Tune\0"sv}}), "INAM@24+5"},
      {"a pad byte before an odd identifier stays a pad byte",
       Inner({{"INAM", "Tune\0"sv}, {"raw", "\0"sv}, {"\x01\x02\x03\x04", "ab"sv}}),
       "INAM@24+5 \x01\x02\x03\x04@38+2"},
      {"a body past the list", Inner({{"INAM", "Tune\0"sv}, {"raw", "IART\x40\0\0\0x"sv}}), "",
       err::kMalformed},
      {"a list inside below 4 bytes", Inner({{"LIST", "ab"sv}}), "", err::kMalformed},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.name);
    ChunkBytes body;
    body.List("INFO", c.inner).Chunk("data", 4, 0);
    const Bytes file = testing::RiffWave(body);
    const ChunkTable table = testing::TableOf(file, kRiffContainer);
    ASSERT_EQ(table.size(), 2u);
    MemoryInput input(file);
    ChunkTable subs;
    ASSERT_EQ(ReadListChunks(input, table[0], &subs), c.rc);
    EXPECT_EQ(testing::Describe(subs), c.table);
  }
  // Only lists are listed.
  ChunkBytes body;
  body.Chunk("data", 4, 0);
  const Bytes file = testing::RiffWave(body);
  MemoryInput input(file);
  ChunkTable subs;
  EXPECT_EQ(ReadListChunks(input, testing::TableOf(file, kRiffContainer)[0], &subs), err::kMalformed);
}

// Stripping names what goes: an ID3 chunk only when asked, markers left
// alone when not asked.
TEST(ChunkMetadata, StripOnlyTheKindsAsked) {
  ChunkBytes info;
  info.Chunk("INAM", 4, 'n');
  ChunkBytes base;
  base.Chunk("fmt ", 16, 1).Chunk("data", 8, 2);
  ChunkBytes body = base;
  body.Chunk("cue ", 28, 3).List("INFO", info).Chunk("id3 ", 10, 4);
  const Bytes file = testing::RiffWave(body);
  const std::size_t cue_at = 12 + base.size(), info_at = cue_at + 36, id3_at = info_at + 24;

  // The identifiers at the cue, INFO and ID3 places after a strip.
  const auto stripped = [&](const char* name, auto... kinds) {
    const std::string path = testing::WriteTempFile(name, file);
    EXPECT_EQ(StripMetadata(path, PcmFileKind::Wave, kinds...), err::kOk);
    const Bytes after = testing::ReadWholeFile(path);
    EXPECT_EQ(after.size(), file.size());
    return testing::IdAt(after, cue_at) + testing::IdAt(after, info_at) + testing::IdAt(after, id3_at);
  };
  EXPECT_EQ(stripped("texts.wav", metadata_chunk::kTexts), "cue JUNKid3 ");
  // The default leaves the ID3 chunk, which then keeps the dead ones before it.
  EXPECT_EQ(stripped("usual.wav"), "JUNKJUNKid3 ");

  const std::string all = testing::WriteTempFile("all.wav", file);
  ASSERT_EQ(StripMetadata(all, PcmFileKind::Wave, metadata_chunk::kAll), err::kOk);
  EXPECT_EQ(testing::ReadWholeFile(all), testing::RiffWave(base));
}

TEST(ChunkMetadata, AppendCutsTrailingBytesAndRewritesTheSize) {
  ChunkBytes body;
  body.Chunk("fmt ", 16, 1).Chunk("data", 5, 2);
  Bytes original = testing::RiffWave(body);
  const std::size_t end_of_data = original.size();
  original.insert(original.end(), {'G', 'A', 'R', 'B', 'A', 'G', 'E', '!', '!'});
  const std::string path = testing::WriteTempFile("append.wav", original);

  const Bytes label{'a', 'b', 'c'};
  const Bytes cue(24, 7);
  const ChunkToAppend chunks[] = {{FourCc("labl"), label}, {FourCc("cue "), cue}};
  ASSERT_EQ(Append(path, kRiffContainer, chunks), err::kOk);

  const Bytes after = testing::ReadWholeFile(path);
  ASSERT_EQ(after.size(), end_of_data + 8 + 4 + 8 + 24);
  EXPECT_EQ(testing::Slice(after, 8, end_of_data - 8), testing::Slice(original, 8, end_of_data - 8));
  EXPECT_EQ(testing::Le32At(after, 4), after.size() - 8);
  EXPECT_EQ(testing::IdAt(after, end_of_data), "labl");
  EXPECT_EQ(after[end_of_data + 11], 0);  // pad after the odd body, not the old garbage
  EXPECT_EQ(testing::Describe(testing::TableOf(after, kRiffContainer)), "fmt @12+16 data@36+5 labl@50+3 cue @62+24");
  EXPECT_EQ(testing::Slice(after, 62 + 8, 24), cue);

  // FORM: the sizes are big-endian; an empty container appends at 12.
  const std::string aiff = testing::WriteTempFile("append.aif", testing::FormFile("AIFF", ChunkBytes(true)));
  const Bytes name{'n', 'a', 'm', 'e', '!'};
  const ChunkToAppend name_chunk[] = {{FourCc("NAME"), name}};
  ASSERT_EQ(Append(aiff, kFormContainer, name_chunk), err::kOk);
  const Bytes form = testing::ReadWholeFile(aiff);
  ASSERT_EQ(form.size(), 12u + 8 + 6);
  EXPECT_EQ(testing::Be32At(form, 4), form.size() - 8);
  EXPECT_EQ(testing::Be32At(form, 16), 5u);
  EXPECT_EQ(testing::TableOf(form, kFormContainer).size(), 1u);

  // A file that is not a container of the kind is left alone.
  EXPECT_EQ(Append(aiff, kRiffContainer, name_chunk), err::kMalformed);
  EXPECT_EQ(testing::ReadWholeFile(aiff), form);
}

// A RIFF of `length` bytes (a hole after the header) whose "data" chunk
// runs to the end.
std::string NearlyFourGigabyteWave(std::uint64_t length) {
  ChunkBytes head;
  head.Id("RIFF").U32(static_cast<std::uint32_t>(length - 8)).Id("WAVE");
  head.Header("data", static_cast<std::uint32_t>(length - 20));
  return testing::WriteSparseFile("big.wav", head.bytes(), length);
}

TEST(ChunkMetadata, AppendPastFourGigabytesWritesNothing) {
  constexpr std::uint64_t kLength = 0xFFFFFF00u;
  const std::string path = NearlyFourGigabyteWave(kLength);
  const Bytes head = testing::ReadFileHead(path, 20);

  // 0xFFFFFF00 + 8 + 0xF8 passes 32 bits; one byte less ends at 0xFFFFFFFE.
  const Bytes too_much(0xF7, 1);
  const ChunkToAppend over[] = {{FourCc("JUNK"), too_much}};
  EXPECT_EQ(Append(path, kRiffContainer, over), err::kMetadataTooLarge);
  EXPECT_EQ(testing::FileLength(path), kLength);
  EXPECT_EQ(testing::ReadFileHead(path, 20), head);

  // Several chunks that pass the limit only together.
  const Bytes half(0x78, 1);
  const ChunkToAppend two[] = {{FourCc("JUNK"), half}, {FourCc("JUNK"), half}};
  EXPECT_EQ(Append(path, kRiffContainer, two), err::kMetadataTooLarge);
  EXPECT_EQ(testing::FileLength(path), kLength);

  const Bytes fits(0xF6, 1);
  const ChunkToAppend last[] = {{FourCc("JUNK"), fits}};
  ASSERT_EQ(Append(path, kRiffContainer, last), err::kOk);
  EXPECT_EQ(testing::FileLength(path), 0xFFFFFFFEu);
  EXPECT_EQ(testing::Le32At(testing::ReadFileHead(path, 8), 4), 0xFFFFFFF6u);
}

TEST(ChunkMetadata, FailedAppendLeavesTheContainerSize) {
  ChunkBytes body;
  body.Chunk("fmt ", 16, 1).Chunk("data", 6, 2);
  const Bytes original = testing::RiffWave(body);
  const Bytes odd{1, 2, 3};
  const ChunkToAppend chunks[] = {{FourCc("labl"), odd}, {FourCc("note"), odd}};

  // Every write may fail: headers, bodies, pad bytes, the size itself.
  const std::uint64_t faults = fault::ForEachFaultPoint(fault::kWrite, EIO, [&](const fault::ScopedFault& f) {
    const std::string path = testing::WriteTempFile("fail.wav", original);
    const Error rc = Append(path, kRiffContainer, chunks);
    const Bytes after = testing::ReadWholeFile(path);
    if (f.fired()) {
      EXPECT_EQ(rc, err::kWriteFailed) << f.rule().nth;
      EXPECT_EQ(testing::Le32At(after, 4), testing::Le32At(original, 4)) << f.rule().nth;
    } else {
      EXPECT_EQ(rc, err::kOk);
      EXPECT_EQ(testing::Le32At(after, 4), after.size() - 8);
    }
  });
  EXPECT_EQ(faults, 7u);  // 2 x (header, body, pad) and the size

  // A write that stops partway, and one that fails for want of space.
  for (const int error : {EIO, ENOSPC}) {
    const std::string path = testing::WriteTempFile("short.wav", original);
    const fault::ScopedFault f(fault::FaultRule::ShortNth(fault::kWrite, 1, 3, error));
    EXPECT_EQ(Append(path, kRiffContainer, chunks), err::kWriteFailed);
    EXPECT_EQ(testing::Le32At(testing::ReadWholeFile(path), 4), testing::Le32At(original, 4));
  }
  // Moving the end fails before anything is written.
  {
    const std::string path = testing::WriteTempFile("end.wav", original);
    const fault::ScopedFault f(fault::FaultRule::FailNth(fault::kFtruncate, 1, EIO));
    EXPECT_EQ(Append(path, kRiffContainer, chunks), err::kSeekFailed);
    EXPECT_EQ(testing::ReadWholeFile(path), original);
  }
}

TEST(ChunkMetadata, StripCutsTrailingDeadChunksAndKeepsInnerOnes) {
  ChunkBytes info;
  info.Chunk("INAM", 5, 'n');
  ChunkBytes base;
  base.Chunk("fmt ", 16, 1).Chunk("data", 7, 2);
  const std::size_t end_of_data = 12 + base.size();

  // Markers and texts at the end: the file ends at the samples again.
  ChunkBytes tail = base;
  tail.List("INFO", info).Chunk("cue ", 28, 3);
  const std::string cut = testing::WriteTempFile("cut.wav", testing::RiffWave(tail));
  ASSERT_EQ(StripMetadata(cut, PcmFileKind::Wave), err::kOk);
  const Bytes cut_after = testing::ReadWholeFile(cut);
  ASSERT_EQ(cut_after.size(), end_of_data);
  EXPECT_EQ(testing::Le32At(cut_after, 4), end_of_data - 8);
  EXPECT_EQ(cut_after, testing::RiffWave(base));

  // An unknown chunk after "cue " keeps it in place as "JUNK", body and all;
  // the "plst" and the old "JUNK" after the unknown chunk go.
  ChunkBytes inner = base;
  inner.Chunk("cue ", 28, 3).Chunk("bext", 9, 4).Chunk("JUNK", 4, 0).Chunk("plst", 4, 5);
  const Bytes inner_file = testing::RiffWave(inner);
  const std::string kept = testing::WriteTempFile("kept.wav", inner_file);
  ASSERT_EQ(StripMetadata(kept, PcmFileKind::Wave), err::kOk);
  const Bytes kept_after = testing::ReadWholeFile(kept);
  const std::size_t end_of_bext = end_of_data + 36 + 18;
  ASSERT_EQ(kept_after.size(), end_of_bext);
  EXPECT_EQ(testing::Le32At(kept_after, 4), end_of_bext - 8);
  EXPECT_EQ(testing::IdAt(kept_after, end_of_data), "JUNK");
  EXPECT_EQ(testing::Slice(kept_after, end_of_data + 4, 32), testing::Slice(inner_file, end_of_data + 4, 32));
  EXPECT_EQ(testing::IdAt(kept_after, end_of_data + 36), "bext");

  // Lists of other types are not metadata; nothing to cut leaves the file as it was.
  ChunkBytes other = base;
  other.List("wavl", info);
  const Bytes other_file = testing::RiffWave(other);
  const std::string untouched = testing::WriteTempFile("other.wav", other_file);
  ASSERT_EQ(StripMetadata(untouched, PcmFileKind::Temp), err::kOk);
  EXPECT_EQ(testing::ReadWholeFile(untouched), other_file);
}

TEST(ChunkMetadata, StripAiffRenamesToFourSpaces) {
  ChunkBytes base(true);
  base.Chunk("COMM", 18, 0).Chunk("MARK", 2, 0).Chunk("SSND", 9, 1);
  ChunkBytes body = base;
  body.Chunk("NAME", 3, 'n').Chunk("AUTH", 2, 'a').Chunk("(c) ", 1, 'c').Chunk("ANNO", 4, 'x').Chunk("COMT", 2, 0);
  const std::string path = testing::WriteTempFile("strip.aif", testing::FormFile("AIFC", body));
  ASSERT_EQ(StripMetadata(path, PcmFileKind::AIFF), err::kOk);
  const Bytes after = testing::ReadWholeFile(path);
  ASSERT_EQ(after.size(), 12 + base.size());
  EXPECT_EQ(testing::Be32At(after, 4), after.size() - 8);
  EXPECT_EQ(testing::IdAt(after, 12 + 26), "    ");  // the MARK before the samples
  EXPECT_EQ(testing::IdAt(after, 12 + 26 + 10), "SSND");

  // Kinds without chunks have nothing to strip, whatever the file holds.
  EXPECT_EQ(StripMetadata(path, PcmFileKind::AU), err::kOk);
  EXPECT_EQ(StripMetadata(path, PcmFileKind::Raw), err::kOk);
  EXPECT_EQ(testing::ReadWholeFile(path), after);
}

TEST(ChunkMetadata, StripErrors) {
  ChunkBytes body;
  body.Chunk("data", 4, 0).Chunk("cue ", 4, 0);
  const Bytes wave = testing::RiffWave(body);

  EXPECT_EQ(StripMetadata(testing::TempFilePath("missing.wav"), PcmFileKind::Wave), err::kCannotOpen);
  EXPECT_EQ(StripMetadata(testing::MakeTempDir("folder"), PcmFileKind::Wave), err::kCannotOpen);

  const std::string path = testing::WriteTempFile("ro.wav", wave);
  // A refused open is a read-only file; renaming the "cue " fails and the
  // file keeps its chunk; reading or cutting fails.
  const struct {
    fault::FaultOps op;
    int error;
    Error rc;
    bool untouched;
  } faults[] = {{fault::kOpen, EACCES, err::kReadOnly, true},   {fault::kOpen, EROFS, err::kReadOnly, true},
                {fault::kWrite, EIO, err::kWriteFailed, true},  {fault::kRead, EIO, err::kReadFailed, true},
                {fault::kFtruncate, EIO, err::kSeekFailed, false}};
  for (const auto& c : faults) {
    const fault::ScopedFault f(fault::FaultRule::FailNth(c.op, 1, c.error));
    EXPECT_EQ(StripMetadata(path, PcmFileKind::Wave), c.rc) << c.op << " " << c.error;
    if (c.untouched) {
      EXPECT_EQ(testing::ReadWholeFile(path), wave) << c.op << " " << c.error;
    }
  }
  {
    // Refused access to a folder is not a read-only file.
    const fault::ScopedFault f(fault::FaultRule::FailNth(fault::kOpen, 1, EACCES));
    EXPECT_EQ(StripMetadata(testing::MakeTempDir("folder"), PcmFileKind::Wave), err::kCannotOpen);
  }
  // A RIFF checked as FORM, and a RIFF that claims more than it holds.
  EXPECT_EQ(StripMetadata(path, PcmFileKind::AIFC), err::kLayoutMismatch);
  const Bytes truncated(wave.begin(), wave.end() - 1);
  EXPECT_EQ(StripMetadata(testing::WriteTempFile("short.wav", truncated), PcmFileKind::Wave), err::kLayoutMismatch);
  // Files of 0xFFFFFFFF bytes or more are never parsed.
  for (const std::uint64_t length : {std::uint64_t{0xFFFFFFFFu}, std::uint64_t{0x100000000u}}) {
    Bytes head = wave;
    StoreLe32(head.data() + 4, 0xFFFFFFF0u);
    const std::string big = testing::WriteSparseFile("big.wav", head, length);
    EXPECT_EQ(StripMetadata(big, PcmFileKind::Wave), err::kLayoutMismatch) << length;
    EXPECT_EQ(testing::ReadFileHead(big, head.size()), head);
  }
}

}  // namespace
}  // namespace tidemark
