// The value forms of the INI engine: parsing and formatting of decimal, hex
// and list values. Every parser is strict and all-or-nothing: it returns false
// and leaves its output unchanged when the text does not parse, so a setting
// keeps its built-in value.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii_case.h"

namespace tidemark {

// An optional "+" or "-", then one or more decimal digits, within int32 range.
bool ParseDecimal(std::string_view text, std::int32_t* value);

// One or more hexadecimal digits of either case (no "0x"), within 32 bits.
bool ParseHex(std::string_view text, std::uint32_t* value);

// Splits at "," into decimal integers and fills `values` from the front: the
// text must hold at least values.size() items, each of which parses; items
// beyond those the setting has are ignored. Spaces and tabs around items are
// allowed.
bool ParseDecimalList(std::string_view text, std::span<std::int32_t> values);

// Splits at `separator`; items are trimmed of spaces and tabs and empty items
// are dropped. At most `max_items` items are returned.
std::vector<std::string> SplitList(std::string_view text, char separator, std::size_t max_items);

// Joins with `separator`.
std::string JoinList(std::span<const std::string> items, char separator);
std::string JoinDecimalList(std::span<const std::int32_t> values);

// Lower-case hexadecimal with at least `width` digits ("%08x", "%04x").
std::string FormatHex(std::uint32_t value, int width);

// `text` without leading and trailing spaces and tabs.
std::string_view TrimSpacesAndTabs(std::string_view text);

}  // namespace tidemark
