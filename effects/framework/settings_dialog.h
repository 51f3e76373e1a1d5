// What stands in for the effects' settings dialogs on this platform: one
// process-wide editor of settings blocks that the program installs (the
// console fills the block from its command's arguments).
#pragma once

#include <string_view>

#include "effects/framework/effect_entry.h"
#include "platform/error.h"

namespace tidemark {

class SettingsDialog {
 public:
  virtual ~SettingsDialog() = default;
  // Edits `block` (loaded and clamped) for `entry` acting on `params`.
  // 0 to accept, 4 when the user cancels, 3 when it cannot be shown.
  [[nodiscard]] virtual Error Edit(CEffEntry& entry, const CEffEntry::SetupParams& params,
                                   SettingsBlock& block) = 0;
  // Shows why the settings just edited cannot be used (a description with
  // an error), as the dialog does before it keeps the previous settings.
  virtual void ShowProblem(CEffEntry& entry, std::string_view message) {
    (void)entry;
    (void)message;
  }
};

// None by default: a setup that needs the dialog then answers 3.
void SetSettingsDialog(SettingsDialog* dialog);
SettingsDialog* CurrentSettingsDialog();

// Installs `dialog` for the lifetime of the object, restoring the previous one.
class ScopedSettingsDialog {
 public:
  explicit ScopedSettingsDialog(SettingsDialog* dialog) : previous_(CurrentSettingsDialog()) {
    SetSettingsDialog(dialog);
  }
  ~ScopedSettingsDialog() { SetSettingsDialog(previous_); }
  ScopedSettingsDialog(const ScopedSettingsDialog&) = delete;
  ScopedSettingsDialog& operator=(const ScopedSettingsDialog&) = delete;

 private:
  SettingsDialog* previous_;
};

}  // namespace tidemark
