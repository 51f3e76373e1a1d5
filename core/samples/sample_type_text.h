// File-kind normalisation of sample codes and the text form of sample types
// ("Wave16", "RawBigEndian24", "TempFloat").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/samples/sample_format.h"

namespace tidemark {

struct NormalisedCode {
  SampleCode code;
  bool invalid;  // the file kind cannot store the request at all (float asked of AIFF)
};

// Adapts a requested code to what the file kind can store.
NormalisedCode NormaliseForKind(PcmFileKind kind, SampleCode requested);

const char* PcmFileKindKeyword(PcmFileKind kind);

// "Wave16", "AIFF24", "RawSigned8", "RawBigEndianDouble"; empty for a kind
// outside 0..5.
std::string SampleTypeText(PcmFileKind kind, SampleCode code);

struct ParsedSampleType {
  PcmFileKind kind;
  SampleCode code;
  friend bool operator==(const ParsedSampleType&, const ParsedSampleType&) = default;
};

// Parses the text form; white space between tokens is skipped and keywords
// match without regard to ASCII case. Nothing on failure.
std::optional<ParsedSampleType> ParseSampleTypeText(std::string_view text);

}  // namespace tidemark
