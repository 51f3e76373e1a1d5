// One stretch of a segment list (a piece table): frames of a sound source
// placed at a document position, and the list that owns such stretches.
#pragma once

#include <cstdint>
#include <memory>

#include "core/sources/sound_source.h"

namespace tidemark {

// Per-channel gain and offset of a segment; offsets in full-scale units.
struct SegmentGain {
  float gain0 = 1.0f;
  float offset0 = 0.0f;
  float gain1 = 1.0f;
  float offset1 = 0.0f;
};

struct Segment {
  Segment* next = nullptr;  // links are owned by the SegmentList
  Segment* prev = nullptr;
  SourceRef source;                   // one counted reference per segment
  std::uint32_t length = 0;           // frames
  std::uint32_t position = 0;         // frame of the first sample in the document
  std::uint32_t source_offset = 0;    // first frame in the source
  std::unique_ptr<SegmentGain> gain;  // absent: gain 1, offset 0 on every channel
};

// Doubly linked list of segments, sorted by position; owns its nodes.
class SegmentList {
 public:
  SegmentList() = default;
  SegmentList(const SegmentList&) = delete;
  SegmentList& operator=(const SegmentList&) = delete;
  SegmentList(SegmentList&& other) noexcept : first_(other.first_), last_(other.last_), count_(other.count_) {
    other.first_ = other.last_ = nullptr;
    other.count_ = 0;
  }
  SegmentList& operator=(SegmentList&& other) noexcept {
    if (this != &other) {
      Clear();
      first_ = other.first_;
      last_ = other.last_;
      count_ = other.count_;
      other.first_ = other.last_ = nullptr;
      other.count_ = 0;
    }
    return *this;
  }
  ~SegmentList() { Clear(); }

  Segment* first() const { return first_; }
  Segment* last() const { return last_; }
  std::size_t size() const { return count_; }
  bool empty() const { return first_ == nullptr; }

  // Appends a node; the list takes ownership.
  Segment* PushBack(std::unique_ptr<Segment> segment) {
    Segment* s = segment.release();
    s->next = nullptr;
    s->prev = last_;
    if (last_)
      last_->next = s;
    else
      first_ = s;
    last_ = s;
    ++count_;
    return s;
  }

  // Links a node before `pos` (at the end when null); the list takes ownership.
  Segment* InsertBefore(Segment* pos, std::unique_ptr<Segment> segment) {
    if (!pos) return PushBack(std::move(segment));
    Segment* s = segment.release();
    s->next = pos;
    s->prev = pos->prev;
    if (pos->prev)
      pos->prev->next = s;
    else
      first_ = s;
    pos->prev = s;
    ++count_;
    return s;
  }

  // Unlinks a node and hands it back to the caller.
  std::unique_ptr<Segment> Remove(Segment* s) {
    if (s->prev)
      s->prev->next = s->next;
    else
      first_ = s->next;
    if (s->next)
      s->next->prev = s->prev;
    else
      last_ = s->prev;
    s->next = s->prev = nullptr;
    --count_;
    return std::unique_ptr<Segment>(s);
  }

  void Clear() {
    while (first_) Remove(first_);
  }

 private:
  Segment* first_ = nullptr;
  Segment* last_ = nullptr;
  std::size_t count_ = 0;
};

}  // namespace tidemark
