// File-kind normalisation and the text form of sample types, checked against
// a small model of the kind table and of the token rules.
#include "core/samples/sample_type_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace tidemark {
namespace {

namespace sc = sample_code;
using Parsed = std::optional<ParsedSampleType>;

constexpr PcmFileKind kKinds[] = {PcmFileKind::Temp, PcmFileKind::Wave, PcmFileKind::AIFF,
                                  PcmFileKind::AIFC, PcmFileKind::AU,   PcmFileKind::Raw};
constexpr const char* kKindWords[] = {"Temp", "Wave", "AIFF", "AIFC", "AU", "Raw"};

Parsed Ok(PcmFileKind kind, SampleCode code) { return ParsedSampleType{kind, code}; }

std::string Show(const Parsed& p) {
  if (!p) return "failure";
  char b[48];
  std::snprintf(b, sizeof b, "kind %u code 0x%04X", static_cast<unsigned>(p->kind), static_cast<unsigned>(p->code));
  return b;
}

std::string Quote(std::string_view text) {
  std::string s = "\"";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7F) {
      s += c;
    } else {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", u);
      s += b;
    }
  }
  if (s.size() > 80) s = s.substr(0, 60) + "...(" + std::to_string(text.size()) + " chars)";
  return s + "\"";
}

void ExpectParse(std::string_view text, const Parsed& expected) {
  EXPECT_EQ(Show(ParseSampleTypeText(text)), Show(expected)) << "text " << Quote(text);
}

NormalisedCode ModelNormalise(PcmFileKind kind, SampleCode c) {
  const bool one_byte = BytesPerSample(c) == 1;
  switch (kind) {
    case PcmFileKind::Temp:
    case PcmFileKind::Wave:
      c &= ~(sc::kUnsignedBit | sc::kBigEndianBit);
      if (one_byte) c |= sc::kUnsignedBit;
      return {c, false};
    case PcmFileKind::AIFF:
      if (IsFloatCode(c)) return {sc::kS32BE, true};
      c &= ~sc::kUnsignedBit;
      if (!one_byte) c |= sc::kBigEndianBit;
      return {c, false};
    case PcmFileKind::AIFC:
      c &= ~sc::kUnsignedBit;
      if (IsFloatCode(c)) c |= sc::kBigEndianBit;
      return {c, false};
    case PcmFileKind::AU:
      c &= ~sc::kUnsignedBit;
      if (!one_byte) c |= sc::kBigEndianBit;
      return {c, false};
    case PcmFileKind::Raw: return {c, false};
  }
  return {c, true};
}

std::string ModelText(PcmFileKind kind, SampleCode c) {
  std::string s = kKindWords[static_cast<int>(kind)];
  if (kind == PcmFileKind::Raw) {
    if (BytesPerSample(c) == 1)
      s += IsUnsignedCode(c) ? "Unsigned" : "Signed";
    else
      s += IsBigEndianCode(c) ? "BigEndian" : "LittleEndian";
  }
  if (IsFloatCode(c)) return s + (BytesPerSample(c) == 4 ? "Float" : "Double");
  return s + std::to_string(BitsPerSample(c));
}

// The keyword table as groups: which group a keyword belongs to and what it
// contributes.
enum class Group { Kind, Order, Sign, Size };
struct Keyword {
  const char* text;
  Group group;
  int value;  // kind, 1 for BigEndian / Unsigned, or bits (-32 / -64 for Float / Double)
};
constexpr Keyword kKeywords[] = {
    {"Temp", Group::Kind, 0},       {"Wave", Group::Kind, 1},      {"AIFF", Group::Kind, 2},
    {"AIFC", Group::Kind, 3},       {"AU", Group::Kind, 4},        {"Raw", Group::Kind, 5},
    {"LittleEndian", Group::Order, 0}, {"BigEndian", Group::Order, 1}, {"Signed", Group::Sign, 0},
    {"Unsigned", Group::Sign, 1},   {"8", Group::Size, 8},         {"16", Group::Size, 16},
    {"24", Group::Size, 24},        {"32", Group::Size, 32},       {"Float", Group::Size, -32},
    {"Double", Group::Size, -64},
};

