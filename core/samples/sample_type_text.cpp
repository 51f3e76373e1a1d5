#include "core/samples/sample_type_text.h"

#include <cctype>
#include <cstring>

namespace tidemark {
namespace {

using namespace sample_code;

constexpr const char* kKindKeywords[kPcmFileKindCount] = {"Temp", "Wave", "AIFF", "AIFC", "AU", "Raw"};

// Token groups of the text form; a second token of one group is an error.
enum Group { kKind, kOrder, kSign, kBits, kGroupCount };

struct Keyword {
  const char* text;
  Group group;
  int value;  // kind number; 1 = big-endian / unsigned; bits (64 = double, -32 = float)
};

// Tried in this order at each position; the first that matches for its own length wins.
constexpr Keyword kKeywords[] = {
    {"Temp", kKind, 0},         {"Wave", kKind, 1},      {"AIFF", kKind, 2},    {"AIFC", kKind, 3},
    {"AU", kKind, 4},           {"Raw", kKind, 5},       {"LittleEndian", kOrder, 0},
    {"BigEndian", kOrder, 1},   {"Signed", kSign, 0},    {"Unsigned", kSign, 1}, {"8", kBits, 8},
    {"16", kBits, 16},          {"24", kBits, 24},       {"32", kBits, 32},     {"Float", kBits, -32},
    {"Double", kBits, 64},
};

bool MatchesAt(std::string_view text, std::size_t pos, const char* keyword) {
  const std::size_t len = std::strlen(keyword);
  if (text.size() - pos < len) return false;
  for (std::size_t i = 0; i < len; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[pos + i])) != std::tolower(static_cast<unsigned char>(keyword[i])))
      return false;
  }
  return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

NormalisedCode NormaliseForKind(PcmFileKind kind, SampleCode code) {
  const bool one_byte = BytesPerSample(code) == 1;
  switch (kind) {
    case PcmFileKind::Temp:
    case PcmFileKind::Wave:
      code &= SampleCode(~(kUnsignedBit | kBigEndianBit));
      if (one_byte) code |= kUnsignedBit;
      return {code, false};
    case PcmFileKind::AIFF:
      if (IsFloatCode(code)) return {kS32BE, true};
      code &= SampleCode(~kUnsignedBit);
      if (!one_byte) code |= kBigEndianBit;
      return {code, false};
    case PcmFileKind::AIFC:
      code &= SampleCode(~kUnsignedBit);
      if (IsFloatCode(code)) code |= kBigEndianBit;
      return {code, false};
    case PcmFileKind::AU:
      code &= SampleCode(~kUnsignedBit);
      if (!one_byte) code |= kBigEndianBit;
      return {code, false};
    case PcmFileKind::Raw:
      return {code, false};
  }
  return {code, true};
}

const char* PcmFileKindKeyword(PcmFileKind kind) {
  const auto k = static_cast<std::uint16_t>(kind);
  return k < kPcmFileKindCount ? kKindKeywords[k] : "";
}

std::string SampleTypeText(PcmFileKind kind, SampleCode code) {
  if (static_cast<std::uint16_t>(kind) >= kPcmFileKindCount) return {};
  std::string text = PcmFileKindKeyword(kind);
  const unsigned bytes = BytesPerSample(code);
  if (kind == PcmFileKind::Raw) {
    if (bytes == 1)
      text += IsUnsignedCode(code) ? "Unsigned" : "Signed";
    else
      text += IsBigEndianCode(code) ? "BigEndian" : "LittleEndian";
  }
  if (IsFloatCode(code) && bytes == 4)
    text += "Float";
  else if (IsFloatCode(code) && bytes == 8)
    text += "Double";
  else
    text += std::to_string(bytes * 8);
  return text;
}

std::optional<ParsedSampleType> ParseSampleTypeText(std::string_view text) {
  int found[kGroupCount];
  bool seen[kGroupCount] = {};
  std::size_t pos = 0;
  while (true) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    if (pos == text.size()) break;
    const Keyword* match = nullptr;
    for (const Keyword& k : kKeywords) {
      if (MatchesAt(text, pos, k.text)) {
        match = &k;
        break;
      }
    }
    if (!match || seen[match->group]) return std::nullopt;
    seen[match->group] = true;
    found[match->group] = match->value;
    pos += std::strlen(match->text);
  }
  if (!seen[kKind] || !seen[kBits]) return std::nullopt;

  const int bits = found[kBits];
  const bool is_float = bits == -32 || bits == 64;
  const int size_bits = bits == -32 ? 32 : bits;
  if (size_bits > 8 && seen[kSign]) return std::nullopt;
  if (size_bits <= 8 && seen[kOrder]) return std::nullopt;
  const auto kind = static_cast<PcmFileKind>(found[kKind]);
  if (kind == PcmFileKind::Raw) {
    if (size_bits > 8 && !seen[kOrder]) return std::nullopt;
    if (size_bits <= 8 && !seen[kSign]) return std::nullopt;
  }

  SampleCode code = SampleCode(size_bits / 8);
  if (seen[kOrder] && found[kOrder] == 1) code |= kBigEndianBit;
  if (seen[kSign] && found[kSign] == 1) code |= kUnsignedBit;
  if (is_float) code |= kFloatBit;
  const NormalisedCode normalised = NormaliseForKind(kind, code);
  if (normalised.invalid) return std::nullopt;
  return ParsedSampleType{kind, normalised.code};
}

}  // namespace tidemark
