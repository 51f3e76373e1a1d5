#include "app/console_workspace.h"

#include <ostream>
#include <set>
#include <string>

#include "config/error_messages.h"
#include "core/core_options.h"
#include "core/io/work_folder.h"
#include "platform/error_numbers.h"

namespace tidemark::console {

WorkspacePolicy PolicyFor(RunKind kind, bool keep_setting, bool confirmations, bool autosave_setting) {
  WorkspacePolicy p;
  switch (kind) {
    case RunKind::kInteractive:
      p.restore = true;
      p.autosave = autosave_setting;
      p.keep_setting = keep_setting;
      p.ask = confirmations;
      p.touch_at_exit = true;
      break;
    case RunKind::kWorkspace:
      p.restore = true;
      p.autosave = true;
      p.keep_always = true;
      p.touch_at_exit = true;
      break;
    case RunKind::kOther:
      break;
  }
  return p;
}

SessionWorkspace::SessionWorkspace(Session& session, WorkspacePolicy policy, Asker ask)
    : session_(session), policy_(policy), ask_(std::move(ask)) {}

std::vector<SoundDocument*> SessionWorkspace::Documents() const {
  std::vector<SoundDocument*> docs;
  for (const Session::Entry& e : session_.documents()) docs.push_back(e.document.get());
  return docs;
}

void SessionWorkspace::Start() {
  if (!policy_.restore && !policy_.touch_at_exit) {
    // Such a run never reads or writes the workspace, but it may make
    // working files: its lock keeps a kept session from clearing them out.
    std::string folder;
    if (EnsureWorkFolder(&folder).ok()) (void)lock_.Share(folder);
    return;
  }
  std::string folder;
  if (const Error rc = EnsureWorkFolder(&folder)) {
    session_.err() << "error: " << DescribeError(rc) << " (" << folder << ")\n";
    return;
  }
  if (lock_.Share(folder)) {
    session_.err() << "error: " << DescribeError(err::kWorkspaceNotWritten) << '\n';
    return;
  }
  usable_ = true;
  keeper_.set_folder(folder);
  session_.set_after_command([this] { AfterCommand(); });
  session_.set_quit_keeps_documents([this] { return DecideKeep(); });
  session_.set_project_switch([this](const std::string& project) { return SwitchProject(project); });
  if (policy_.restore) Restore();
}

void SessionWorkspace::Restore() {
  const std::string folder = keeper_.folder();
  // Only a process alone with the folder may set it aside or clear it out.
  const bool alone = lock_.TryExclusive();
  RestoredWorkspace restored;
  const Error rc = ReadWorkspace(folder, &restored, alone);
  if (rc) {
    session_.err() << "error: " << DescribeError(rc) << '\n';
    if (!restored.set_aside.empty()) {
      session_.err() << "notice: the working folder was set aside as " << restored.set_aside << '\n';
      // A fresh working folder takes the place of the one set aside.
      lock_.Unlock();
      std::string fresh;
      usable_ = EnsureWorkFolder(&fresh).ok() && lock_.Share(fresh).ok();
      keeper_.set_folder(fresh);
      return;
    }
  } else if (!restored.documents.empty()) {
    const std::size_t count = restored.documents.size();
    int active = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const int number = session_.Adopt(std::move(restored.documents[i]));
      if (static_cast<int>(i) == restored.active) active = number;
    }
    if (active != 0) session_.Activate(active);
    session_.out() << "restored " << count << " document(s) from the workspace in " << folder << '\n';
  }
  if (!rc) TellMissing(restored);
  // Without a whole kept copy, the left-out documents' working files are
  // their only copy: nothing is cleared out this time.
  if (!rc && alone && restored.kept_copy_whole) {
    const std::size_t removed = RemoveUnnamedWorkFiles(folder);
    if (removed > 0) session_.out() << "removed " << removed << " working file(s) no document uses\n";
  }
  if (alone) lock_.Unexclusive();
  keeper_.Reset();
  // Pins what the file on disk names, so that closing a restored document
  // cannot delete a working file the file still names.
  if (policy_.autosave) AfterCommand();
}

