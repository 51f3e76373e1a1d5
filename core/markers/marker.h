// A marker: a named position (cue point with a label and an optional
// comment), shared between the document's list, undo records and clips.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/document/node_list.h"
#include "platform/intrusive_ref.h"

namespace tidemark {

struct Marker : RefCounted<Marker> {
  Marker* next = nullptr;
  std::uint32_t position = 0;             // frames
  std::string name;                    // never absent; empty when none was given
  std::unique_ptr<std::string> comment;  // absent when empty
};

// A new node with one reference; characters below 128 that are not printable
// become spaces in the name. Null when memory runs out.
Marker* NewMarker(std::string_view name, std::string_view comment, std::uint32_t position);
// A new node with the same position, name and comment.
Marker* CloneMarker(const Marker& marker);

using MarkerList = NodeList<Marker>;

}  // namespace tidemark
