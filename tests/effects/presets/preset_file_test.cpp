// The preset and chain container byte for byte: files built by hand here
// (independently of the writer) are read exactly and written again
// identically, and the reader survives reordered registries, grown blocks,
// newer versions, missing plug-ins, damage and failing disks.
#include "effects/presets/preset_file.h"

#include <cstdio>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/error_numbers.h"
#include "platform/fault_injection.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

// Little-endian bytes as the format lays them out.
struct Bytes {
  std::vector<std::uint8_t> b;
  Bytes& Tag(const char (&code)[5]) { return Raw(std::string_view(code, 4)); }
  Bytes& Raw(std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& U8s(std::initializer_list<std::uint8_t> v) {
    b.insert(b.end(), v);
    return *this;
  }
  Bytes& U16(std::uint16_t v) { return U8s({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); }
  Bytes& U32(std::uint32_t v) { return U16(static_cast<std::uint16_t>(v)).U16(static_cast<std::uint16_t>(v >> 16)); }
  Bytes& Wide(std::u16string_view s) {
    Tag("wtxt");
    for (char16_t c : s) U16(c);
    return *this;
  }
  Bytes& Header(std::uint8_t minor, const char (&kind)[5]) {
    return Tag("tide").U8s({1, minor, 0, 0, 1, 8, 5, 2, 0, 0, 0, 0}).Tag(kind);
  }
  // A map record and its data, with the odd-length pad.
  Bytes& Map(std::uint16_t kind, std::initializer_list<std::string_view> names) {
    std::string joined;
    for (std::string_view n : names) (joined += n) += '\0';
    Tag("map ").U16(kind).U16(static_cast<std::uint16_t>(names.size())).U32(static_cast<std::uint32_t>(joined.size()));
    Tag("data").Raw(joined);
    if (joined.size() & 1) U8s({0});
    return *this;
  }
};

std::string TempFile(const std::string& name) { return testing::MakeTempDir("presets") + "/" + name; }

void Put(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

SettingsBlock B(std::initializer_list<std::uint8_t> v) { return SettingsBlock{std::vector<std::uint8_t>(v)}; }

// Two effects (4- and 3-byte blocks) and one encoder registration.
PresetRegistry SmallRegistry() {
  PresetRegistry r;
  r.slots[0].push_back({"Alpha", B({0x10, 0x11, 0x12, 0x13}), true, {}});
  r.slots[0].push_back({"Beta", B({0x20, 0x21, 0x22}), true, {}});
  r.slots[3].push_back({"Enc", B({0, 0}), true, {}});
  return r;
}

constexpr std::uint32_t kPresetSlots = 0b1001;

// Alpha: "Lo" then "Hi" in the file; Beta: one preset without a name and an
// odd block.
std::vector<std::uint8_t> GoldenPresets(bool with_presets = true) {
  Bytes f;
  f.Header(2, "pres").Tag("mapc").U32(4).Map(0, {"Alpha", "Beta"}).Map(1, {}).Map(2, {}).Map(0x8000, {"Enc"});
  f.Tag("pslc").U32(3);
  f.Tag("psls").U16(0).U16(0).U32(with_presets ? 2 : 0);
  if (with_presets) {
    f.Tag("pres").U32(2).U32(4).Wide(u"Lo").Tag("data").U8s({1, 2, 3, 4});
    f.Tag("pres").U32(2).U32(4).Wide(u"Hi").Tag("data").U8s({5, 6, 7, 8});
  }
  f.Tag("psls").U16(0).U16(1).U32(with_presets ? 1 : 0);
  if (with_presets) f.Tag("pres").U32(0).U32(3).Tag("data").U8s({0xAA, 0xBB, 0xCC, 0});
  f.Tag("psls").U16(0x8000).U16(0).U32(0);
  return f.b;
}

TEST(PresetFileTest, GoldenFileReadsExactlyAndIsWrittenBackByteForByte) {
  const std::string path = TempFile("tide.preset");
  Put(path, GoldenPresets());
  PresetRegistry r = SmallRegistry();
  std::uint32_t missing = 99;
  ASSERT_EQ(ReadPresetFile(path, r, &missing), err::kOk);
  EXPECT_EQ(missing, 0u);
  ASSERT_EQ(r.slots[0][0].presets.size(), 2u);
  // Each preset read goes to the head.
  EXPECT_EQ(r.slots[0][0].presets[0].name, u"Hi");
  EXPECT_EQ(r.slots[0][0].presets[0].block, B({5, 6, 7, 8}));
  EXPECT_EQ(r.slots[0][0].presets[1].name, u"Lo");
  ASSERT_EQ(r.slots[0][1].presets.size(), 1u);
  EXPECT_EQ(r.slots[0][1].presets[0].name, u"");
  EXPECT_EQ(r.slots[0][1].presets[0].block, B({0xAA, 0xBB, 0xCC}));
  EXPECT_TRUE(r.slots[3][0].presets.empty());

  const std::string again = TempFile("tide.preset");
  ASSERT_EQ(WritePresetFile(again, r, kPresetSlots), err::kOk);
  EXPECT_EQ(Get(again), GoldenPresets());
}

TEST(PresetFileTest, EmptyRegistryListsStillWriteEveryMapAndList) {
  const std::string path = TempFile("tide.preset");
  ASSERT_EQ(WritePresetFile(path, SmallRegistry(), kPresetSlots), err::kOk);
  EXPECT_EQ(Get(path), GoldenPresets(false));
}

TEST(PresetFileTest, RemovedAndEmptyBlocksAreNotWritten) {
  PresetRegistry r = SmallRegistry();
  r.slots[0][0].presets = {{u"gone", B({1, 2, 3, 4}), true}, {u"void", {}, false}};
  const std::string path = TempFile("tide.preset");
  ASSERT_EQ(WritePresetFile(path, r, kPresetSlots), err::kOk);
  EXPECT_EQ(Get(path), GoldenPresets(false));
}

TEST(PresetFileTest, ChainFileGoldenRoundTrip) {
  Bytes f;
  f.Header(2, "chps").Tag("mapc").U32(4).Map(0, {"Alpha", "Beta"}).Map(1, {}).Map(2, {}).Map(0x8000, {});
  f.Tag("chpc").U32(2);
  f.Tag("chps").U32(1).U32(3).U32(2).Wide(u"One");
  f.Tag("chen").U16(0).U16(1).U32(3).Tag("data").U8s({7, 8, 9, 0});
  f.Tag("chen").U16(0).U16(0).U32(0).Tag("data");
  f.Tag("chps").U32(0).U32(0).U32(0);
  const std::string path = TempFile("chain.preset");
  Put(path, f.b);
  PresetRegistry r = SmallRegistry();
  std::vector<EffectChainPreset> chains;
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadChainFile(path, r, &chains, &missing), err::kOk);
  ASSERT_EQ(chains.size(), 2u);
  EXPECT_EQ(chains[0].name, u"One");
  EXPECT_EQ(chains[0].flag, 1u);
  ASSERT_EQ(chains[0].members.size(), 2u);
  EXPECT_EQ(chains[0].members[0].index, 1u);
  EXPECT_EQ(chains[0].members[0].block, B({7, 8, 9}));
  // A size-0 member is completed from the defaults once read.
  EXPECT_EQ(chains[0].members[1].block, r.slots[0][0].defaults);
  EXPECT_EQ(chains[1].name, u"");
  chains[0].members[1].block = {};
  const std::string again = TempFile("chain.preset");
  ASSERT_EQ(WriteChainFile(again, r, chains), err::kOk);
  EXPECT_EQ(Get(again), f.b);
}

// One system call per record: the golden file has 22 records, and its
// writing 22 records plus one count patch per non-empty list.
TEST(PresetFileTest, OneSystemCallPerRecord) {
  const std::string path = TempFile("tide.preset");
  Put(path, GoldenPresets());
  PresetRegistry r = SmallRegistry();
  std::uint32_t missing = 0;
  {
    const fault::ScopedFault counter(fault::FaultRule::FailNth(fault::kRead, 1u << 30, EIO));
    ASSERT_EQ(ReadPresetFile(path, r, &missing), err::kOk);
    EXPECT_EQ(counter.seen(), 22u);
  }
  const fault::ScopedFault counter(fault::FaultRule::FailNth(fault::kWrite, 1u << 30, EIO));
  ASSERT_EQ(WritePresetFile(TempFile("tide.preset"), r, kPresetSlots), err::kOk);
  EXPECT_EQ(counter.seen(), 24u);
}

struct ReadCase {
  const char* name;
  PresetRegistry (*registry)();  // the reader's registry
  std::size_t entry;             // the slot-0 entry checked
  std::vector<std::pair<std::u16string, SettingsBlock>> expected;
};

PresetRegistry Reordered() {
  PresetRegistry r = SmallRegistry();
  std::swap(r.slots[0][0], r.slots[0][1]);
  r.slots[0].insert(r.slots[0].begin(), {"New", B({}), true, {}});
  return r;
}
PresetRegistry AlphaGrewBy8() {
  PresetRegistry r = SmallRegistry();
  r.slots[0][0].defaults = B({0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B});
  return r;
}
PresetRegistry AlphaShrank() {
  PresetRegistry r = SmallRegistry();
  r.slots[0][0].defaults = B({0x10, 0x11});
  return r;
}

TEST(PresetFileTest, ReaderAdaptsToTheCurrentRegistry) {
  const ReadCase cases[] = {
      {"reordered: Alpha is now third", Reordered, 2, {{u"Hi", B({5, 6, 7, 8})}, {u"Lo", B({1, 2, 3, 4})}}},
      {"reordered: Beta is now second", Reordered, 1, {{u"", B({0xAA, 0xBB, 0xCC})}}},
      {"grown by 8: the last 8 bytes of the defaults follow",
       AlphaGrewBy8,
       0,
       {{u"Hi", B({5, 6, 7, 8, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B})},
        {u"Lo", B({1, 2, 3, 4, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B})}}},
      {"shrunk: a longer block stays whole", AlphaShrank, 0, {{u"Hi", B({5, 6, 7, 8})}, {u"Lo", B({1, 2, 3, 4})}}},
  };
  const std::string path = TempFile("tide.preset");
  Put(path, GoldenPresets());
  for (const ReadCase& c : cases) {
    PresetRegistry r = c.registry();
    std::uint32_t missing = 0;
    ASSERT_EQ(ReadPresetFile(path, r, &missing), err::kOk) << c.name;
    const std::vector<Preset>& got = r.slots[0][c.entry].presets;
    ASSERT_EQ(got.size(), c.expected.size()) << c.name;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].name, c.expected[i].first) << c.name;
      EXPECT_EQ(got[i].block, c.expected[i].second) << c.name;
    }
  }
}

