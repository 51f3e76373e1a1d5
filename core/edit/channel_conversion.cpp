#include "core/edit/channel_conversion.h"

#include <unordered_map>
#include <utility>

#include "core/document/sound_document.h"
#include "core/sources/silence_source.h"
#include "core/sources/view_source.h"
#include "core/undo/undo_history.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {

namespace {

// The stereo source reading `source` doubled. A mono view reads straight
// from its stereo source's channel, so views never nest (a workspace reads
// each view after the source it names); silence stays silence.
SourceRef StereoSourceFor(const SourceRef& source) {
  if (source->kind() == SourceKind::Silence) return MakeSilenceSource(source->rate(), 2);
  if (source->kind() == SourceKind::MonoView) {
    const ViewSource* view = AsViewSource(source.get());
    return MakeStereoView(SourceRef::Share(view->inner()), view->channel());
  }
  return MakeStereoView(source, 0);
}

}  // namespace

Error StereoConversion::Prepare(SoundDocument& document) {
  document_ = &document;
  changes_.clear();
  committed_ = false;
  if (document.channels != 1) return err::kOk;
  // One view per source, shared by every segment that reads it.
  std::unordered_map<const SoundSource*, SourceRef> views;
  const auto add = [&](SegmentList& list) -> Error {
    for (Segment* s = list.first(); s; s = s->next) {
      if (!s->source) continue;
      if (s->source->channels() != 1) return err::kSizeLimit;
      auto [it, fresh] = views.try_emplace(s->source.get());
      if (fresh) it->second = StereoSourceFor(s->source);
      if (!it->second) return err::kOutOfMemory;
      changes_.push_back({s, it->second, 0.0f, 0.0f});
    }
    return err::kOk;
  };
  const Error rc = TryAlloc([&]() -> Error {
    if (const Error e = add(document.segments)) return e;
    for (std::size_t i = 0; i < document.history.size(); ++i)
      if (SegmentList* list = document.history.at(i).edit_segments())
        if (const Error e = add(*list)) return e;
    return err::kOk;
  });
  if (rc) changes_.clear();
  return rc;
}

void StereoConversion::Commit() {
  if (!document_ || document_->channels != 1 || committed_) return;
  for (Change& c : changes_) {
    c.segment->source.swap(c.source);
    if (SegmentGain* g = c.segment->gain.get()) {
      c.gain1 = std::exchange(g->gain1, g->gain0);
      c.offset1 = std::exchange(g->offset1, g->offset0);
    }
  }
  was_saved_ = IsDocumentSaved(*document_);
  format_changed_before_ = document_->format_changed;
  document_->channels = 2;
  document_->format_changed = true;
  committed_ = true;
}

void StereoConversion::Revert() {
  if (!committed_) return;
  for (Change& c : changes_) {
    c.segment->source.swap(c.source);
    if (SegmentGain* g = c.segment->gain.get()) {
      g->gain1 = c.gain1;
      g->offset1 = c.offset1;
    }
  }
  document_->channels = 1;
  document_->format_changed = format_changed_before_;
  committed_ = false;
}

void StereoConversion::Announce() {
  if (!committed_) return;
  if (document_->editor) document_->editor->Send(editor_msg::kChannelsChanged, 2, 0);
  NotifyDocumentChanged(*document_, doc_change::kFormat | (was_saved_ ? doc_change::kSavedState : 0));
}

Error ConvertToStereo(SoundDocument& document) {
  StereoConversion conversion;
  if (const Error rc = conversion.Prepare(document)) return rc;
  conversion.Commit();
  conversion.Announce();
  return err::kOk;
}

}  // namespace tidemark
