#include "config/language_choice.h"

#include <cstdlib>

#include "config/config_file_io.h"
#include "config/language_ids.h"
#include "platform/system_info.h"
#include "platform/user_language.h"

namespace tidemark {
namespace {

constexpr std::string_view kExtension = ".txt";

bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// The first existing "<folder>/<stem>.txt", or empty.
std::string FindFile(const std::vector<std::string>& folders, std::string_view stem) {
  if (!IsPlainFileName(stem)) return {};
  const std::string name = std::string(stem) + std::string(kExtension);
  for (const std::string& folder : folders) {
    const std::string path = JoinPath(folder, name);
    if (GetPathKind(path) == PathKind::kFile) return path;
  }
  return {};
}

// Where a file that may not exist would be: the first folder.
std::string FirstFolderPath(const std::vector<std::string>& folders, std::string_view stem) {
  if (folders.empty()) return {};
  return JoinPath(folders.front(), std::string(stem) + std::string(kExtension));
}

}  // namespace

std::string ChooseLanguageFile(const LanguageChoiceInput& input) {
  if (input.override_name && !input.override_name->empty()) {
    // The override decides alone: a name that is no plain file name (a path
    // reaching out of the language folder) loads nothing.
    if (!IsPlainFileName(*input.override_name)) return {};
    std::string path = FindFile(input.folders, *input.override_name);
    return path.empty() ? FirstFolderPath(input.folders, *input.override_name) : path;
  }
  const std::string parent = LanguageTagFromLocaleName(input.locale_name);
  if (std::string path = FindFile(input.folders, parent); !path.empty()) return path;

  const std::uint16_t id = LanguageIdForLocaleName(input.locale_name);
  if (id != 0) {
    if (std::string path = FindFile(input.folders, LanguageTagForId(id)); !path.empty())
      return path;
  }
  const bool japanese = id == kLanguageJapanese ||
                        PrimaryLanguageId(id) == PrimaryLanguageId(kLanguageJapanese);
  if (japanese) return {};
  std::string path = FindFile(input.folders, "en");
  return path.empty() ? FirstFolderPath(input.folders, "en") : path;
}

std::vector<std::string> LanguageFolders() {
  const std::string program = ProgramFolder();
  if (program.empty()) return {};
  return {JoinPath(program, "UIText"), JoinPath(program, "../share/tidemark/UIText")};
}

std::string UserLocaleName() {
  if (const char* language = std::getenv("LANGUAGE")) {
    std::string_view list(language);
    while (!list.empty()) {
      const auto colon = list.find(':');
      const std::string_view first = list.substr(0, colon);
      if (!first.empty()) return std::string(first);
      if (colon == std::string_view::npos) break;
      list.remove_prefix(colon + 1);
    }
  }
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return {};
}

}  // namespace tidemark