TEST(PresetFileTest, AnEffectGoneFromTheRegistrySetsItsMissingBit) {
  const std::string path = TempFile("tide.preset");
  Put(path, GoldenPresets());
  PresetRegistry r = SmallRegistry();
  r.slots[0].erase(r.slots[0].begin());  // Alpha is gone
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadPresetFile(path, r, &missing), err::kOk);
  EXPECT_EQ(missing, 1u);
  ASSERT_EQ(r.slots[0][0].presets.size(), 1u);  // Beta's still arrives
  EXPECT_EQ(r.slots[0][0].presets[0].block, B({0xAA, 0xBB, 0xCC}));
}

TEST(PresetFileTest, SameNameInAnotherCaseReplacesInPlace) {
  Bytes f;
  f.Header(2, "pres").Tag("mapc").U32(4).Map(0, {"Alpha"}).Map(1, {}).Map(2, {}).Map(0x8000, {});
  f.Tag("pslc").U32(1).Tag("psls").U16(0).U16(0).U32(3);
  f.Tag("pres").U32(4).U32(4).Wide(u"Soft").Tag("data").U8s({1, 1, 1, 1});
  f.Tag("pres").U32(3).U32(4).Wide(u"Mid").Tag("data").U8s({2, 2, 2, 2});
  f.Tag("pres").U32(4).U32(4).Wide(u"sOFT").Tag("data").U8s({3, 3, 3, 3});
  const std::string path = TempFile("tide.preset");
  Put(path, f.b);
  PresetRegistry r = SmallRegistry();
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadPresetFile(path, r, &missing), err::kOk);
  const std::vector<Preset>& got = r.slots[0][0].presets;
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].name, u"Mid");
  EXPECT_EQ(got[1].name, u"sOFT");
  EXPECT_EQ(got[1].block, B({3, 3, 3, 3}));
}

