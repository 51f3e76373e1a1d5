#include "app/effects_demo.h"

#include <cstdio>
#include <iostream>
#include <string_view>
#include <vector>

#include "app/console_effect_commands.h"
#include "app/console_session.h"
#include "app/console_startup.h"

namespace {

using namespace tidemark;

// One step of the demonstration: a console command, and the effect it
// needs (empty for none).
struct Step {
  std::string command;
  std::string_view effect;
};

}  // namespace

int RunEffectsDemo(const std::string& wave_path, const std::filesystem::path& out_dir) {
  console::LoadStartupTexts();
  const std::string saved = (out_dir / "demo-effects.wav").string();
  // Fade shape 1 is a fade-out; the block form names it without the
  // field's console name.
  const std::vector<Step> steps = {
      {"open " + wave_path, {}},
      {"select all", {}},
      {"effect volume gain=-3", "Volume"},
      {"select 0 0.5", {}},
      {"effect fade", "Fade"},
      {"select 1.5 2", {}},
      {"effect fade block=0100", "Fade"},
      {"select all", {}},
      {"effect lowpasshighpass design=butterworth kind=highpass cutoff=80 sections=2", "LowpassHighpass"},
      {"effect parametriceq f1=4000 g1=2 w1=1200", "ParametricEQ"},
      {"stats", {}},
      {"stats A", {}},
      {"history", {}},
      {"saveas " + saved + " Wave16", {}},
  };
  std::printf("\nEffects on the 16-bit test sound through the console editor's commands:\n");
  std::fflush(stdout);
  console::Session session(std::cout, std::cerr, false);
  int failures = 0;
  for (const Step& step : steps) {
    if (!step.effect.empty()) {
      const EffectDescription* row = console::EffectRowNamed(step.effect);
      if (!row || !console::ConsoleEffectEntry(*row)) {
        std::cout << "  (" << step.command << ": " << step.effect << " is not in this build yet)\n";
        continue;
      }
    }
    std::cout << "tidemark> " << step.command << std::endl;
    if (session.Execute(step.command) == console::Result::kFailed) ++failures;
    std::cout.flush();
  }
  std::cout << "Saved the result as " << saved << '\n';
  return failures;
}
