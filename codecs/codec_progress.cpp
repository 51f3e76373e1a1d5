#include "codecs/codec_progress.h"

#include <utility>

namespace tidemark {
namespace {
CodecProgress g_open_progress;
}  // namespace

void SetCodecOpenProgress(CodecProgress progress) { g_open_progress = std::move(progress); }
const CodecProgress& CodecOpenProgress() { return g_open_progress; }

}  // namespace tidemark
