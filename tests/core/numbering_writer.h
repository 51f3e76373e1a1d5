// A chunk writer for the undo tests that collects the output in memory and
// numbers sources and nodes the way the workspace writer does: the
// document's markers and envelope points in list order, then those each
// undo record lists, newest record first; and a reader of what it wrote.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/io/chunk_writer.h"
#include "core/sources/source_numbering.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"
#include "platform/error_numbers.h"

namespace tidemark::testing {

class NumberingWriter final : public ChunkWriter {
 public:
  Error Write(const void* data, std::size_t size) override {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + size);
    return err::kOk;
  }
  bool SourceNumber(const SoundSource& s, std::uint32_t* n) const override { return sources.NumberOf(s, n); }
  const std::string& WorkFolder() const override { return folder; }
  bool MarkerNumber(const Marker& m, std::uint32_t* n) const override { return Find(marker_numbers, &m, n); }
  bool EnvelopePointNumber(const EnvelopePoint& p, std::uint32_t* n) const override {
    return Find(point_numbers, &p, n);
  }

  // Numbers the nodes of `doc` and of its undo records; false when a node
  // is listed twice (the reader would build it twice).
  bool NumberNodes(const SoundDocument& doc) {
    bool unique = true;
    for (Marker* m = doc.markers.first(); m; m = m->next) unique &= Add(m, markers, marker_numbers);
    for (EnvelopePoint* p = doc.envelope.first(); p; p = p->next) unique &= Add(p, points, point_numbers);
    document_markers = markers.size();
    document_points = points.size();
    for (std::size_t i = 0; i < doc.history.size(); ++i) {
      const UndoRecord& r = doc.history.at(i);
      std::vector<Marker*> m(r.ListMarkers(nullptr));
      unique &= r.ListMarkers(m.data()) == m.size();
      for (Marker* x : m) unique &= Add(x, markers, marker_numbers);
      std::vector<EnvelopePoint*> p(r.ListEnvelopePoints(nullptr));
      unique &= r.ListEnvelopePoints(p.data()) == p.size();
      for (EnvelopePoint* x : p) unique &= Add(x, points, point_numbers);
    }
    return unique;
  }

  SourceNumbering sources;
  std::vector<Marker*> markers;  // by number
  std::vector<EnvelopePoint*> points;
  std::size_t document_markers = 0;  // how many of them are the document's own
  std::size_t document_points = 0;
  std::vector<std::uint8_t> bytes;
  std::string folder;

 private:
  template <typename Node>
  static bool Add(Node* node, std::vector<Node*>& order, std::map<const Node*, std::uint32_t>& numbers) {
    if (!numbers.emplace(node, static_cast<std::uint32_t>(order.size())).second) return false;
    order.push_back(node);
    return true;
  }
  template <typename Node>
  static bool Find(const std::map<const Node*, std::uint32_t>& map, const Node* node, std::uint32_t* n) {
    auto it = map.find(node);
    if (it == map.end()) return false;
    *n = it->second;
    return true;
  }
  std::map<const Marker*, std::uint32_t> marker_numbers;
  std::map<const EnvelopePoint*, std::uint32_t> point_numbers;
};

// Little-endian fields of written chunks; reading past the end fails the test.
class ByteReader {
 public:
  explicit ByteReader(const std::vector<std::uint8_t>& b) : b_(b) {}
  std::string Code() { return std::string(reinterpret_cast<const char*>(Take(4)), 4); }
  std::uint8_t U8() { return *Take(1); }
  std::uint16_t U16() {
    const std::uint8_t* p = Take(2);
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
  }
  std::uint32_t U32() {
    const std::uint8_t* p = Take(4);
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
  }
  float F32() { return std::bit_cast<float>(U32()); }
  void Words(std::initializer_list<std::uint32_t> words) {
    for (const std::uint32_t w : words) EXPECT_EQ(U32(), w);
  }
  void Skip(std::size_t n) {
    if (at_ + n > b_.size()) ADD_FAILURE() << "skipped past the end at " << at_;
    at_ += n;
  }
  bool done() const { return at_ == b_.size(); }

 private:
  const std::uint8_t* Take(std::size_t n) {
    static const std::uint8_t zero[4] = {};
    if (at_ + n > b_.size()) {
      ADD_FAILURE() << "read past the end at " << at_;
      return zero;
    }
    const std::uint8_t* p = b_.data() + at_;
    at_ += n;
    return p;
  }
  const std::vector<std::uint8_t>& b_;
  std::size_t at_ = 0;
};

}  // namespace tidemark::testing
