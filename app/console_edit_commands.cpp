// The console editor's editing commands: selection, channels, the clip
// commands, gain and offset, undo and redo, markers and regions.
#include <algorithm>
#include <climits>
#include <ostream>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "app/console_progress.h"
#include "core/document/core_text.h"
#include "core/edit/edit_commands.h"
#include "core/undo/marker_commands.h"
#include "core/markers/marker_regions.h"
#include "core/markers/marker_text.h"
#include "core/edit/sound_clip.h"
#include "core/document/sound_document.h"
#include "core/edit/stretch_render.h"
#include "core/undo/undo_history.h"

namespace tidemark::console {
namespace {

struct Selection {
  std::uint32_t from = 0, to = 0;
  bool empty() const { return from == to; }
};

Selection SelectionOf(const SoundDocument& d) {
  Selection s;
  GetSelection(d, &s.from, &s.to);
  return s;
}

// The clip a paste uses; a notice result when there is none. A clip of
// another rate is converted by the paste itself.
std::optional<Result> TakeClip(Session& s, ClipRef* clip) {
  if (const Error rc = ClipForPaste(clip)) return s.Fail(rc);
  if (!*clip || (*clip)->length == 0) return s.Notice(text::kConsoleNothingToPaste);
  return std::nullopt;
}

Result Done(Session& s, Error rc) { return rc ? s.Fail(rc) : Result::kDone; }

std::optional<std::uint32_t> ParseIndex(Session& s, const std::string& text, const SoundDocument& d,
                                        Marker** marker) {
  const auto n = ParseCount(text, UINT32_MAX);
  if (!n) {
    s.Fail(text::kConsoleBadNumber, text);
    return std::nullopt;
  }
  std::uint64_t i = 1;
  for (Marker* m = d.markers.first(); m; m = m->next, ++i) {
    if (i == *n) {
      *marker = m;
      return static_cast<std::uint32_t>(i);
    }
  }
  s.Fail(text::kConsoleNoSuchMarker, text);
  return std::nullopt;
}

Result MarkerAddOrSet(Session& s, const CommandArgs& args, bool set) {
  SoundDocument& d = *s.active();
  const std::size_t base = set ? 2 : 1;  // index of POS
  if (args.size() < base + 2 || args.size() > base + 3) return s.Usage("marker");
  Marker* target = nullptr;
  if (set && !ParseIndex(s, args[1], d, &target)) return Result::kFailed;
  const auto pos = ParsePosition(args[base], d.rate);
  if (!pos) return s.Fail(text::kConsoleBadNumber, args[base]);
  const std::uint32_t frame = ClampPosition(*pos, d.length);
  const std::string comment = args.size() > base + 2 ? args[base + 2] : std::string();
  if (set) return Done(s, ChangeMarker(d, target, frame, args[base + 1], comment));
  MarkerList list;
  Marker* m = NewMarker(args[base + 1], comment, frame);
  if (!m) return s.Fail(err::kOutOfMemory);
  list.InsertAfterAdopt(nullptr, m);
  return Done(s, AddMarkers(d, std::move(list)));
}

Result MarkerList_(Session& s, const SoundDocument& d) {
  if (d.markers.size() == 0) return s.Notice(text::kConsoleNoMarkers);
  std::size_t i = 1;
  for (const Marker* m = d.markers.first(); m; m = m->next, ++i) {
    s.out() << i << "  " << m->position << "  " << FormatMarkerTime(m->position, d.rate) << "  \"" << m->name
            << '"';
    if (m->comment && !m->comment->empty()) s.out() << "  \"" << *m->comment << '"';
    s.out() << '\n';
  }
  return Result::kDone;
}

Result StepHistory(Session& s, const CommandArgs& args, bool redo) {
  SoundDocument& d = *s.active();
  std::uint64_t steps = 1;
  if (!args.empty()) {
    const auto n = ParseCount(args[0], UINT32_MAX);
    if (!n || *n == 0) return s.Fail(text::kConsoleBadNumber, args[0]);
    steps = *n;
  }
  if (!(redo ? CanRedo(d) : CanUndo(d))) return s.Notice(redo ? text::kConsoleNothingToRedo : text::kConsoleNothingToUndo);
  for (std::uint64_t i = 0; i < steps && (redo ? CanRedo(d) : CanUndo(d)); ++i)
    if (const Error rc = redo ? Redo(d) : Undo(d)) return s.Fail(rc);
  return Result::kDone;
}

Result MixPasteWith(Session& s, bool subtract) {
  SoundDocument& d = *s.active();
  ClipRef clip;
  if (const auto r = TakeClip(s, &clip)) return *r;
  ProgressObserver observer(s);
  return Done(s, MixPaste(d, SelectionOf(d).from, *clip, subtract, &observer));
}

// One or two per-channel values; with one, the channels outside the mask
// get `neutral`.
template <typename Parse>
std::optional<ChannelValues> ChannelArgs(Session& s, const CommandArgs& args, float neutral, Parse parse) {
  const SoundDocument& d = *s.active();
  ChannelValues values{neutral, neutral};
  std::optional<float> first = parse(args[0]);
  if (!first) {
    s.Fail(text::kConsoleBadNumber, args[0]);
    return std::nullopt;
  }
  if (args.size() == 2) {
    const std::optional<float> second = parse(args[1]);
    if (!second) {
      s.Fail(text::kConsoleBadNumber, args[1]);
      return std::nullopt;
    }
    return ChannelValues{*first, *second};
  }
  const std::uint32_t mask = d.channels == 1 ? 1u : GetChannelMask(d);
  for (std::uint32_t c = 0; c < 2; ++c)
    if (mask & (1u << c)) values[c] = *first;
  return values;
}

}  // namespace

Result SelectCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  if (args.size() == 1) {
    if (args[0] != "all") return s.Usage("select");
    SetSelection(d, 0, d.length);
    return Result::kDone;
  }
  const auto from = ParsePosition(args[0], d.rate);
  if (!from) return s.Fail(text::kConsoleBadNumber, args[0]);
  const auto to = ParsePosition(args[1], d.rate);
  if (!to) return s.Fail(text::kConsoleBadNumber, args[1]);
  if (to->negative) {
    SetSelection(d, 0, 0);
    return Result::kDone;
  }
  std::uint32_t a = ClampPosition(*from, d.length), b = ClampPosition(*to, d.length);
  if (b < a) std::swap(a, b);
  SetSelection(d, a, b);
  return Result::kDone;
}

