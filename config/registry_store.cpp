#include "config/registry_store.h"

#include <algorithm>
#include <cerrno>

#include "config/ini_reader.h"
#include "config/ini_values.h"
#include "config/ini_writer.h"
#include "config/settings_folder.h"
#include "platform/error_numbers.h"
#include "platform/file_ops.h"

namespace tidemark {
namespace {

constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::size_t kMaxRegistryValues = 256;
constexpr std::size_t kMaxRegistryText = 4095;

}  // namespace

RegistryStore::RegistryStore(std::string user_path, std::string machine_path)
    : user_path_(std::move(user_path)), machine_path_(std::move(machine_path)) {}

RegistryStore RegistryStore::ForUser() {
  return RegistryStore(ConfigWritePath(kRegistryFileName), std::string(kMachineRegistryPath));
}

void RegistryStore::ReadFile(const std::string& path, std::vector<Value>* values) {
  values->clear();
  if (path.empty()) return;
  IniReader reader;
  // Written as UTF-16 always; a hand-made file without a byte-order mark is
  // taken as UTF-8, since the code page is not decided yet when this is read.
  if (reader.Open(path, "UTF-8") != err::kOk || !reader.SelectSection(kRegistrySection)) return;
  for (const IniEntry& e : reader.Entries()) {
    if (values->size() >= kMaxRegistryValues) break;
    if (e.key.empty() || FindIn(*values, e.key)) continue;
    values->push_back({std::string(e.key), std::string(TruncateUtf8Bytes(e.value, kMaxRegistryText))});
  }
}

void RegistryStore::Load() {
  ReadFile(user_path_, &user_);
  ReadFile(machine_path_, &machine_);
}

const RegistryStore::Value* RegistryStore::FindIn(const std::vector<Value>& values,
                                                  std::string_view name) {
  for (const Value& v : values)
    if (EqualsIgnoreAsciiCase(v.name, name)) return &v;
  return nullptr;
}

const RegistryStore::Value* RegistryStore::Find(std::string_view name) const {
  if (const Value* v = FindIn(user_, name)) return v;
  return FindIn(machine_, name);
}

std::optional<std::string> RegistryStore::GetString(std::string_view name) const {
  const Value* v = Find(name);
  if (!v || v->raw.size() < 2 || v->raw.front() != '"' || v->raw.back() != '"') return std::nullopt;
  return v->raw.substr(1, v->raw.size() - 2);
}

std::optional<std::uint32_t> RegistryStore::GetDword(std::string_view name) const {
  const Value* v = Find(name);
  if (!v || v->raw.size() <= kDwordPrefix.size() ||
      !EqualsIgnoreAsciiCase(std::string_view(v->raw).substr(0, kDwordPrefix.size()), kDwordPrefix))
    return std::nullopt;
  std::uint32_t n = 0;
  if (!ParseHex(std::string_view(v->raw).substr(kDwordPrefix.size()), &n)) return std::nullopt;
  return n;
}

void RegistryStore::Put(std::string_view name, std::string raw) {
  for (Value& v : user_) {
    if (EqualsIgnoreAsciiCase(v.name, name)) {
      v.raw = std::move(raw);
      return;
    }
  }
  user_.push_back({std::string(name), std::move(raw)});
}

void RegistryStore::SetString(std::string_view name, std::string_view value) {
  std::string raw;
  raw.reserve(value.size() + 2);
  raw.push_back('"');
  raw.append(value);
  raw.push_back('"');
  Put(name, std::move(raw));
}

void RegistryStore::SetDword(std::string_view name, std::uint32_t value) {
  Put(name, std::string(kDwordPrefix) + FormatHex(value, 8));
}

bool RegistryStore::Delete(std::string_view name) {
  const auto it = std::find_if(user_.begin(), user_.end(), [&](const Value& v) {
    return EqualsIgnoreAsciiCase(v.name, name);
  });
  if (it == user_.end()) return false;
  user_.erase(it);
  return true;
}

Error RegistryStore::Save() const {
  if (user_path_.empty()) return err::kCreateFailed;
  if (user_.empty()) {
    const Error rc = UnlinkFile(user_path_);
    return rc == err::OsError(ENOENT) ? err::kOk : rc;
  }
  IniWriter writer;
  writer.Open(user_path_, IniEncoding::kUtf16Le);
  writer.SetSection(kRegistrySection);
  for (const Value& v : user_) writer.WriteRawText(v.name, v.raw);
  return writer.Close();
}

}  // namespace tidemark
