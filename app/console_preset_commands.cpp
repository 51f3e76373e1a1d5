// The console's preset commands: named settings blocks of the built-in
// effects, kept in "tide.preset" and written at once on every change.
#include <ostream>

#include "app/console_commands.h"
#include "app/console_effect_commands.h"
#include "app/console_effect_dialog.h"
#include "config/error_messages.h"
#include "effects/presets/preset_store.h"
#include "platform/ascii_case.h"
#include "platform/utf.h"

namespace tidemark::console {
namespace {

Result Refuse(Session& s, std::string_view what, std::string_view why) {
  s.err() << "error: " << what << ": " << why << '\n';
  return Result::kFailed;
}

Preset* FindPreset(std::vector<Preset>& list, std::u16string_view name) {
  for (Preset& p : list)
    if (!p.removed && SamePresetName(p.name, name)) return &p;
  return nullptr;
}

// Writes the presets; on failure the lists are put back as they were, so
// memory and file agree.
Result SaveOrRestore(Session& s, std::vector<Preset>& list, std::vector<Preset> before) {
  if (const Error rc = SaveProgramPresets()) {
    list = std::move(before);
    return Refuse(s, std::string(kPresetFileName), DescribeError(rc));
  }
  return Result::kDone;
}

}  // namespace

std::optional<SettingsBlock> PresetBlockNamed(const CEffEntry& entry, std::string_view name) {
  std::vector<Preset>* list = PresetsOf(entry);
  if (!list) return std::nullopt;
  const Preset* preset = FindPreset(*list, Utf8ToUtf16(name));
  if (!preset) return std::nullopt;
  return preset->block;
}

Result PresetCommand(Session& s, const CommandArgs& args) {
  const std::string& verb = args[0];
  if (verb == "list" && args.size() <= 2) {
    bool any = false;
    for (const EffectDescription& row : EffectDescriptions()) {
      if (args.size() == 2 && !EqualsIgnoreAsciiCase(row.key_name, args[1]) &&
          EffectRowNamed(args[1]) != &row)
        continue;
      const CEffEntry* entry = ConsoleEffectEntry(row);
      if (!entry) continue;
      for (const Preset& p : *PresetsOf(*entry)) {
        if (p.removed) continue;
        s.out() << row.key_name << "  \"" << EscapeText(Utf16ToUtf8(p.name)) << "\"  " << p.block.size()
                << " bytes\n";
        any = true;
      }
    }
    if (args.size() == 2 && !EffectRowNamed(args[1])) return s.Fail(text::kConsoleUnknownCommand, "effect " + args[1]);
    if (!any) s.out() << "no presets\n";
    return Result::kDone;
  }
  if (args.size() != 3 || (verb != "save" && verb != "use" && verb != "delete")) return s.Usage("preset");
  const EffectDescription* row = EffectRowNamed(args[1]);
  if (!row) return s.Fail(text::kConsoleUnknownCommand, "effect " + args[1]);
  CEffEntry* entry = ConsoleEffectEntry(*row);
  if (!entry) return Refuse(s, args[1], DescribeError(Error{80}));
  const SettingsLayout* layout = entry->GetSettingsLayout();
  if (!layout) return Refuse(s, args[1], DescribeError(kSettingsNotValid));
  std::vector<Preset>& list = *PresetsOf(*entry);
  const std::u16string name = Utf8ToUtf16(args[2]);
  const std::string what = "preset \"" + args[2] + "\" of " + std::string(row->key_name);

  if (verb == "save") {
    std::vector<Preset> before = list;
    Preset preset;
    preset.name = name;
    const SettingsBlock& last = entry->GetSettingsBlock();
    preset.block = last.empty() ? DefaultBlock(*layout) : last;
    InsertPreset(list, std::move(preset));
    return SaveOrRestore(s, list, std::move(before));
  }
  Preset* found = FindPreset(list, name);
  if (!found) return Refuse(s, what, "no such preset");
  if (verb == "use") {
    entry->GetSettingsStore().Set(found->block);
    return Result::kDone;
  }
  std::vector<Preset> before = list;
  list.erase(list.begin() + (found - list.data()));
  return SaveOrRestore(s, list, std::move(before));
}

}  // namespace tidemark::console
