#include "core/sources/source_numbering.h"

#include "core/io/chunk_writer.h"
#include "core/sources/view_source.h"
#include "platform/error_numbers.h"

namespace tidemark {

void SourceNumbering::Add(SoundSource* source) {
  if (!source || entries_.count(source)) return;
  std::vector<SourceRef>* group = nullptr;
  Group g = Group::File;
  switch (source->kind()) {
    case SourceKind::FileCached:
    case SourceKind::FileDirect:
    case SourceKind::OneBit:
      group = &files_;
      g = Group::File;
      break;
    case SourceKind::Silence:
      group = &silences_;
      g = Group::Silence;
      break;
    case SourceKind::StereoView:
    case SourceKind::MonoView:
      // The inner source first: its number must be known when the view's record is read.
      Add(AsViewSource(source)->inner());
      group = &views_;
      g = Group::View;
      break;
  }
  entries_.emplace(source, Entry{g, static_cast<std::uint32_t>(group->size())});
  group->push_back(SourceRef::Share(source));
}

bool SourceNumbering::NumberOf(const SoundSource& source, std::uint32_t* number) const {
  const auto it = entries_.find(&source);
  if (it == entries_.end()) return false;
  switch (it->second.group) {
    case Group::File: *number = it->second.index; break;
    case Group::Silence: *number = file_count() + it->second.index; break;
    case Group::View: *number = file_and_silence_count() + it->second.index; break;
  }
  return true;
}

SoundSource* SourceNumbering::At(std::uint32_t n) const {
  if (n < files_.size()) return files_[n].get();
  n -= file_count();
  if (n < silences_.size()) return silences_[n].get();
  n -= static_cast<std::uint32_t>(silences_.size());
  return n < views_.size() ? views_[n].get() : nullptr;
}

Error SourceNumbering::SerializeAll(ChunkWriter& writer) const {
  for (std::uint32_t n = 0; n < total(); ++n)
    if (const Error rc = At(n)->Serialize(writer)) return rc;
  return err::kOk;
}

bool MemoryChunkWriter::SourceNumber(const SoundSource& source, std::uint32_t* number) const {
  return numbering_ && numbering_->NumberOf(source, number);
}

}  // namespace tidemark
