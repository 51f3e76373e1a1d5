// The registry against the table of the 28 built-in effects, typed in here
// row by row; the menu-label rule; the numbers that name no effect; lookup
// by key name and number; which effects a document is offered.
#include "effects/framework/effect_registry.h"

#include <gtest/gtest.h>

#include <string_view>

#include "effects/framework/effect_entry.h"
#include "tests/effects/effect_test_util.h"

namespace tidemark {
namespace {

struct Row {
  std::uint32_t command;
  std::string_view name_space, key, text_key;
  std::uint32_t channel_support;
  bool dialog, chainable;
};

// As the design lists them.
constexpr Row kTable[] = {
    {300, "NS_EFFECT_MAXIMIZE", "Normalize", "effect/normalize", 5, true, false},
    {301, "NS_EFFECT_VOLUME", "Volume", "effect/volume", 5, true, true},
    {302, "NS_EFFECT_LIMITER", "Limiter", "effect/limiter", 5, true, true},
    {303, "NS_EFFECT_COMPRESS", "Compress", "effect/compress", 5, true, true},
    {304, "NS_EFFECT_FADE", "Fade", "effect/fade", 7, true, true},
    {305, "NS_EFFECT_GEQ", "GraphicEQ", "effect/graphiceq", 5, true, true},
    {306, "NS_EFFECT_PEQ", "ParametricEQ", "effect/parametriceq", 5, true, true},
    {307, "NS_EFFECT_HLPLPF", "LowpassHighpass", "effect/lowpasshighpass", 5, true, true},
    {308, "NS_EFFECT_USERIIR", "IIRFilter", "effect/iirfilter", 5, true, true},
    {309, "NS_EFFECT_REVERB", "Reverb", "effect/reverb", 6, true, true},
    {310, "NS_EFFECT_FIRFILE", "FIRFilter", "effect/firfile", 7, true, true},
    {311, "NS_EFFECT_FIRPLOT", "PlotFIR", "effect/plotfir", 5, true, true},
    {312, "NS_EFFECT_DELAY", "Delay", "effect/delay", 5, true, true},
    {313, "NS_EFFECT_PAN", "Pan", "effect/pan", 6, true, true},
    {314, "NS_EFFECT_DOPPLER", "Doppler", "effect/doppler", 6, true, false},
    {315, "NS_EFFECT_VOPITCH", "VoicePitch", "effect/voicepitch", 5, true, false},
    {316, "NS_EFFECT_HISS", "HissReduction", "effect/hissreduction", 5, true, true},
    {317, "NS_EFFECT_DECLICK", "ClickRemoval", "effect/clickremoval", 5, true, true},
    {318, "NS_EFFECT_PITCHCHG", "PitchChange", "effect/pitchchange", 5, true, false},
    {319, "NS_EFFECT_SILENCE", "Silence", "effect/silence", 5, false, false},
    {320, "NS_EFFECT_OFFSET", "Offset", "effect/offset", 5, true, false},
    {321, "NS_EFFECT_SIGNREV", "SignReverse", "effect/signreverse", 5, false, false},
    {322, "NS_EFFECT_TIMEREV", "TimeReverse", "effect/timereverse", 5, false, false},
    {323, "NS_EFFECT_CHXCHG", "ChannelExchange", "effect/channelexchange", 4, false, true},
    {324, "NS_EFFECT_MIDSIDE", "MidSide", "effect/midside", 4, false, true},
    {325, "NS_EFFECT_GENSINE", "SineGenerator", "effect/sinegenerator", 5, true, true},
    {326, "NS_EFFECT_GENNOISE", "NoiseGenerator", "effect/noisegenerator", 5, true, true},
    {327, "NS_EFFECT_MONO", "MonoOutput", "effect/monooutput", 4, true, true},
};

// An entry over any row, for the rules that need one whatever this build
// has installed.
class RowEntry final : public CEffEntry {
 public:
  explicit RowEntry(std::uint32_t command, EntryKind kind = EntryKind::kBuiltIn, std::string prefix = {})
      : CEffEntry(command), kind_(kind), prefix_(std::move(prefix)) {}
  EntryKind GetKind() const override { return kind_; }
  std::string GetMenuPrefix() const override { return prefix_; }
  Error Execute(SoundDocument*) override { return Error(); }
  std::uint32_t support = 0xFF;  // 0xFF: the row's
  std::uint32_t GetChannelSupport() const override {
    return support == 0xFF ? CEffEntry::GetChannelSupport() : support;
  }

