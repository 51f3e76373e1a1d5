// Arbitrary bytes as a preset or chain file (the first byte picks which and
// how the reader's registry differs from the writer's): reading must stay
// inside its buffers and allocate no more than the file holds, and what it
// loads must survive being written and read again unchanged.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "effects/presets/preset_file.h"
#include "platform/error_numbers.h"

using namespace tidemark;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

SettingsBlock Block(std::size_t n, std::uint8_t fill) { return SettingsBlock{std::vector<std::uint8_t>(n, fill)}; }

// Two effects, a DirectX plug-in and an encoder registration; `variant`
// reorders them and changes a block size, as a later program might.
PresetRegistry Registry(std::uint8_t variant) {
  PresetRegistry r;
  r.slots[0].push_back({"Volume", Block(2, 0x11), true, {}});
  r.slots[0].push_back({"Fade", Block(variant & 2 ? 10 : 2, 0x22), true, {}});
  if (variant & 4) std::swap(r.slots[0][0], r.slots[0][1]);
  r.slots[2].push_back({"{12345678-9ABC-DEF0-1234-56789ABCDEF0}", Block(3, 0x33), (variant & 8) == 0, {}});
  r.slots[3].push_back({"FLACEncode", Block(16, 0), true, {}});
  return r;
}

std::string TempPath() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_preset_" + std::to_string(::getpid()) + ".preset";
}

void Put(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
}

bool SameLists(const PresetRegistry& a, const PresetRegistry& b) {
  for (std::size_t s = 0; s < kPresetSlotCount; ++s)
    for (std::size_t e = 0; e < a.slots[s].size(); ++e) {
      const auto& x = a.slots[s][e].presets;
      const auto& y = b.slots[s][e].presets;
      if (x.size() != y.size()) return false;
      for (std::size_t i = 0; i < x.size(); ++i)
        if (x[i].name != y[i].name || x[i].block != y[i].block) return false;
    }
  return true;
}

bool SameChains(const std::vector<EffectChainPreset>& a, const std::vector<EffectChainPreset>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].flag != b[i].flag || a[i].members.size() != b[i].members.size()) return false;
    for (std::size_t m = 0; m < a[i].members.size(); ++m)
      if (a[i].members[m].index != b[i].members[m].index || a[i].members[m].block != b[i].members[m].block)
        return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const std::uint8_t variant = data[0];
  const std::string path = TempPath();
  const std::string again = path + ".again";
  Put(path, data + 1, size - 1);
  // The round trip syncs a file to disk: only for inputs small enough that
  // it cannot dominate the running time the large ones are there to test.
  const bool round_trip = size <= (1u << 16);
  std::uint32_t missing = 0;
  if (variant & 1) {
    const PresetRegistry registry = Registry(variant);
    std::vector<EffectChainPreset> chains;
    (void)ReadChainFile(path, registry, &chains, &missing);
    for (const EffectChainPreset& c : chains)
      for (const ChainMember& m : c.members) Check(PresetSlotOfKind(m.kind) < kPresetSlotCount);
    std::vector<EffectChainPreset> back;
    if (round_trip && WriteChainFile(again, registry, chains) == err::kOk) {
      Check(ReadChainFile(again, registry, &back, &missing) == err::kOk);
      Check(missing == 0 && SameChains(chains, back));
    }
  } else {
    PresetRegistry registry = Registry(variant);
    (void)ReadPresetFile(path, registry, &missing);
    for (const auto& slot : registry.slots)
      for (const PresetEntry& entry : slot)
        for (const Preset& p : entry.presets) Check(p.block.size() >= entry.defaults.size());
    PresetRegistry back = Registry(variant);
    if (round_trip && WritePresetFile(again, registry, 0b1111) == err::kOk) {
      Check(ReadPresetFile(again, back, &missing) == err::kOk);
      // Presets with an empty block are never written.
      for (auto& slot : registry.slots)
        for (PresetEntry& entry : slot)
          std::erase_if(entry.presets, [](const Preset& p) { return p.block.empty(); });
      Check(SameLists(registry, back));
    }
  }
  ::unlink(path.c_str());
  ::unlink(again.c_str());
  ::unlink((path.substr(0, path.size() - 7) + ".bak.preset").c_str());
  return 0;
}
