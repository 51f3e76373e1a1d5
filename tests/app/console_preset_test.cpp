// The console's preset and chain commands: what they print, what reaches
// the files at once, what a later session reads, and the refusals that
// change nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/console_startup.h"
#include "config/settings_folder.h"
#include "effects/presets/preset_store.h"
#include "platform/fault_injection.h"
#include "platform/utf.h"
#include "tests/app/console_effect_test_util.h"

namespace tidemark {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class ConsolePresetTest : public testing::ConsoleEffect {
 protected:
  void SetUp() override {
    ConsoleEffect::SetUp();
    std::filesystem::remove(ConfigWritePath(kPresetFileName));
    std::filesystem::remove(ConfigWritePath(kChainFileName));
    std::uint32_t missing = 0;
    ASSERT_EQ(LoadProgramPresets(&missing), err::kOk);
  }
  std::vector<float> Samples() { return testing::RandomSamples(2 * 20000, 4, 0.4f); }
};

TEST_F(ConsolePresetTest, PresetsSaveUseAndDeleteThroughTheFile) {
  const std::vector<float> x = Samples();
  Adopt(x, 2);
  Done("effect Volume gain=-3");
  Done("preset save Volume Soft");
  Done("effect Volume gain=5");
  EXPECT_EQ(Done("preset list"), "Volume  \"Soft\"  2 bytes\n");
  EXPECT_EQ(Done("preset list volume"), "Volume  \"Soft\"  2 bytes\n");
  EXPECT_EQ(Done("preset list Fade"), "no presets\n");

  // A later session finds it in the file.
  ProgramPresets() = BuildProgramRegistry();
  std::uint32_t missing = 0;
  ASSERT_EQ(LoadProgramPresets(&missing), err::kOk);
  ASSERT_EQ(PresetsOf(*EffectRegistry::FindByKey("Volume"))->size(), 1u);

  Done("preset use Volume SOFT");
  EXPECT_EQ(testing::CurrentValue(Done("help effect Volume"), "gain"), "-3.00");
  Done("undo");
  Done("undo");
  Done("effect Volume gain=0");
  Done("effect Volume preset=soft");
  const float gain = std::pow(10.0f, -3.0f / 20.0f);
  const std::vector<float> y = testing::FloatSamples(*run_.session.active());
  for (std::size_t i = 0; i < x.size(); ++i) ASSERT_NEAR(y[i], x[i] * gain, 1e-4f) << i;

  // The same name in another case replaces it.
  Done("preset save Volume SOFT");
  EXPECT_EQ(Done("preset list"), "Volume  \"SOFT\"  2 bytes\n");
  Done("preset delete Volume soft");
  EXPECT_EQ(Done("preset list"), "no presets\n");
  ProgramPresets() = BuildProgramRegistry();
  ASSERT_EQ(LoadProgramPresets(&missing), err::kOk);
  EXPECT_TRUE(PresetsOf(*EffectRegistry::FindByKey("Volume"))->empty());
}

TEST_F(ConsolePresetTest, ChainsAreBuiltShownAndApplied) {
  const std::vector<float> x = Samples();
  Adopt(x, 2);
  Done("chain new Loud");
  Done("chain add loud Volume gain=6");
  Done("chain add loud MidSide");
  Done("chain add loud Volume block=A8FD");
  EXPECT_EQ(Done("chain show LOUD"), "\"Loud\"  mono no\n  1  Volume  block=5802\n  2  MidSide  block=\n"
                                     "  3  Volume  block=A8FD\n");
  Done("chain remove Loud 2");
  Done("chain new Other mono");
  EXPECT_EQ(Done("chain list"), "\"Loud\"  members 2  mono no\n\"Other\"  members 0  mono yes\n");
  Done("chain apply loud");
  // +6 dB then -6 dB, one undo step.
  const std::vector<float> y = testing::FloatSamples(*run_.session.active());
  for (std::size_t i = 0; i < x.size(); ++i) ASSERT_NEAR(y[i], x[i], 1e-4f) << i;
  EXPECT_EQ(run_.session.active()->history.size(), 1u);
  Done("chain delete other");
  EXPECT_EQ(Done("chain list"), "\"Loud\"  members 2  mono no\n");
  // Written at once: the file alone holds it.
  std::vector<EffectChainPreset> chains;
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadChainFile(ChainReadPath(), ProgramPresets(), &chains, &missing), err::kOk);
  ASSERT_EQ(chains.size(), 1u);
  EXPECT_EQ(chains[0].members.size(), 2u);
}

