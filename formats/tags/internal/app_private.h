// The text list of the AppPrivate tag slot: entries KEY=VALUE separated by
// white space, a value optionally in double quotation marks, where \" stands
// for a quotation mark and \\ for a backslash (a backslash before anything
// else stays). "KEY=" followed by white space takes the next entry as its
// value. It carries what the nineteen slots have no place for: track
// number, album, web address, lyrics type and recording code.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tidemark {

namespace app_private_key {
inline constexpr std::string_view kTrack = "TNO";        // accepted when it starts with a digit
inline constexpr std::string_view kAlbum = "ALBUM";
inline constexpr std::string_view kWebUrl = "WEBURL";
inline constexpr std::string_view kLyricsType = "SYNLYR";  // accepted when it starts with a digit
inline constexpr std::string_view kIsrc = "ISRC";        // accepted when exactly 12 characters
}  // namespace app_private_key

struct AppPrivateEntry {
  std::string key;
  std::string value;
};

// The entries of `text` in order. An entry without "=" has an empty key and
// the whole entry as its value; it matches no lookup. An unclosed quotation
// takes the rest of the text.
std::vector<AppPrivateEntry> ParseAppPrivate(std::string_view text);

// The value of the first entry whose key equals `key` (exactly), when that
// value passes the key's acceptance rule (see app_private_key); none
// otherwise.
std::optional<std::string> AppPrivateValue(const std::vector<AppPrivateEntry>& entries, std::string_view key);
std::optional<std::string> AppPrivateValue(std::string_view text, std::string_view key);

// KEY=VALUE entries separated by blanks; a value that holds white space, a quotation mark or a backslash is quoted with escapes, so
// ParseAppPrivate gives the pairs back. Pairs with an empty value are left
// out.
std::string BuildAppPrivate(const std::vector<std::pair<std::string, std::string>>& pairs);

}  // namespace tidemark
