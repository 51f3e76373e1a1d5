#include "core/edit/document_properties.h"

#include <algorithm>
#include <cmath>

#include "core/samples/sample_type_text.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

std::uint32_t ClampFrame(const SoundDocument& document, std::int64_t frame) {
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(frame, 0, document.length));
}

}  // namespace

std::uint32_t BitsPerSample(const SoundDocument& document) { return (document.code & 15u) * 8u; }

std::uint16_t Channels(const SoundDocument& document) { return document.channels; }

double LengthSeconds(const SoundDocument& document) {
  return document.rate ? static_cast<double>(document.length) / document.rate : 0.0;
}

Error SetSampleRate(SoundDocument& document, std::uint32_t rate) {
  if (!IsValidSampleRate(rate)) return err::kUnsupportedFormat;
  if (rate == document.rate) return err::kOk;
  const bool was_saved = IsSaved(document);
  document.rate = rate;
  document.format_changed = true;
  NotifyDocumentChanged(document, doc_change::kFormat | (was_saved ? doc_change::kSavedState : 0));
  return err::kOk;
}

bool IsSaved(const SoundDocument& document) { return IsDocumentSaved(document); }

double SelectionFromSeconds(const SoundDocument& document) {
  std::uint32_t from, to;
  GetSelection(document, &from, &to);
  return document.rate ? static_cast<double>(from) / document.rate : 0.0;
}

double SelectionToSeconds(const SoundDocument& document) {
  std::uint32_t from, to;
  GetSelection(document, &from, &to);
  return document.rate ? static_cast<double>(to) / document.rate : 0.0;
}

std::uint32_t SecondsToFrame(const SoundDocument& document, double seconds) {
  if (std::isnan(seconds)) return 0;
  const double frame = std::floor(seconds * document.rate + 0.5);
  if (frame <= 0) return 0;
  if (frame >= document.length) return document.length;
  return static_cast<std::uint32_t>(frame);
}

void SetSelectionFromFrame(SoundDocument& document, std::int64_t frame) {
  std::uint32_t from, to;
  GetSelection(document, &from, &to);
  from = ClampFrame(document, frame);
  to = std::max(from, std::min(to, document.length));
  SetSelection(document, from, to);
}

void SetSelectionToFrame(SoundDocument& document, std::int64_t frame) {
  std::uint32_t from, to;
  GetSelection(document, &from, &to);
  if (frame < 0) {
    SetSelection(document, 0, 0);
    return;
  }
  to = ClampFrame(document, frame);
  from = std::min(from, to);
  SetSelection(document, from, to);
}

Error SetSelectionFromSeconds(SoundDocument& document, double seconds) {
  if (std::isnan(seconds)) return err::kSizeLimit;
  SetSelectionFromFrame(document, SecondsToFrame(document, seconds));
  return err::kOk;
}

Error SetSelectionToSeconds(SoundDocument& document, double seconds) {
  if (std::isnan(seconds)) return err::kSizeLimit;
  SetSelectionToFrame(document, seconds < 0 ? -1 : std::int64_t{SecondsToFrame(document, seconds)});
  return err::kOk;
}

std::uint32_t ChannelSelection(const SoundDocument& document) { return GetChannelMask(document); }

void SetChannelSelection(SoundDocument& document, std::uint32_t mask) {
  if (document.channels < 2) return;
  mask &= 3u;
  if (mask) SetChannelMask(document, mask);
}

std::string PcmFileSample(const SoundDocument& document) { return SampleTypeText(document.kind, document.code); }

Error SetPcmFileSample(SoundDocument& document, std::string_view text) {
  const std::optional<ParsedSampleType> parsed = ParseSampleTypeText(text);
  if (!parsed) return err::kSizeLimit;
  const NormalisedCode normalised = NormaliseForKind(parsed->kind, parsed->code);
  if (normalised.invalid) return err::kUnsupportedFormat;
  document.kind = parsed->kind;
  document.code = normalised.code;
  return err::kOk;
}

}  // namespace tidemark
