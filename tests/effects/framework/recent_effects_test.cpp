// The recently used effects: most recent first, at most five, an effect
// used again moves to the front; saved as "kind,key" texts and restored
// through the registry, unresolved texts dropped; kept in the settings file.
#include "effects/framework/recent_effects.h"

#include <gtest/gtest.h>

#include <vector>

#include "config/settings.h"
#include "effects/framework/effect_registry.h"
#include "tests/support/hermetic_env.h"

namespace tidemark {
namespace {

using Commands = std::vector<std::uint32_t>;

Commands Of(const RecentEffects& list) { return {list.commands().begin(), list.commands().end()}; }

TEST(RecentEffects, UsesMoveToTheFrontAndFiveAreKept) {
  struct Case {
    const char* name;
    Commands uses;
    Commands list;
  };
  const Case cases[] = {
      {"none", {}, {}},
      {"one", {301}, {301}},
      {"used again moves up", {301, 302, 301}, {301, 302}},
      {"the same twice", {305, 305}, {305}},
      {"five", {300, 301, 302, 303, 304}, {304, 303, 302, 301, 300}},
      {"six keep five", {300, 301, 302, 303, 304, 305}, {305, 304, 303, 302, 301}},
      {"oldest of five used again", {300, 301, 302, 303, 304, 300}, {300, 304, 303, 302, 301}},
      {"middle used again", {300, 301, 302, 303, 304, 302}, {302, 304, 303, 301, 300}},
      {"plug-in numbers too", {330, 301, 430}, {430, 301, 330}},
  };
  for (const Case& c : cases) {
    RecentEffects list;
    for (const std::uint32_t command : c.uses) list.Use(command);
    EXPECT_EQ(Of(list), c.list) << c.name;
  }
}

TEST(RecentEffects, RemovingAPlugInKindClosesUp) {
  RecentEffects list;
  for (const std::uint32_t command : {330u, 301u, 430u, 427u, 428u}) list.Use(command);
  list.RemoveKind(EntryKind::kVst3);
  EXPECT_EQ(Of(list), (Commands{428, 430, 301}));
  list.RemoveKind(EntryKind::kDirectX);
  EXPECT_EQ(Of(list), (Commands{301}));
}

TEST(RecentEffects, SavedAsKindCommaKeyName) {
  CEffEntry* volume = EffectRegistry::Find(301);
  ASSERT_NE(volume, nullptr);
  RecentEffects list;
  // Numbers without an entry in this build (plug-ins, effects not built)
  // have no text.
  for (const std::uint32_t command : {330u, 301u, 431u}) list.Use(command);
  EXPECT_EQ(list.Save(), (std::vector<std::string>{"0,Volume"}));
  list.Use(*volume);
  EXPECT_EQ(Of(list).front(), 301u);
}

TEST(RecentEffects, RestoreResolvesKindZeroByKeyAndDropsTheRest) {
  ASSERT_NE(EffectRegistry::Find(301), nullptr);
  struct Case {
    const char* name;
    std::vector<std::string> texts;
    Commands list;
  };
  const Case cases[] = {
      {"one", {"0,Volume"}, {301}},
      {"unknown key dropped, the rest closed up", {"0,Bogus", "0,Volume"}, {301}},
      {"key names are exact", {"0,volume"}, {}},
      {"plug-in kinds have no host here", {"1,Volume", "2,Volume"}, {}},
      {"no comma", {"0Volume"}, {}},
      {"no kind", {",Volume"}, {}},
      {"kind not a number", {"x,Volume", "0x0,Volume"}, {}},
      {"empty texts", {"", "0,"}, {}},
      {"a repeat is dropped", {"0,Volume", "0,Volume"}, {301}},
      {"nothing", {}, {}},
  };
  for (const Case& c : cases) {
    RecentEffects list;
    list.Use(302);
    list.Restore(c.texts);
    EXPECT_EQ(Of(list), c.list) << c.name;
  }
}

// Every installed entry survives a save and restore in its place.
TEST(RecentEffects, SaveAndRestoreGiveTheSameList) {
  RecentEffects list;
  for (CEffEntry* entry : EffectRegistry::Entries())
    if (entry) list.Use(*entry);
  RecentEffects restored;
  restored.Restore(list.Save());
  EXPECT_EQ(Of(restored), Of(list));
  EXPECT_FALSE(Of(list).empty());
}

TEST(RecentEffects, KeptInTheSettingsFileUnderTheEffectPopupMenu) {
  RecentEffects list;
  list.Use(301);
  Settings settings;
  list.SaveTo(settings);
  EXPECT_EQ(settings.effect_popup_menu, (std::vector<std::string>{"0,Volume"}));
  const std::string path = testing::MakeTempDir("recent") + "/tide.ini";
  ASSERT_EQ(SaveSettingsTo(path, settings), 0u);
  Settings loaded;
  ASSERT_EQ(LoadSettingsFrom(path, &loaded), 0u);
  RecentEffects restored;
  restored.Use(300);
  restored.RestoreFrom(loaded);
  EXPECT_EQ(Of(restored), (Commands{301}));
}

TEST(RecentEffects, CommandKinds) {
  struct Case {
    std::uint32_t command;
    bool known;
    EntryKind kind;
  };
  const Case cases[] = {
      {299, false, {}}, {300, true, EntryKind::kBuiltIn}, {327, true, EntryKind::kBuiltIn},
      {328, true, EntryKind::kVst3}, {427, true, EntryKind::kVst3}, {428, true, EntryKind::kDirectX},
      {527, true, EntryKind::kDirectX}, {528, false, {}},
  };
  for (const Case& c : cases) {
    EntryKind kind{};
    EXPECT_EQ(EffectCommandKind(c.command, &kind), c.known) << c.command;
    if (c.known) {
      EXPECT_EQ(kind, c.kind) << c.command;
    }
  }
}

}  // namespace
}  // namespace tidemark