TEST_F(ConsolePresetTest, RefusalsChangeNothing) {
  Adopt(Samples(), 2);
  Done("chain new c");
  Done("chain add c Volume");
  Done("preset save Volume kept");
  const std::string presets = Slurp(ConfigWritePath(kPresetFileName));
  const std::string chains = Slurp(ConfigWritePath(kChainFileName));
  const struct {
    const char* line;
    const char* message;  // a part of the error line
  } cases[] = {
      {"preset save Silence x", "Silence"},
      {"preset use Volume absent", "no such preset"},
      {"preset delete Volume absent", "no such preset"},
      {"preset save NoSuchEffect x", "NoSuchEffect"},
      {"preset save Volume", "preset"},
      {"effect Volume preset=absent", "preset=absent"},
      {"chain add absent Volume", "absent"},
      {"chain add c Normalize", "Normalize"},
      {"chain add c Volume gain=99", "gain"},
      {"chain add c Volume block=ABC", "block=ABC"},
      {"chain remove c 2", "2"},
      {"chain remove c x", "chain"},
      {"chain show absent", "absent"},
      {"chain apply absent", "not found"},
      {"chain new c stereo", "chain"},
      {"chain frobnicate", "chain"},
  };
  const std::vector<float> before = testing::FloatSamples(*run_.session.active());
  for (const auto& c : cases) {
    EXPECT_NE(Execute(c.line), console::Result::kDone) << c.line;
    EXPECT_NE(Err().find(c.message), std::string::npos) << c.line;
    EXPECT_EQ(Slurp(ConfigWritePath(kPresetFileName)), presets) << c.line;
    EXPECT_EQ(Slurp(ConfigWritePath(kChainFileName)), chains) << c.line;
  }
  EXPECT_EQ(testing::FloatSamples(*run_.session.active()), before);
  EXPECT_EQ(run_.session.active()->history.size(), 0u);
  // A member that cannot be set up names itself after the chain error.
  std::vector<EffectChainPreset> stored;
  std::uint32_t missing = 0;
  ASSERT_EQ(ReadChainFile(ChainReadPath(), ProgramPresets(), &stored, &missing), err::kOk);
  stored[0].members.push_back({0, 0, {}});  // Normalize, never chainable
  ASSERT_EQ(WriteChainFile(ChainWritePath(), ProgramPresets(), stored), err::kOk);
  EXPECT_EQ(Execute("chain apply c"), console::Result::kFailed);
  EXPECT_NE(Err().find(MenuLabel(*EffectRegistry::FindByKey("Normalize"))), std::string::npos);
}

// The start-up load, also when the preset registry was made before the
// effects were installed: a short stored block is completed from the
// effect's defaults.
TEST_F(ConsolePresetTest, StartupLoadCompletesShortBlocks) {
  PresetRegistry written = BuildProgramRegistry();
  CEffEntry& volume = *EffectRegistry::FindByKey("Volume");
  PresetsOf(volume);  // the program's registry exists from here on
  const std::size_t row = volume.GetCommandId() - kFirstEffectCommand;
  written.slots[0][row].presets.push_back({u"short", SettingsBlock{{0x58}}, false});
  ASSERT_EQ(WritePresetFile(ConfigWritePath(kPresetFileName), written, 1), err::kOk);
  for (PresetEntry& entry : ProgramPresets().slots[0]) entry.defaults = {};
  console::LoadStartupPresets();
  const std::vector<Preset>& got = *PresetsOf(volume);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].block.bytes, (std::vector<std::uint8_t>{0x58, 0x00}));
}

// A settings folder that refuses new files (as a read-only one does) or a
// disk that fills: a clear error, the old files and the presets in memory
// as they were.
TEST_F(ConsolePresetTest, UnwritableSettingsFolderLosesNothing) {
  Adopt(Samples(), 2);
  Done("preset save Volume kept");
  Done("chain new c");
  const std::string presets = Slurp(ConfigWritePath(kPresetFileName));
  const std::string chains = Slurp(ConfigWritePath(kChainFileName));
  const struct {
    const char* name;
    fault::FaultRule rule;
  } faults[] = {{"read-only folder", fault::FaultRule::FailNth(fault::kOpen, 1, EACCES).Sticky()},
                {"disk full", fault::FaultRule::DiskFullAt(60)}};
  for (const auto& f : faults) {
    const fault::ScopedFault fault(f.rule);
    EXPECT_EQ(Execute("preset save Volume other"), console::Result::kFailed) << f.name;
    EXPECT_NE(Err().find("tide.preset"), std::string::npos) << f.name;
    EXPECT_EQ(Execute("chain add c Volume"), console::Result::kFailed) << f.name;
    EXPECT_NE(Err().find("chain.preset"), std::string::npos) << f.name;
  }
  EXPECT_EQ(Slurp(ConfigWritePath(kPresetFileName)), presets);
  EXPECT_EQ(Slurp(ConfigWritePath(kChainFileName)), chains);
  EXPECT_EQ(Done("preset list"), "Volume  \"kept\"  2 bytes\n");
  std::size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(SettingsFolder())) files += e.is_regular_file();
  EXPECT_EQ(files, 2u) << "a temporary file was left";
}

}  // namespace
}  // namespace tidemark
