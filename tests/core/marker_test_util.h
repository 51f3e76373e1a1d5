// Plain views of marker lists: entries compare by value and print readably
// when an expectation fails.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/markers/marker_list.h"

namespace tidemark::testing {

struct MarkerEntry {
  std::uint32_t position;
  std::string name;
  std::string comment;
  bool operator==(const MarkerEntry&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const MarkerEntry& e) {
  return os << "{" << e.position << ", \"" << e.name << "\", \"" << e.comment << "\"}";
}

// Appends in the given order, unsorted as given.
inline MarkerList MakeMarkerList(const std::vector<MarkerEntry>& entries) {
  MarkerList list;
  Marker* tail = nullptr;
  for (const MarkerEntry& e : entries) {
    Marker* m = NewMarker(e.name, e.comment, e.position);
    list.InsertAfterAdopt(tail, m);
    tail = m;
  }
  return list;
}

// The same with the node itself, for tests of node identity.
struct MarkerNode {
  const Marker* node;
  std::uint32_t position;
  std::string name;
  std::string comment = {};
  bool operator==(const MarkerNode&) const = default;
};

inline std::vector<MarkerNode> MarkerNodes(const MarkerList& list) {
  std::vector<MarkerNode> out;
  for (const Marker* m = list.first(); m; m = m->next)
    out.push_back({m, m->position, m->name, m->comment ? *m->comment : std::string()});
  return out;
}

inline std::vector<MarkerEntry> MarkerEntries(const MarkerList& list) {
  std::vector<MarkerEntry> out;
  for (const Marker* m = list.first(); m; m = m->next)
    out.push_back({m->position, m->name, m->comment ? *m->comment : std::string()});
  return out;
}

}  // namespace tidemark::testing
