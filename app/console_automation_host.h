// The automation object model's view of the console session: the session's
// documents, its active document, opening and closing through it, the
// status line through the main frame, and the workspace's project switch.
// Made on the session's (user-interface) thread; every call that touches
// the session is carried to that thread.
#pragma once

#include "app/console_session.h"
#include "automation/host/automation_host.h"

namespace tidemark::console {

class ConsoleAutomationHost final : public automation::AutomationHost {
 public:
  explicit ConsoleAutomationHost(Session& session);
  ~ConsoleAutomationHost() override;

  std::vector<SoundDocument*> Documents() override;
  SoundDocument* ActiveDocument() override;
  [[nodiscard]] Error Open(const std::string& path, SoundDocument** document) override;
  void Adopt(DocumentPtr document) override;
  void Activate(SoundDocument* document, bool maximize) override;
  void Close(SoundDocument* document) override;
  void SetStatusText(std::string_view text) override;
  bool Visible() override;
  std::string ProjectFolder() override;
  [[nodiscard]] Error SwitchProject(const std::string& folder) override;
  char Weighting() override;
  SaveOptions SaveSettings() override;
  OpenOptions OpenSettings() override;
  void SetCloseListener(CloseListener listener) override;

 private:
  int NumberOf(const SoundDocument* document) const;

  Session& session_;
  automation::UiThreadCall ui_;
};

}  // namespace tidemark::console