// The parse rules applied to an already separated sequence of keywords.
Parsed ModelParse(const std::vector<int>& tokens) {
  std::optional<int> slot[4];
  for (int t : tokens) {
    const Keyword& k = kKeywords[t];
    std::optional<int>& s = slot[static_cast<int>(k.group)];
    if (s) return std::nullopt;
    s = k.value;
  }
  if (!slot[0] || !slot[3]) return std::nullopt;
  const int kind = *slot[0];
  const int order = slot[1].value_or(-1);
  const int sign = slot[2].value_or(-1);
  const int size_value = *slot[3];
  const bool is_float = size_value < 0;
  const int bits = is_float ? -size_value : size_value;
  if (bits > 8 && sign >= 0) return std::nullopt;
  if (bits <= 8 && order >= 0) return std::nullopt;
  if (kind == 5 && bits > 8 && order < 0) return std::nullopt;
  if (kind == 5 && bits == 8 && sign < 0) return std::nullopt;
  SampleCode code = static_cast<SampleCode>(bits / 8);
  if (order == 1) code |= sc::kBigEndianBit;
  if (sign == 1) code |= sc::kUnsignedBit;
  if (is_float) code |= sc::kFloatBit;
  const NormalisedCode n = ModelNormalise(static_cast<PcmFileKind>(kind), code);
  if (n.invalid) return std::nullopt;
  return Ok(static_cast<PcmFileKind>(kind), n.code);
}

TEST(SampleTypeText, KeywordsAndTextsOfEveryKindAndCode) {
  for (int k = 0; k < 6; ++k) EXPECT_STREQ(PcmFileKindKeyword(kKinds[k]), kKindWords[k]);
  using K = PcmFileKind;
  const struct {
    PcmFileKind kind;
    SampleCode code;
    const char* text;
  } worked[] = {
      {K::Raw, sc::kS24BE, "RawBigEndian24"}, {K::Wave, sc::kU8, "Wave8"}, {K::Wave, sc::kS16, "Wave16"},
      {K::Temp, sc::kFloat, "TempFloat"}, {K::AIFF, sc::kS24BE, "AIFF24"}, {K::Raw, sc::kS8, "RawSigned8"},
      {K::Raw, sc::kDoubleBE, "RawBigEndianDouble"}, {K::Raw, sc::kU8, "RawUnsigned8"},
      {K::Raw, sc::kFloat, "RawLittleEndianFloat"}, {K::Raw, sc::kS32, "RawLittleEndian32"},
      {K::AU, sc::kFloatBE, "AUFloat"}, {K::AIFC, sc::kS16BE, "AIFC16"}, {K::Temp, sc::kDouble, "TempDouble"},
      {K::Wave, sc::kS32, "Wave32"},
  };
  for (const auto& w : worked) EXPECT_EQ(SampleTypeText(w.kind, w.code), w.text);
  // Only Raw names byte order and signedness; the text never depends on them
  // for the other kinds, normalised or not.
  for (PcmFileKind kind : kKinds)
    for (SampleCode c : sc::kAll) EXPECT_EQ(SampleTypeText(kind, c), ModelText(kind, c)) << Show(Ok(kind, c));
  EXPECT_EQ(SampleTypeText(static_cast<PcmFileKind>(6), sc::kS16), "");
  EXPECT_EQ(SampleTypeText(static_cast<PcmFileKind>(0xFFFF), sc::kS16), "");
}

