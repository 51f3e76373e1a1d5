// Turning the bytes of a text file (settings, registry stand-in, language
// files) into UTF-8 text, and UTF-8 text into the bytes of a UTF-16LE file.
#pragma once

#include <string>
#include <string_view>

namespace tidemark {

enum class TextFileEncoding {
  kUtf16Le,  // starts with FF FE
  kUtf16Be,  // starts with FE FF
  kUtf8,     // starts with EF BB BF
  kNarrow,   // no byte-order mark: the narrow code page
};

// The encoding that the first bytes announce.
TextFileEncoding DetectTextFileEncoding(std::string_view bytes);

// Decodes a whole file to UTF-8, without its byte-order mark. Invalid input
// never fails: a lone surrogate, a trailing half UTF-16 unit and each invalid
// narrow or UTF-8 sequence become U+FFFD.
std::string DecodeTextFile(std::string_view bytes, std::string_view narrow_codeset);

// Removes every carriage return and makes sure the text ends with a line feed.
void NormalizeLineEnds(std::string& text);

// The UTF-16LE bytes of `utf8`, with the byte-order mark FF FE in front.
std::string EncodeUtf16LeWithBom(std::string_view utf8);

}  // namespace tidemark
