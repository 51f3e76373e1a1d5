// Effect chains against the same effects run one after another: equal
// samples, one undo step, alignment despite a member's latency, the
// channel converter for a mono document, and each refusal's code.
#include "effects/presets/effect_chain_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "config/error_codes.h"
#include "effects/framework/effect_entry.h"
#include "effects/framework/effect_registry.h"
#include "effects/presets/preset_store.h"
#include "tests/effects/level/level_fixture.h"

namespace tidemark {
namespace {

SettingsBlock Defaults(std::string_view key) {
  return DefaultBlock(*EffectRegistry::FindByKey(key)->GetSettingsLayout());
}

ChainMember Member(std::string_view key, SettingsBlock block) {
  ChainMember m;
  m.index = static_cast<std::uint16_t>(EffectRegistry::FindByKey(key)->GetCommandId() - kFirstEffectCommand);
  m.block = std::move(block);
  return m;
}

class EffectChainTest : public testing::LevelEffectTest {
 protected:
  // Runs each member through its own Execute, as a user would in turn.
  void RunOneByOne(const EffectChainPreset& chain) {
    for (const ChainMember& m : chain.members) {
      CEffEntry& entry = EntryNamed(registry_.slots[0][m.index].identifier);
      testing::StubDialog dialog(m.block.empty() ? std::nullopt : std::optional<SettingsBlock>(m.block));
      ScopedSettingsDialog installed(&dialog);
      ASSERT_EQ(entry.Execute(doc_.get()), err::kOk) << entry.GetKeyName();
    }
  }

