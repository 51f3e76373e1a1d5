// The stand-in for the program's registry key Software\Fernwick\Tidemark: the
// file "registry.ini" in the settings folder, one section of that name. A
// string value is stored in double quotes ("en"), a 32-bit number as
// dword:XXXXXXXX; the file is always written as UTF-16LE with a byte-order
// mark, since it holds the code-page choice itself. Values missing from the
// user's file are looked up in the machine-wide file, which is never written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace tidemark {

inline constexpr std::string_view kRegistryFileName = "registry.ini";
inline constexpr std::string_view kRegistrySection = "Software\\Fernwick\\Tidemark";
inline constexpr std::string_view kMachineRegistryPath = "/etc/xdg/Fernwick/Tidemark/registry.ini";

class RegistryStore {
 public:
  // Both paths may be empty (nothing there).
  RegistryStore(std::string user_path, std::string machine_path);
  // The user's file in the settings folder (ConfigWritePath) and the machine-wide file.
  static RegistryStore ForUser();

  // Reads both files. A missing or unreadable file holds no values; nothing
  // is reported.
  void Load();

  // A string value; nullopt when absent or of another type.
  std::optional<std::string> GetString(std::string_view name) const;
  // A number value; nullopt when absent or of another type.
  std::optional<std::uint32_t> GetDword(std::string_view name) const;

  // Whether a value of that name exists, of any type.
  bool Has(std::string_view name) const { return Find(name) != nullptr; }

  // Changes apply to the user's values; Save() writes them.
  void SetString(std::string_view name, std::string_view value);
  void SetDword(std::string_view name, std::uint32_t value);
  // Removes a value from the user's file; false when it was not there.
  bool Delete(std::string_view name);
  bool user_empty() const { return user_.empty(); }

  // Writes the user's file; when it holds no values any more, the key is
  // deleted with it: the file is removed. Errors of ReplaceFileContents or
  // OsError of the removal; kCreateFailed without a user path.
  [[nodiscard]] Error Save() const;

  const std::string& user_path() const { return user_path_; }

 private:
  struct Value {
    std::string name;
    std::string raw;  // as stored in the file: "\"text\"" or "dword:XXXXXXXX" or anything read
  };
  static void ReadFile(const std::string& path, std::vector<Value>* values);
  static const Value* FindIn(const std::vector<Value>& values, std::string_view name);
  const Value* Find(std::string_view name) const;
  void Put(std::string_view name, std::string raw);

  std::string user_path_;
  std::string machine_path_;
  std::vector<Value> user_;
  std::vector<Value> machine_;
};

}  // namespace tidemark