TEST(SampleTypeText, NormaliseForKindFollowsTheKindTable) {
  struct Case {
    PcmFileKind kind;
    SampleCode in, out;
    bool invalid;
  };
  using K = PcmFileKind;
  const Case worked[] = {
      {K::Wave, sc::kS8, sc::kU8, false}, {K::Temp, sc::kU8, sc::kU8, false}, {K::Wave, sc::kS24BE, sc::kS24, false},
      {K::Temp, sc::kDoubleBE, sc::kDouble, false}, {K::Wave, sc::kFloatBE, sc::kFloat, false},
      {K::AIFF, sc::kFloat, sc::kS32BE, true}, {K::AIFF, sc::kDoubleBE, sc::kS32BE, true},
      {K::AIFF, sc::kU8, sc::kS8, false}, {K::AIFF, sc::kS24, sc::kS24BE, false},
      {K::AIFF, sc::kS32BE, sc::kS32BE, false}, {K::AIFC, sc::kS16, sc::kS16, false},
      {K::AIFC, sc::kS16BE, sc::kS16BE, false}, {K::AIFC, sc::kDouble, sc::kDoubleBE, false},
      {K::AIFC, sc::kU8, sc::kS8, false}, {K::AU, sc::kU8, sc::kS8, false}, {K::AU, sc::kS32, sc::kS32BE, false},
      {K::AU, sc::kFloat, sc::kFloatBE, false}, {K::Raw, sc::kU8, sc::kU8, false},
      {K::Raw, sc::kFloat, sc::kFloat, false}, {K::Raw, sc::kS24BE, sc::kS24BE, false},
  };
  for (const Case& c : worked) {
    const NormalisedCode n = NormaliseForKind(c.kind, c.in);
    EXPECT_EQ(n.code, c.out) << Show(Ok(c.kind, c.in));
    EXPECT_EQ(n.invalid, c.invalid) << Show(Ok(c.kind, c.in));
  }
  for (PcmFileKind kind : kKinds)
    for (SampleCode c : sc::kAll) {
      SCOPED_TRACE(Show(Ok(kind, c)));
      const NormalisedCode n = NormaliseForKind(kind, c);
      const NormalisedCode m = ModelNormalise(kind, c);
      EXPECT_EQ(n.code, m.code);
      EXPECT_EQ(n.invalid, m.invalid);
      EXPECT_TRUE(IsSupportedSampleCode(n.code));
      // A normalised code is already what the kind stores.
      const NormalisedCode again = NormaliseForKind(kind, n.code);
      EXPECT_EQ(again.code, n.code);
      EXPECT_FALSE(again.invalid);
    }
}

// Byte order and signedness may be named for any kind, which then decides
// what is stored; case, white space and the order of the tokens are free.
TEST(SampleTypeText, WellFormedTextsParse) {
  using K = PcmFileKind;
  const struct {
    const char* text;
    PcmFileKind kind;
    SampleCode code;
  } good[] = {
      {"Wave 16", K::Wave, sc::kS16}, {"wave16", K::Wave, sc::kS16}, {"Wave8", K::Wave, sc::kU8},
      {"Raw LittleEndian 16", K::Raw, sc::kS16}, {"RawSigned8", K::Raw, sc::kS8}, {"RawUnsigned8", K::Raw, sc::kU8},
      {"RawBigEndian24", K::Raw, sc::kS24BE}, {"RawBigEndianDouble", K::Raw, sc::kDoubleBE},
      {"RawLittleEndianFloat", K::Raw, sc::kFloat}, {"TempFloat", K::Temp, sc::kFloat},
      {"TempDouble", K::Temp, sc::kDouble}, {"AIFF24", K::AIFF, sc::kS24BE}, {"AIFF8", K::AIFF, sc::kS8},
      {"AIFC16", K::AIFC, sc::kS16}, {"AIFCBigEndian16", K::AIFC, sc::kS16BE}, {"AIFCFloat", K::AIFC, sc::kFloatBE},
      {"AIFC LittleEndian Double", K::AIFC, sc::kDoubleBE}, {"AU16", K::AU, sc::kS16BE},
      {"AUFloat", K::AU, sc::kFloatBE}, {"AUUnsigned8", K::AU, sc::kS8}, {"WaveBigEndian16", K::Wave, sc::kS16},
      {"WaveSigned8", K::Wave, sc::kU8}, {"AIFFLittleEndian32", K::AIFF, sc::kS32BE},
      {"AIFFUnsigned8", K::AIFF, sc::kS8}, {"rAw bIgEnDiAn 24", K::Raw, sc::kS24BE}, {"WAVE16", K::Wave, sc::kS16},
      {"aifc BIGENDIAN 32", K::AIFC, sc::kS32BE}, {"rawunsigned8", K::Raw, sc::kU8},
      {"tEmPdOuBlE", K::Temp, sc::kDouble}, {"Wave\t16", K::Wave, sc::kS16}, {"Wave\n16", K::Wave, sc::kS16},
      {"Wave\r\n\t 16", K::Wave, sc::kS16}, {" Wave16", K::Wave, sc::kS16}, {"Wave16 ", K::Wave, sc::kS16},
      {"  \t AIFF \n 24 \t", K::AIFF, sc::kS24BE}, {"16 Wave", K::Wave, sc::kS16},
      {"24BigEndianRaw", K::Raw, sc::kS24BE}, {"Float AU", K::AU, sc::kFloatBE}, {"8 Signed Raw", K::Raw, sc::kS8},
  };
  for (const auto& g : good) ExpectParse(g.text, Ok(g.kind, g.code));
  ExpectParse("Raw" + std::string(100000, ' ') + "BigEndian\t16", Ok(PcmFileKind::Raw, sc::kS16BE));
}

