// One UI text slot, named by its section path and its position in that
// section. A name that does not exist in the section table, or a position
// beyond the section's count, fails to compile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/text_sections.h"

namespace tidemark {

struct TextSlot {
  std::uint16_t number;
  friend constexpr bool operator==(TextSlot, TextSlot) = default;
};

namespace detail {
// Not constexpr: reaching it during constant evaluation stops compilation.
void UnknownTextSlot();
}  // namespace detail

// The row of section `path`, at compile time.
consteval const TextSection& SectionNamed(std::string_view path) {
  const std::size_t row = FindTextSectionIndex(path);
  if (row >= kTextSectionCount) detail::UnknownTextSlot();
  return kTextSections[row];
}

// The slot of text `index` of section `path`, at compile time.
consteval TextSlot SlotOf(std::string_view path, unsigned index) {
  const TextSection& section = SectionNamed(path);
  if (index >= section.count) detail::UnknownTextSlot();
  return TextSlot{static_cast<std::uint16_t>(section.first_slot + index)};
}

// The slot of text `index` of `section` at run time (the caller checks the
// index against section.count).
constexpr TextSlot SlotInSection(const TextSection& section, unsigned index) {
  return TextSlot{static_cast<std::uint16_t>(section.first_slot + index)};
}

}  // namespace tidemark
