// Progress and cancel of codec work (decoding on open, encoding on save):
// the program puts a hook in force; the codecs call it as they go.
#pragma once

#include <cstdint>
#include <functional>

namespace tidemark {

// Told the frames done so far and the total (0 when unknown); false cancels.
using CodecProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// The hook for opens, which get no options of their own; none by default.
void SetCodecOpenProgress(CodecProgress progress);
const CodecProgress& CodecOpenProgress();

}  // namespace tidemark
