// The console editor's view commands: picture writes a waveform or a
// spectrogram of the active document as a PNG file, show draws the waveform
// overview on the terminal.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "app/console_progress.h"
#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "core/document/sound_document.h"
#include "effects/framework/progress_scope.h"
#include "platform/error_numbers.h"
#include "views/png_file.h"
#include "views/spectrogram_picture.h"
#include "views/terminal_overview.h"
#include "views/waveform_picture.h"

namespace tidemark::console {
namespace {

constexpr int kDefaultOverviewWidth = 80;
constexpr int kDefaultOverviewRows = 4;

// "WIDTHxHEIGHT" with each side 1 to the largest picture side.
std::optional<std::pair<int, int>> ParseSize(const std::string& text) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return std::nullopt;
  const auto w = ParseCount(text.substr(0, x), views::kMaxPictureSide);
  const auto h = ParseCount(text.substr(x + 1), views::kMaxPictureSide);
  if (!w || !h || *w == 0 || *h == 0) return std::nullopt;
  return std::pair<int, int>(static_cast<int>(*w), static_cast<int>(*h));
}

bool LooksLikeSize(const std::string& text) {
  return !text.empty() && (text[0] == '-' || (text[0] >= '0' && text[0] <= '9')) && text.find('x') != std::string::npos;
}

struct PictureRequest {
  bool spectrogram = false;
  views::WaveformOptions waveform;
  views::SpectrogramOptions spectrogram_options;
  std::vector<std::string> positions;
};

// One NAME=VALUE setting; false (after the message) when it is not one.
bool ApplySetting(Session& s, const std::string& arg, PictureRequest* r) {
  const std::size_t eq = arg.find('=');
  const std::string name = arg.substr(0, eq), value = arg.substr(eq + 1);
  views::SpectrogramOptions& sp = r->spectrogram_options;
  if (name == "scale" && (value == "linear" || value == "db")) {
    r->waveform.decibel_scale = value == "db";
  } else if (name == "freq" && (value == "linear" || value == "log")) {
    sp.log_frequency = value == "log";
  } else if (name == "window" && (value == "hann" || value == "blackman-harris")) {
    sp.window = value == "hann" ? views::SpectrumWindow::kHann : views::SpectrumWindow::kBlackmanHarris;
  } else if (name == "fft") {
    const auto n = ParseCount(value, views::kMaxFftSize);
    if (!n || *n < views::kMinFftSize || (*n & (*n - 1)) != 0) {
      s.Fail(text::kConsoleBadNumber, arg);
      return false;
    }
    sp.fft_size = static_cast<std::uint32_t>(*n);
  } else if (name == "overlap") {
    const auto pct = ParseNumber(value);
    if (!pct || *pct < 0 || *pct > 95) {
      s.Fail(text::kConsoleBadNumber, arg);
      return false;
    }
    sp.overlap = *pct / 100;
  } else if (name == "range") {
    const auto db = ParseNumber(value);
    if (!db || *db < 1 || *db > 300) {
      s.Fail(text::kConsoleBadNumber, arg);
      return false;
    }
    sp.floor_db = -*db;
    r->waveform.floor_db = -*db;
  } else {
    s.Usage("picture");
    return false;
  }
  return true;
}

// Runs `work` on a worker thread with the console's progress bar and Ctrl-C.
Error WithProgress(Session& s, TextSlot caption, const std::function<Error(const views::ViewProgress&)>& work) {
  ConsoleProgressDisplay shown(s.progress_hooks());
  ScopedProgressDisplay in_force(&shown);
  ProgressScope scope;
  return scope.RunWorker([&](ProgressScope& progress) {
    progress.SetCaption(std::string(UiText(caption)));
    return work([&progress](std::uint64_t done, std::uint64_t total) {
      progress.Update(done, total);
      return !progress.Cancelled();
    });
  });
}

// The terminal's width and height in characters; nothing when standard
// output is not a terminal.
std::optional<std::pair<int, int>> TerminalSize() {
  if (!::isatty(STDOUT_FILENO)) return std::nullopt;
  struct winsize ws{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return std::pair<int, int>(ws.ws_col, ws.ws_row);
  return std::pair<int, int>(kDefaultOverviewWidth, 0);
}

int ColumnsFromEnvironment() {
  const char* columns = std::getenv("COLUMNS");
  if (!columns) return kDefaultOverviewWidth;
  const auto n = ParseCount(columns, views::kMaxOverviewWidth);
  return n && *n >= views::kMinOverviewWidth ? static_cast<int>(*n) : kDefaultOverviewWidth;
}

}  // namespace

Result PictureCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  PictureRequest r;
  bool kind_given = false, size_given = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!kind_given && r.positions.empty() && (a == "waveform" || a == "spectrogram")) {
      r.spectrogram = a == "spectrogram";
      kind_given = true;
    } else if (!size_given && r.positions.empty() && LooksLikeSize(a)) {
      const auto size = ParseSize(a);
      if (!size) return s.Fail(text::kConsoleBadNumber, a);
      r.waveform.width = r.spectrogram_options.width = size->first;
      r.waveform.height = r.spectrogram_options.height = size->second;
      size_given = true;
    } else if (a.find('=') != std::string::npos) {
      if (!ApplySetting(s, a, &r)) return Result::kFailed;
    } else if (r.positions.size() < 2) {
      r.positions.push_back(a);
    } else {
      return s.Usage("picture");
    }
  }
  if (r.positions.size() == 1) return s.Usage("picture");
  std::uint32_t from = 0, to = 0;
  if (r.positions.size() == 2) {
    const auto a = ParsePosition(r.positions[0], d.rate);
    const auto b = ParsePosition(r.positions[1], d.rate);
    if (!a) return s.Fail(text::kConsoleBadNumber, r.positions[0]);
    if (!b) return s.Fail(text::kConsoleBadNumber, r.positions[1]);
    from = ClampPosition(*a, d.length);
    to = ClampPosition(*b, d.length);
    if (to < from) return s.Fail(text::kConsoleBadNumber, r.positions[1]);
  } else {
    GetSelection(d, &from, &to);
    if (from == to) {
      from = 0;
      to = d.length;
    }
  }
  if (from == to) return s.Notice(r.spectrogram ? text::kSpectrogramTooShort : text::kConsoleNothingSelected);
  views::Raster picture;
  const Error rc = WithProgress(s, r.spectrogram ? text::kSpectrogramDrawing : text::kProgressProcessing,
                                [&](const views::ViewProgress& progress) {
                                  return r.spectrogram
                                             ? views::RenderSpectrogram(d, from, to, r.spectrogram_options, progress,
                                                                        &picture)
                                             : views::RenderWaveform(d, from, to, r.waveform, progress, &picture);
                                });
  if (rc == err::kCancelled) return s.Fail(text::kConsoleCancelled);
  if (rc) return s.Fail(rc);
  if (const Error written = views::WritePng(picture, args[0])) return s.Fail(written);
  return Result::kDone;
}

