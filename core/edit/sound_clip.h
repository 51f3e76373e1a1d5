// The program's clip: the material that copy and cut take from a document
// and that the paste commands put into one. At most one clip is current in
// the process at a time; a clip is shared by counted references (changed
// atomically), so a paste running while a new copy replaces the clip keeps
// reading the old one. A link to the system clipboard can be installed: it
// announces every new clip to other programs and supplies one when the
// program has none of its own.
#pragma once

#include <cstdint>

#include "core/document/envelope.h"
#include "core/markers/marker.h"
#include "core/samples/sample_format.h"
#include "core/document/segment.h"
#include "platform/clipboard.h"  // err::kClipboardUnavailable
#include "platform/error.h"
#include "platform/intrusive_ref.h"

namespace tidemark {

struct SoundDocument;

struct SoundClip : RefCounted<SoundClip, AtomicRefCount> {
  std::uint32_t rate = 44100;
  std::uint16_t channels = 2;
  SampleCode code = sample_code::kS16;
  std::uint32_t length = 0;  // frames
  SegmentList segments;      // positions from 0
  MarkerList markers;        // positions from 0 (a marker may sit at `length`)
  EnvelopeList envelope;     // positions from 0
};

using ClipRef = IntrusiveRef<SoundClip>;

// A new empty clip of the given format; empty when memory runs out.
ClipRef NewClip(std::uint32_t rate, std::uint16_t channels, SampleCode code);

// Copies [from, to) of the document (segments, the markers with from <=
// position < to and the envelope points with from <= position < to) into
// a new clip. 77 when the range is not inside the document, 2 out of memory.
[[nodiscard]] Error CopyToClip(const SoundDocument& document, std::uint32_t from, std::uint32_t to, ClipRef* out);

// Copies envelope points with from <= position < to as new points, their
// positions minus `from`. 2 when memory runs out (`out` is then empty).
[[nodiscard]] Error CopyEnvelopeRange(const EnvelopeList& list, std::uint32_t from, std::uint32_t to,
                                      EnvelopeList* out);

// The system clipboard as the clip code sees it (installed by the part of
// the program that knows the clipboard's data layout).
class SystemClipboardLink {
 public:
  virtual ~SystemClipboardLink() = default;
  // Empties the system clipboard and announces `clip` on it. 38 when the
  // clipboard cannot be opened.
  [[nodiscard]] virtual Error Announce(const ClipRef& clip) = 0;
  // Empties the system clipboard when the program still owns it.
  virtual void Withdraw() = 0;
  // Reads what another program put on the system clipboard into a new clip;
  // an empty clip ref (and 0) when there is nothing to paste.
  [[nodiscard]] virtual Error Fetch(ClipRef* out) = 0;
};

// Installs the link (null: none). The link must outlive its use.
void SetSystemClipboardLink(SystemClipboardLink* link);

// Makes `clip` the program's clip, replacing (and releasing) the previous
// one. With the system clipboard option on and a link installed the clip is
// announced there too; when that fails (38) the clip is dropped and no clip
// stays current.
[[nodiscard]] Error SetCurrentClip(ClipRef clip);
// The program's clip; empty when there is none.
ClipRef GetCurrentClip();
// Releases the program's clip and, with the option on, empties the system
// clipboard when the program still owns it.
void ClearCurrentClip();
// What a paste uses: the program's clip when there is one, otherwise (with
// the option on) the system clipboard's contents. An empty ref when there
// is nothing; errors of reading the system clipboard.
[[nodiscard]] Error ClipForPaste(ClipRef* out);

// Copy and cut of the selection [from, to) into the program's clip. Cut
// then deletes the stretch as one undo step. An empty range does nothing.
[[nodiscard]] Error CopySelection(SoundDocument& document, std::uint32_t from, std::uint32_t to);
[[nodiscard]] Error CutSelection(SoundDocument& document, std::uint32_t from, std::uint32_t to);

}  // namespace tidemark
