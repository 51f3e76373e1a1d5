#include "core/document/source_format.h"

#include <mutex>

#include "core/sources/file_source.h"
#include "core/sources/source_list.h"
#include "core/sources/view_source.h"

namespace tidemark {

SampleCode NativeSampleCode(const SoundSource* source) {
  // Views nest only a few levels deep; each level names its inner source.
  while (const ViewSource* view = AsViewSource(source)) source = view->inner();
  if (const FileSource* file = AsFileSource(source)) {
    // Detaching a source from the user's file may change its code.
    const std::lock_guard<std::mutex> lock(SourceMutex());
    return file->code();
  }
  if (source && source->kind() == SourceKind::OneBit) return sample_code::kFloat;
  return 0;
}

bool IsWiderThan16Bits(SampleCode code) { return IsSupportedSampleCode(code) && BytesPerSample(code) > 2; }

}  // namespace tidemark
