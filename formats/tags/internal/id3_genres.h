// The ID3v1 genre list: 148 names, the 80 of the original list followed by
// the later extensions, in their customary order. ID3v1 stores a genre as
// its index here; ID3v2.3 writes "(index)" and ID3v2.4 the name.
#pragma once

#include <cstddef>
#include <string_view>

namespace tidemark {

inline constexpr std::size_t kId3GenreCount = 148;

// The name of genre `index`; empty when the index is outside the list.
std::string_view Id3GenreName(int index);

// The index of the genre named `name` (ASCII case ignored); -1 when the
// list has no such name.
int Id3GenreIndex(std::string_view name);

}  // namespace tidemark
