// The program's clip on the system clipboard as a WAVE image (CF_WAVE):
// building the image of a clip, reading an image back into a clip, and the
// link the clip code uses to announce clips with delayed rendering and to
// fetch what other programs put there.
#pragma once

#include <cstdint>
#include <span>

#include "core/edit/sound_clip.h"
#include "formats/wav/internal/wav_clipboard.h"
#include "platform/error.h"

namespace tidemark {

// The 16-bit image of the whole clip; the errors of ProduceWaveImage (77
// when the clip is too large for an image).
[[nodiscard]] Error ClipToWaveImage(const SoundClip& clip, WaveImage* image);

// A new clip over a working file holding the image's samples (its own rate,
// channels and sample code; no markers). 14 when the block is not an
// acceptable image, 2, the working-file writer's errors.
[[nodiscard]] Error ClipFromWaveImage(std::span<const std::uint8_t> block, ClipRef* out);

// The link between the program's clip and the system clipboard.
class WaveClipboardLink final : public SystemClipboardLink {
 public:
  // Empties the clipboard and offers the clip's image, produced when the
  // clipboard session closes. 38 when the clipboard cannot be opened. An
  // image that cannot be made (a clip too large) leaves the clipboard empty;
  // the program's clip is kept.
  Error Announce(const ClipRef& clip) override;
  // Empties the clipboard when this process wrote what it holds.
  void Withdraw() override;
  // 38 when the clipboard cannot be opened, 14 for an image that cannot be
  // pasted; an empty ref when the clipboard holds nothing.
  Error Fetch(ClipRef* out) override;
};

// Installs the process's one WaveClipboardLink for the clip code.
void InstallWaveClipboardLink();

}  // namespace tidemark
