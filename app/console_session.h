// The console editor's session: the documents it opened (numbered from 1 in
// opening order, numbers fixed while the session runs), the active one, the
// error policy and the exit status, and the command loop that reads one
// command a line.
//
// A failing command prints its message on the error stream and changes
// nothing. Without a terminal the first failure ends the session with
// status 1 unless "onerror continue" was given; then the status is 1 when
// any command failed. A command with nothing to act on prints a notice and
// is not a failure.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "app/console_texts.h"
#include "core/document/sound_document.h"
#include "formats/open_sound_file.h"
#include "formats/save_dither.h"
#include "platform/error.h"

namespace tidemark::console {

// What one command did.
enum class Result { kDone, kFailed, kQuit };

// Progress of long work (saving, mix paste, effects): `step` is told the
// units done and the total and returns false to cancel; `end` runs after
// every command that may have shown progress. Effects also name their work
// through `caption` and ask `cancel_requested` (from their worker thread)
// whether the user wants them to stop. All optional.
struct ProgressHooks {
  std::function<bool(std::uint64_t done, std::uint64_t total)> step;
  std::function<void()> begin;
  std::function<void()> end;
  std::function<void(std::string_view caption)> caption;
  std::function<bool()> cancel_requested;
};

// How saves are made (from the settings; built-in by default).
struct SaveSettings {
  // 16-bit targets of wider or scaled material are dithered.
  bool dither_16bit = false;
  // A Wave save of a document that is one whole working file moves it.
  bool move_work_file = true;
};

// Gives the next command line; false at the end of input.
using LineReader = std::function<bool(std::string* line)>;

class Session {
 public:
  // `interactive`: the commands come from a terminal (failures do not end
  // the session; quitting with modified documents asks twice).
  Session(std::ostream& out, std::ostream& err, bool interactive);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  // Closes every document the session still has open.
  ~Session();

  // Runs one command line (blank lines and lines starting with '#' do nothing).
  Result Execute(std::string_view line);
  // Reads and runs lines from `in` until quit, the end of input, or the
  // first failure of a non-interactive session that stops on errors.
  // `prompt` (may be empty) is written before each line. The exit status.
  int Run(std::istream& in, std::string_view prompt = {});
  int Run(const LineReader& next_line);
  // Opens the files named on the command line (folders skipped with a
  // notice); each that cannot be opened counts as a failure.
  Result OpenFiles(const std::vector<std::string>& paths);

  // 1 when a command failed, else 0.
  int ExitStatus() const { return any_failed_ ? 1 : 0; }
  bool stop_on_error() const { return stop_on_error_; }

  // --- for the command handlers ---
  struct Entry {
    int number;
    DocumentPtr document;
  };
  std::ostream& out() { return out_; }
  std::ostream& err() { return err_; }
  bool interactive() const { return interactive_; }
  const std::vector<Entry>& documents() const { return documents_; }
  // The active document; null when none is open.
  SoundDocument* active() const;
  int active_number() const { return active_; }
  // The document numbered `number`; null when there is none.
  SoundDocument* Find(int number) const;
  // Adds a newly opened document and makes it active; its number.
  int Adopt(DocumentPtr document);
  void Activate(int number) { active_ = number; }
  // Destroys the document numbered `number`; the newest remaining one
  // becomes active when it was the active one.
  void Close(int number);
  void set_stop_on_error(bool stop) { stop_on_error_ = stop; }
  void set_progress(ProgressHooks hooks) { progress_ = std::move(hooks); }
  // What opening files is told (from the settings; built-in by default).
  void set_open_options(OpenOptions options) { open_options_ = std::move(options); }
  const OpenOptions& open_options() const { return open_options_; }
  void set_save_settings(SaveSettings settings) { save_settings_ = settings; }
  const SaveSettings& save_settings() const { return save_settings_; }
  // The weighting statistics use when the command names none ('0' none,
  // 'A' to 'D'; from the settings).
  void set_weighting(char weighting) { weighting_ = weighting; }
  char weighting() const { return weighting_; }
  // The dither the saves use when the settings ask for it.
  DitherHook* dither() { return &dither_; }
  // The progress callback for long work (empty without one).
  const std::function<bool(std::uint64_t, std::uint64_t)>& progress() const { return progress_.step; }
  const ProgressHooks& progress_hooks() const { return progress_; }
  // Whether a quit right now is allowed (asks once with modified documents
  // when interactive, unless the workspace keeps them).
  bool ConfirmQuit();
  // Runs after every command that was run (the workspace's autosave).
  void set_after_command(std::function<void()> hook) { after_command_ = std::move(hook); }
  // Asked by quit before the unsaved-documents warning: true when the
  // workspace keeps the documents for the next start.
  void set_quit_keeps_documents(std::function<bool()> hook) { quit_keeps_documents_ = std::move(hook); }
  // Asked before a large file other documents read is copied aside so that
  // a save may replace it (a terminal asks; none from a pipe: the copy is made).
  void set_detach_confirm(std::function<bool(std::uint64_t bytes)> confirm) { detach_confirm_ = std::move(confirm); }
  const std::function<bool(std::uint64_t)>& detach_confirm() const { return detach_confirm_; }
  // The project switch of the workspace (a run that keeps none has none).
  void set_project_switch(std::function<Result(const std::string&)> hook) { project_switch_ = std::move(hook); }
  const std::function<Result(const std::string&)>& project_switch() const { return project_switch_; }
  // Told before Close destroys a document (the automation model detaches
  // the objects that stand for it).
  void set_close_listener(std::function<void(SoundDocument*)> listener) { close_listener_ = std::move(listener); }

  // Message helpers: each returns what the command then reports.
  Result Fail(Error error);  // the catalogue's message for `error`
  Result Fail(TextSlot text, std::string_view arg = {});
  Result Usage(std::string_view command);
  Result Notice(TextSlot text, std::string_view arg = {});
  // A text with its first "%s" replaced by `arg`.
  static std::string Format(TextSlot text, std::string_view arg = {});

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool interactive_;
  bool stop_on_error_ = true;
  bool any_failed_ = false;
  bool quit_warned_ = false;
  std::vector<Entry> documents_;  // in opening order
  int next_number_ = 1;
  int active_ = 0;  // 0: none
  ProgressHooks progress_;
  OpenOptions open_options_;
  SaveSettings save_settings_;
  char weighting_ = '0';
  TpdfDither16 dither_;
  std::function<void()> after_command_;
  std::function<bool()> quit_keeps_documents_;
  std::function<Result(const std::string&)> project_switch_;
  std::function<bool(std::uint64_t)> detach_confirm_;
  std::function<void(SoundDocument*)> close_listener_;
};

// One row of the command table.
struct Command {
  std::string_view name;
  std::size_t min_args;  // after the name
  std::size_t max_args;  // SIZE_MAX: any number
  bool needs_document;
  Result (*handler)(Session& session, const std::vector<std::string>& args);
};

// The command table, in the order help lists it.
const std::vector<Command>& Commands();
const Command* FindCommand(std::string_view name);

}  // namespace tidemark::console
