// Remembered dialog values: a type string names one value per character, laid
// out in memory with natural alignment like the members of a struct:
//   'b' Boolean (1 byte, written "0" or "1")   'c' 8-bit signed integer
//   's' 16-bit signed integer                  'w' 16-bit unsigned integer
//   'i' 32-bit signed integer                  'f' 32-bit float, written "%e"
//   'd' 64-bit float, written "%.14e"
// The text form is the values in type-string order joined by ",".
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tidemark {

// The size of the layout (a multiple of its largest alignment), or 0 when the
// type string is empty or holds another character.
std::size_t DialogLayoutSize(std::string_view types);

// The text form of `data`; empty when `data` is smaller than the layout.
std::string FormatDialogValues(std::string_view types, std::span<const std::byte> data);

// Parses `text` into `data`. All or nothing: false, and `data` unchanged, when
// the type string is invalid, `data` is smaller than the layout, the text holds
// fewer values than the types, or a value does not parse or is out of range.
bool ParseDialogValues(std::string_view types, std::string_view text, std::span<std::byte> data);

}  // namespace tidemark