  PresetRegistry registry_ = BuildProgramRegistry();
  std::string failed_;
  std::vector<std::string> stages_;
};

TEST_F(EffectChainTest, ChainEqualsItsMembersRunOneAfterAnother) {
  const struct {
    const char* name;
    std::uint16_t channels;
    std::uint32_t from, to;  // the selection
    EffectChainPreset chain;
  } cases[] = {
      {"volume fade mid-side",
       2, 1000, 140000,
       {u"c", 0,
        {Member("Volume", testing::BlockBytes(2).I16(0, -600)), Member("Fade", testing::BlockBytes(2).I16(0, 3)),
         Member("MidSide", {})}}},
      // The limiter's look-ahead delays its output; the chain stays aligned.
      // Up to the document's end: the look-ahead past a selection reads
      // samples one by one leaves unboosted and a chain boosts.
      {"volume limiter volume",
       2, 0, 150000,
       {u"c", 0,
        {Member("Volume", testing::BlockBytes(2).I16(0, 900)), Member("Limiter", Defaults("Limiter")),
         Member("Volume", testing::BlockBytes(2).I16(0, -300))}}},
      {"mono kept mono", 1, 0, 150000, {u"c", 1, {Member("Fade", testing::BlockBytes(2).I16(0, 1)), Member("Limiter", Defaults("Limiter"))}}},
  };
  for (const auto& c : cases) {
    const std::vector<float> x = testing::RandomSamples(std::size_t{150000} * c.channels, 21, 0.6f);
    Open(x, c.channels);
    testing::Select(*doc_, c.from, c.to);
    RunOneByOne(c.chain);
    const std::vector<float> expected = testing::ReadAll(*doc_);
    Open(x, c.channels);
    testing::Select(*doc_, c.from, c.to);
    ASSERT_EQ(RunEffectChain(*doc_, registry_, c.chain, &failed_, &stages_), err::kOk) << c.name;
    EXPECT_EQ(testing::ReadAll(*doc_), expected) << c.name;
    EXPECT_EQ(doc_->history.size(), 1u) << c.name;
    EXPECT_EQ(stages_.size(), c.chain.members.size()) << c.name << ": no converter needed";
  }
}

// Below the limiter's ceiling the chain is a plain gain: any misalignment
// would show as a shift against the input.
TEST_F(EffectChainTest, MemberLatencyIsCompensated) {
  CEffEntry& limiter = EntryNamed("Limiter");
  const std::vector<float> x = testing::RandomSamples(2 * 60000, 5, 0.25f);
  Open(x, 2);
  CEffEntry::SetupParamsPtr params;
  ASSERT_EQ(limiter.CreateSetupParams(doc_.get(), 2, &params), err::kOk);
  SettingsBlock block = Defaults("Limiter");
  auto& chainable = dynamic_cast<CEffChain_Std&>(limiter);
  ASSERT_EQ(chainable.SetupQuiet(nullptr, *params, block), err::kOk);
  ChainNodePtr node;
  ASSERT_EQ(chainable.CreateChainNode(*params, &node), err::kOk);
  ASSERT_GT(node->run->GetLatency(), 0u) << "the test needs a member with latency";

  const EffectChainPreset chain{u"c", 0, {Member("Limiter", Defaults("Limiter")), Member("Limiter", Defaults("Limiter"))}};
  ASSERT_EQ(RunEffectChain(*doc_, registry_, chain, &failed_), err::kOk);
  const std::vector<float> y = testing::ReadAll(*doc_);
  ASSERT_EQ(y.size(), x.size());
  for (std::size_t i = 0; i < x.size(); ++i) ASSERT_NEAR(y[i], x[i], 1e-6f) << i;
}

// A non-finite sample stays where it is: the members after it and the
// frames after it see no trace of it.
TEST_F(EffectChainTest, NonFiniteSamplesDoNotSpread) {
  std::vector<float> x = testing::RandomSamples(2 * 40000, 12, 0.3f);
  x[2 * 1000] = std::numeric_limits<float>::quiet_NaN();
  x[2 * 2000 + 1] = std::numeric_limits<float>::infinity();
  Open(x, 2);
  const EffectChainPreset chain{u"c", 0, {Member("Volume", testing::BlockBytes(2).I16(0, -600)),
                                          Member("Limiter", Defaults("Limiter")), Member("MidSide", {})}};
  ASSERT_EQ(RunEffectChain(*doc_, registry_, chain, &failed_), err::kOk);
  const std::vector<float> y = testing::ReadAll(*doc_);
  std::size_t non_finite = 0;
  for (float v : y) non_finite += std::isfinite(v) ? 0 : 1;
  // Mid-side mixes the two channels of a frame: at most both of each.
  EXPECT_LE(non_finite, 4u);
}

TEST_F(EffectChainTest, MonoDocumentBecomesStereoThroughTheConverter) {
  const std::vector<float> x = testing::RandomSamples(30000, 9, 0.5f);
  std::vector<float> doubled;
  for (float v : x) doubled.insert(doubled.end(), {v, v});
  const EffectChainPreset chain{u"c", 0, {Member("Volume", testing::BlockBytes(2).I16(0, -600)), Member("Pan", Defaults("Pan"))}};
  Open(doubled, 2);
  RunOneByOne(chain);
  const std::vector<float> expected = testing::ReadAll(*doc_);
  Open(x, 1);
  ASSERT_EQ(RunEffectChain(*doc_, registry_, chain, &failed_, &stages_), err::kOk);
  ASSERT_EQ(doc_->channels, 2u);
  ASSERT_EQ(stages_.size(), 3u);
  EXPECT_EQ(stages_[0], kChannelConverterName);
  EXPECT_EQ(testing::ReadAll(*doc_), expected);
  EXPECT_EQ(doc_->history.size(), 1u);
  // The converter's own rule both ways.
  float buffer[6] = {1, 2, 3, 0, 0, 0};
  ConvertChannels(buffer, 3, 1, 2);
  EXPECT_EQ(std::vector<float>(buffer, buffer + 6), (std::vector<float>{1, 1, 2, 2, 3, 3}));
  float pairs[4] = {1, 3, -2, 4};
  ConvertChannels(pairs, 2, 2, 1);
  EXPECT_EQ(pairs[0], 2.0f);
  EXPECT_EQ(pairs[1], 1.0f);
}

// One run under one progress display: a cancel at its first question
// leaves the document and its history as they were.
TEST_F(EffectChainTest, CancelLeavesTheDocument) {
  const std::vector<float> x = testing::RandomSamples(2 * 300000, 2, 0.5f);
  Open(x, 2);
  testing::TestDisplay display(0);
  SetProgressDisplay(&display);
  const EffectChainPreset chain{u"c", 0, {Member("Volume", testing::BlockBytes(2).I16(0, -600)), Member("MidSide", {})}};
  EXPECT_EQ(RunEffectChain(*doc_, registry_, chain, &failed_), err::kCancelled);
  EXPECT_EQ(display.asked.load(), 1);
  EXPECT_EQ(testing::ReadAll(*doc_), x);
  EXPECT_EQ(doc_->history.size(), 0u);
  EXPECT_EQ(WorkFiles(), 0u);
}

TEST_F(EffectChainTest, RefusalsLeaveTheDocumentAlone) {
  const std::string path = testing::MakeTempDir("chains") + "/chain.preset";
  const std::vector<EffectChainPreset> stored = {
      {u"Good", 0, {Member("Volume", testing::BlockBytes(2).I16(0, -600))}},
      {u"Unchainable", 0, {Member("Volume", {}), Member("Normalize", Defaults("Normalize"))}},
  };
  ASSERT_EQ(WriteChainFile(path, registry_, stored), err::kOk);
  const std::string damaged = path + ".damaged";
  {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    bytes[bytes.find("chpc")] = 'x';
    std::ofstream(damaged, std::ios::binary) << bytes;
  }
  const struct {
    const char* name;
    std::uint16_t channels;
    bool select;
    const std::string* file;
    std::u16string chain;
    Error expected;
  } cases[] = {
      {"no selection", 2, false, &path, u"good", err::kNoSelectionRaised},
      {"not found", 2, true, &path, u"absent", err::kEffectChainNotFound},
      {"unreadable", 2, true, &damaged, u"good", err::kEffectChainUnreadable},
      {"member fails", 2, true, &path, u"unchainable", err::kEffectChainFailed},
      // Documents of other channel counts cannot be made; the count is
      // faked for the call.
      {"three channels", 3, true, &path, u"good", kChainPipelineFailed},
  };
  for (const auto& c : cases) {
    const std::vector<float> x = testing::RandomSamples(std::size_t{5000} * 2, 3);
    Open(x, 2);
    if (!c.select) testing::Select(*doc_, 10, 10);
    failed_.clear();
    doc_->channels = c.channels;
    EXPECT_EQ(ApplyEffectChain(*doc_, registry_, *c.file, c.chain, &failed_), c.expected) << c.name;
    doc_->channels = 2;
    EXPECT_EQ(testing::ReadAll(*doc_), x) << c.name;
    EXPECT_EQ(doc_->history.size(), 0u) << c.name;
    EXPECT_EQ(failed_, c.expected == err::kEffectChainFailed ? MenuLabel(EntryNamed("Normalize")) : "") << c.name;
  }
}

}  // namespace
}  // namespace tidemark
