// Expansion of %NAME% environment references in settings and paths.
#pragma once

#include <string>
#include <string_view>

namespace tidemark {

// Replaces each %NAME% with the value of environment variable NAME. A name
// that is not set stays as written ("%NOPE%"), as do "%%" and a '%' without a
// closing partner. %TEMP% and %TMP% (in any letter case) that are not set
// expand to TempFolder().
std::string ExpandEnvironmentRefs(std::string_view text);

// The user's temporary folder: $TMPDIR when set and non-empty, else
// $XDG_CACHE_HOME, else "$HOME/.cache" (the home folder from the password
// database when HOME is empty). It belongs to one user and survives a
// reboot. No trailing slash.
std::string TempFolder();

}  // namespace tidemark
