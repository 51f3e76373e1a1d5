// The marker-change and envelope-change kinds of undo record: an operation
// with its name letter and the nodes it works on, each held by one
// reference of the record.
#include <algorithm>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/io/chunk_writer.h"
#include "core/document/core_text.h"
#include "core/undo/internal/node_change.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"
#include "core/undo/undo_record.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"

namespace tidemark {
namespace {

bool NumberOf(const ChunkWriter& writer, const Marker& m, std::uint32_t* n) { return writer.MarkerNumber(m, n); }
bool NumberOf(const ChunkWriter& writer, const EnvelopePoint& p, std::uint32_t* n) {
  return writer.EnvelopePointNumber(p, n);
}

Error ApplyChange(SoundDocument& doc, std::uint8_t op, std::span<Marker*> nodes) {
  return ChangeMarkers(doc, op, nodes);
}
Error ApplyChange(SoundDocument& doc, std::uint8_t op, std::span<EnvelopePoint*> points) {
  return ChangeEnvelope(doc, op, points);
}

template <typename Node>
class ChangeRecord final : public UndoRecord {
  static constexpr bool kMarkers = std::is_same_v<Node, Marker>;

 public:
  explicit ChangeRecord(std::uint16_t word) : word_(word) {}

  // Takes over one reference to each node (cannot fail).
  void Hold(std::vector<Node*> nodes) { nodes_ = std::move(nodes); }

  Error GetName(std::string* name) const override {
    const std::uint8_t letter = static_cast<std::uint8_t>(word_ >> 8);
    const CoreText id = letter == change_name::kAdding     ? CoreText::kUndoAdding
                        : letter == change_name::kDeleting ? CoreText::kUndoDeleting
                                                           : CoreText::kUndoChanging;
    return TryAlloc([&] { *name = GetCoreText(id); });
  }

  Error Apply(SoundDocument& document, bool redo) override {
    const std::uint8_t op = static_cast<std::uint8_t>(word_);
    if (const Error rc = ApplyChange(document, op, std::span<Node*>(nodes_))) return rc;
    if (op == change_op::kAdd || op == change_op::kDelete) {
      const std::uint8_t inverse = op == change_op::kAdd ? change_op::kDelete : change_op::kAdd;
      word_ = static_cast<std::uint16_t>((word_ & 0xFF00u) | inverse);
    } else if (op == change_op::kReplace) {
      std::swap(nodes_[0], nodes_[1]);  // the node now in the list comes first
    }
    std::uint32_t flags = doc_change::kUndoHistory;
    if constexpr (kMarkers) {
      if (StepChangeCounter(document.marker_change_counter, redo)) flags |= doc_change::kSavedState;
    }
    NotifyDocumentChanged(document, flags);
    return err::kOk;
  }

  ~ChangeRecord() override {
    for (Node* n : nodes_) n->Release();
  }

  std::size_t ListMarkers(Marker** nodes) const override {
    if constexpr (kMarkers) {
      return Held(nodes);
    } else {
      (void)nodes;
      return 0;
    }
  }

  std::size_t ListEnvelopePoints(EnvelopePoint** points) const override {
    if constexpr (kMarkers) {
      (void)points;
      return 0;
    } else {
      return Held(points);
    }
  }

  Error Serialize(ChunkWriter& writer) const override {
    const std::uint8_t op = static_cast<std::uint8_t>(word_);
    return TryAlloc([&] {
      RecordBytes bytes("hist");
      const std::uint8_t head[2] = {
          static_cast<std::uint8_t>(kMarkers ? UndoKind::kMarkerChange : UndoKind::kEnvelopeChange), 0};
      bytes.Append(head, 2);
      bytes.U16(word_);
      bytes.U32(static_cast<std::uint32_t>(nodes_.size()));
      // Nodes in the list go by number; the others are the next ones of
      // the node array (ListMarkers / ListEnvelopePoints).
      const std::size_t by_number = op == change_op::kDelete ? nodes_.size() : op == change_op::kAdd ? 0 : 1;
      for (std::size_t i = 0; i < by_number; ++i) {
        std::uint32_t number = 0;
        if (!NumberOf(writer, *nodes_[i], &number)) return err::kSizeLimit;
        bytes.U32(number);
      }
      return bytes.WriteTo(writer);
    });
  }

  UndoKind kind() const override { return kMarkers ? UndoKind::kMarkerChange : UndoKind::kEnvelopeChange; }

 private:
  // The nodes that are not in the document's list in the record's state:
  // all of an 'A', none of a 'D', the second of an 'R' or 'M'.
  std::size_t Held(Node** out) const {
    switch (static_cast<std::uint8_t>(word_)) {
      case change_op::kAdd:
        if (out) std::copy(nodes_.begin(), nodes_.end(), out);
        return nodes_.size();
      case change_op::kDelete:
        return 0;
      default:
        if (out) out[0] = nodes_[1];
        return 1;
    }
  }

  std::uint16_t word_;
  std::vector<Node*> nodes_;
};

template <typename Node>
Error NewChangeRecord(std::uint16_t word, std::span<Node* const> nodes, std::unique_ptr<UndoRecord>* out) {
  out->reset();
  const std::uint8_t op = static_cast<std::uint8_t>(word), letter = static_cast<std::uint8_t>(word >> 8);
  const bool known_op = op == change_op::kAdd || op == change_op::kDelete || op == change_op::kReplace ||
                        (op == change_op::kMove && std::is_same_v<Node, Marker>);
  const bool known_letter =
      letter == change_name::kAdding || letter == change_name::kDeleting || letter == change_name::kChanging;
  const bool pair = op == change_op::kReplace || op == change_op::kMove;
  if (!known_op || !known_letter || nodes.empty() || (pair && (nodes.size() != 2 || nodes[0] == nodes[1])))
    return err::kSizeLimit;
  for (Node* n : nodes)
    if (!n) return err::kSizeLimit;
  std::vector<Node*> held;
  if (const Error rc = TryAlloc([&] { held.assign(nodes.begin(), nodes.end()); })) return rc;
  std::unique_ptr<ChangeRecord<Node>> record;
  if (const Error rc = MakeNew(&record, word)) return rc;
  for (Node* n : held) n->AddRef();
  record->Hold(std::move(held));
  *out = std::move(record);
  return err::kOk;
}

}  // namespace

Error NewMarkerChangeRecord(std::uint16_t word, std::span<Marker* const> nodes, std::unique_ptr<UndoRecord>* out) {
  return NewChangeRecord(word, nodes, out);
}

Error NewEnvelopeChangeRecord(std::uint16_t word, std::span<EnvelopePoint* const> points,
                              std::unique_ptr<UndoRecord>* out) {
  return NewChangeRecord(word, points, out);
}

}  // namespace tidemark
