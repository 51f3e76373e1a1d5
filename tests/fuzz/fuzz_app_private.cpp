// Arbitrary text as an AppPrivate list: parsing and every lookup succeed,
// and building the parsed pairs gives a text that parses back to the same
// pairs (those with a key and a value, which building keeps).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/tags/internal/app_private.h"

using namespace tidemark;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<AppPrivateEntry> entries = ParseAppPrivate(text);
  const std::string_view keys[] = {app_private_key::kTrack, app_private_key::kAlbum, app_private_key::kWebUrl,
                                   app_private_key::kLyricsType, app_private_key::kIsrc};
  for (const std::string_view key : keys) {
    const auto value = AppPrivateValue(entries, key);
    if (value && value->size() > size) std::abort();
  }
  // The lookup on the text parses it again: once per input, for a key the
  // input chooses, keeps a long input within the time limit.
  const std::string_view key = keys[size % std::size(keys)];
  if (AppPrivateValue(entries, key) != AppPrivateValue(text, key)) std::abort();
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const AppPrivateEntry& e : entries)
    if (!e.key.empty() && !e.value.empty()) pairs.emplace_back(e.key, e.value);
  const std::vector<AppPrivateEntry> again = ParseAppPrivate(BuildAppPrivate(pairs));
  if (again.size() != pairs.size()) std::abort();
  for (std::size_t i = 0; i < pairs.size(); ++i)
    if (again[i].key != pairs[i].first || again[i].value != pairs[i].second) std::abort();
  return 0;
}
