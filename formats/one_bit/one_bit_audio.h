// The readers of 1-bit (DSD) sound files: one abstract reader and a factory
// that picks the implementation by file extension. A reader keeps its file
// open from Open to Close so that markers and tags can be read after the
// header; the converter opens the data area through a handle of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/markers/marker.h"
#include "formats/one_bit/internal/one_bit_layout.h"
#include "formats/chunks/internal/random_access_input.h"
#include "formats/tags/tag_set.h"
#include "platform/error.h"
#include "platform/posix_file.h"

namespace tidemark::NS_1BIT {

class COneBitAudio {
 public:
  COneBitAudio(const COneBitAudio&) = delete;
  COneBitAudio& operator=(const COneBitAudio&) = delete;

  // Opens and checks the file's header. 77 when the reader is already open;
  // 25 when the file cannot be opened; 14 when it is malformed (zero
  // channels and a rate of 0 included); 15 for data the program cannot
  // decode; 8; 2. A reader that fails to open is left closed.
  [[nodiscard]] virtual Error Open(const std::string& path) = 0;
  // Closes the file and forgets what was read; a closed reader may be opened again.
  virtual void Close() = 0;
  // 0 when lowest_rate <= rate <= highest_rate and fewest_channels <=
  // channels <= most_channels; 15 otherwise; 77 when nothing is open.
  [[nodiscard]] virtual Error CheckLimits(std::uint32_t lowest_rate, std::uint32_t highest_rate,
                                          std::uint16_t fewest_channels, std::uint16_t most_channels);
  // Appends the file's markers, positioned in frames of a document at
  // `pcm_rate`, at the end of `markers` in file order. On failure the list is
  // left as it was. 77 when nothing is open.
  [[nodiscard]] virtual Error ReadMarkers(MarkerList& markers, std::uint32_t pcm_rate) = 0;
  // Sets the slots of `tags` that the file carries; the others keep their
  // texts. On failure `tags` is left as it was. 77 when nothing is open.
  [[nodiscard]] virtual Error ReadTags(TagSet& tags) = 0;
  // The 1-bit sample rate in Hz; 0 when nothing is open.
  virtual std::uint32_t SampleRate() const = 0;
  virtual std::uint16_t Channels() const = 0;
  // Absolute file offset of the first data byte.
  virtual std::uint64_t DataOffset() const = 0;
  // Data bytes of all channels together.
  virtual std::uint64_t DataSize() const = 0;
  virtual ~COneBitAudio();

  // How the data bytes are laid out (meaningful while open).
  OneBitLayout layout() const { return layout_; }

 protected:
  COneBitAudio() = default;

  bool is_open() const { return file_.is_open(); }
  // Opens `path` into file_ and file_length_: 77 when already open, 25, 8.
  [[nodiscard]] Error OpenFile(const std::string& path);
  void CloseFile();
  RandomAccessInput& input() { return input_; }
  std::uint64_t file_length() const { return file_length_; }
  void set_layout(OneBitLayout layout) { layout_ = layout; }

 private:
  PosixFile file_;
  FileInput input_{file_};
  std::uint64_t file_length_ = 0;
  OneBitLayout layout_ = OneBitLayout::kByteInterleaved;
};

// A new closed reader for a file extension with its dot (".dff", ".dsf",
// ".wsd", ASCII case ignored); null for any other extension or when memory
// runs out.
std::unique_ptr<COneBitAudio> MakeOneBitReader(std::string_view extension);

// Puts the markers of `read` (in order) after the last marker of `markers`.
void AppendMarkers(MarkerList& markers, MarkerList read);

// Copies the non-empty slots of `read` into `tags`. 2 when memory runs out
// (`tags` is then unchanged).
[[nodiscard]] Error MergeTags(TagSet& tags, const TagSet& read);

}  // namespace tidemark::NS_1BIT
