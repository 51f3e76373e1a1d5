#include "effects/framework/settings_dialog.h"

namespace tidemark {

namespace {
SettingsDialog* g_dialog = nullptr;
}  // namespace

void SetSettingsDialog(SettingsDialog* dialog) { g_dialog = dialog; }
SettingsDialog* CurrentSettingsDialog() { return g_dialog; }

}  // namespace tidemark
