#include "automation/script/engine_lookup.h"

#include <fstream>
#include <sstream>

#include "config/ini_reader.h"
#include "config/settings_folder.h"

namespace tidemark::NS_SCRIPT {
namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string_view ScriptExtension(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  // A leading dot names a hidden file, not an extension.
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
  return name.substr(dot);
}

EngineTable::EngineTable() {
  Put(extensions_, ".js", "JSFile");
  Put(file_types_, "JSFile", "JScript");
  Put(engines_, "JScript", FormatGuid(kClsidJavaScript));
  Put(engines_, "JavaScript", FormatGuid(kClsidJavaScript));
}

const std::string* EngineTable::Find(const std::vector<Entry>& table, std::string_view key) {
  for (const Entry& e : table)
    if (EqualNoCase(e.key, key)) return &e.value;
  return nullptr;
}

void EngineTable::Put(std::vector<Entry>& table, std::string_view key, std::string_view value) {
  for (Entry& e : table)
    if (EqualNoCase(e.key, key)) {
      e.value = std::string(value);
      return;
    }
  table.push_back({std::string(key), std::string(value)});
}

void EngineTable::AddIniText(std::string ini_text) {
  IniReader ini;
  ini.OpenText(std::move(ini_text));
  const struct {
    const char* section;
    std::vector<Entry>* table;
  } kSections[] = {{"Extensions", &extensions_}, {"FileTypes", &file_types_}, {"Engines", &engines_}};
  for (const auto& s : kSections) {
    if (!ini.SelectSection(s.section)) continue;
    for (const IniEntry& e : ini.Entries()) Put(*s.table, e.key, e.value);
  }
}

EngineTable EngineTable::FromSettings() {
  EngineTable table;
  const std::string folder = SettingsFolder();
  if (folder.empty()) return table;
  std::ifstream in(folder + "/engines.ini", std::ios::binary);
  if (!in) return table;
  std::ostringstream text;
  text << in.rdbuf();
  table.AddIniText(text.str());
  return table;
}

std::optional<CLSID> EngineTable::EngineFor(std::string_view path) const {
  const std::string_view ext = ScriptExtension(path);
  if (ext.empty()) return std::nullopt;
  const std::string* file_type = Find(extensions_, ext);
  if (!file_type || file_type->empty()) return std::nullopt;
  const std::string* prog_id = Find(file_types_, *file_type);
  if (!prog_id || prog_id->empty()) return std::nullopt;
  const std::string* clsid_text = Find(engines_, *prog_id);
  CLSID clsid;
  if (!clsid_text || !ParseGuid(*clsid_text, &clsid)) return std::nullopt;
  if (!ImplementsParseCategory(clsid)) return std::nullopt;
  return clsid;
}

}  // namespace tidemark::NS_SCRIPT