Result ChannelsCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  const auto mask = ParseCount(args[0], 3);
  if (!mask || *mask == 0) return s.Fail(text::kConsoleBadNumber, args[0]);
  if (d.channels == 1 && *mask != 1) return s.Fail(err::kUnsupportedFormat);
  SetChannelMask(d, static_cast<std::uint32_t>(*mask));
  return Result::kDone;
}

Result DeleteCommand(Session& s, const CommandArgs&) {
  SoundDocument& d = *s.active();
  if (SelectionOf(d).empty()) return s.Notice(text::kConsoleNothingSelected);
  return Done(s, DeleteSelection(d));
}

Result CutCommand(Session& s, const CommandArgs&) {
  SoundDocument& d = *s.active();
  const Selection sel = SelectionOf(d);
  if (sel.empty()) return s.Notice(text::kConsoleNothingSelected);
  return Done(s, CutSelection(d, sel.from, sel.to));
}

Result CopyCommand(Session& s, const CommandArgs&) {
  SoundDocument& d = *s.active();
  const Selection sel = SelectionOf(d);
  if (sel.empty()) return s.Notice(text::kConsoleNothingSelected);
  return Done(s, CopySelection(d, sel.from, sel.to));
}

Result PasteCommand(Session& s, const CommandArgs&) {
  SoundDocument& d = *s.active();
  ClipRef clip;
  if (const auto r = TakeClip(s, &clip)) return *r;
  return Done(s, Paste(d, SelectionOf(d).from, *clip));
}

Result PasteOverCommand(Session& s, const CommandArgs&) {
  SoundDocument& d = *s.active();
  if (SelectionOf(d).empty()) return s.Notice(text::kConsoleNothingSelected);
  ClipRef clip;
  if (const auto r = TakeClip(s, &clip)) return *r;
  return Done(s, PasteOverSelection(d, *clip));
}

Result PasteOverwriteCommand(Session& s, const CommandArgs&) {
  SoundDocument& d = *s.active();
  ClipRef clip;
  if (const auto r = TakeClip(s, &clip)) return *r;
  return Done(s, PasteOverwrite(d, SelectionOf(d).from, *clip));
}

