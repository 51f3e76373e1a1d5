#include "config/error_messages.h"

#include <cstring>

#include "config/error_codes.h"

namespace tidemark {
namespace {

// Position in the "error" section of general code k, or -1 for none.
int GeneralErrorTextIndex(std::uint32_t k) {
  if (k <= 59) return static_cast<int>(k) + 1;
  if (k >= 61 && k <= 76) return static_cast<int>(k);
  if (k >= 77 && k <= 79) return 77;
  if (k == 80) return 78;
  if (k == 81) return 79;
  return -1;
}

std::optional<TextSlot> InSection(const TextSection& section, std::uint32_t index) {
  if (index >= section.count) return std::nullopt;
  return SlotInSection(section, index);
}

std::string GenericMessage(std::uint32_t code, const TextCatalogue& catalogue) {
  const std::string_view text = catalogue.Text(text::kErrorGeneric);
  std::string out(text);
  out += "\n\n(error code = ";
  out += std::to_string(static_cast<std::int32_t>(code));
  out += ')';
  return out;
}

}  // namespace

std::optional<TextSlot> ErrorTextSlot(Error error) {
  const std::uint32_t code = error.code();
  if ((code >> 24) == 0xFF) {
    const std::uint32_t quiet = 0xFFFFFFFFu - code;  // 0 for ...FF, 1 for ...FE, 2 for ...FD
    if (quiet < text_section::kErrorSilent.count)
      return SlotInSection(text_section::kErrorSilent, quiet);
    return text::kErrorQuiet;
  }
  if ((code >> 24) != 0) return std::nullopt;
  const std::uint32_t number = err::ErrorNumber(error);
  switch (err::ErrorClass(error)) {
    case err::kClassGeneral: {
      const int index = GeneralErrorTextIndex(number);
      if (index < 0) return std::nullopt;
      return SlotInSection(text_section::kError, static_cast<unsigned>(index));
    }
    case err::kClassWaveIn:
      return InSection(text_section::kErrorWaveIn, number);
    case err::kClassWaveOut:
      return InSection(text_section::kErrorWaveOut, number);
    case err::kClassScript:
      return InSection(text_section::kErrorScript, number);
    case err::kClassEffectChain:
      return InSection(text_section::kErrorEffectChain, number);
    default:
      return std::nullopt;
  }
}

std::string DescribeError(Error error, const TextCatalogue& catalogue) {
  if (const auto slot = ErrorTextSlot(error)) return std::string(catalogue.Text(*slot));
  if ((error.code() >> 24) == 0 && err::ErrorClass(error) == err::kClassOs)
    return SystemErrorText(err::ErrorNumber(error));
  return GenericMessage(error.code(), catalogue);
}

std::string DescribeError(Error error) {
  return DescribeError(error, ProcessTextCatalogue());
}

std::string ErrorReport(Error error, std::string_view detail,
                        const TextCatalogue& catalogue) {
  if (!err::IsShownToUser(error)) return {};
  std::string text = DescribeError(error, catalogue);
  if (!detail.empty()) {
    text += "\n\n";
    text += detail;
  }
  return text;
}

void ShowError(Error error, std::string_view detail, const TextCatalogue& catalogue,
               std::FILE* out) {
  if (!err::IsShownToUser(error)) return;
  const std::string text = ErrorReport(error, detail, catalogue);
  std::FILE* stream = out ? out : stderr;
  // The console stands in for the message box: title line, then the text.
  std::fwrite(kProductTitle.data(), 1, kProductTitle.size(), stream);
  std::fputc('\n', stream);
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void ShowError(Error error, std::string_view detail, std::FILE* out) {
  ShowError(error, detail, ProcessTextCatalogue(), out);
}

std::string SystemErrorText(std::uint32_t number) {
  const int e = static_cast<int>(number);
  // glibc has a text for every number ("Unknown error N"), so whether the
  // system knows the number is told by its symbolic name.
  if (number > 0xFFFFu || strerrorname_np(e) == nullptr) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "WIN32 ERROR: %lu (0x%lX)",
                  static_cast<unsigned long>(number), static_cast<unsigned long>(number));
    return buffer;
  }
  char buffer[256];
  std::string text = strerror_r(e, buffer, sizeof buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace tidemark
