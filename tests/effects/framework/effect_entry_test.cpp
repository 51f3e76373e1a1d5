// The entry interface: the common fields of new params, Setup writing the
// dialog's block back, the chain node around a run, the chain editor's
// description and the dialog's preview factory.
#include "effects/framework/effect_entry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "config/error_codes.h"
#include "effects/framework/effect_factory.h"
#include "effects/framework/effect_registry.h"
#include "platform/utf.h"
#include "tests/effects/framework/framework_test_util.h"

namespace tidemark {
namespace {

using testing::RandomSamples;


CEffEntry_Std& Volume() {
  CEffEntry* entry = EffectRegistry::Find(301);
  EXPECT_NE(entry, nullptr);
  return dynamic_cast<CEffEntry_Std&>(*entry);
}

// A dialog that sets the block's first 16-bit field.
class SettingDialog final : public SettingsDialog {
 public:
  explicit SettingDialog(std::int16_t value) : value_(value) {}
  Error Edit(CEffEntry&, const CEffEntry::SetupParams&, SettingsBlock& block) override {
    block.bytes.at(0) = static_cast<std::uint8_t>(value_);
    block.bytes.at(1) = static_cast<std::uint8_t>(static_cast<std::uint16_t>(value_) >> 8);
    return Error();
  }

 private:
  std::int16_t value_;
};

TEST(CreateSetupParams, CommonFieldsFromTheSelectionOrTheImposedCount) {
  struct Case {
    std::uint16_t channels;
    std::uint32_t selected;
    std::uint16_t forced;
    std::uint16_t in, out, mask;
    std::uint8_t forced_flag;
  };
  const Case cases[] = {
      {1, 1, 0, 1, 1, 1, 0},  {2, 3, 0, 2, 2, 3, 0}, {2, 1, 0, 2, 2, 1, 0}, {2, 2, 0, 2, 2, 2, 0},
      {1, 1, 2, 2, 2, 3, 1},  {2, 1, 2, 2, 2, 3, 1}, {2, 2, 1, 1, 1, 1, 1},
  };
  for (const Case& c : cases) {
    DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(std::size_t{1000} * c.channels, 1), c.channels);
    testing::Select(*doc, 100, 700);
    SetChannelMask(*doc, c.selected);
    CEffEntry::SetupParamsPtr params;
    ASSERT_EQ(Volume().CreateSetupParams(doc.get(), c.forced, &params), 0u);
    SCOPED_TRACE(std::to_string(c.channels) + " channels, forced " + std::to_string(c.forced));
    EXPECT_EQ(params->target, doc.get());
    EXPECT_EQ(params->start, 100u);
    EXPECT_EQ(params->length, 600u);
    EXPECT_EQ(params->input_channels, c.in);
    EXPECT_EQ(params->output_channels, c.out);
    EXPECT_EQ(params->channel_mask, c.mask);
    EXPECT_EQ(params->channels_forced, c.forced_flag);
    EXPECT_EQ(params->ready, 0);
  }
}

TEST(EntrySetup, TheDialogsBlockIsWrittenBackAndQuietSetupKeepsReadyParams) {
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(200, 3), 2);
  testing::SelectAll(*doc);
  CEffEntry::SetupParamsPtr params;
  ASSERT_EQ(Volume().CreateSetupParams(doc.get(), 0, &params), 0u);
  SettingDialog dialog(-450);
  ScopedSettingsDialog installed(&dialog);
  SettingsBlock block;  // empty: the defaults are loaded first
  ASSERT_EQ(Volume().Setup(*params, block), 0u);
  EXPECT_EQ(block.bytes, (std::vector<std::uint8_t>{0x3E, 0xFE}));  // -450
  EXPECT_EQ(params->ready, 1);
  // Ready params are left alone, whatever the block says.
  SettingsBlock other{{0x00, 0x00}};
  ASSERT_EQ(Volume().SetupQuiet(nullptr, *params, other), 0u);
  EXPECT_EQ(other.bytes, (std::vector<std::uint8_t>{0x00, 0x00}));
  EffRunPtr run;
  ASSERT_EQ(Volume().CreateRun(nullptr, *params, &run), 0u);
  float sample[2] = {1.0f, 1.0f};
  ASSERT_EQ(run->Process(sample, 1, 2, 3), 0u);
  EXPECT_NEAR(sample[0], std::pow(10.0, -450.0 / 2000.0), 1e-6);
}

TEST(EntrySetup, NoMemoryForTheBlockIs2AndNothingChanges) {
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(200, 3), 2);
  testing::SelectAll(*doc);
  CEffEntry::SetupParamsPtr params;
  ASSERT_EQ(Volume().CreateSetupParams(doc.get(), 0, &params), 0u);
  SettingDialog dialog(-450);
  ScopedSettingsDialog installed(&dialog);
  for (const bool quiet : {false, true}) {
    SettingsBlock block;
    testing::FailNthAllocation(1);
    EXPECT_EQ(quiet ? Volume().SetupQuiet(nullptr, *params, block) : Volume().Setup(*params, block),
              err::kOutOfMemory);
    EXPECT_TRUE(testing::AllocationFailureFired());
    testing::FailNthAllocation(0);
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(params->ready, 0);
  }
}

// --- the chain node ---

