// The console editor's workspace: which runs restore, keep and autosave it
// (the run table below), the restore at start-up, the autosave after every
// command, the exit write or delete, and the switch to another project
// folder.
//
//   run                            restore  keep at exit              autosave
//   interactive tidemark           yes      "keep workspace" setting  the autosave setting
//                                           (asked when confirmations
//                                           are on)
//   tidemark --workspace           yes      always                    always
//   other non-interactive runs     no       no (file left alone)      no
//
// Every process holds the working folder's lock shared; clearing out
// unnamed working files or setting the folder aside needs it exclusively,
// so it happens only while no other process of the program runs.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/console_session.h"
#include "core/workspace/workspace_file.h"

namespace tidemark::console {

enum class RunKind { kInteractive, kWorkspace, kOther };

struct WorkspacePolicy {
  bool restore = false;
  bool autosave = false;
  // At exit: keep without asking, ask, or leave the file alone.
  bool keep_always = false;
  bool keep_setting = false;  // the answer when nothing is asked
  bool ask = false;
  bool touch_at_exit = false;  // false: the file is left as it is
};

// The row of the run table.
WorkspacePolicy PolicyFor(RunKind kind, bool keep_setting, bool confirmations, bool autosave_setting);

class SessionWorkspace {
 public:
  // `ask` puts a yes/no question to the user (nothing when it cannot be
  // asked or the answer is unclear).
  using Asker = std::function<std::optional<bool>(std::string_view question)>;

  SessionWorkspace(Session& session, WorkspacePolicy policy, Asker ask);
  SessionWorkspace(const SessionWorkspace&) = delete;
  SessionWorkspace& operator=(const SessionWorkspace&) = delete;

  // Takes the folder's lock and, when the run restores, puts the kept
  // documents back and tells what was restored. Hooks the session's
  // autosave and quit.
  void Start();
  // Writes the workspace when the autosave is on and it changed.
  void AfterCommand();
  // At exit: writes the workspace (clearing the owns-file flags) when it is
  // kept, else deletes it; closes the session's documents.
  void Finish();
  // Keeps the present project's workspace, switches the working folder to
  // `folder`/__tide__ and restores what is kept there.
  Result SwitchProject(const std::string& folder);

  const std::string& folder() const { return keeper_.folder(); }
  std::size_t commits() const { return keeper_.commits(); }

 private:
  bool DecideKeep();
  void Restore();
  std::vector<SoundDocument*> Documents() const;
  void TellLeftOut(const std::vector<const SoundDocument*>& left_out);
  // Names each workspace document that did not come back and what it lacks.
  void TellMissing(const RestoredWorkspace& restored);

  Session& session_;
  WorkspacePolicy policy_;
  Asker ask_;
  WorkspaceKeeper keeper_{std::string()};
  WorkFolderLock lock_;
  std::optional<bool> keep_;  // decided at quit
  bool usable_ = false;       // the working folder exists and is ours
  std::set<const SoundDocument*> told_left_out_;  // documents named in a notice
};

}  // namespace tidemark::console
