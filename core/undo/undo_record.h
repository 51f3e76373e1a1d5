// One step of a document's undo history. A record never stores samples: an
// edit keeps the inverse EditRequest (segments referring to sources, marker
// and envelope nodes) and its name; a marker or envelope change keeps the
// nodes it links, unlinks, exchanges or moves. Applying a record turns it
// into its own inverse, so undo and redo are the same call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "core/document/edit_request.h"
#include "core/document/envelope.h"
#include "core/markers/marker.h"
#include "platform/error.h"

namespace tidemark {

class ChunkWriter;
struct SoundDocument;

// The operations of the change kinds: the low byte of the stored word.
namespace change_op {
inline constexpr std::uint8_t kAdd = 'A';      // link the held nodes into the list
inline constexpr std::uint8_t kDelete = 'D';   // unlink the held nodes
inline constexpr std::uint8_t kReplace = 'R';  // the first (in the list) is replaced by the second
inline constexpr std::uint8_t kMove = 'M';     // markers: exchange the positions of the list node and a detached one
}  // namespace change_op

// The name letters of the change kinds: the high byte of the stored word.
namespace change_name {
inline constexpr std::uint8_t kAdding = 'a';
inline constexpr std::uint8_t kDeleting = 'd';
inline constexpr std::uint8_t kChanging = 'r';
}  // namespace change_name

constexpr std::uint16_t ChangeWord(std::uint8_t op, std::uint8_t letter) {
  return static_cast<std::uint16_t>(op | (letter << 8));
}

// The longest name an edit record keeps, in UTF-16 units.
inline constexpr std::size_t kMaxUndoNameUnits = 64;

// The kind byte of a record's "hist" chunk.
// kFormatChange is never stored: a format change has no "hist" chunk.
enum class UndoKind : std::uint8_t { kEdit = 0, kMarkerChange = 1, kEnvelopeChange = 2, kFormatChange = 3 };

class UndoRecord {
 public:
  UndoRecord(const UndoRecord&) = delete;
  UndoRecord& operator=(const UndoRecord&) = delete;

  // The text shown in the Undo and Redo commands; 2 when memory runs out.
  [[nodiscard]] virtual Error GetName(std::string* name) const = 0;

  // Applies the record to `document` (redo false: an undo step). On success
  // the record holds its own inverse and the document's counters, editor
  // window and frame have been told; on error nothing has changed.
  [[nodiscard]] virtual Error Apply(SoundDocument& document, bool redo) = 0;

  // Releases every reference the record holds.
  virtual ~UndoRecord() = default;

  // The marker nodes this record contributes to a workspace's node array,
  // in the order its chunk expects them (nodes it refers to by number are
  // not among them). With a null array only the count.
  virtual std::size_t ListMarkers(Marker** nodes) const = 0;
  // Likewise for envelope points.
  virtual std::size_t ListEnvelopePoints(EnvelopePoint** points) const = 0;

  // Writes the record's "hist" chunk (an edit also its "sblk" records and
  // its name text). 77 when a source or a node it refers to has no number
  // in the writer, 2 when memory runs out, or the writer's error.
  [[nodiscard]] virtual Error Serialize(ChunkWriter& writer) const = 0;

  virtual UndoKind kind() const = 0;

  // The segments an edit record puts back when applied (positions from its
  // start); null for the other kinds. Converting a document to another
  // channel count converts these with it, so that the record still fits.
  virtual SegmentList* edit_segments() { return nullptr; }

 protected:
  UndoRecord() = default;
};

// An edit record named `name` (cut to kMaxUndoNameUnits on a character
// boundary) that takes over the lists of `request`, an applied request that
// now holds its inverse. 2 when memory runs out; `request` is then as it was.
[[nodiscard]] Error NewEditRecord(EditRequest& request, std::string_view name, std::unique_ptr<UndoRecord>* out);

// A change record holding one reference to each node. `word` is the
// operation that undoes the change and its name letter (ChangeWord). 'R' and
// 'M' take two nodes, the one in the list first; 'M' is for markers only.
// 77 for any other shape (unknown operation or letter, no nodes, a null
// node), 2 when memory runs out.
[[nodiscard]] Error NewMarkerChangeRecord(std::uint16_t word, std::span<Marker* const> nodes,
                                          std::unique_ptr<UndoRecord>* out);
[[nodiscard]] Error NewEnvelopeChangeRecord(std::uint16_t word, std::span<EnvelopePoint* const> points,
                                            std::unique_ptr<UndoRecord>* out);

}  // namespace tidemark
