// The padding rule of RIFF and IFF files: a chunk body of odd size is
// followed by one zero byte, so every chunk starts at an even offset. The
// sample data of the RIFF and IFF files the program writes follows it too.
#pragma once

#include <cstdint>

namespace tidemark {

// `size` rounded up to even: the bytes a body occupies with its pad byte.
constexpr std::uint64_t PaddedSize(std::uint64_t size) { return (size + 1) & ~std::uint64_t{1}; }

}  // namespace tidemark
