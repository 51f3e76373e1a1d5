// Arbitrary bytes as a language file: decoding and parsing must stay inside
// their buffers (the sanitizers watch), slots 0 and 1 stay empty, and every
// slot must hold what a plain line-by-line reading of the file gives.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/text_catalogue.h"
#include "config/text_decode.h"

using namespace tidemark;

namespace {

constexpr std::string_view kCodesets[] = {"UTF-8", "CP1252", "CP932", "no-such-codeset"};

std::string Unescape(std::string_view raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) {
      const char next = raw[i + 1];
      if (next == 'n' || next == 'r' || next == '\\') {
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
        ++i;
        continue;
      }
    }
    out += raw[i];
  }
  return out;
}

// The expected slots, read one line at a time without the catalogue.
std::array<std::string, kTextSlotCount> Reference(std::string text, std::size_t* filled) {
  std::array<std::string, kTextSlotCount> slots;
  std::string clean;
  for (char c : text)
    if (c != '\r') clean += c;
  const TextSection* section = nullptr;
  std::size_t index = 0;
  std::size_t pos = 0;
  while (pos < clean.size()) {
    std::size_t eol = clean.find('\n', pos);
    if (eol == std::string::npos) eol = clean.size();
    std::string_view line(clean.data() + pos, eol - pos);
    pos = eol + 1;
    while (!line.empty() && (line[0] == ' ' || line[0] == '\t')) line.remove_prefix(1);
    if (line.empty()) continue;
    if (line[0] == '[') {
      std::string_view t = line;
      while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
      if (t.size() < 2 || t.back() != ']') continue;
      std::string name(t.substr(1, t.size() - 2));
      for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      section = FindTextSection(name);
      index = 0;
    } else if (line[0] == '=' && section != nullptr) {
      const std::size_t k = index++;
      if (k < section->count && line.size() > 1) slots[section->first_slot + k] = Unescape(line.substr(1));
    }
  }
  *filled = 0;
  for (const std::string& s : slots) *filled += s.empty() ? 0 : 1;
  return slots;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view codeset = kCodesets[data[0] % 4];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string text = DecodeTextFile(bytes, codeset);
  TextCatalogue catalogue;
  const std::size_t filled = catalogue.Parse(text);

  std::size_t expected_filled = 0;
  const auto expected = Reference(text, &expected_filled);
  if (filled != expected_filled) std::abort();
  for (std::uint32_t n = 0; n < kTextSlotCount; ++n)
    if (catalogue.Text(n) != expected[n]) std::abort();
  if (!catalogue.Text(0).empty() || !catalogue.Text(1).empty()) std::abort();

  // A second load over the first changes only what it fills.
  const std::size_t again = catalogue.Parse(text);
  if (again != filled) std::abort();
  for (std::uint32_t n = 0; n < kTextSlotCount; ++n)
    if (catalogue.Text(n) != expected[n]) std::abort();
  return 0;
}
