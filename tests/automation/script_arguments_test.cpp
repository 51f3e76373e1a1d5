#include "automation/script/script_arguments.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "automation/script/engine_lookup.h"

namespace tidemark::NS_SCRIPT {
namespace {

TEST(ScriptCommandLine, QuotedPathWithBlanksThenArguments) {
  const auto line = SplitCommandLine("  \"/tmp/my scripts/run.js\"   /out:x.wav a b");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->path, "/tmp/my scripts/run.js");
  const std::vector<std::string> args = SplitArguments(line->arguments);
  ASSERT_EQ(args, (std::vector<std::string>{"/out:x.wav", "a", "b"}));
  EXPECT_TRUE(IsNamedArgument(args[0]));
  EXPECT_FALSE(IsNamedArgument(args[1]));
  EXPECT_EQ(NamedArgumentValue(args, "out"), "x.wav");
}

TEST(ScriptCommandLine, EmptyPathsAreRefused) {
  EXPECT_FALSE(SplitCommandLine(""));
  EXPECT_FALSE(SplitCommandLine("   "));
  EXPECT_FALSE(SplitCommandLine("\"\" a b"));
  const auto plain = SplitCommandLine("run.js\"x y\"");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->path, "run.js");
  EXPECT_EQ(plain->arguments, "\"x y\"");
}

TEST(ScriptArguments, QuotesGroupBlanksAndAnOpenQuoteRunsToTheEnd) {
  EXPECT_EQ(SplitArguments("a \"b c\" d\"e f\"g"), (std::vector<std::string>{"a", "b c", "de fg"}));
  EXPECT_EQ(SplitArguments("x \"unbalanced y"), (std::vector<std::string>{"x", "unbalanced y"}));
  EXPECT_EQ(SplitArguments(" \t "), std::vector<std::string>{});
  EXPECT_EQ(SplitArguments("\"\""), std::vector<std::string>{""});
}

struct NamedCase {
  const char* arg;
  bool named;
};
class ScriptNamedRule : public ::testing::TestWithParam<NamedCase> {};
TEST_P(ScriptNamedRule, Classifies) { EXPECT_EQ(IsNamedArgument(GetParam().arg), GetParam().named) << GetParam().arg; }
INSTANTIATE_TEST_SUITE_P(
    Table, ScriptNamedRule,
    ::testing::Values(NamedCase{"/verbose", true}, NamedCase{"/out:x", true}, NamedCase{"/out:/tmp/x.wav", true},
                      NamedCase{"/:x", false}, NamedCase{"/", false}, NamedCase{"/tmp/a.wav", false},
                      NamedCase{"/a/b:c", false}, NamedCase{"out:x", false}, NamedCase{"", false}));

TEST(ScriptNamedArguments, ItemMatchesWholeNameIgnoringCaseAndNeedsAColon) {
  const std::vector<std::string> args = {"/tmp/in.wav", "/verbose", "/out:x.wav", "/OUT:second", "/output:y"};
  EXPECT_EQ(NamedArgumentValue(args, "OUT"), "x.wav");
  EXPECT_EQ(NamedArgumentValue(args, "output"), "y");
  EXPECT_FALSE(NamedArgumentValue(args, "ou"));
  EXPECT_FALSE(NamedArgumentValue(args, "verbose"));
  EXPECT_FALSE(NamedArgumentValue(args, ""));
  EXPECT_FALSE(NamedArgumentValue(args, "tmp"));
  EXPECT_TRUE(NamedArgumentExists(args, "Verbose"));
  EXPECT_TRUE(NamedArgumentExists(args, "out"));
  EXPECT_FALSE(NamedArgumentExists(args, "tmp"));
}

TEST(ScriptArguments, EnvironmentReferencesExpandAndUnknownOnesStay) {
  ::setenv("TM_SCRIPT_DIR", "/data", 1);
  ::unsetenv("TM_SCRIPT_NONE");
  EXPECT_EQ(ExpandEnvironment("/out:%TM_SCRIPT_DIR%/x %TM_SCRIPT_NONE% 50% %"),
            "/out:/data/x %TM_SCRIPT_NONE% 50% %");
  EXPECT_EQ(ExpandEnvironment("100%%TM_SCRIPT_DIR%"), "100%/data");
}

TEST(ScriptEngineLookup, FourStepsOverTheTableAndEnginesIni) {
  EngineTable table;
  EXPECT_TRUE(table.EngineFor("/x/a.js"));
  EXPECT_TRUE(table.EngineFor("A.JS"));
  EXPECT_FALSE(table.EngineFor("/x/a.vbs"));
  EXPECT_FALSE(table.EngineFor("/x.d/noext"));
  EXPECT_FALSE(table.EngineFor("/x/.js"));
  table.AddIniText(
      "[Extensions]\n.mjs = JSFile\n.vbs = VBSFile\n.lua = LuaFile\n"
      "[FileTypes]\nVBSFile = VBScript\nLuaFile = Lua\n"
      "[Engines]\nVBScript = {B54F3741-5B07-11CF-A4B0-00AA004A55E8}\nLua = not-a-guid\n");
  EXPECT_TRUE(table.EngineFor("m.mjs"));
  // A class that is not a parse engine, a bad identifier, a missing step.
  EXPECT_FALSE(table.EngineFor("v.vbs"));
  EXPECT_FALSE(table.EngineFor("l.lua"));
  table.AddIniText("[Extensions]\n.js = \n");
  EXPECT_FALSE(table.EngineFor("a.js"));
}

}  // namespace
}  // namespace tidemark::NS_SCRIPT
