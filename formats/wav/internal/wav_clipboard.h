// The WAVE image other programs exchange on the system clipboard (CF_WAVE):
// a whole RIFF/WAVE file in one block of memory. Produced as 16-bit PCM with
// the canonical 44-byte header; accepted for paste only in the plain integer
// PCM forms.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/samples/sample_format.h"
#include "core/document/segment.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;

// The clipboard block.
using WaveImage = std::vector<std::uint8_t>;

// Sample bytes an image may carry: a sound of this many bytes or more is
// not put on the clipboard.
inline constexpr std::uint32_t kWaveImageDataLimit = 0xFEFFD5;

// Builds the image of frames [from, from + frames) of a segment list of
// `list_length` frames with `channels` channels at `rate`, converted to
// 16-bit. 77 when the range passes the list's length, the block of a frame
// passes 16 bits or the samples would take kWaveImageDataLimit bytes or more;
// 2; the read errors of the sources (8). `image` is changed only on success.
[[nodiscard]] Error ProduceWaveImage(const SegmentList& segments, std::uint32_t list_length,
                                     std::uint16_t channels, std::uint32_t rate, std::uint32_t from,
                                     std::uint32_t frames, WaveImage* image);

// The same for a range of a document.
[[nodiscard]] Error ProduceWaveImage(const SoundDocument& document, std::uint32_t from, std::uint32_t frames,
                                     WaveImage* image);

// The document a paste goes into: its rate and channels must match.
struct PasteTarget {
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;
};

// What an acceptable image holds.
struct WaveImageLayout {
  std::uint32_t rate = 0;
  std::uint16_t channels = 0;
  SampleCode code = 0;           // U8, S16, S24 or S32
  std::uint32_t data_offset = 0;  // of the first sample byte in the block
  std::uint32_t frames = 0;       // whole blocks of the data chunk
};

// Whether `block` is an image that can be pasted into `target` (or, without
// one, into a new document: 1 or 2 channels, 4000 to 384000 Hz), and its
// layout when `layout` is given.
bool ParseWaveImage(std::span<const std::uint8_t> block, const PasteTarget* target, WaveImageLayout* layout);

// Writes the samples of an acceptable image into a new working file and
// appends the segment over it to `segments`. 14 when the image is not
// acceptable for `target`; the errors of the working-file writer.
[[nodiscard]] Error PasteWaveImage(std::span<const std::uint8_t> block, const PasteTarget* target,
                                   SegmentList* segments, WaveImageLayout* layout);

}  // namespace tidemark
