// The UI text catalogue: 1,627 numbered text slots filled from a language
// file. Every slot starts as one shared empty string and is never null; a
// filled slot points into a buffer that the catalogue keeps for its whole
// life, so texts handed out stay valid after later loads.
//
// Language file rules (after decoding, with carriage returns removed): a line
// whose first non-blank character is "[" and whose last non-blank character
// is "]" selects the section named between the brackets (ASCII letters
// lower-cased, compared exactly with the section table); a line whose first
// non-blank character is "=" is the next text of the current section; every
// other line is ignored. In a text "\n" is a line feed, "\r" a carriage
// return and "\\" one backslash; any other backslash is kept as written. An
// empty text leaves its slot unchanged but still counts as a position; texts
// beyond a section's count and texts of unknown sections are ignored.
//
// Loading happens at start-up, before other threads read texts; the
// catalogue itself is not synchronised.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/language_choice.h"
#include "config/text_sections.h"
#include "config/text_slots.h"
#include "platform/error.h"

namespace tidemark {

class TextCatalogue {
 public:
  TextCatalogue();
  TextCatalogue(const TextCatalogue&) = delete;
  TextCatalogue& operator=(const TextCatalogue&) = delete;

  // The slot's text; empty for an unfilled slot or a number out of range.
  std::string_view Text(TextSlot slot) const { return Text(slot.number); }
  std::string_view Text(std::uint32_t number) const {
    return number < slots_.size() ? slots_[number] : std::string_view();
  }

  // Fills slots from decoded language-file text (UTF-8). Returns the number
  // of slots filled; when that is 0 nothing changes and no buffer is kept.
  std::size_t Parse(std::string_view text);
  // The same, taking over the text so that no copy of it is made.
  std::size_t ParseOwned(std::string text);

  // Reads, decodes and parses a language file: UTF-16 when it starts with a
  // byte-order mark of either order, UTF-8 after EF BB BF, else
  // `narrow_codeset`. A file that cannot be read leaves everything unchanged.
  // Errors of ReadConfigFile; the slot count filled goes to `*filled`.
  [[nodiscard]] Error LoadFile(const std::string& path, std::string_view narrow_codeset, std::size_t* filled = nullptr);

  // Every slot back to the empty string (the buffers stay alive while texts
  // may still be referenced).
  void ClearSlots();

 private:
  std::size_t ParseInto(std::string text);

  std::array<std::string_view, kTextSlotCount> slots_;
  std::vector<std::unique_ptr<const std::string>> buffers_;
};

// The catalogue of the process.
TextCatalogue& ProcessTextCatalogue();

// A text of the process catalogue.
inline std::string_view UiText(TextSlot slot) { return ProcessTextCatalogue().Text(slot); }

// Chooses the language file for `input` (config/language_choice.h) and loads
// it into `catalogue`, reading files without a byte-order mark in
// `narrow_codeset`. Silent on every failure. Returns the number of slots filled.
std::size_t LoadTextCatalogue(TextCatalogue& catalogue, const LanguageChoiceInput& input,
                              std::string_view narrow_codeset);

// Start-up: decides the language file (override, user's language, fallback)
// and loads it into the process catalogue in the process's narrow code page.
// Silent on every failure. Returns the number of slots filled.
std::size_t LoadProcessTextCatalogue();

}  // namespace tidemark
