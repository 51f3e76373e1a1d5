// The input devices behind OpenSndInDev: "null", "file:PATH[?fast]" and
// ALSA capture PCMs. `format` is complete here (rate, channels, code set),
// except that a file input fills what was left to it.
#pragma once

#include <memory>
#include <string>

#include "playback/snd_in_dev.h"

namespace tidemark::playback::internal {

[[nodiscard]] Error OpenNullInDev(const InFormat& format, std::uint32_t buffer_frames,
                                  std::unique_ptr<CSndInDev>* out);
// `target` is what follows "file:".
[[nodiscard]] Error OpenFileInDev(const std::string& target, const InFormat& wanted, std::uint32_t buffer_frames,
                                  std::unique_ptr<CSndInDev>* out, std::string* detail);
[[nodiscard]] Error OpenAlsaInDev(const std::string& pcm, const InFormat& format, std::uint32_t buffer_frames,
                                  std::unique_ptr<CSndInDev>* out, std::string* detail);

}  // namespace tidemark::playback::internal
