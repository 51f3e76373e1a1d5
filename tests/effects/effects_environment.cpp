// Puts the effect registry in force before the first test of a binary that
// uses the effects, as the programs do at start-up. Linked in as an object
// file, so the registration below is never dropped by the linker.
#include <gtest/gtest.h>

#include "effects/framework/effect_registry.h"

namespace {

class EffectsEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override { tidemark::EffectRegistry::Install(); }
};

::testing::Environment* const kEffects = ::testing::AddGlobalTestEnvironment(new EffectsEnvironment);

}  // namespace
