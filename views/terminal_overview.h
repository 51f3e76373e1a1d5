// The waveform overview as text for a terminal: per channel `rows` lines of
// Unicode braille cells (2 x 4 dots each), every dot column drawing the
// span from its lowest to its highest sample; then a line that shows the
// selection as '=' and each marker as '^', when there are markers a line with their
// numbers under their '^', and a line with the start and end times.
//
// Each line is `width` characters wide: a two-character channel label
// ("L ", "R ", or the channel number) and width - 2 cells. The samples
// are read once through ScanColumnPeaks (column_peaks.h).
#pragma once

#include <cstdint>
#include <string>

#include "core/document/sound_document.h"
#include "platform/error.h"
#include "views/column_peaks.h"

namespace tidemark::views {

inline constexpr int kMinOverviewWidth = 12;
inline constexpr int kMaxOverviewWidth = 1000;
inline constexpr int kMaxOverviewRows = 50;

// The overview of the whole of `document` (length above 0; width
// kMinOverviewWidth to kMaxOverviewWidth, rows 1 to kMaxOverviewRows),
// lines ending in '\n'. 77 for a bad size or an empty document, the
// scan's errors otherwise.
[[nodiscard]] Error RenderTerminalOverview(const SoundDocument& document, int width, int rows,
                                           const ViewProgress& progress, std::string* text);

}  // namespace tidemark::views
