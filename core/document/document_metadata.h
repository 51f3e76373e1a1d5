// The texts a document takes over from its file: 19 optional entries in the
// order of the RIFF INFO identifiers.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tidemark {

enum class InfoText : std::size_t {
  Name,           // INAM
  Artist,         // IART
  Copyright,      // ICOP
  Comments,       // ICMT
  ArchivalLocation,  // IARL
  Commissioned,   // ICMS
  CreationDate,   // ICRD
  Engineer,       // IENG
  Genre,          // IGNR
  Keywords,       // IKEY
  Medium,         // IMED
  Product,        // IPRD
  Subject,        // ISBJ
  Software,       // ISFT
  Source,         // ISRC
  SourceForm,     // ISRF
  Technician,     // ITCH
  DigitizationDate,  // IDIT
  AppPrivate,     // IPLT
};
inline constexpr std::size_t kInfoTextCount = 19;

// The four-character identifiers, in slot order.
inline constexpr std::array<std::string_view, kInfoTextCount> kInfoIds = {
    "INAM", "IART", "ICOP", "ICMT", "IARL", "ICMS", "ICRD", "IENG", "IGNR", "IKEY",
    "IMED", "IPRD", "ISBJ", "ISFT", "ISRC", "ISRF", "ITCH", "IDIT", "IPLT"};

// What a new document names as its software.
inline constexpr std::string_view kSoftwareStamp = "Tidemark 1.8.5.2";

struct DocumentMetadata {
  std::array<std::optional<std::string>, kInfoTextCount> texts;

  std::optional<std::string>& operator[](InfoText slot) { return texts[static_cast<std::size_t>(slot)]; }
  const std::optional<std::string>& operator[](InfoText slot) const {
    return texts[static_cast<std::size_t>(slot)];
  }
  bool operator==(const DocumentMetadata&) const = default;
};

}  // namespace tidemark
