#include "app/console_automation_host.h"

#include "core/core_options.h"
#include "platform/ui_messages.h"

namespace tidemark::console {

ConsoleAutomationHost::ConsoleAutomationHost(Session& session) : session_(session) {}

ConsoleAutomationHost::~ConsoleAutomationHost() { session_.set_close_listener({}); }

int ConsoleAutomationHost::NumberOf(const SoundDocument* document) const {
  for (const Session::Entry& e : session_.documents())
    if (e.document.get() == document) return e.number;
  return 0;
}

std::vector<SoundDocument*> ConsoleAutomationHost::Documents() {
  std::vector<SoundDocument*> docs;
  ui_.Run([&] {
    // The session keeps them oldest first; the open list is newest first.
    for (auto it = session_.documents().rbegin(); it != session_.documents().rend(); ++it)
      docs.push_back(it->document.get());
  });
  return docs;
}

SoundDocument* ConsoleAutomationHost::ActiveDocument() {
  SoundDocument* active = nullptr;
  ui_.Run([&] { active = session_.active(); });
  return active;
}

Error ConsoleAutomationHost::Open(const std::string& path, SoundDocument** document) {
  Error rc = err::kOk;
  *document = nullptr;
  ui_.Run([&] {
    SoundDocument* opened = nullptr;
    rc = OpenSoundDocument(path, session_.open_options(), &opened);
    if (rc) return;
    session_.Adopt(DocumentPtr(opened));
    *document = opened;
  });
  return rc;
}

void ConsoleAutomationHost::Adopt(DocumentPtr document) {
  ui_.Run([&] { session_.Adopt(std::move(document)); });
}

void ConsoleAutomationHost::Activate(SoundDocument* document, bool) {
  // The console has no window sizes: maximizing only activates.
  ui_.Run([&] {
    if (const int number = NumberOf(document)) session_.Activate(number);
  });
}

void ConsoleAutomationHost::Close(SoundDocument* document) {
  ui_.Run([&] {
    if (const int number = NumberOf(document)) session_.Close(number);
  });
}

void ConsoleAutomationHost::SetStatusText(std::string_view text) {
  Window* frame = MainFrame();
  if (!frame) return;
  const std::string copy(text);
  frame->Send(frame_msg::kStatusText, 0, reinterpret_cast<MsgParam>(copy.c_str()));
}

bool ConsoleAutomationHost::Visible() { return MainFrame() != nullptr; }

std::string ConsoleAutomationHost::ProjectFolder() { return GetCoreOptions().host_work_folder; }

Error ConsoleAutomationHost::SwitchProject(const std::string& folder) {
  Error rc = err::kOk;
  ui_.Run([&] {
    if (!session_.project_switch() || session_.project_switch()(folder) != Result::kDone) rc = err::kInvalidPath;
  });
  return rc;
}

char ConsoleAutomationHost::Weighting() { return session_.weighting(); }

SaveOptions ConsoleAutomationHost::SaveSettings() {
  SaveOptions options;
  options.move_work_file = session_.save_settings().move_work_file;
  options.dither_16bit = session_.save_settings().dither_16bit;
  options.dither = session_.dither();
  options.progress = session_.progress();
  options.confirm_detach = session_.detach_confirm();
  return options;
}

OpenOptions ConsoleAutomationHost::OpenSettings() { return session_.open_options(); }

void ConsoleAutomationHost::SetCloseListener(CloseListener listener) {
  session_.set_close_listener(std::move(listener));
}

}  // namespace tidemark::console
