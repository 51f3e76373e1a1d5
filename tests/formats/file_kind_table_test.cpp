// The table of file kinds: one complete description per kind, and the one
// that core writes by once the table is installed.
#include "formats/file_kind_table.h"

#include <cctype>
#include <set>
#include <string_view>

#include <gtest/gtest.h>

#include "core/io/pcm_header.h"

namespace tidemark {
namespace {

// What each kind must describe. Temp is a WAV file that is neither saved
// nor recognised under its own name; Raw has nothing but its empty header.
struct Expected {
  PcmFileKind kind;
  bool named;       // extensions it is saved by; the probe that recognises it
  bool chunks;      // a chunk container with markers; data padded to even
  bool tags;        // a tag store and a stored rate
};

constexpr Expected kExpected[] = {
    {PcmFileKind::Temp, false, true, true}, {PcmFileKind::Wave, true, true, true},
    {PcmFileKind::AIFF, true, true, true},  {PcmFileKind::AIFC, true, true, true},
    {PcmFileKind::AU, true, false, true},   {PcmFileKind::Raw, false, false, false},
};

TEST(FileKindTable, EveryKindHasExactlyTheEntriesItShould) {
  const auto table = FileKindTable();
  ASSERT_EQ(std::size(kExpected), table.size());
  for (const Expected& e : kExpected) {
    SCOPED_TRACE(static_cast<int>(e.kind));
    const FileKindDescription& d = *table[static_cast<std::size_t>(e.kind)];
    EXPECT_EQ(d.kind, e.kind);
    EXPECT_EQ(&DescribeFileKind(e.kind), &d);
    ASSERT_NE(d.header, nullptr);
    EXPECT_TRUE(d.header->size && d.header->build);
    EXPECT_EQ(d.header->padded, e.chunks);

    EXPECT_EQ(!d.extensions.empty(), e.named);
    EXPECT_EQ(!d.magics.empty(), e.named);
    EXPECT_EQ(d.probe != nullptr, e.named);

    EXPECT_EQ(d.container != nullptr, e.chunks);
    EXPECT_EQ(d.read_markers != nullptr, e.chunks);
    EXPECT_EQ(d.write_markers != nullptr, e.chunks);

    EXPECT_EQ(d.patch_rate != nullptr, e.tags);
    EXPECT_EQ(d.read_tags != nullptr, e.tags);
    EXPECT_EQ(d.write_tags != nullptr, e.tags);
    EXPECT_EQ(d.nothing_to_write != nullptr, e.tags);
  }
  // Any kind value past the table is Raw.
  EXPECT_EQ(&DescribeFileKind(static_cast<PcmFileKind>(9)), table[static_cast<std::size_t>(PcmFileKind::Raw)]);
}

TEST(FileKindTable, NamesAndMagicsLeadToOneKindEach) {
  std::set<std::string_view> extensions;
  for (const FileKindDescription* d : FileKindTable()) {
    for (const std::string_view ext : d->extensions) {
      EXPECT_TRUE(extensions.insert(ext).second) << ext;
      for (const char c : ext) EXPECT_FALSE(c == '.' || std::isupper(static_cast<unsigned char>(c))) << ext;
    }
    // Kinds that start alike (AIFF and AIFC) share the probe that tells them apart.
    for (const std::uint32_t magic : d->magics)
      for (const FileKindDescription* other : FileKindTable())
        for (const std::uint32_t other_magic : other->magics)
          if (other_magic == magic) {
            EXPECT_EQ(other->probe, d->probe);
          }
  }
}

TEST(FileKindTable, InstalledHeadersAreTheTablesOwn) {
  InstallFileKinds();  // again: installing twice changes nothing
  for (const FileKindDescription* d : FileKindTable())
    EXPECT_EQ(PcmHeaderFormatOf(d->kind), d->header) << static_cast<int>(d->kind);
}

}  // namespace
}  // namespace tidemark