TEST(PresetFileTest, NewerVersionIsBackedUpAndIgnored) {
  std::vector<std::uint8_t> newer = GoldenPresets();
  newer[5] = 3;  // version 1.3
  const std::string path = TempFile("tide.preset");
  Put(path, newer);
  PresetRegistry r = SmallRegistry();
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadPresetFile(path, r, &missing), err::kOk);
  EXPECT_TRUE(r.slots[0][0].presets.empty());
  EXPECT_EQ(Get(PresetBackupPath(path)), newer);
  EXPECT_EQ(PresetBackupPath("/a/b/tide.preset"), "/a/b/tide.bak.preset");
  EXPECT_EQ(PresetBackupPath("/a.b/tide"), "/a.b/tide.bak");
}

TEST(PresetFileTest, OlderVersionAlwaysHasANarrowNameRecord) {
  Bytes f;
  f.Header(1, "pres").Tag("mapc").U32(4).Map(0, {"Alpha"}).Map(1, {}).Map(2, {}).Map(0x8000, {});
  f.Tag("pslc").U32(1).Tag("psls").U16(0).U16(0).U32(2);
  f.Tag("pres").U32(0).U32(4).Tag("text").Tag("data").U8s({1, 1, 1, 1});
  f.Tag("pres").U32(3).U32(4).Tag("text").Raw("Abc").U8s({0}).Tag("data").U8s({2, 2, 2, 2});
  const std::string path = TempFile("tide.preset");
  Put(path, f.b);
  PresetRegistry r = SmallRegistry();
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadPresetFile(path, r, &missing), err::kOk);
  ASSERT_EQ(r.slots[0][0].presets.size(), 2u);
  EXPECT_EQ(r.slots[0][0].presets[0].name, u"Abc");
  EXPECT_EQ(r.slots[0][0].presets[1].name, u"");
}

