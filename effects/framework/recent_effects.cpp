#include "effects/framework/recent_effects.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "config/settings.h"
#include "effects/framework/effect_registry.h"

namespace tidemark {

namespace {

// The entry a saved text names; null when it names none.
CEffEntry* Resolve(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos || comma == 0) return nullptr;
  int kind = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + comma, kind);
  if (ec != std::errc() || end != text.data() + comma) return nullptr;
  if (kind != static_cast<int>(EntryKind::kBuiltIn)) return nullptr;  // no plug-in hosts here
  return EffectRegistry::FindByKey(text.substr(comma + 1));
}

}  // namespace

bool EffectCommandKind(std::uint32_t command, EntryKind* kind) {
  if (command < kFirstEffectCommand || command > kLastEffectCommand) return false;
  *kind = command < kFirstVst3Command      ? EntryKind::kBuiltIn
          : command < kFirstDirectXCommand ? EntryKind::kVst3
                                           : EntryKind::kDirectX;
  return true;
}

void RecentEffects::Use(std::uint32_t command) {
  const auto begin = commands_.begin();
  auto at = std::find(begin, begin + static_cast<std::ptrdiff_t>(count_), command);
  if (at == begin + static_cast<std::ptrdiff_t>(count_)) {
    if (count_ < kRecentEffectCount) ++count_;
    at = begin + static_cast<std::ptrdiff_t>(count_) - 1;  // the last place, dropped if it was full
  }
  std::move_backward(begin, at, at + 1);
  commands_[0] = command;
}

void RecentEffects::RemoveKind(EntryKind kind) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    EntryKind k{};
    if (EffectCommandKind(commands_[i], &k) && k == kind) continue;
    commands_[kept++] = commands_[i];
  }
  count_ = kept;
}

std::vector<std::string> RecentEffects::Save() const {
  std::vector<std::string> texts;
  for (const std::uint32_t command : commands()) {
    const CEffEntry* entry = EffectRegistry::Find(command);
    if (!entry) continue;
    texts.push_back(std::to_string(static_cast<int>(entry->GetKind())) + "," + std::string(entry->GetKeyName()));
  }
  return texts;
}

void RecentEffects::Restore(std::span<const std::string> texts) {
  count_ = 0;
  for (const std::string& text : texts) {
    if (count_ == kRecentEffectCount) break;
    const CEffEntry* entry = Resolve(text);
    if (!entry) continue;
    const std::uint32_t command = entry->GetCommandId();
    if (std::find(commands_.begin(), commands_.begin() + static_cast<std::ptrdiff_t>(count_), command) !=
        commands_.begin() + static_cast<std::ptrdiff_t>(count_))
      continue;
    commands_[count_++] = command;
  }
}

void RecentEffects::SaveTo(Settings& settings) const { settings.effect_popup_menu = Save(); }

void RecentEffects::RestoreFrom(const Settings& settings) { Restore(settings.effect_popup_menu); }

RecentEffects& RecentlyUsedEffects() {
  static RecentEffects list;
  return list;
}

}  // namespace tidemark
