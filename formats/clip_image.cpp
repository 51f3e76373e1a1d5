#include "formats/clip_image.h"

#include <vector>

#include "platform/clipboard.h"
#include "platform/error_numbers.h"

namespace tidemark {

Error ClipToWaveImage(const SoundClip& clip, WaveImage* image) {
  return ProduceWaveImage(clip.segments, clip.length, clip.channels, clip.rate, 0, clip.length, image);
}

Error ClipFromWaveImage(std::span<const std::uint8_t> block, ClipRef* out) {
  WaveImageLayout layout;
  if (!ParseWaveImage(block, nullptr, &layout)) return err::kMalformed;
  ClipRef clip = NewClip(layout.rate, layout.channels, layout.code);
  if (!clip) return err::kOutOfMemory;
  if (layout.frames > 0) {
    if (const Error rc = PasteWaveImage(block, nullptr, &clip->segments, &layout)) return rc;
  }
  clip->length = layout.frames;
  *out = std::move(clip);
  return err::kOk;
}

Error WaveClipboardLink::Announce(const ClipRef& clip) {
  ClipboardSession session;
  if (const Error rc = session.Open()) return rc;
  (void)session.Empty();
  // The clip's reference keeps its sources alive until the image is made.
  session.OfferWave([clip](std::vector<std::uint8_t>* image) { return ClipToWaveImage(*clip, image); });
  (void)session.Close();
  return err::kOk;
}

void WaveClipboardLink::Withdraw() {
  ClipboardSession session;
  if (session.Open() != err::kOk) return;
  if (session.OwnedByThisProcess()) (void)session.Empty();
  (void)session.Close();
}

Error WaveClipboardLink::Fetch(ClipRef* out) {
  out->reset();
  std::vector<std::uint8_t> block;
  {
    ClipboardSession session;
    if (const Error rc = session.Open()) return rc;
    if (const Error rc = session.ReadWave(&block)) return rc;
    (void)session.Close();
  }
  if (block.empty()) return err::kOk;
  return ClipFromWaveImage(block, out);
}

void InstallWaveClipboardLink() {
  static WaveClipboardLink link;
  SetSystemClipboardLink(&link);
}

}  // namespace tidemark
