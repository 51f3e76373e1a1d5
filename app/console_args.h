// The argument forms of the console editor's commands: splitting a line
// into words, positions in seconds or frames, decibels and format words.
// Every parser refuses malformed text instead of guessing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/samples/sample_type_text.h"

namespace tidemark::console {

// Splits a line into words separated by blanks (spaces and tabs). A double
// quote starts or ends a quoted stretch, which keeps blanks; inside it \"
// stands for a quote and \\ for a backslash (any other backslash is kept).
// Quotes may join a word: ab"c d" is one word "abc d". Nothing for a line
// with an unclosed quote.
std::optional<std::vector<std::string>> SplitArguments(std::string_view line);

// A position as written: seconds ("1.5", "-2") or frames ("66150f").
// `frame` is the frame it names before clamping (seconds become
// floor(seconds x rate + 0.5)); `negative` tells that it lay below 0.
struct Position {
  std::int64_t frame = 0;
  bool negative = false;
};
// Nothing for malformed text (empty, junk after the number, "inf", "nan",
// a fraction of a frame). Huge values saturate rather than overflow.
std::optional<Position> ParsePosition(std::string_view text, std::uint32_t rate);
// The position clamped to 0 ... length.
std::uint32_t ClampPosition(const Position& position, std::uint32_t length);

// A finite decimal number (no "inf", "nan" or junk).
std::optional<double> ParseNumber(std::string_view text);
// A whole number 0 ... max written in decimal digits only.
std::optional<std::uint64_t> ParseCount(std::string_view text, std::uint64_t max);

// Decibels as an amplitude factor: 10^(dB / 20); "-inf" gives 0. Nothing
// for malformed text or a factor that is not finite.
std::optional<float> ParseDecibels(std::string_view text);

// A format word: a sample type such as "Wave16", "AIFF24", "RawSigned8" or
// "WaveFloat" (the text form the documents list shows).
std::optional<ParsedSampleType> ParseFormatWord(std::string_view text);

}  // namespace tidemark::console
