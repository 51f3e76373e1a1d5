// The recently used effects the main frame keeps: the command numbers of
// the last five effects used, most recent first. The settings keep the list
// as texts "kind,key name" (for example "0,Volume"), one per numbered key of
// the "Effect Popup Menu" section.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "effects/framework/effect_entry.h"

namespace tidemark {

struct Settings;

inline constexpr std::size_t kRecentEffectCount = 5;

class RecentEffects {
 public:
  // Puts `command` first; an effect already in the list leaves its old
  // place, and the oldest drops off a full list.
  void Use(std::uint32_t command);
  void Use(const CEffEntry& entry) { Use(entry.GetCommandId()); }
  // Most recent first.
  std::span<const std::uint32_t> commands() const { return {commands_.data(), count_}; }
  void Clear() { count_ = 0; }
  // Drops the numbers of one plug-in kind (when all such plug-ins go).
  void RemoveKind(EntryKind kind);

  // One "%d,%s" text per listed effect that has an entry, most recent first.
  std::vector<std::string> Save() const;
  // Replaces the list by the texts' effects: kind 0 resolves by key name
  // through the registry (kinds 1 and 2 would go to the plug-in hosts, which
  // this platform lacks); texts that do not resolve, and repeats, are
  // dropped and the rest closed up; at most five are kept.
  void Restore(std::span<const std::string> texts);

  void SaveTo(Settings& settings) const;
  void RestoreFrom(const Settings& settings);

 private:
  std::array<std::uint32_t, kRecentEffectCount> commands_{};
  std::size_t count_ = 0;
};

// The kind of entry a command number names: 300-327 built in, 328-427 VST3,
// 428-527 DirectX; none outside 300-527.
bool EffectCommandKind(std::uint32_t command, EntryKind* kind);

// The main frame's list.
RecentEffects& RecentlyUsedEffects();

}  // namespace tidemark
