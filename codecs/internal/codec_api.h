// Resolving a library's functions into a struct of typed pointers.
#pragma once

#include <array>
#include <cstring>

#include "codecs/codec_library.h"

namespace tidemark::codec_detail {

// `Api` is a struct of N function pointers in the order of `names`.
template <typename Api, std::size_t N>
[[nodiscard]] Error ResolveApi(CodecLibrary library, const std::array<const char*, N>& names, Api* api) {
  static_assert(sizeof(Api) == N * sizeof(void*), "one name per pointer");
  std::array<void*, N> slots{};
  if (const Error rc = ResolveCodecSymbols(library, names.data(), slots.data(), N)) return rc;
  // Object and function pointers share a representation on this platform.
  std::memcpy(static_cast<void*>(api), slots.data(), sizeof(Api));
  return Error{};
}

}  // namespace tidemark::codec_detail
