// Arbitrary bytes as an INI file: decoding in each encoding, the line rules,
// every value form and loading a settings object must stay inside their
// buffers (the sanitizers watch), and what the parsers accept must survive
// being written and read again:
// - a decimal, hex or blob value that parses formats back to the same value;
// - dialog values that parse format to a text that parses again (to the same
//   text for integer types);
// - settings read from the input, written and read back, equal themselves
//   (except the project folders, where an empty entry is written as the base
//   folder), and a second round trip writes the very same bytes.
//
// The first byte picks the narrow code page and the dialog type string; the
// rest is the file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/dialog_values.h"
#include "config/ini_blob.h"
#include "config/ini_reader.h"
#include "config/ini_values.h"
#include "config/ini_writer.h"
#include "config/settings.h"
#include "config/settings_keys.h"

using namespace tidemark;

namespace {

constexpr std::string_view kCodesets[] = {"UTF-8", "CP1252", "CP932", "no-such-codeset"};
constexpr std::string_view kDialogTypes[] = {"b", "bcswi", "iiii", "bcswifd", "dfb", "ws"};

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckValueForms(std::string_view value, std::string_view dialog_types) {
  std::int32_t d = 0;
  if (ParseDecimal(value, &d)) {
    std::int32_t again = 0;
    Check(ParseDecimal(std::to_string(d), &again) && again == d);
  }
  std::uint32_t h = 0;
  if (ParseHex(value, &h)) {
    std::uint32_t again = 0;
    Check(ParseHex(FormatHex(h, 8), &again) && again == h);
  }
  std::array<std::int32_t, 3> list{};
  if (ParseDecimalList(value, list)) {
    std::array<std::int32_t, 3> again{};
    Check(ParseDecimalList(JoinDecimalList(list), again) && again == list);
  }
  const std::vector<std::string> items = SplitList(value, ';', 64);
  for (const std::string& item : items) Check(!item.empty() && item.find(';') == std::string::npos);
  Check(SplitList(JoinList(items, ';'), ';', 64) == items);

  for (std::size_t size : {std::size_t{1}, std::size_t{92}, kMaxBlobBytes, std::size_t{256}}) {
    std::vector<std::byte> out(size, std::byte{0x5A});
    if (!UnpackBlob(value, out)) {
      Check(out == std::vector<std::byte>(size, std::byte{0x5A}));  // refused: unchanged
      continue;
    }
    if (size > kMaxBlobBytes) continue;  // never written
    std::vector<std::byte> again(size);
    Check(UnpackBlob(PackBlob(out), again) && again == out);
  }

  std::array<std::byte, 64> data{};
  if (ParseDialogValues(dialog_types, value, data)) {
    const std::string text = FormatDialogValues(dialog_types, data);
    std::array<std::byte, 64> again{};
    const bool integers = dialog_types.find_first_of("fd") == std::string_view::npos;
    const bool parsed = ParseDialogValues(dialog_types, text, again);
    if (integers) Check(parsed && FormatDialogValues(dialog_types, again) == text);
  }
}

std::string Written(const Settings& s) {
  IniWriter w;
  w.Open("/unused", IniEncoding::kUtf16Le);
  WriteSettings(s, w);
  return w.EncodedBytes();
}

Settings ReadBack(const std::string& bytes) {
  Settings s;
  IniReader r;
  r.OpenBytes(bytes, "UTF-8");
  ReadSettings(r, &s);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const std::string_view codeset = kCodesets[data[0] % std::size(kCodesets)];
  const std::string_view dialog_types = kDialogTypes[(data[0] >> 2) % std::size(kDialogTypes)];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  IniReader reader;
  reader.OpenBytes(bytes, codeset);

  // The line rules: every entry of every section named in the main table.
  const std::string_view sections[] = {
      settings_key::kMainSection,      settings_key::kTemporaryDirectorySection,
      settings_key::kColorSection,     settings_key::kKeyboardSection,
      settings_key::kBoxSizeSection,   settings_key::kFontSection,
      settings_key::kDialogSection,    settings_key::kDebugSection};
  std::size_t checked = 0;
  for (std::string_view section : sections) {
    if (!reader.SelectSection(section)) continue;
    for (const IniEntry& e : reader.Entries()) {
      Check(TrimSpacesAndTabs(e.key).size() == e.key.size());
      Check(TrimSpacesAndTabs(e.value).size() == e.value.size());
      Check(e.key.find_first_of("=\r\n") == std::string_view::npos);
      Check(e.value.find_first_of("\r\n") == std::string_view::npos);
      if (checked++ < 256) CheckValueForms(e.value, dialog_types);
      // Reading a key by its own name finds some line of that name.
      const auto found = reader.Find(e.key);
      Check(found.has_value());
      const std::string text = reader.ReadText(e.key, "", 100);
      Check(text.size() <= 100);
    }
    (void)reader.ReadNumberedList(kMaxListEntries);
  }

  // Loading a settings object, writing it and reading it back.
  Settings first;
  ReadSettings(reader, &first);
  const std::string written = Written(first);
  Settings second = ReadBack(written);
  Settings compare = first;
  compare.temporary_directories = second.temporary_directories;
  Check(second == compare);
  const std::string rewritten = Written(second);
  Check(ReadBack(rewritten) == second);
  Check(Written(ReadBack(rewritten)) == rewritten);
  return 0;
}