void SessionWorkspace::TellMissing(const RestoredWorkspace& restored) {
  for (const LeftOutDocument& doc : restored.left_out) {
    session_.out() << "notice: workspace document " << doc.index + 1 << " ("
                   << (doc.path ? *doc.path : std::string("untitled")) << ") was not restored:";
    const char* separator = " ";
    for (const MissingWorkspaceData& m : doc.missing) {
      session_.out() << separator << m.file;
      if (m.error == err::kPathUnresolved)
        session_.out() << " is missing";
      else if (m.error)
        session_.out() << " cannot be read (" << DescribeError(m.error) << ')';
      else
        session_.out() << " holds " << m.present_frames << " of the " << m.needed_frames << " frames it reads";
      separator = "; ";
    }
    session_.out() << '\n';
  }
  if (restored.left_out.empty()) return;
  if (restored.kept_copy_whole)
    session_.out() << "notice: the workspace as it was and its working files are kept in " << restored.kept_copy
                   << '\n';
  else
    session_.out() << "notice: the workspace as it was could not be kept whole"
                   << (restored.kept_copy.empty() ? std::string() : " in " + restored.kept_copy)
                   << "; its working files are left in place\n";
}

void SessionWorkspace::TellLeftOut(const std::vector<const SoundDocument*>& left_out) {
  for (const SoundDocument* doc : left_out) {
    if (!told_left_out_.insert(doc).second) continue;
    for (const Session::Entry& e : session_.documents())
      if (e.document.get() == doc)
        session_.out() << "notice: document " << e.number
                       << " reads a 1-bit file through its converter and is not kept in the workspace; open the file "
                          "again after the next start\n";
  }
}

void SessionWorkspace::AfterCommand() {
  if (!policy_.autosave || !usable_) return;
  const std::vector<SoundDocument*> docs = Documents();
  std::vector<const SoundDocument*> left_out;
  if (const Error rc = keeper_.Save(docs, session_.active(), false, &left_out)) {
    session_.err() << "error: " << DescribeError(err::kWorkspaceNotWritten) << " (" << DescribeError(rc) << ")\n";
    return;
  }
  TellLeftOut(left_out);
}

bool SessionWorkspace::DecideKeep() {
  if (keep_) return *keep_;
  if (!usable_ || !policy_.touch_at_exit || session_.documents().empty()) return false;
  bool keep = policy_.keep_always || policy_.keep_setting;
  if (!policy_.keep_always && policy_.ask && ask_) {
    std::string question(ConsoleText(text::kExitKeepWorkspace));
    if (const std::size_t nl = question.find('\n'); nl != std::string::npos) question.resize(nl);
    if (const std::optional<bool> answer = ask_(question)) keep = *answer;
  }
  keep_ = keep;
  return keep;
}

void SessionWorkspace::Finish() {
  if (!usable_ || !policy_.touch_at_exit) return;
  const std::vector<SoundDocument*> docs = Documents();
  if (!docs.empty() && DecideKeep()) {
    std::vector<const SoundDocument*> left_out;
    if (const Error rc = keeper_.Save(docs, session_.active(), true, &left_out)) {
      session_.err() << "error: " << DescribeError(err::kWorkspaceNotWritten) << " (" << DescribeError(rc) << ")\n";
      return;
    }
    TellLeftOut(left_out);
  } else if (const Error rc = DeleteWorkspaceFile(keeper_.folder())) {
    session_.err() << "error: " << DescribeError(err::kWorkspaceNotWritten) << '\n';
  }
  keeper_.Reset();
}

Result SessionWorkspace::SwitchProject(const std::string& folder) {
  if (!usable_) return session_.Fail(err::kWorkspaceNotWritten);
  // The present project keeps its documents whatever the keep setting says:
  // they come back when the user switches back.
  const std::vector<SoundDocument*> docs = Documents();
  if (!docs.empty()) {
    if (const Error rc = keeper_.Save(docs, session_.active(), true, nullptr)) return session_.Fail(rc);
  } else if (const Error rc = DeleteWorkspaceFile(keeper_.folder())) {
    return session_.Fail(rc);
  }
  const std::string old_base = MutableCoreOptions().host_work_folder;
  MutableCoreOptions().host_work_folder = folder;
  std::string fresh;
  WorkFolderLock lock;
  if (const Error rc = EnsureWorkFolder(&fresh); rc || lock.Share(fresh)) {
    MutableCoreOptions().host_work_folder = old_base;
    // The old workspace stays written and the documents open.
    return session_.Fail(text::kProjectFolderUnusable, folder);
  }
  std::vector<int> numbers;
  for (const Session::Entry& e : session_.documents()) numbers.push_back(e.number);
  for (const int n : numbers) session_.Close(n);
  lock_.Unlock();
  (void)lock_.Share(fresh);
  keeper_.set_folder(fresh);
  keep_.reset();
  Restore();
  return Result::kDone;
}

}  // namespace tidemark::console