TEST(SampleTypeText, MalformedTextsFail) {
  using namespace std::string_view_literals;
  const std::string_view bad[] = {
      ""sv, " "sv, "\t\r\n "sv,
      // A second token of a group.
      "Wave Wave16"sv, "Wave 16 24"sv, "Wave Float Double"sv, "Wave16Float"sv, "WaveAU16"sv, "Temp Wave 16"sv,
      "RawBigEndian LittleEndian 16"sv, "RawBigEndianBigEndian16"sv, "RawSignedUnsigned8"sv, "Wave16 Wave16"sv,
      // Unknown words and trailing garbage.
      "Wave16x"sv, "Wave16 !"sv, "Wav16"sv, "Wave1"sv, "Wave 1 6"sv, "Wave160"sv, "Wave08"sv, "Wave-16"sv,
      "Wave_16"sv, "Wave,16"sv, "Wave 12"sv, "Wave 64"sv, "Wave 0"sv, "Raw Little Endian 16"sv, "Wave16.0"sv,
      "WaveFloat32"sv, "Mp3 16"sv, "Wave Flo"sv, "x"sv,
      // Signedness above 8 bits, byte order at 8 bits.
      "WaveSigned16"sv, "RawUnsigned24"sv, "AUSignedFloat"sv, "RawSignedDouble"sv, "RawBigEndian8"sv,
      "WaveLittleEndian8"sv, "AIFC BigEndian 8"sv,
      // Missing kind or size, and Raw without its order or signedness.
      "16"sv, "Float"sv, "BigEndian16"sv, "Signed8"sv, "Wave"sv, "Raw"sv, "RawBigEndian"sv, "RawSigned"sv,
      "Raw16"sv, "Raw8"sv, "RawFloat"sv, "RawDouble"sv, "Raw 32"sv,
      // Float in AIFF.
      "AIFFFloat"sv, "AIFFDouble"sv, "aiff bigendian float"sv, "AIFF BigEndian Double"sv,
      // Embedded NUL and bytes outside ASCII.
      "Wave16\0"sv, "Wave\0"
                    "16"sv,
      "\0Wave16"sv, "W\xC1VE16"sv, "Wav\xC3\xA9"
                                   "16"sv,
      "Wave\xA0"
      "16"sv,
  };
  for (std::string_view text : bad) ExpectParse(text, std::nullopt);
  ExpectParse(std::string(100000, 'x'), std::nullopt);
  ExpectParse("Wave16" + std::string(100000, ' ') + "x", std::nullopt);
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "Wave";
  ExpectParse(many + "16", std::nullopt);
}

// Every sequence of up to four keywords, run together or separated by assorted
// white space and in random case, parses exactly as the group rules say.
TEST(SampleTypeText, KeywordSequencesFollowTheGroupRules) {
  constexpr int kCount = static_cast<int>(std::size(kKeywords));
  const char* separators[] = {"", " ", "\t", "\n", "  ", "\r\n"};
  std::mt19937 rng(1645);
  std::size_t accepted = 0;
  int failures = 0;
  for (int length = 1; length <= 4; ++length) {
    int total = 1;
    for (int i = 0; i < length; ++i) total *= kCount;
    for (int index = 0; index < total; ++index) {
      std::vector<int> tokens;
      std::string text;
      for (int i = 0, rest = index; i < length; ++i, rest /= kCount) {
        tokens.push_back(rest % kCount);
        if (i > 0 || rng() % 4 == 0) text += separators[rng() % std::size(separators)];
        for (const char* p = kKeywords[rest % kCount].text; *p; ++p) {
          const auto u = static_cast<unsigned char>(*p);
          text += static_cast<char>(rng() % 2 ? std::toupper(u) : std::tolower(u));
        }
      }
      const Parsed expected = ModelParse(tokens);
      if (expected) ++accepted;
      const Parsed got = ParseSampleTypeText(text);
      if (Show(got) != Show(expected) && ++failures <= 20)
        ADD_FAILURE() << "text " << Quote(text) << " gave " << Show(got) << ", expected " << Show(expected);
    }
  }
  // The model accepts a real share of the sequences, so both outcomes are covered.
  EXPECT_GT(accepted, 400u);
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace tidemark
