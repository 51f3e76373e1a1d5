// Turning error codes into the messages the user sees.
//
// Which text a code selects (see config/error_codes.h for the layout):
//   class 0x00, codes 0..59 -> "error" text k+1; 61..76 -> text k;
//               77, 78, 79 -> text 77; 80 -> 78; 81 -> 79; 60 has none
//   0x10000, 0x10001        -> "error/wavein" texts 0, 1
//   0x20000, 0x20001        -> "error/waveout" texts 0, 1
//   0x30000..0x3000D        -> "error/script" texts 0..13
//   0x40000..0x40002        -> "error/effectchain" texts 0..2
//   0xFDxxxx                -> the system's text for error number xxxx
//   0xFFFFFFFF, ...FE, ...FD -> "error/silent" texts 0, 1, 2;
//   any other 0xFFxxxxxx    -> "error" text 0
// Every other code (60, 82 and up, unknown numbers of any class, 0xFE0000,
// the optical-drive class 0x05) gets the generic form
// "%s\n\n(error code = %d)" with "error" text 77 and the code.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "config/text_catalogue.h"
#include "platform/error.h"

namespace tidemark {

// The slot a code selects, or nullopt when it has none of its own (the
// generic form, or the system's text for class 0xFD).
std::optional<TextSlot> ErrorTextSlot(Error error);

// The message of a code. Never fails: at worst the generic form.
std::string DescribeError(Error error, const TextCatalogue& catalogue);
std::string DescribeError(Error error);  // the process catalogue

// The whole text an error box shows: the message, then "\n\n" and `detail`
// when `detail` is not empty. Empty for codes that are 0 or negative as
// signed 32-bit (those are never shown).
std::string ErrorReport(Error error, std::string_view detail,
                        const TextCatalogue& catalogue);

// Shows the error on the console (standard error) in place of the error
// message box: a title line with the product name "Tidemark", then the
// ErrorReport text. Does nothing for codes that are 0 or negative as signed
// 32-bit. `out` null means stderr.
void ShowError(Error error, std::string_view detail, const TextCatalogue& catalogue,
               std::FILE* out = nullptr);
void ShowError(Error error, std::string_view detail = {}, std::FILE* out = nullptr);

// The system's message for error number `number` (an errno value) in the
// user's language, without trailing line breaks; "WIN32 ERROR: %lu (0x%lX)"
// when the system has no text for it.
std::string SystemErrorText(std::uint32_t number);

inline constexpr std::string_view kProductTitle = "Tidemark";

}  // namespace tidemark
