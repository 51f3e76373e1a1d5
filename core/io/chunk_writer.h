// The sink that sound sources write their workspace records into, and the
// little-endian helpers for building records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/error_numbers.h"

namespace tidemark {

class SoundSource;
struct Marker;
struct EnvelopePoint;

class ChunkWriter {
 public:
  virtual ~ChunkWriter() = default;

  // Appends `size` bytes to the output.
  [[nodiscard]] virtual Error Write(const void* data, std::size_t size) = 0;

  // The number under which `source` is recorded in this output; false when
  // it has none. View records refer to their inner source by this number.
  virtual bool SourceNumber(const SoundSource& source, std::uint32_t* number) const = 0;

  // The working folder (absolute, lexically normal). An owned file directly
  // inside it is recorded by its name alone, relative to this folder; empty
  // when the output has no working folder.
  virtual const std::string& WorkFolder() const = 0;

  // The index of `marker` (`point`) in the node array of the document being
  // written: its markers in list order, then those its undo records list,
  // newest record first. Undo records refer to nodes by it; false when the
  // output numbers no nodes or does not know this one.
  virtual bool MarkerNumber(const Marker& marker, std::uint32_t* number) const {
    (void)marker;
    (void)number;
    return false;
  }
  virtual bool EnvelopePointNumber(const EnvelopePoint& point, std::uint32_t* number) const {
    (void)point;
    (void)number;
    return false;
  }
};

// Builds a record in memory before it is written.
class RecordBytes {
 public:
  explicit RecordBytes(const char (&code)[5]) { Append(code, 4); }
  void U16(std::uint16_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    Append(b, 2);
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void Append(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  [[nodiscard]] Error WriteTo(ChunkWriter& writer) const { return writer.Write(bytes_.data(), bytes_.size()); }

 private:
  std::vector<std::uint8_t> bytes_;
};

class SourceNumbering;

// A ChunkWriter that collects the output in memory (a workspace built in
// memory before it goes to disk; tests).
class MemoryChunkWriter final : public ChunkWriter {
 public:
  explicit MemoryChunkWriter(const SourceNumbering* numbering = nullptr, std::string work_folder = {})
      : numbering_(numbering), work_folder_(std::move(work_folder)) {}

  Error Write(const void* data, std::size_t size) override {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
    return err::kOk;
  }
  bool SourceNumber(const SoundSource& source, std::uint32_t* number) const override;
  const std::string& WorkFolder() const override { return work_folder_; }

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  void clear() { bytes_.clear(); }

 private:
  const SourceNumbering* numbering_;
  std::string work_folder_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace tidemark