TEST(PresetFileTest, UnpairedSurrogatesRoundTripUnchanged) {
  PresetRegistry r = SmallRegistry();
  const std::u16string odd = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
  r.slots[0][0].presets.push_back({odd, B({1, 2, 3, 4}), false});
  const std::string path = TempFile("tide.preset");
  ASSERT_EQ(WritePresetFile(path, r, kPresetSlots), err::kOk);
  PresetRegistry back = SmallRegistry();
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadPresetFile(path, back, &missing), err::kOk);
  ASSERT_EQ(back.slots[0][0].presets.size(), 1u);
  EXPECT_EQ(back.slots[0][0].presets[0].name, odd);
}

// DirectX identifiers match in their canonical form; an absent plug-in's
// member is dropped and sets bit 2, the chain keeps the rest.
TEST(PresetFileTest, ChainMembersOfDirectXPlugIns) {
  Bytes f;
  f.Header(2, "chps").Tag("mapc").U32(4).Map(0, {"Alpha"}).Map(1, {});
  f.Map(2, {"12345678-9abc-def0-1234-56789ABCDEF0"}).Map(0x8000, {});
  f.Tag("chpc").U32(1).Tag("chps").U32(0).U32(1).U32(2).Wide(u"C");
  f.Tag("chen").U16(2).U16(0).U32(2).Tag("data").U8s({5, 5});
  f.Tag("chen").U16(0).U16(0).U32(4).Tag("data").U8s({1, 2, 3, 4});
  const std::string path = TempFile("chain.preset");
  Put(path, f.b);
  struct Case {
    const char* installed;  // the reader's DirectX identifier, null: none
    std::size_t members;
    std::uint32_t missing;
  } cases[] = {{"{12345678-9ABC-DEF0-1234-56789abcdef0}", 2, 0}, {nullptr, 1, 0b100},
               {"{00000000-9ABC-DEF0-1234-56789abcdef0}", 1, 0b100}};
  for (const Case& c : cases) {
    PresetRegistry r = SmallRegistry();
    if (c.installed) r.slots[2].push_back({c.installed, B({0, 0}), true, {}});
    std::vector<EffectChainPreset> chains;
    std::uint32_t missing = 0;
    ASSERT_EQ(ReadChainFile(path, r, &chains, &missing), err::kOk);
    ASSERT_EQ(chains.size(), 1u);
    EXPECT_EQ(chains[0].members.size(), c.members) << (c.installed ? c.installed : "none");
    EXPECT_EQ(missing, c.missing);
    EXPECT_EQ(chains[0].members.back().block, B({1, 2, 3, 4}));
  }
}

