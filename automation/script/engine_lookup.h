// From a script's extension to its engine, in four steps: extension ->
// file type name -> engine ProgID -> class identifier, which must implement
// the Active Scripting parse category. The steps read a built-in table
// (".js" and ".jse" as JavaScript), which a file "engines.ini" in the
// settings folder extends or overrides:
//
//   [Extensions]        ; extension = file type name
//   .mjs = JSFile
//   [FileTypes]         ; file type name = engine ProgID
//   JSFile = JScript
//   [Engines]           ; engine ProgID = class identifier
//   JScript = {F414C260-6AC0-11CF-B6D1-00AA00BBBB58}
//
// Extensions, file types and ProgIDs match without regard to ASCII case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/script/script_engine.h"

namespace tidemark::NS_SCRIPT {

class EngineTable {
 public:
  // The built-in table alone.
  EngineTable();
  // The built-in table and the "engines.ini" text `ini_text` on top.
  void AddIniText(std::string ini_text);
  // The built-in table and the settings folder's "engines.ini", if any.
  static EngineTable FromSettings();

  // The engine of a script path's extension; empty when the path has no
  // extension or any step finds nothing.
  std::optional<CLSID> EngineFor(std::string_view path) const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  static const std::string* Find(const std::vector<Entry>& table, std::string_view key);
  static void Put(std::vector<Entry>& table, std::string_view key, std::string_view value);

  std::vector<Entry> extensions_;
  std::vector<Entry> file_types_;
  std::vector<Entry> engines_;
};

// The extension of `path`'s file name, dot included; empty when none.
std::string_view ScriptExtension(std::string_view path);

}  // namespace tidemark::NS_SCRIPT