struct NodeCase {
  const char* name;
  std::uint16_t forced;
  std::string run_name;
  std::string node_name;
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

const std::string kEmoji = "\xF0\x9F\x8E\xB5";  // two UTF-16 units

class ChainNodeTest : public ::testing::TestWithParam<NodeCase> {};

TEST_P(ChainNodeTest, CarriesRateChannelsMaskAndTheRunsNameCut) {
  const NodeCase& c = GetParam();
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(400, 4), 1, 48000);
  testing::Select(*doc, 10, 300);
  testing::TestEntry entry(312);
  entry.latency = 3;
  entry.run_name = c.run_name;
  CEffChain_Std& face = entry;
  CEffEntry::SetupParamsPtr params;
  ASSERT_EQ(entry.CreateSetupParams(doc.get(), c.forced, &params), 0u);
  ASSERT_EQ(face.SetupQuiet(nullptr, *params, entry.GetSettingsBlock()), 0u);
  ChainNodePtr node;
  ASSERT_EQ(face.CreateChainNode(*params, &node), 0u);
  EXPECT_EQ(node->rate, 48000u);
  EXPECT_EQ(node->input_channels, c.forced);
  EXPECT_EQ(node->output_channels, c.forced);
  EXPECT_EQ(node->channel_mask, c.forced == 1 ? 1 : 3);
  ASSERT_TRUE(node->run);
  EXPECT_EQ(node->run.get(), entry.last_run);
  EXPECT_EQ(node->run->GetLatency(), 3u);
  EXPECT_EQ(node->name, c.node_name);
  EXPECT_LE(Utf8ToUtf16(node->name).size(), 64u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChainNodeTest,
    ::testing::Values(NodeCase{"Short", 1, "Echo", "Echo"},
                      NodeCase{"Exactly64", 2, std::string(64, 'a'), std::string(64, 'a')},
                      NodeCase{"Long", 2, std::string(100, 'b'), std::string(64, 'b')},
                      NodeCase{"Pairs", 1, Repeat(kEmoji, 40), Repeat(kEmoji, 32)},
                      NodeCase{"PairAcrossTheEnd", 2, std::string(63, 'c') + kEmoji + "d", std::string(63, 'c')}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DescribeForChain, KeyStoreDefaultsAndTheChainFace) {
  CEffEntry& volume = Volume();
  CEffEntry::ChainDescription d;
  volume.DescribeForChain(&d);
  EXPECT_EQ(d.key_name, "Volume");
  EXPECT_EQ(d.store, &volume.GetSettingsStore());
  EXPECT_EQ(d.default_block.bytes, (std::vector<std::uint8_t>{0, 0}));
  EXPECT_EQ(d.default_size, 2u);
  EXPECT_EQ(d.chain, dynamic_cast<CEffChain*>(&volume));
  EXPECT_NE(d.chain, nullptr);

  testing::TestEntry not_chainable(300);  // Normalize's row: not chainable, no layout here
  not_chainable.DescribeForChain(&d);
  EXPECT_EQ(d.key_name, "Normalize");
  EXPECT_EQ(d.chain, nullptr);
  EXPECT_TRUE(d.default_block.empty());
  EXPECT_EQ(d.default_size, 0u);
}

// --- the dialog's preview ---

TEST(PreviewFactory, BuildsTheRunFromTheDialogsCurrentBlock) {
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(400, 5), 2);
  testing::Select(*doc, 0, 100);
  const SettingsBlock stored = Volume().GetSettingsBlock();
  struct Case {
    std::vector<std::uint8_t> block;
    double level;  // 0.01 dB, after clamping
  };
  const Case cases[] = {
      {{0xA8, 0xFD}, -600},        // -600
      {{0xD0, 0x07}, 1300},        // 2000, clamped
      {{}, 0},                     // empty: the default
      {{0x64, 0x00, 0x7F}, 100},   // longer: the extra byte unused
  };
  SettingsBlock dialog_block;
  CEffFactory_Std factory(Volume(), *doc, dialog_block);
  CEffFactory& base = factory;
  for (const Case& c : cases) {
    dialog_block.bytes = c.block;
    EffRunPtr run;
    ASSERT_EQ(base.CreatePreviewRun(&run), 0u);
    ASSERT_TRUE(run);
    float frame[2] = {0.5f, -0.25f};
    ASSERT_EQ(run->Process(frame, 1, 2, 3), 0u);
    const double gain = std::pow(10.0, c.level / 2000.0);
    EXPECT_NEAR(frame[0], 0.5 * gain, 1e-6) << c.level;
    EXPECT_NEAR(frame[1], -0.25 * gain, 1e-6) << c.level;
    EXPECT_EQ(dialog_block.bytes, c.block) << "the preview changed the dialog's block";
  }
  EXPECT_EQ(Volume().GetSettingsBlock(), stored) << "the preview changed the last-used block";
}

TEST(PreviewFactory, MakesTheEntrysOwnRun) {
  DocumentPtr doc = testing::MakeFloatDocument(RandomSamples(400, 6), 1);
  testing::TestEntry entry(312);
  entry.latency = 17;
  entry.run_name = "Preview me";
  const SettingsBlock block;
  CEffFactory_Std factory(entry, *doc, block);
  EffRunPtr run;
  ASSERT_EQ(factory.CreatePreviewRun(&run), 0u);
  EXPECT_EQ(run.get(), entry.last_run);
  EXPECT_EQ(run->GetName(), "Preview me");
  EXPECT_EQ(run->GetLatency(), 17u);
}

}  // namespace
}  // namespace tidemark
