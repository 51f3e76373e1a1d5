// A script's command line and argument list.
//
// Splitting an argument string: arguments are separated by blanks (space,
// tab); a double quote starts or ends a quoted stretch whose blanks belong
// to the argument, and the quotes themselves are dropped; a quote left open
// runs to the end of the string.
//
// Named arguments: "/name" or "/name:value". An argument is named when it
// starts with "/", its second character is neither ":" nor the end, and the
// text between the leading "/" and the first ":" (or the end) holds no
// further "/". The last rule keeps absolute paths ("/tmp/a.wav") unnamed on
// this platform, where they all start with "/".
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tidemark::NS_SCRIPT {

// A command line "PATH ARGS..." or "\"PATH WITH BLANKS\" ARGS...": the path
// and the argument string after it (leading blanks skipped). Empty when the
// path is empty (an empty quoted path included).
struct CommandLine {
  std::string path;
  std::string arguments;
};
std::optional<CommandLine> SplitCommandLine(std::string_view line);

// %NAME% replaced by the environment variable's value; references to unset
// variables, and a lone %, stay as written.
std::string ExpandEnvironment(std::string_view text);

// Splits an argument string (see above); environment references are not
// expanded here.
std::vector<std::string> SplitArguments(std::string_view text);

bool IsNamedArgument(std::string_view arg);
// The name of a named argument: the text between "/" and ":" (or the end).
std::string_view ArgumentName(std::string_view arg);
// The value of the first named argument whose name is `name` (ASCII case
// ignored) followed by ":"; "/name" without a colon never matches. Empty
// when nothing matches.
std::optional<std::string> NamedArgumentValue(const std::vector<std::string>& args, std::string_view name);
// Whether a named argument called `name` exists, with or without a value.
bool NamedArgumentExists(const std::vector<std::string>& args, std::string_view name);

}  // namespace tidemark::NS_SCRIPT
