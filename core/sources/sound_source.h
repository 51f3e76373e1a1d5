// Shared, reference-counted, read-only sources of sample frames: a region of
// a PCM file (cached or direct), silence, or a channel view of another source.
#pragma once

#include <cstdint>
#include <string>

#include "core/samples/sample_format.h"
#include "platform/error.h"
#include "platform/intrusive_ref.h"

namespace tidemark {

class ChunkWriter;
class SegmentList;

// OneBit: a source converting a 1-bit file to float frames on demand.
enum class SourceKind { FileCached, FileDirect, Silence, StereoView, MonoView, OneBit };

// Sources are shared between threads, so their count is atomic.
class SoundSource : public RefCounted<SoundSource, AtomicRefCount> {
 public:
  SoundSource(const SoundSource&) = delete;
  SoundSource& operator=(const SoundSource&) = delete;

  // Destroys the source at the last reference (a file source leaves the
  // process-wide list, gives back its cache blocks, closes its file and
  // deletes an owned ".tmp" file). In place of RefCounted's: the last
  // reference goes under the process-wide source lock.
  void Release() noexcept;

  // Reads `count` frames from frame `first` into `dst`, converted to `dst_code`.
  [[nodiscard]] virtual Error Read(std::uint32_t first, std::uint32_t count, void* dst, SampleCode dst_code) = 0;
  // Writes the source's workspace record ("sf0 ", "sf1 ", "sf2 ").
  [[nodiscard]] virtual Error Serialize(ChunkWriter& writer) = 0;

  virtual SourceKind kind() const = 0;
  virtual std::uint32_t rate() const = 0;
  virtual std::uint16_t channels() const = 0;

 protected:
  SoundSource() = default;
  virtual ~SoundSource() = default;
  // Runs once, under the process-wide source lock, when the last reference
  // goes and before the object is deleted outside the lock. File sources
  // leave the source list here, so no lookup can revive a dying source.
  virtual void Retire() noexcept {}
};

using SourceRef = IntrusiveRef<SoundSource>;

// Flags of OpenFileSource.
inline constexpr std::uint32_t kSourceOwnsFile = 0x1;  // delete the file at the last release if it ends in ".tmp"
inline constexpr std::uint32_t kSourceSecondFlag = 0x2;  // kept and recorded in the workspace record

// Opens (or finds, raising its count) the file source for `path`. Error 78
// when the path is already open with another offset, rate, code, channel
// count or length. With `segments`, one segment covering all frames is
// appended to it; with `source`, the caller receives a reference.
[[nodiscard]] Error OpenFileSource(const std::string& path, std::uint32_t data_offset, std::uint32_t rate,
                                   SampleCode code, std::uint16_t channels, std::uint32_t frames,
                                   std::uint32_t flags, SegmentList* segments, SourceRef* source);

}  // namespace tidemark
