// Writers of 1-bit files (DSDIFF, DSF, WSD): the shared life cycle and the
// factory by file extension.
//
// A writer takes 1-bit data already packed eight samples to a byte in the
// file's own bit order (lsb_first() tells which), lays it out with the
// format's header, padding and metadata, and writes it through one buffered
// file. The sequence is Open, Begin, any number of WritePlanar or WriteRaw
// calls, Finish, optionally WriteMetadata, Close.
//
// Every operation out of sequence (nothing open, Begin not called, a second
// Begin, writing after Finish) answers 77 and does nothing. Writes beyond
// the data size declared at Begin are refused with 77 and write nothing;
// Finish fills whatever was not written with the idle pattern, so the
// header always describes the data in the file (a writer closed without
// Finish leaves the bytes not written as zeros). After the first file error
// every later operation answers that same error without touching the file,
// and Close reports it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/io/buffered_file.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"

namespace tidemark::NS_1BIT {

class COneBitWriter {
 public:
  COneBitWriter(const COneBitWriter&) = delete;
  COneBitWriter& operator=(const COneBitWriter&) = delete;
  virtual ~COneBitWriter();

  // Sizes the file for `data_bytes` bytes of 1-bit data (all channels) and
  // writes the header. 77 for a channel count other than 1 or 2, 15 for a
  // rate of 0, 19 when the format cannot describe that much data.
  [[nodiscard]] virtual Error Begin(std::uint32_t one_bit_rate, std::uint16_t channels, std::uint64_t data_bytes) = 0;
  // `bytes_per_channel` bytes from each of `channels` buffers (the count
  // given at Begin, else 77).
  [[nodiscard]] virtual Error WritePlanar(const std::uint8_t* const* channel_bytes,
                                          std::uint32_t bytes_per_channel, std::uint16_t channels) = 0;
  // Bytes already in the file's data layout, appended at the data position.
  [[nodiscard]] virtual Error WriteRaw(const void* bytes, std::uint32_t count) = 0;
  // Pads the end of the data.
  [[nodiscard]] virtual Error Finish() = 0;
  // Writes the metadata of `tags` after Finish (once).
  [[nodiscard]] virtual Error WriteMetadata(std::uint32_t one_bit_rate, const TagSet& tags) = 0;
  // Bytes in front of the data (0 before Begin where it depends on the channels).
  virtual std::uint32_t HeaderSize() const = 0;

  // Creates `path`, or empties it, for writing. 77 when a file is already
  // open; the buffered file's errors otherwise.
  [[nodiscard]] Error Open(const std::string& path);
  // Closes the file; the first error of the writer's life (0 when none).
  [[nodiscard]] Error Close();

  // True when the data bytes hold their first sample in the least
  // significant bit (DSF); false for most significant bit first.
  bool lsb_first() const { return lsb_first_; }

 protected:
  explicit COneBitWriter(bool lsb_first);

  enum class Stage { kClosed, kOpen, kBegun, kFinished, kMetadataWritten };

  // 0 when the writer is in `stage` and has seen no error; the error, or 77.
  Error Check(Stage stage) const;
  // Keeps the first error.
  Error Note(Error rc);
  // Writes `n` bytes at absolute `offset` of the file.
  Error WriteAt(std::uint64_t offset, const void* bytes, std::size_t n);
  // Writes `n` copies of `value` at absolute `offset`.
  Error FillAt(std::uint64_t offset, std::uint8_t value, std::uint64_t n);
  // The file is `size` bytes long from now on: its last byte is written
  // (as zero) so the length is on disk before the header.
  Error SizeFile(std::uint64_t size);

  // Starts the data stream: `capacity` bytes of data area at `offset`.
  void StartData(std::uint32_t rate, std::uint16_t channels, std::uint64_t offset, std::uint64_t capacity);
  // Appends `n` bytes to the data area; 77 (nothing written) when they do
  // not fit in what is left of it.
  Error AppendData(const void* bytes, std::size_t n);
  // Fills the rest of the data area with `pattern`.
  Error FillRestOfData(std::uint8_t pattern);
  // Byte-by-byte interleaving of planar channels, handed to WriteRaw in
  // slices of 4096 bytes (4096 / channels per channel).
  Error WriteInterleaved(const std::uint8_t* const* channel_bytes, std::uint32_t bytes_per_channel,
                         std::uint16_t channels);
  // 77 unless `channels` is what Begin was given and every buffer is there.
  Error CheckPlanar(const std::uint8_t* const* channel_bytes, std::uint32_t bytes_per_channel,
                    std::uint16_t channels) const;

  std::uint64_t data_left() const { return data_capacity_ - data_written_; }
  std::uint64_t data_end() const { return data_offset_ + data_capacity_; }

  BufferedFile file_;
  Stage stage_ = Stage::kClosed;
  Error error_;
  std::uint32_t rate_ = 0;
  std::uint16_t channels_ = 0;
  std::uint64_t data_offset_ = 0;
  std::uint64_t data_capacity_ = 0;
  std::uint64_t data_written_ = 0;

 private:
  bool lsb_first_;
};

// A writer for the extension ".dff", ".dsf" or ".wsd" (ASCII case ignored);
// null for any other extension or when memory runs out. A DSF writer builds
// its ID3v2 tag as the process-wide options say (CoreOptions: version,
// Unicode, unsynchronisation), which the application fills from the
// settings.
std::unique_ptr<COneBitWriter> MakeOneBitWriter(std::string_view extension);

}  // namespace tidemark::NS_1BIT
