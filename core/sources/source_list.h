// The process-wide list of open file sources, keyed by path, and the queries
// on sources that other parts use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/sources/sound_source.h"

namespace tidemark {

class FileSource;

// The one lock that guards the list of file sources, the shared block cache
// and every source read (playback, drawing and effect threads read the same
// sources at once).
std::mutex& SourceMutex();

// The form under which a file is listed: absolute (a relative path is taken
// from the current folder) and lexically normal, with no trailing separator.
// Names are compared exactly, as Linux file names are case-sensitive. Empty
// when `path` is empty or the current folder cannot be determined.
std::string NormaliseSourcePath(const std::string& path);

// The open file source reading `path` (its count raised), or none.
SourceRef FindFileSource(const std::string& path);

// Queries on any source; false, empty or 0 for sources that are not file
// sources (or null).
bool IsFileSource(const SoundSource* source);
bool OwnsFile(const SoundSource* source);
std::string FilePath(const SoundSource* source);
std::uint32_t DataOffset(const SoundSource* source);

// Number of file sources open in the process.
std::size_t OpenFileSourceCount();

namespace detail {
// With SourceMutex() held.
FileSource* FindListedSource(const std::string& normal_path);
// Lists `source` under its current path; false when the path is taken.
[[nodiscard]] bool ListSource(FileSource* source);
void UnlistSource(FileSource* source);
}  // namespace detail

}  // namespace tidemark
