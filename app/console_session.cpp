#include "app/console_session.h"

#include <istream>
#include <ostream>

#include "app/console_args.h"
#include "app/response_loader.h"
#include "app/console_commands.h"
#include "config/error_messages.h"
#include "core/edit/sound_clip.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"
#include "platform/error_numbers.h"

namespace tidemark::console {

Session::Session(std::ostream& out, std::ostream& err, bool interactive)
    : out_(out), err_(err), interactive_(interactive) {
  InstallResponseLoader();
}

Session::~Session() {
  StopPlaybackUnlessKept("quit");
  // The clip may hold sources of the documents; release it with them, but
  // leave what the system clipboard holds for other programs.
  (void)SetCurrentClip(ClipRef());
  documents_.clear();
}

SoundDocument* Session::active() const { return Find(active_); }

SoundDocument* Session::Find(int number) const {
  for (const Entry& e : documents_)
    if (e.number == number) return e.document.get();
  return nullptr;
}

int Session::Adopt(DocumentPtr document) {
  const int number = next_number_++;
  documents_.push_back({number, std::move(document)});
  active_ = number;
  return number;
}

void Session::Close(int number) {
  for (auto it = documents_.begin(); it != documents_.end(); ++it) {
    if (it->number != number) continue;
    if (close_listener_) close_listener_(it->document.get());
    documents_.erase(it);
    if (active_ == number) active_ = documents_.empty() ? 0 : documents_.back().number;
    return;
  }
}

bool Session::ConfirmQuit() {
  if (!interactive_ || quit_warned_) return true;
  if (quit_keeps_documents_ && quit_keeps_documents_()) return true;
  for (const Entry& e : documents_) {
    if (!IsDocumentSaved(*e.document)) {
      quit_warned_ = true;
      err_ << ConsoleText(text::kConsoleQuitWarning) << '\n';
      return false;
    }
  }
  return true;
}

std::string Session::Format(TextSlot text, std::string_view arg) {
  std::string s(ConsoleText(text));
  if (const std::size_t at = s.find("%s"); at != std::string::npos) s.replace(at, 2, arg);
  return s;
}

Result Session::Fail(Error error) {
  if (error == err::kCancelled) return Fail(text::kConsoleCancelled);
  err_ << "error: " << DescribeError(error) << '\n';
  return Result::kFailed;
}

Result Session::Fail(TextSlot text, std::string_view arg) {
  err_ << "error: " << Format(text, arg) << '\n';
  return Result::kFailed;
}

Result Session::Usage(std::string_view command) {
  return Fail(text::kConsoleBadArguments, HelpFor(command).usage);
}

Result Session::Notice(TextSlot text, std::string_view arg) {
  out_ << Format(text, arg) << '\n';
  return Result::kDone;
}

Result Session::Execute(std::string_view line) {
  const std::optional<std::vector<std::string>> words = SplitArguments(line);
  Result result;
  if (!words) {
    result = Fail(text::kConsoleUnclosedQuote);
  } else if (words->empty() || (*words)[0][0] == '#') {
    return Result::kDone;
  } else {
    const std::vector<std::string> args(words->begin() + 1, words->end());
    const Command* command = FindCommand((*words)[0]);
    if (!command) result = Fail(text::kConsoleUnknownCommand, (*words)[0]);
    else if (args.size() < command->min_args || args.size() > command->max_args) result = Usage(command->name);
    else if (command->needs_document && !active()) result = Fail(text::kConsoleNoDocument);
    else {
      StopPlaybackUnlessKept(command->name);
      if (progress_.begin) progress_.begin();
      result = command->handler(*this, args);
      if (progress_.end) progress_.end();
      if (after_command_) after_command_();
    }
  }
  if (result == Result::kFailed) any_failed_ = true;
  return result;
}

Result Session::OpenFiles(const std::vector<std::string>& paths) {
  if (paths.empty()) return Result::kDone;
  const Result result = FindCommand("open")->handler(*this, paths);
  if (after_command_) after_command_();
  if (result == Result::kFailed) any_failed_ = true;
  return result;
}

int Session::Run(std::istream& in, std::string_view prompt) {
  return Run([&](std::string* line) {
    if (!prompt.empty()) out_ << prompt << std::flush;
    return static_cast<bool>(std::getline(in, *line));
  });
}

int Session::Run(const LineReader& next_line) {
  std::string line;
  while (next_line(&line)) {
    const Result result = Execute(line);
    if (result == Result::kQuit) break;
    if (result == Result::kFailed && !interactive_ && stop_on_error_) break;
  }
  return ExitStatus();
}

}  // namespace tidemark::console
