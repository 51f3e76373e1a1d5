#include "core/markers/marker.h"

#include "platform/alloc.h"

namespace tidemark {

Marker* NewMarker(std::string_view name, std::string_view comment, std::uint32_t position) {
  IntrusiveRef<Marker> m;
  if (MakeNew(&m)) return nullptr;
  const Error rc = TryAlloc([&] {
    m->name.assign(name);
    // Control characters would break the list views and the text export.
    for (char& c : m->name) {
      const auto u = static_cast<unsigned char>(c);
      if (u < 0x20 || u == 0x7F) c = ' ';
    }
    if (!comment.empty()) m->comment = std::make_unique<std::string>(comment);
  });
  if (rc) return nullptr;
  m->position = position;
  return m.release();
}

Marker* CloneMarker(const Marker& marker) {
  Marker* m = NewMarker(marker.name, marker.comment ? std::string_view(*marker.comment) : std::string_view(),
                        marker.position);
  return m;
}

}  // namespace tidemark