Result MixPasteCommand(Session& s, const CommandArgs&) { return MixPasteWith(s, false); }
Result MixPasteSubtractCommand(Session& s, const CommandArgs&) { return MixPasteWith(s, true); }

Result SilenceCommand(Session& s, const CommandArgs&) {
  SoundDocument& d = *s.active();
  if (SelectionOf(d).empty()) return s.Notice(text::kConsoleNothingSelected);
  return Done(s, SilenceSelection(d));
}

Result InsertSilenceCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  const auto ms = ParseCount(args[0], UINT32_MAX);
  if (!ms) return s.Fail(text::kConsoleBadNumber, args[0]);
  if (*ms == 0) return Result::kDone;
  return Done(s, InsertSilence(d, SelectionOf(d).from, static_cast<std::uint32_t>(*ms)));
}

Result GainCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  const auto factors = ChannelArgs(s, args, 1.0f, ParseDecibels);
  if (!factors) return Result::kFailed;
  const Selection sel = SelectionOf(d);
  if (sel.empty()) return s.Notice(text::kConsoleNothingSelected);
  return Done(s, ApplyGain(d, sel.from, sel.to - sel.from, *factors, GetCoreText(CoreText::kUndoGain)));
}

Result OffsetCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  const auto parse = [](std::string_view text) -> std::optional<float> {
    const std::optional<double> v = ParseNumber(text);
    if (!v || *v < -1e6 || *v > 1e6) return std::nullopt;
    return static_cast<float>(*v);
  };
  const auto offsets = ChannelArgs(s, args, 0.0f, parse);
  if (!offsets) return Result::kFailed;
  const Selection sel = SelectionOf(d);
  if (sel.empty()) return s.Notice(text::kConsoleNothingSelected);
  return Done(s, ApplyOffset(d, sel.from, sel.to - sel.from, *offsets, GetCoreText(CoreText::kUndoOffset)));
}

Result UndoCommand(Session& s, const CommandArgs& args) { return StepHistory(s, args, false); }
Result RedoCommand(Session& s, const CommandArgs& args) { return StepHistory(s, args, true); }

Result MarkerCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  const std::string& verb = args[0];
  if (verb == "add") return MarkerAddOrSet(s, args, false);
  if (verb == "set") return MarkerAddOrSet(s, args, true);
  if (verb == "list") return args.size() == 1 ? MarkerList_(s, d) : s.Usage("marker");
  if (verb == "delete") {
    if (args.size() < 2) return s.Usage("marker");
    std::vector<Marker*> nodes;
    for (std::size_t i = 1; i < args.size(); ++i) {
      Marker* m = nullptr;
      if (!ParseIndex(s, args[i], d, &m)) return Result::kFailed;
      if (std::find(nodes.begin(), nodes.end(), m) == nodes.end()) nodes.push_back(m);
    }
    return Done(s, DeleteMarkers(d, nodes));
  }
  if (verb == "move") {
    if (args.size() != 3) return s.Usage("marker");
    Marker* m = nullptr;
    if (!ParseIndex(s, args[1], d, &m)) return Result::kFailed;
    const auto pos = ParsePosition(args[2], d.rate);
    if (!pos) return s.Fail(text::kConsoleBadNumber, args[2]);
    const std::string name = m->name;
    const std::string comment = m->comment ? *m->comment : std::string();
    return Done(s, ChangeMarker(d, m, ClampPosition(*pos, d.length), name, comment));
  }
  if (verb == "export") {
    if (args.size() != 2) return s.Usage("marker");
    return Done(s, ExportMarkerText(d, args[1]));
  }
  if (verb == "import") {
    if (args.size() != 2) return s.Usage("marker");
    return Done(s, ImportMarkerText(d, args[1]));
  }
  return s.Usage("marker");
}

Result RegionCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  if (args[0] != "next" && args[0] != "prev") return s.Usage("region");
  if (d.markers.size() == 0) return s.Notice(text::kConsoleNoMarkers);
  if (args[0] == "next") SelectNextRegion(d);
  else SelectPreviousRegion(d);
  return Result::kDone;
}

}  // namespace tidemark::console