TEST(PresetFileTest, OneChainByNameIgnoringCase) {
  PresetRegistry r = SmallRegistry();
  std::vector<EffectChainPreset> chains = {{u"first", 0, {{0, 0, B({1, 2, 3, 4})}}},
                                           {u"Second", 1, {{0, 1, B({9, 9, 9})}}}};
  const std::string path = TempFile("chain.preset");
  ASSERT_EQ(WriteChainFile(path, r, chains), err::kOk);
  EffectChainPreset got;
  bool found = false;
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadOneChain(path, r, u"SECOND", &got, &found, &missing), err::kOk);
  ASSERT_TRUE(found);
  EXPECT_EQ(got.flag, 1u);
  EXPECT_EQ(got.members[0].block, B({9, 9, 9}));
  ASSERT_EQ(ReadOneChain(path, r, u"third", &got, &found, &missing), err::kOk);
  EXPECT_FALSE(found);
}

// Damage anywhere: every prefix of the golden file, a wrong code, absurd
// counts and sizes. Nothing crashes, nothing is allocated beyond the file,
// and what came before the damage stays loaded.
TEST(PresetFileTest, DamagedFiles) {
  const std::vector<std::uint8_t> golden = GoldenPresets();
  const std::string path = TempFile("tide.preset");
  for (std::size_t n = 0; n < golden.size(); ++n) {
    Put(path, {golden.begin(), golden.begin() + static_cast<std::ptrdiff_t>(n)});
    PresetRegistry r = SmallRegistry();
    std::uint32_t missing = 0;
    // Shorter than the header: a foreign file, nothing loaded.
    EXPECT_EQ(ReadPresetFile(path, r, &missing), n < 20 ? err::kOk : err::kReadFailed) << n;
    if (n > 0) {
      EXPECT_EQ(Get(PresetBackupPath(path)).size(), n) << n;
    }
  }
  struct Patch {
    const char* name;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
    Error expected;
    std::size_t alpha_presets, beta_presets;  // loaded before the damage
  };
  const std::size_t first_psls = 20 + 8 + 12 + 4 + 12 + 12 + 4 + 12 + 4 + 12 + 8 + 8;  // after "pslc"
  const std::size_t beta_psls = first_psls + 12 + (12 + 8 + 8) * 2;
  const Patch patches[] = {
      {"wrong magic", 0, {'T'}, err::kOk, 0, 0},
      {"wrong kind", 16, {'c', 'h', 'p', 's'}, err::kOk, 0, 0},
      {"huge map count", 24, {0xFF, 0xFF, 0xFF, 0xFF}, err::kReadFailed, 0, 0},
      {"huge map size", 36, {0xFF, 0xFF, 0xFF, 0x7F}, err::kReadFailed, 0, 0},
      {"huge list count", first_psls - 4, {0xFF, 0xFF, 0xFF, 0xFF}, err::kReadFailed, 2, 1},
      {"huge preset count", first_psls + 8, {0xFF, 0xFF, 0xFF, 0xFF}, err::kReadFailed, 2, 0},
      {"huge name length", first_psls + 16, {0xFF, 0xFF, 0xFF, 0xFF}, err::kReadFailed, 0, 0},
      {"huge block size", first_psls + 20, {0xFF, 0xFF, 0xFF, 0xFF}, err::kReadFailed, 0, 0},
      {"wrong record code", beta_psls, {'x'}, err::kReadFailed, 2, 0},
  };
  for (const Patch& p : patches) {
    std::vector<std::uint8_t> bad = golden;
    std::copy(p.bytes.begin(), p.bytes.end(), bad.begin() + static_cast<std::ptrdiff_t>(p.offset));
    Put(path, bad);
    PresetRegistry r = SmallRegistry();
    std::uint32_t missing = 0;
    std::remove(PresetBackupPath(path).c_str());
    EXPECT_EQ(ReadPresetFile(path, r, &missing), p.expected) << p.name;
    // Whatever could not be read whole survives the next save as the ".bak" copy.
    EXPECT_EQ(Get(PresetBackupPath(path)), bad) << p.name;
    EXPECT_EQ(r.slots[0][0].presets.size(), p.alpha_presets) << p.name;
    EXPECT_EQ(r.slots[0][1].presets.size(), p.beta_presets) << p.name;
  }
  PresetRegistry r = SmallRegistry();
  std::uint32_t missing = 0;
  EXPECT_EQ(ReadPresetFile(TempFile("absent.preset"), r, &missing), err::kOk);
  // A file that is there but cannot be opened is not an empty one.
  Put(path, golden);
  const fault::ScopedFault refused(fault::FaultRule::FailNth(fault::kOpen, 1, EACCES));
  EXPECT_EQ(ReadPresetFile(path, r, &missing), err::kReadFailed);
}