Result ShowCommand(Session& s, const CommandArgs& args) {
  const SoundDocument& d = *s.active();
  int width = 0, rows = 0;
  const std::optional<std::pair<int, int>> terminal = TerminalSize();
  if (args.empty()) {
    if (!terminal) return Result::kDone;  // a pipe or a file gets nothing unless asked
    width = terminal->first;
    if (terminal->second > 0) rows = (terminal->second - 6) / d.channels;
  } else if (args[0] == "force") {
    width = terminal ? terminal->first : ColumnsFromEnvironment();
  } else {
    const auto n = ParseCount(args[0], views::kMaxOverviewWidth);
    if (!n || *n < views::kMinOverviewWidth) return s.Fail(text::kConsoleBadNumber, args[0]);
    width = static_cast<int>(*n);
  }
  width = std::clamp(width, views::kMinOverviewWidth, views::kMaxOverviewWidth);
  rows = rows > 0 ? std::min(rows, 8) : kDefaultOverviewRows;
  if (args.size() > 1) {
    const auto n = ParseCount(args[1], views::kMaxOverviewRows);
    if (!n || *n == 0) return s.Fail(text::kConsoleBadNumber, args[1]);
    rows = static_cast<int>(*n);
  }
  if (d.length == 0) return s.Notice(text::kConsoleNothingSelected);
  std::string overview;
  const Error rc = WithProgress(s, text::kProgressProcessing, [&](const views::ViewProgress& progress) {
    return views::RenderTerminalOverview(d, width, rows, progress, &overview);
  });
  if (rc == err::kCancelled) return s.Fail(text::kConsoleCancelled);
  if (rc) return s.Fail(rc);
  s.out() << overview;
  return Result::kDone;
}

}  // namespace tidemark::console
