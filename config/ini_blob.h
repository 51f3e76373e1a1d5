// The blob value form: bytes packed into zero runs and literal runs, followed
// by a checksum byte, written as upper-case hexadecimal.
//
// Packing: a run of n zero bytes (1..128) is the control byte n-1; a run of n
// non-zero bytes (1..128) is 0x80|(n-1) followed by the bytes. The checksum is
// the sum of all packed bytes modulo 256. Empty input is written as "00".
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tidemark {

// The most bytes a blob setting may hold before packing.
inline constexpr std::size_t kMaxBlobBytes = 128;

std::string PackBlob(std::span<const std::byte> bytes);

// Unpacks `text` into `out`. Refuses (false, `out` unchanged) when the text
// has an odd length or one outside 4..514 characters, holds a character that
// is not a hexadecimal digit, the checksum differs, a run would overrun `out`,
// or the runs do not fill `out` exactly.
bool UnpackBlob(std::string_view text, std::span<std::byte> out);

}  // namespace tidemark
