// The object model's own rules that need no COM types: seconds to frames,
// the selection properties, the PcmFileSample words, temporary names, the
// AppPrivate list encoding and the waveform-information keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/samples/sample_type_text.h"
#include "effects/analysis/waveform_statistics.h"
#include "platform/error.h"

namespace tidemark::NS_SCRIPT {

// Errors the model raises itself.
namespace model_err {
inline constexpr Error kDialogFailed{4};
inline constexpr Error kPathTooLong{36};
inline constexpr Error kNoSleepState{74};
inline constexpr Error kNotOnThisSystem{80};
}  // namespace model_err

// floor(seconds x rate + 0.5) clamped to 0..kMaxFrames; NaN gives 0.
std::uint32_t SecondsToFrames(double seconds, std::uint32_t rate);

struct FrameRange {
  std::uint32_t from = 0;
  std::uint32_t to = 0;
  bool operator==(const FrameRange&) const = default;
};
// Putting SelectionFrom / SelectionTo to `seconds` on a document of
// `length` frames whose selection is `old`.
FrameRange PutSelectionFrom(FrameRange old, std::uint32_t length, double seconds, std::uint32_t rate);
FrameRange PutSelectionTo(FrameRange old, std::uint32_t length, double seconds, std::uint32_t rate);

// A file type and sample format from their words; nothing when the words do
// not parse or the file kind cannot store the sample format. A temporary
// kind saves as Wave.
std::optional<ParsedSampleType> ParsePcmFileSample(std::string_view words);

// Creates a new empty file (or a folder with `make_dir`) named `prefix`
// + four hexadecimal digits + ".tmp" in `folder` (empty: the current
// folder), starting from the shared name generator's number (or `start`
// when given, for tests) and skipping 0. `path` gets the full path.
// Errors: 35 when the folder cannot be made absolute, 36 when the result
// would exceed 260 characters, 0xFD0000 | errno when creating fails for
// another reason than an existing name or every number is taken (for a
// folder, every number taken gives kAllNamesTaken).
inline constexpr Error kAllNamesTaken{0xFFFFFFFEu};
[[nodiscard]] Error CreateTempName(std::string_view folder, std::string_view prefix, bool make_dir,
                                   std::string* path, std::optional<std::uint16_t> start = std::nullopt);

// The AppPrivate field as a list: each element in double quotes with '"'
// and '\' escaped by '\', elements separated by ','. An empty field is an
// empty list; text outside the form is taken as one unquoted element.
std::string JoinAppPrivate(const std::vector<std::string>& items);
std::vector<std::string> SplitAppPrivate(std::string_view field);

// The first character of GetWaveformInfo's argument as the weighting word:
// empty takes `current`; '0', 'A'..'D' (either case) themselves; anything
// else nothing.
std::optional<char> WeightingLetter(std::string_view argument, char current);

// One key of a waveform snapshot: `channel` < 0 the whole-selection keys,
// 0 or 1 the per-channel keys. Nothing for an unknown key or a channel
// above 1. Positions are seconds.
std::optional<double> WaveformValue(const WaveformStatistics& stats, std::uint32_t rate, std::string_view key,
                                    int channel);

}  // namespace tidemark::NS_SCRIPT
