// The console editor's silence commands: find-silence marks the gaps of the
// selection (the whole document when nothing is selected), delete-silence
// takes them out. Each is one undo step.
#include <algorithm>
#include <ostream>
#include <string>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "app/console_progress.h"
#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "core/document/sound_document.h"
#include "core/edit/edit_commands.h"
#include "core/edit/sound_clip.h"
#include "core/markers/marker_text.h"
#include "core/undo/marker_commands.h"
#include "effects/analysis/search_silence.h"
#include "effects/framework/progress_scope.h"
#include "platform/error_numbers.h"

namespace tidemark::console {
namespace {

constexpr Error kCannotProcess{52};
constexpr double kLowestThresholdDb = -200;
constexpr double kLongestWindowMs = 10000;

// A number of milliseconds from 0 (above 0 when `positive`) to `most` as
// frames at `rate`; nothing, after the message, for anything else.
std::optional<std::uint32_t> MsArg(Session& s, const std::string& text, std::uint32_t rate, double most,
                                   bool positive = false) {
  const std::optional<double> ms = ParseNumber(text);
  if (!ms || *ms < 0 || (positive && *ms == 0) || *ms > most) {
    s.Fail(text::kConsoleBadNumber, text);
    return std::nullopt;
  }
  return SecondsToFrames(*ms / 1000, rate);
}

// THRESHOLD_DB MIN_GAP_MS [MIN_SOUND_MS [BURST_MS [WINDOW_MS]]] read into
// settings for `d`; nothing, after the message, for a malformed form.
std::optional<NS_EFFECT::SilenceSettings> ParseSettings(Session& s, const CommandArgs& args, const SoundDocument& d) {
  NS_EFFECT::SilenceSettings settings;
  settings.rate = d.rate;
  const std::optional<double> db = ParseNumber(args[0]);
  if (!db || *db < kLowestThresholdDb || *db > 0) {
    s.Fail(text::kConsoleBadNumber, args[0]);
    return std::nullopt;
  }
  settings.threshold_db = *db;
  constexpr double kAny = 1e12;
  std::uint32_t* const lengths[] = {&settings.min_gap, &settings.min_sound, &settings.burst};
  for (std::size_t i = 1; i < args.size() && i <= 3; ++i) {
    const auto frames = MsArg(s, args[i], d.rate, kAny);
    if (!frames) return std::nullopt;
    *lengths[i - 1] = *frames;
  }
  settings.window = SecondsToFrames(0.010, d.rate);
  if (args.size() == 5) {
    const auto frames = MsArg(s, args[4], d.rate, kLongestWindowMs, true);
    if (!frames) return std::nullopt;
    settings.window = *frames;
  }
  if (settings.window == 0) settings.window = 1;
  return settings;
}

// The gaps of the selection (the whole document when it is empty); a
// result when the command ends here.
std::optional<Result> FindGaps(Session& s, const CommandArgs& args, std::vector<NS_EFFECT::SilenceGap>* gaps) {
  const SoundDocument& d = *s.active();
  const auto settings = ParseSettings(s, args, d);
  if (!settings) return Result::kFailed;
  if (d.channels != 1 && d.channels != 2) return s.Fail(kCannotProcess);
  std::uint32_t from = 0, to = 0;
  GetSelection(d, &from, &to);
  if (from == to) {
    from = 0;
    to = d.length;
  }
  if (from == to) return s.Notice(text::kGapPopupNoneFound);
  const std::uint32_t mask = d.channels == 1 ? 1u : GetChannelMask(d);
  const Error rc = [&] {
    ConsoleProgressDisplay shown(s.progress_hooks());
    ScopedProgressDisplay in_force(&shown);
    ProgressScope scope;
    return NS_EFFECT::SearchSilence(scope, d, from, to - from, mask, *settings, gaps);
  }();
  if (rc) return s.Fail(rc);
  if (gaps->empty()) return s.Notice(text::kGapPopupNoneFound);
  // "%u gaps found, %s of silence in total."
  std::uint64_t total = 0;
  for (const NS_EFFECT::SilenceGap& g : *gaps) total += g.end - g.start;
  std::string line(UiText(text::kGapResultSummary));
  if (const std::size_t at = line.find("%u"); at != std::string::npos) line.replace(at, 2, std::to_string(gaps->size()));
  if (const std::size_t at = line.find("%s"); at != std::string::npos)
    line.replace(at, 2, FormatMarkerTime(static_cast<std::uint32_t>(total), d.rate));
  s.out() << line << '\n';
  return std::nullopt;
}

// Deletes the gaps (sorted, apart) as one edit: the stretch from the first
// gap's start to the last one's end is replaced by the material between
// the gaps, with its markers and envelope points.
Error DeleteGaps(SoundDocument& d, const std::vector<NS_EFFECT::SilenceGap>& gaps) {
  EditRequest request;
  Marker* marker_tail = nullptr;
  EnvelopePoint* point_tail = nullptr;
  std::uint32_t kept = 0;
  for (std::size_t i = 0; i + 1 < gaps.size(); ++i) {
    const std::uint32_t from = gaps[i].end, to = gaps[i + 1].start;
    ClipRef piece;
    if (const Error rc = CopyToClip(d, from, to, &piece)) return rc;
    while (!piece->segments.empty()) {
      std::unique_ptr<Segment> segment = piece->segments.Remove(piece->segments.first());
      segment->position += kept;
      request.segments.PushBack(std::move(segment));
    }
    while (Marker* m = piece->markers.UnlinkAfter(nullptr)) {
      m->position += kept;
      request.markers.InsertAfterAdopt(marker_tail, m);
      marker_tail = m;
    }
    while (EnvelopePoint* p = piece->envelope.UnlinkAfter(nullptr)) {
      p->position += kept;
      request.envelope.InsertAfterAdopt(point_tail, p);
      point_tail = p;
    }
    kept += to - from;
  }
  request.start = gaps.front().start;
  request.old_length = gaps.back().end - gaps.front().start;
  request.new_length = kept;
  request.markers_and_envelope = true;
  return ApplyEdit(d, request, UiText(text::kGapResultDelete));
}

}  // namespace

Result FindSilenceCommand(Session& s, const CommandArgs& args) {
  std::vector<NS_EFFECT::SilenceGap> gaps;
  if (const auto r = FindGaps(s, args, &gaps)) return *r;
  // A marker where each gap starts and one where the sound resumes.
  const std::string start_name(UiText(text::kGapResultColumnStart));
  const std::string end_name(UiText(text::kGapResultColumnEnd));
  MarkerList list;
  Marker* tail = nullptr;
  for (std::size_t i = 0; i < gaps.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    for (const bool at_end : {false, true}) {
      std::string name = at_end ? end_name : start_name;
      name.append(1, ' ').append(number);
      Marker* m = NewMarker(name, "", at_end ? gaps[i].end : gaps[i].start);
      if (!m) return s.Fail(err::kOutOfMemory);
      list.InsertAfterAdopt(tail, m);
      tail = m;
    }
  }
  if (const Error rc = AddMarkers(*s.active(), std::move(list))) return s.Fail(rc);
  // One line per gap: number, first frame, frame where the sound resumes,
  // length.
  const std::uint32_t rate = s.active()->rate;
  for (std::size_t i = 0; i < gaps.size(); ++i)
    s.out() << i + 1 << "  " << gaps[i].start << "  " << gaps[i].end << "  "
            << FormatMarkerTime(gaps[i].end - gaps[i].start, rate) << '\n';
  return Result::kDone;
}

Result DeleteSilenceCommand(Session& s, const CommandArgs& args) {
  std::vector<NS_EFFECT::SilenceGap> gaps;
  if (const auto r = FindGaps(s, args, &gaps)) return *r;
  SoundDocument& d = *s.active();
  std::uint32_t from = 0, to = 0;
  GetSelection(d, &from, &to);
  std::uint64_t removed = 0;
  for (const NS_EFFECT::SilenceGap& g : gaps) removed += g.end - g.start;
  if (const Error rc = DeleteGaps(d, gaps)) return s.Fail(rc);
  // The selection keeps what is left of it; an empty one stays empty.
  if (from != to) to = static_cast<std::uint32_t>(to - removed);
  from = std::min(from, d.length);
  SetSelection(d, from, from == to ? from : to);
  return Result::kDone;
}

}  // namespace tidemark::console
