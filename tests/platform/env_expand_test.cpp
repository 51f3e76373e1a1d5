#include "platform/env_expand.h"

#include <gtest/gtest.h>

#include "tests/platform/env_override.h"

namespace tidemark {
namespace {

using testing::EnvOverride;

TEST(EnvExpand, ReplacesKnownNamesAndKeepsTheRest) {
  EnvOverride a("TIDEMARK_EXPAND_A", "alpha"), b("TIDEMARK_EXPAND_B", ""),
      gone("TIDEMARK_EXPAND_NOPE", nullptr);
  // B is set but empty; the first '%' pairs with the next one.
  for (const auto& [text, expanded] :
       {std::pair{"%TIDEMARK_EXPAND_A%/x/%TIDEMARK_EXPAND_A%", "alpha/x/alpha"}, {"[%TIDEMARK_EXPAND_B%]", "[]"},
        {"%TIDEMARK_EXPAND_NOPE%/x", "%TIDEMARK_EXPAND_NOPE%/x"}, {"100%", "100%"}, {"%%", "%%"}, {"a%%b", "a%%b"},
        {"50% of %TIDEMARK_EXPAND_A%", "50% of %TIDEMARK_EXPAND_A%"},
        {"%TIDEMARK_EXPAND_NOPE%%TIDEMARK_EXPAND_A%", "%TIDEMARK_EXPAND_NOPE%alpha"}, {"%A=B%", "%A=B%"}, {"", ""},
        {"plain", "plain"}})
    EXPECT_EQ(ExpandEnvironmentRefs(text), expanded) << text;
}

TEST(EnvExpand, TempFallsBackToTmpdirThenCacheThenHome) {
  EnvOverride temp("TEMP", nullptr), tmp("TMP", nullptr), tmpdir("TMPDIR", "/t/dir/"),
      cache("XDG_CACHE_HOME", "/c/cache"), home("HOME", "/h/home");
  EXPECT_EQ(TempFolder(), "/t/dir");
  EXPECT_EQ(ExpandEnvironmentRefs("%TEMP%/work"), "/t/dir/work");
  EXPECT_EQ(ExpandEnvironmentRefs("%TMP%"), "/t/dir");
  EXPECT_EQ(ExpandEnvironmentRefs("%temp%"), "/t/dir");
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(TempFolder(), "/c/cache");
  EXPECT_EQ(ExpandEnvironmentRefs("%TEMP%"), "/c/cache");
  unsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(TempFolder(), "/h/home/.cache");
  EXPECT_EQ(ExpandEnvironmentRefs("%TMP%/x"), "/h/home/.cache/x");
  // A variable that is set wins over the fallback.
  setenv("TEMP", "/set/temp", 1);
  EXPECT_EQ(ExpandEnvironmentRefs("%TEMP%|%TMP%"), "/set/temp|/h/home/.cache");
}

}  // namespace
}  // namespace tidemark
