// The tag set of a document: nineteen optional texts in the order of the
// RIFF INFO identifiers (core's DocumentMetadata), with the names scripts
// use for them and the operations every tag mapping shares. Texts are UTF-8
// in memory; an empty text counts as absent.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/document/document_metadata.h"

namespace tidemark {

using TagSet = DocumentMetadata;

// The script names of the slots, in slot order.
inline constexpr std::array<std::string_view, kInfoTextCount> kTagNames = {
    "Name",     "Artist",  "Copyright", "Comments", "Archive",  "Commissioned", "CreationDate",
    "Engineer", "Genre",   "Keywords",  "Medium",   "Product",  "Subject",      "Software",
    "Source",   "SrcForm", "Technician", "DigitizeTime", "AppPrivate"};

// The slot of a script name (ASCII case ignored); none for an unknown name.
std::optional<InfoText> TagSlotByName(std::string_view name);

// True when every slot is absent or empty.
bool IsTagSetEmpty(const TagSet& tags);

// The first non-zero comparison of the slots in order, as UTF-16 strings
// (an absent slot compares as ""): below 0, 0 or above 0.
int CompareTagSets(const TagSet& a, const TagSet& b);

// The text of a slot, "" when absent.
std::string_view TagText(const TagSet& tags, InfoText slot);

// Sets a slot; an empty text makes it absent.
void SetTagText(TagSet& tags, InfoText slot, std::string_view text);

}  // namespace tidemark
