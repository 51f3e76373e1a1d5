// The console's chain commands: effect chains kept in "chain.preset", read
// and written again on every change so scripts and later sessions see them.
#include <ostream>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "app/console_effect_commands.h"
#include "app/console_effect_dialog.h"
#include "app/console_progress.h"
#include "config/error_codes.h"
#include "config/error_messages.h"
#include "config/text_slots_effects.h"
#include "core/document/sound_document.h"
#include "effects/presets/effect_chain_run.h"
#include "effects/presets/preset_store.h"
#include "platform/ascii_case.h"
#include "platform/utf.h"

namespace tidemark::console {
namespace {

constexpr std::uint32_t kBlockRate = 44100;  // ranges of stored blocks without a document

Result Refuse(Session& s, std::string_view what, std::string_view why) {
  s.err() << "error: " << what << ": " << why << '\n';
  return Result::kFailed;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

// All chains of the file; a damaged file is refused rather than rewritten
// without its damaged part.
std::optional<std::vector<EffectChainPreset>> ReadAll(Session& s) {
  std::vector<EffectChainPreset> chains;
  std::uint32_t missing = 0;
  if (const Error rc = ReadChainFile(ChainReadPath(), ProgramPresets(), &chains, &missing)) {
    Refuse(s, std::string(kChainFileName), DescribeError(rc));
    return std::nullopt;
  }
  if (missing) s.Notice(text::kChainPopupMissing);
  return chains;
}

Result WriteAll(Session& s, const std::vector<EffectChainPreset>& chains) {
  if (const Error rc = WriteChainFile(ChainWritePath(), ProgramPresets(), chains))
    return Refuse(s, std::string(kChainFileName), DescribeError(rc));
  return Result::kDone;
}

EffectChainPreset* FindChain(std::vector<EffectChainPreset>& chains, std::string_view name) {
  const std::u16string wide = Utf8ToUtf16(name);
  for (EffectChainPreset& c : chains)
    if (SamePresetName(c.name, wide)) return &c;
  return nullptr;
}

Result NotFound(Session& s, std::string_view name) {
  return Refuse(s, "chain \"" + std::string(name) + "\"", DescribeError(err::kEffectChainNotFound));
}

std::string_view MemberKey(const ChainMember& member) {
  const PresetRegistry& registry = ProgramPresets();
  const std::uint32_t slot = PresetSlotOfKind(member.kind);
  if (slot < kPresetSlotCount && member.index < registry.slots[slot].size())
    return registry.slots[slot][member.index].identifier;
  return "?";
}

Result Apply(Session& s, std::string_view name) {
  if (!s.active()) return s.Fail(text::kConsoleNoDocument);
  SoundDocument& d = *s.active();
  ConsoleProgressDisplay display(s.progress_hooks());
  ScopedProgressDisplay in_force(&display);
  std::string member;
  const Error rc = ApplyEffectChain(d, ProgramPresets(), ChainReadPath(), Utf8ToUtf16(name), &member);
  if (rc == err::kNoSelectionRaised) return s.Notice(text::kConsoleNothingSelected);
  if (rc == err::kEffectChainFailed)
    return Refuse(s, "chain \"" + std::string(name) + "\"", DescribeError(rc) + " " + member);
  if (rc == err::kEffectChainNotFound || rc == err::kEffectChainUnreadable)
    return Refuse(s, "chain \"" + std::string(name) + "\"", DescribeError(rc));
  if (rc) return s.Fail(rc);
  return Result::kDone;
}

Result Add(Session& s, const CommandArgs& args) {
  const EffectDescription* row = EffectRowNamed(args[2]);
  if (!row) return s.Fail(text::kConsoleUnknownCommand, "effect " + args[2]);
  CEffEntry* entry = ConsoleEffectEntry(*row);
  if (!entry) return Refuse(s, args[2], DescribeError(Error{80}));
  if (!entry->IsChainable()) return Refuse(s, args[2], DescribeError(err::kEffectChainFailed) + " " + MenuLabel(*entry));
  std::optional<SettingsBlock> given;
  std::vector<std::string> pairs;
  for (std::size_t i = 3; i < args.size(); ++i) {
    if (StartsWithIgnoreCase(args[i], "block=")) {
      if (given) return s.Usage("chain");
      given = ParseBlockHex(std::string_view(args[i]).substr(6));
      if (!given) return Refuse(s, args[i], DescribeError(kSettingsNotValid));
      continue;
    }
    pairs.push_back(args[i]);
  }
  const SettingsLayout* layout = entry->GetSettingsLayout();
  ChainMember member;
  member.kind = 0;
  member.index = static_cast<std::uint16_t>(row->command - kFirstEffectCommand);
  if (layout) {
    const std::uint32_t rate = s.active() ? s.active()->rate : kBlockRate;
    SettingsRefusal refusal;
    const std::optional<SettingsBlock> block =
        CommandBlock(layout, given ? *given : entry->GetSettingsBlock(), rate, pairs, &refusal);
    if (!block) {
      s.err() << "error: " << refusal.argument << ": " << DescribeError(refusal.error);
      if (!refusal.ranges.empty()) s.err() << ' ' << refusal.ranges;
      s.err() << '\n';
      return Result::kFailed;
    }
    member.block = *block;
  } else if ((given && !given->empty()) || !pairs.empty()) {
    return Refuse(s, args[2], DescribeError(kSettingsNotValid));
  }
  auto chains = ReadAll(s);
  if (!chains) return Result::kFailed;
  EffectChainPreset* chain = FindChain(*chains, args[1]);
  if (!chain) return NotFound(s, args[1]);
  chain->members.push_back(std::move(member));
  return WriteAll(s, *chains);
}

}  // namespace

Result ChainCommand(Session& s, const CommandArgs& args) {
  const std::string& verb = args[0];
  if (verb == "list" && args.size() == 1) {
    auto chains = ReadAll(s);
    if (!chains) return Result::kFailed;
    for (const EffectChainPreset& c : *chains)
      s.out() << '"' << EscapeText(Utf16ToUtf8(c.name)) << "\"  members " << c.members.size() << "  mono "
              << (c.flag ? "yes" : "no") << '\n';
    if (chains->empty()) s.out() << "no chains\n";
    return Result::kDone;
  }
  if (verb == "apply" && args.size() == 2) return Apply(s, args[1]);
  if (verb == "add" && args.size() >= 3) return Add(s, args);
  const bool shape_ok = (verb == "show" && args.size() == 2) || (verb == "delete" && args.size() == 2) ||
                        (verb == "remove" && args.size() == 3) ||
                        (verb == "new" && (args.size() == 2 || (args.size() == 3 && args[2] == "mono")));
  if (!shape_ok) return s.Usage("chain");
  std::optional<std::uint64_t> index;
  if (verb == "remove" && !(index = ParseCount(args[2], UINT16_MAX))) return s.Usage("chain");
  auto chains = ReadAll(s);
  if (!chains) return Result::kFailed;
  EffectChainPreset* chain = FindChain(*chains, args[1]);
  if (verb == "new") {
    // A chain of the same name is replaced where it stands.
    EffectChainPreset made;
    made.name = Utf8ToUtf16(args[1]);
    made.flag = args.size() == 3 ? 1 : 0;
    if (chain) *chain = std::move(made);
    else chains->push_back(std::move(made));
    return WriteAll(s, *chains);
  }
  if (!chain) return NotFound(s, args[1]);
  if (verb == "show") {
    s.out() << '"' << EscapeText(Utf16ToUtf8(chain->name)) << "\"  mono " << (chain->flag ? "yes" : "no") << '\n';
    for (std::size_t i = 0; i < chain->members.size(); ++i)
      s.out() << "  " << i + 1 << "  " << MemberKey(chain->members[i]) << "  block=" << BlockHex(chain->members[i].block)
              << '\n';
    return Result::kDone;
  }
  if (verb == "delete") {
    chains->erase(chains->begin() + (chain - chains->data()));
    return WriteAll(s, *chains);
  }
  if (*index < 1 || *index > chain->members.size()) return Refuse(s, args[2], "no such member");
  chain->members.erase(chain->members.begin() + static_cast<std::ptrdiff_t>(*index - 1));
  return WriteAll(s, *chains);
}

}  // namespace tidemark::console
