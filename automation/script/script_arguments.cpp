#include "automation/script/script_arguments.h"

#include <cstdlib>

namespace tidemark::NS_SCRIPT {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

}  // namespace

std::optional<CommandLine> SplitCommandLine(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  CommandLine out;
  if (i < line.size() && line[i] == '"') {
    const std::size_t close = line.find('"', i + 1);
    const std::size_t end = close == std::string_view::npos ? line.size() : close;
    out.path = std::string(line.substr(i + 1, end - i - 1));
    i = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    const std::size_t start = i;
    while (i < line.size() && !IsBlank(line[i]) && line[i] != '"') ++i;
    out.path = std::string(line.substr(start, i - start));
  }
  if (out.path.empty()) return std::nullopt;
  while (i < line.size() && IsBlank(line[i])) ++i;
  out.arguments = std::string(line.substr(i));
  return out;
}

std::string ExpandEnvironment(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t open = text.find('%', i);
    if (open == std::string_view::npos) break;
    const std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(i, open - i));
    const std::string name(text.substr(open + 1, close - open - 1));
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value) {
      out += value;
      i = close + 1;
    } else {
      // Kept as written; the closing % may open the next reference.
      out.append(text.substr(open, close - open));
      i = close;
    }
  }
  out.append(text.substr(i));
  return out;
}

std::vector<std::string> SplitArguments(std::string_view text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) break;
    std::string arg;
    bool quoted = false;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '"') quoted = !quoted;
      else if (!quoted && IsBlank(c)) break;
      else arg += c;
    }
    out.push_back(std::move(arg));
  }
  return out;
}

bool IsNamedArgument(std::string_view arg) {
  if (arg.size() < 2 || arg[0] != '/' || arg[1] == ':') return false;
  return ArgumentName(arg).find('/') == std::string_view::npos;
}

std::string_view ArgumentName(std::string_view arg) {
  if (arg.empty() || arg[0] != '/') return {};
  const std::string_view rest = arg.substr(1);
  return rest.substr(0, rest.find(':'));
}

std::optional<std::string> NamedArgumentValue(const std::vector<std::string>& args, std::string_view name) {
  if (name.empty()) return std::nullopt;
  for (const std::string& arg : args) {
    if (!IsNamedArgument(arg)) continue;
    const std::string_view rest = std::string_view(arg).substr(1);
    if (rest.size() > name.size() && rest[name.size()] == ':' && EqualNoCase(rest.substr(0, name.size()), name))
      return std::string(rest.substr(name.size() + 1));
  }
  return std::nullopt;
}

bool NamedArgumentExists(const std::vector<std::string>& args, std::string_view name) {
  for (const std::string& arg : args)
    if (IsNamedArgument(arg) && EqualNoCase(ArgumentName(arg), name)) return true;
  return false;
}

}  // namespace tidemark::NS_SCRIPT