 private:
  EntryKind kind_;
  std::string prefix_;
};

TEST(EffectRegistry, RowsAgreeWithTheTable) {
  const auto rows = EffectDescriptions();
  ASSERT_EQ(rows.size(), std::size(kTable));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const EffectDescription& r = rows[i];
    const Row& t = kTable[i];
    SCOPED_TRACE(t.key);
    EXPECT_EQ(r.command, t.command);
    EXPECT_EQ(r.command, kFirstEffectCommand + i);
    EXPECT_EQ(r.name_space, t.name_space);
    EXPECT_EQ(r.key_name, t.key);
    EXPECT_EQ(r.text_key, t.text_key);
    EXPECT_EQ(r.channel_support, t.channel_support);
    EXPECT_EQ(r.has_dialog, t.dialog);
    EXPECT_EQ(r.chainable, t.chainable);
    EXPECT_EQ(DescribeEffect(t.command), &r);
  }
}

// Whatever this build installs must answer as its row says, and sit in the
// class tree as its row says (chainable entries have the chain face).
TEST(EffectRegistry, InstalledEntriesAnswerAsTheirRows) {
  std::size_t installed = 0;
  for (std::size_t i = 0; i < kBuiltInEffectCount; ++i) {
    CEffEntry* entry = EffectRegistry::Entries()[i];
    EXPECT_EQ(EffectRegistry::Find(kTable[i].command), entry);
    if (!entry) continue;
    ++installed;
    const Row& t = kTable[i];
    SCOPED_TRACE(t.key);
    EXPECT_EQ(entry->GetCommandId(), t.command);
    EXPECT_EQ(entry->GetKeyName(), t.key);
    EXPECT_EQ(entry->GetKind(), EntryKind::kBuiltIn);
    EXPECT_EQ(entry->GetMenuPrefix(), "");
    EXPECT_EQ(entry->GetChannelSupport(), t.channel_support);
    EXPECT_EQ(entry->HasSetupDialog(), t.dialog);
    EXPECT_EQ(entry->IsChainable(), t.chainable);
    EXPECT_EQ(dynamic_cast<CEffChain_Std*>(entry) != nullptr, t.chainable);
    EXPECT_FALSE(entry->GetDisplayName().empty());
    EXPECT_EQ(EffectRegistry::FindByKey(t.key), entry);
  }
  EXPECT_GE(installed, 1u);
  EXPECT_NE(EffectRegistry::Find(301), nullptr) << "Volume is always built";
}

TEST(EffectRegistry, NumbersOutsideTheBuiltInRowsNameNoEntry) {
  for (std::uint32_t n = 0; n < 300; n += 37) EXPECT_EQ(EffectRegistry::Find(n), nullptr) << n;
  // The plug-in ranges: VST3 328-427, DirectX 428-527; none on this platform.
  for (std::uint32_t n = 328; n <= 527; ++n) {
    EXPECT_EQ(EffectRegistry::Find(n), nullptr) << n;
    EXPECT_EQ(DescribeEffect(n), nullptr) << n;
  }
  for (const std::uint32_t n : {299u, 528u, 1000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(EffectRegistry::Find(n), nullptr) << n;
    EXPECT_EQ(DescribeEffect(n), nullptr) << n;
  }
}

TEST(EffectRegistry, FindByNameTakesKeyNamesInAnyCaseAndNumbers) {
  CEffEntry* volume = EffectRegistry::Find(301);
  ASSERT_NE(volume, nullptr);
  struct Case {
    std::string_view text;
    CEffEntry* want;
  };
  const Case cases[] = {
      {"Volume", volume},  {"volume", volume}, {"VOLUME", volume}, {"vOlUmE", volume}, {"301", volume},
      {"Volum", nullptr},  {"Volumes", nullptr}, {"", nullptr},    {" 301", nullptr},   {"301 ", nullptr},
      {"+301", nullptr},   {"-301", nullptr},  {"328", nullptr},   {"3O1", nullptr},    {"0,Volume", nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(EffectRegistry::FindByName(c.text), c.want) << '"' << c.text << '"';
  for (const Row& t : kTable) {
    EXPECT_EQ(EffectRegistry::FindByName(t.key), EffectRegistry::Find(t.command)) << t.key;
    EXPECT_EQ(EffectRegistry::FindByName(std::to_string(t.command)), EffectRegistry::Find(t.command));
  }
  // Lists and chains store the key exactly.
  EXPECT_EQ(EffectRegistry::FindByKey("Volume"), volume);
  EXPECT_EQ(EffectRegistry::FindByKey("volume"), nullptr);
}

TEST(EffectRegistry, MenuLabelIsPrefixNameAndDotsForADialog) {
  struct Case {
    std::uint32_t command;
    EntryKind kind;
    const char* prefix;
    bool dots;
  };
  const Case cases[] = {
      {301, EntryKind::kBuiltIn, "", true},     {319, EntryKind::kBuiltIn, "", false},
      {323, EntryKind::kBuiltIn, "", false},    {327, EntryKind::kBuiltIn, "", true},
      {312, EntryKind::kVst3, "VST ", true},    {321, EntryKind::kDirectX, "DX ", false},
  };
  for (const Case& c : cases) {
    const RowEntry entry(c.command, c.kind, c.prefix);
    const std::string name = entry.GetDisplayName();
    ASSERT_FALSE(name.empty());
    EXPECT_EQ(MenuLabel(entry), std::string(c.prefix) + name + (c.dots ? "..." : "")) << c.command;
  }
}

// --- offering ---

// The rule typed out: a mono document needs bit 0 or 1, a stereo one bit 2,
// any other channel count nothing.
bool Offered(std::uint32_t support, std::uint16_t channels) {
  if (channels == 1) return (support & 1) || (support & 2);
  if (channels == 2) return (support & 4) != 0;
  return false;
}

TEST(EffectOffering, ChannelSupportAgainstChannelCounts) {
  for (std::uint32_t support = 0; support < 8; ++support)
    for (const int channels : {0, 1, 2, 3, 8})
      EXPECT_EQ(ChannelsSupported(support, static_cast<std::uint16_t>(channels)),
                Offered(support, static_cast<std::uint16_t>(channels)))
          << "support " << support << ", " << channels << " channels";
}

TEST(EffectOffering, DocumentsWithASelectionAndTheRightChannels) {
  DocumentPtr mono = testing::MakeFloatDocument(std::vector<float>(100, 0.5f), 1);
  DocumentPtr stereo = testing::MakeFloatDocument(std::vector<float>(200, 0.5f), 2);
  DocumentPtr three = testing::MakeFloatDocument(std::vector<float>(200, 0.5f), 2);
  three->channels = 3;  // no file gives one; the rule must still refuse it
  for (SoundDocument* d : {mono.get(), stereo.get(), three.get()}) testing::Select(*d, 10, 50);
  for (std::uint32_t support = 0; support < 8; ++support) {
    RowEntry entry(301);
    entry.support = support;
    EXPECT_EQ(EffectOffered(entry, *mono), Offered(support, 1)) << support;
    EXPECT_EQ(EffectOffered(entry, *stereo), Offered(support, 2)) << support;
    EXPECT_FALSE(EffectOffered(entry, *three)) << support;
  }
  testing::Select(*stereo, 20, 20);
  EXPECT_FALSE(EffectOffered(RowEntry(301), *stereo)) << "offered without a selection";
}

}  // namespace
}  // namespace tidemark
