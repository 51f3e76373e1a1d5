// Arbitrary bytes as a workspace file "tide.reconst": the reader must stay
// inside its buffer, restore or refuse without leaking a document, and what
// it restores must be written again and read back to the very same bytes.
//
// The working folder holds one file, wav0012.tmp (12,000 bytes: 3,000 stereo
// 16-bit frames), which the stored seeds name. Every "sf0 " record's
// owns-file bit is cleared first: an owned source deletes its file on
// release, and the fuzzer must not delete what a mutated path names.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/workspace/workspace_file.h"

using namespace tidemark;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

const std::string& Folder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tidemark-fuzz-workspace-XXXXXX";
    Check(::mkdtemp(pattern.data()) != nullptr);
    const std::string file = pattern + "/wav0012.tmp";
    FILE* f = std::fopen(file.c_str(), "wb");
    Check(f != nullptr);
    for (int i = 0; i < 12000; ++i) std::fputc((i * 37 + 11) & 0xFF, f);
    Check(std::fclose(f) == 0);
    return pattern;
  }();
  return folder;
}

std::vector<SoundDocument*> Raw(const RestoredWorkspace& r) {
  std::vector<SoundDocument*> raw;
  for (const DocumentPtr& d : r.documents) raw.push_back(d.get());
  return raw;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<std::uint8_t> bytes(data, data + size);
  for (std::size_t i = 0; i + 22 <= bytes.size(); ++i)
    if (std::memcmp(bytes.data() + i, "sf0 ", 4) == 0) bytes[i + 20] = static_cast<std::uint8_t>(bytes[i + 20] & ~1u);

  const std::string& folder = Folder();
  RestoredWorkspace first;
  const Error rc = RestoreWorkspaceBytes(folder, bytes, &first);
  if (rc) {
    Check(first.documents.empty() && first.left_out.empty() && first.active == -1);
    Check(OpenDocumentCount() == 0);
    return 0;
  }
  Check(first.active >= -1 && first.active < static_cast<int>(first.documents.size()));
  for (const LeftOutDocument& left : first.left_out) Check(!left.missing.empty());

  // What came back is whole: written and read again, it gives the same bytes.
  const SoundDocument* active = first.active >= 0 ? first.documents[static_cast<std::size_t>(first.active)].get()
                                                  : nullptr;
  WorkspaceImage image;
  Check(BuildWorkspace(Raw(first), active, folder, &image) == 0u);
  Check(image.left_out.empty());
  RestoredWorkspace second;
  Check(RestoreWorkspaceBytes(folder, image.bytes, &second) == 0u);
  Check(second.documents.size() == first.documents.size() && second.left_out.empty());
  Check(second.active == first.active);
  WorkspaceImage again;
  const SoundDocument* active2 = second.active >= 0 ? second.documents[static_cast<std::size_t>(second.active)].get()
                                                    : nullptr;
  Check(BuildWorkspace(Raw(second), active2, folder, &again) == 0u);
  Check(again.bytes == image.bytes);
  return 0;
}
