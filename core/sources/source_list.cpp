#include "core/sources/source_list.h"

#include <unistd.h>

#include <filesystem>
#include <unordered_map>

#include "core/sources/file_source.h"

namespace tidemark {
namespace {

std::unordered_map<std::string, FileSource*>& List() {
  static std::unordered_map<std::string, FileSource*> list;
  return list;
}

}  // namespace

std::mutex& SourceMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string NormaliseSourcePath(const std::string& path) {
  if (path.empty()) return {};
  std::filesystem::path p(path);
  if (p.is_relative()) {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    if (ec) return {};
    p = cwd / p;
  }
  std::string normal = p.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

namespace detail {

FileSource* FindListedSource(const std::string& normal_path) {
  const auto& list = List();
  const auto it = list.find(normal_path);
  return it == list.end() ? nullptr : it->second;
}

bool ListSource(FileSource* source) { return List().emplace(source->path(), source).second; }

void UnlistSource(FileSource* source) {
  auto& list = List();
  const auto it = list.find(source->path());
  if (it != list.end() && it->second == source) list.erase(it);
}

}  // namespace detail

SourceRef FindFileSource(const std::string& path) {
  const std::string normal = NormaliseSourcePath(path);
  if (normal.empty()) return {};
  const std::lock_guard<std::mutex> lock(SourceMutex());
  return SourceRef::Share(detail::FindListedSource(normal));
}

bool IsFileSource(const SoundSource* source) { return AsFileSource(source) != nullptr; }

bool OwnsFile(const SoundSource* source) {
  const FileSource* f = AsFileSource(source);
  if (!f) return false;
  const std::lock_guard<std::mutex> lock(SourceMutex());
  return f->owns_file();
}

std::string FilePath(const SoundSource* source) {
  const FileSource* f = AsFileSource(source);
  if (!f) return {};
  const std::lock_guard<std::mutex> lock(SourceMutex());
  return f->path();
}

std::uint32_t DataOffset(const SoundSource* source) {
  const FileSource* f = AsFileSource(source);
  if (!f) return 0;
  const std::lock_guard<std::mutex> lock(SourceMutex());
  return f->data_offset();
}

std::size_t OpenFileSourceCount() {
  const std::lock_guard<std::mutex> lock(SourceMutex());
  return List().size();
}

}  // namespace tidemark
