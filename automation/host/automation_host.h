// What the automation object model needs of the editor: its open documents,
// the active window, opening, creating, activating and closing documents,
// the status line, the project folder and its switch, and the statistics
// weighting. The model never reaches the user interface any other way.
//
// Every call is made on the user-interface thread: the model's members are
// carried there by the cross-thread proxy, and an implementation that keeps
// windows carries its own window-side work there through UiThreadCall.
// Selections and channel masks go through the document's editor window
// (core/document/sound_document.h), which already delivers on its owner's
// thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/document/sound_document.h"
#include "formats/open_sound_file.h"
#include "formats/save_document.h"
#include "platform/error.h"

namespace tidemark::automation {

class AutomationHost {
 public:
  // Told before a document closes by any path (the user's close included),
  // while the document still exists.
  using CloseListener = std::function<void(SoundDocument*)>;

  virtual ~AutomationHost() = default;

  // The open documents, newest first (as the open list keeps them).
  virtual std::vector<SoundDocument*> Documents() = 0;
  // The document of the active window; null when none is open.
  virtual SoundDocument* ActiveDocument() = 0;
  // Opens `path` (absolute) in a new window that becomes active.
  [[nodiscard]] virtual Error Open(const std::string& path, SoundDocument** document) = 0;
  // Takes over a document made by the model and gives it a window that
  // becomes active.
  virtual void Adopt(DocumentPtr document) = 0;
  // Makes the document's window active (`maximize`: maximized).
  virtual void Activate(SoundDocument* document, bool maximize) = 0;
  // Closes the document without asking to save.
  virtual void Close(SoundDocument* document) = 0;
  // Shows `text` in the main window's status line.
  virtual void SetStatusText(std::string_view text) = 0;
  // Whether the main window is shown.
  virtual bool Visible() = 0;
  // The project folder in use; empty when none is set.
  virtual std::string ProjectFolder() = 0;
  // Switches to `folder` (absolute) without asking the user.
  [[nodiscard]] virtual Error SwitchProject(const std::string& folder) = 0;
  // The weighting letter the statistics settings choose ('0', 'A'..'D').
  virtual char Weighting() = 0;
  // How saves are made and files opened, from the settings.
  virtual SaveOptions SaveSettings() = 0;
  virtual OpenOptions OpenSettings() = 0;
  // Installs the close listener (one at a time; empty removes it).
  virtual void SetCloseListener(CloseListener listener) = 0;
};

// Runs work on the user-interface thread: made there, it delivers a call
// from any thread through the window message layer and waits for it; on
// its own thread the call runs at once.
class UiThreadCall {
 public:
  UiThreadCall();
  ~UiThreadCall();  // on the thread that made it
  UiThreadCall(const UiThreadCall&) = delete;
  UiThreadCall& operator=(const UiThreadCall&) = delete;
  // False when the user-interface thread's queue has closed (nothing ran).
  bool Run(const std::function<void()>& work);

 private:
  class Target;
  std::unique_ptr<Target> target_;
};

}  // namespace tidemark::automation
