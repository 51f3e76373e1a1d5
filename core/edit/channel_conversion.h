// Making a mono document stereo in place, for effects whose output has two
// channels: every segment, in the document and in every edit record of its
// undo history, becomes a stereo view of its source (each sample doubled; a
// segment's gain and offset of channel 0 are copied to channel 1), so that
// undoing earlier steps still fits the document.
//
// The conversion comes in steps, so that a caller whose own change after it
// fails can leave the document exactly as it was: Prepare allocates
// everything, Commit puts it in place and cannot fail, Revert restores the
// mono document bit for bit, Announce tells the windows once all is done.
#pragma once

#include <vector>

#include "core/sources/sound_source.h"
#include "platform/error.h"

namespace tidemark {

struct Segment;
struct SoundDocument;

class StereoConversion {
 public:
  StereoConversion() = default;
  StereoConversion(const StereoConversion&) = delete;
  StereoConversion& operator=(const StereoConversion&) = delete;

  // Makes the views for `document` without changing it. Nothing to do for
  // a document that is not mono (Commit, Revert and Announce then do
  // nothing). 2 when memory runs out, 77 for a segment whose source is not
  // mono (a damaged list).
  [[nodiscard]] Error Prepare(SoundDocument& document);
  // Puts the views in place: two channels, the format counts as changed.
  // The document's segments and history must be as Prepare found them.
  void Commit();
  // After Commit and before any other change: the document as it was.
  void Revert();
  // After Commit: the editor window hears the new channel count (every
  // channel selected), the frame the format change (and the saved state
  // when the document had been saved).
  void Announce();

 private:
  struct Change {
    Segment* segment;
    SourceRef source;  // the one not in place: the view, after Commit the mono source
    float gain1;       // channel 1's gain and offset before Commit
    float offset1;
  };

  SoundDocument* document_ = nullptr;
  std::vector<Change> changes_;
  bool committed_ = false;
  bool was_saved_ = false;
  bool format_changed_before_ = false;
};

// Prepare, Commit and Announce in one. Nothing for a document that is not
// mono; 2 when memory runs out, with the document and its history unchanged.
[[nodiscard]] Error ConvertToStereo(SoundDocument& document);

}  // namespace tidemark
