// Numbers the sources a workspace refers to, in the order their records are
// written: file sources first, then silence sources, then views (each view
// after the source it reads, so a reader never meets a forward reference).
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/sources/sound_source.h"
#include "platform/error.h"

namespace tidemark {

class ChunkWriter;

class SourceNumbering {
 public:
  // Adds `source` once, and before a view the source it reads. Holds a
  // reference to each added source.
  void Add(SoundSource* source);

  std::uint32_t file_count() const { return static_cast<std::uint32_t>(files_.size()); }
  // File sources plus silence sources.
  std::uint32_t file_and_silence_count() const {
    return static_cast<std::uint32_t>(files_.size() + silences_.size());
  }
  std::uint32_t total() const { return file_and_silence_count() + static_cast<std::uint32_t>(views_.size()); }

  // The number of an added source; false for a source never added.
  bool NumberOf(const SoundSource& source, std::uint32_t* number) const;
  // The source with number `n` (below total()).
  SoundSource* At(std::uint32_t n) const;

  // Writes every source's record ("sf0 ", "sf1 ", "sf2 ") in number order.
  [[nodiscard]] Error SerializeAll(ChunkWriter& writer) const;

 private:
  enum class Group : std::uint8_t { File, Silence, View };
  struct Entry {
    Group group;
    std::uint32_t index;
  };

  std::vector<SourceRef> files_, silences_, views_;
  std::unordered_map<const SoundSource*, Entry> entries_;
};

}  // namespace tidemark
