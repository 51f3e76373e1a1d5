// The output devices other than the ALSA PCMs: "null" and "file:PATH[?fast]".
#pragma once

#include <memory>
#include <string>

#include "playback/snd_out_dev.h"

namespace tidemark::playback::internal {

[[nodiscard]] Error OpenNullOutDev(const OutFormat& format, const OutBuffers& buffers,
                                   std::unique_ptr<CSndOutDev>* out);
// `target` is what follows "file:".
[[nodiscard]] Error OpenFileOutDev(const std::string& target, const OutFormat& format, const OutBuffers& buffers,
                                   std::unique_ptr<CSndOutDev>* out, std::string* detail);
[[nodiscard]] Error OpenAlsaOutDev(const std::string& pcm, const OutFormat& format, const OutBuffers& buffers,
                                   std::unique_ptr<CSndOutDev>* out, std::string* detail);

// The canonical WAV header for `format` holding `data_bytes`: 44 bytes for
// 16-bit, 68 (extensible) for 24-bit, 58 (format 3
// and a fact chunk) for float.
std::string WavHeader(const OutFormat& format, std::uint32_t data_bytes);

}  // namespace tidemark::playback::internal