// A write failing at any step (creating, any record, the patch, the sync,
// the rename) leaves the old file byte for byte and no temporary file.
TEST(PresetFileTest, FailedSaveLeavesTheOldFile) {
  const std::string folder = testing::MakeTempDir("presets");
  const std::string path = folder + "/tide.preset";
  Put(path, GoldenPresets(false));
  PresetRegistry r = SmallRegistry();
  r.slots[0][0].presets.push_back({u"x", B({1, 2, 3, 4}), false});
  const auto runs = fault::ForEachFaultPoint(
      fault::kOpen | fault::kWrite | fault::kFsync | fault::kRename, ENOSPC, [&](const fault::ScopedFault& f) {
        const Error rc = WritePresetFile(path, r, kPresetSlots);
        if (!f.fired()) return;
        // After the rename only the folder's sync can fail: the new file
        // is in place by then.
        if (rc == err::kOk) {
          EXPECT_NE(Get(path), GoldenPresets(false)) << f.rule().nth;
        } else {
          EXPECT_TRUE(rc == err::kCreateFailed || rc == err::kWriteFailed) << f.rule().nth << ": " << rc.code();
          EXPECT_EQ(Get(path), GoldenPresets(false)) << f.rule().nth;
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << f.rule().nth;
      });
  EXPECT_GE(runs, 20u);
  PresetRegistry back = SmallRegistry();
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadPresetFile(path, back, &missing), err::kOk);
  EXPECT_EQ(back.slots[0][0].presets.size(), 1u);
}

TEST(PresetFileTest, SlotsAndCanonicalIdentifiers) {
  struct {
    std::uint16_t kind;
    std::uint32_t slot;
  } slots[] = {{0, 0}, {1, 1}, {2, 2}, {0x8000, 3}, {0x8001, 4}, {3, 3}};
  for (const auto& s : slots) EXPECT_EQ(PresetSlotOfKind(s.kind), s.slot) << s.kind;
  struct {
    const char* in;
    const char* out;
  } ids[] = {{"{abcdef01-2345-6789-abcd-ef0123456789}", "{ABCDEF01-2345-6789-ABCD-EF0123456789}"},
             {"abcdef01-2345-6789-abcd-ef0123456789", "{ABCDEF01-2345-6789-ABCD-EF0123456789}"},
             {"abcdef01-2345-6789-abcd-ef012345678g", "abcdef01-2345-6789-abcd-ef012345678g"},
             {"Volume", "Volume"}};
  for (const auto& id : ids) EXPECT_EQ(CanonicalClassId(id.in), id.out) << id.in;
}

}  // namespace
}  // namespace tidemark
