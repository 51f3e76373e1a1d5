// The language files shipped with the program: English and Japanese hold
// every section, each complete and filled, and a translated text carries
// the same escapes and printf conversions as its English original.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/error_messages.h"
#include "config/text_catalogue.h"
#include "config/text_decode.h"
#include "platform/error_numbers.h"
#include "platform/utf.h"
#include "tests/platform/file_test_util.h"

namespace tidemark {
namespace {

std::string ShippedFolder() {
  const char* source = std::getenv("TIDEMARK_SOURCE_DIR");
  return source ? std::string(source) + "/UIText" : std::string();
}

std::vector<std::string> ShippedFiles() {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(ShippedFolder(), ec))
    if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
  return files;
}

struct SectionLines {
  std::vector<std::string> texts;  // what follows each "=" of the section
  int occurrences = 0;
};

// Reads the layout of a language file line by line, on its own rules, so
// that the check does not lean on the catalogue's parser.
std::map<std::string, SectionLines> ReadLayout(const std::string& text, std::vector<std::string>* stray) {
  std::map<std::string, SectionLines> sections;
  SectionLines* current = nullptr;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::string line = text.substr(pos, eol - pos);
    pos = eol + 1;
    std::erase(line, '\r');
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    line.erase(0, first);
    if (line[0] == '[') {
      const std::size_t close = line.find_last_not_of(" \t");
      if (line[close] != ']') {
        stray->push_back(line);
        continue;
      }
      current = &sections[line.substr(1, close - 1)];
      ++current->occurrences;
    } else if (line[0] == '=') {
      if (current == nullptr) {
        stray->push_back(line);
        continue;
      }
      current->texts.push_back(line.substr(1));
    } else if (line[0] != ';') {
      stray->push_back(line);  // only comments may stand beside sections and texts
    }
  }
  return sections;
}

TEST(ShippedLanguageFiles, EverySectionIsKnownCompleteAndFilled) {
  const std::string folder = ShippedFolder();
  ASSERT_FALSE(folder.empty()) << "TIDEMARK_SOURCE_DIR is not set (ctest sets it)";
  const std::vector<std::string> files = ShippedFiles();
  ASSERT_FALSE(files.empty()) << "no language files in " << folder;
  for (const char* name : {"en.txt", "ja.txt"})
    EXPECT_TRUE(std::filesystem::exists(folder + "/" + name)) << name << " is not shipped";
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    const std::string bytes = testing::ReadFileText(path);
    ASSERT_NE(DetectTextFileEncoding(bytes), TextFileEncoding::kNarrow)
        << "shipped files carry a byte-order mark";
    const std::string text = DecodeTextFile(bytes, "UTF-8");
    EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos) << "undecodable bytes";

    std::vector<std::string> stray;
    const auto layout = ReadLayout(text, &stray);
    for (const std::string& line : stray) ADD_FAILURE() << "line outside the format: " << line;
    std::size_t expected_filled = 0;
    for (const auto& [name, lines] : layout) {
      const TextSection* section = FindTextSection(name);
      if (section == nullptr) {
        ADD_FAILURE() << "unknown section [" << name << "]";
        continue;
      }
      EXPECT_EQ(lines.occurrences, 1) << "[" << name << "] appears more than once";
      EXPECT_EQ(lines.texts.size(), section->count) << "[" << name << "]";
      for (std::size_t k = 0; k < lines.texts.size(); ++k)
        EXPECT_FALSE(lines.texts[k].empty()) << "[" << name << "] text " << k << " is empty";
      expected_filled += section->count;
    }
    for (const TextSection& row : kTextSections)
      EXPECT_TRUE(layout.contains(std::string(row.path))) << "[" << row.path << "] missing";
    EXPECT_EQ(expected_filled, kTextSlotCount - 2);

    // The catalogue reads it the same way: every slot of every present
    // section is filled, nothing else is.
    TextCatalogue catalogue;
    std::size_t filled = 0;
    ASSERT_EQ(catalogue.LoadFile(path, "UTF-8", &filled), err::kOk);
    EXPECT_EQ(filled, expected_filled);
    for (const auto& [name, lines] : layout) {
      const TextSection* section = FindTextSection(name);
      if (section == nullptr) continue;
      for (unsigned k = 0; k < section->count; ++k)
        EXPECT_FALSE(catalogue.Text(SlotInSection(*section, k)).empty()) << "[" << name << "] " << k;
    }
  }
}

// The escapes ("\n", "\r", "\\") and the '%' conversions of a text, in order.
std::vector<std::string> Marks(std::string_view text) {
  std::vector<std::string> marks;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && std::string_view("nr\\").find(text[i + 1]) != std::string::npos) {
      marks.emplace_back(text.substr(i, 2));
      ++i;
    } else if (text[i] == '%') {
      // Flags, width, precision and length, then the conversion letter.
      // A '%' without a conversion letter after them is a plain '%'.
      std::size_t end = i + 1;
      while (end < text.size() && std::string_view("-+ #0123456789.lhzjt").find(text[end]) != std::string::npos) ++end;
      if (end < text.size() && std::string_view("diouxXeEfFgGaAcspn%").find(text[end]) != std::string::npos) {
        marks.emplace_back(text.substr(i, end + 1 - i));
        i = end;
      } else {
        marks.emplace_back("%");
      }
    }
  }
  return marks;
}

TEST(ShippedLanguageFiles, JapaneseKeepsTheEscapesAndConversionsOfEnglish) {
  const auto layout_of = [](const std::string& path) {
    std::vector<std::string> stray;
    return ReadLayout(DecodeTextFile(testing::ReadFileText(path), "UTF-8"), &stray);
  };
  const auto en = layout_of(ShippedFolder() + "/en.txt");
  const auto ja = layout_of(ShippedFolder() + "/ja.txt");
  ASSERT_EQ(en.size(), kTextSectionCount);
  ASSERT_EQ(ja.size(), kTextSectionCount);
  std::size_t compared = 0, with_marks = 0;
  for (const auto& [name, lines] : en) {
    const auto other = ja.find(name);
    ASSERT_NE(other, ja.end()) << name;
    ASSERT_EQ(other->second.texts.size(), lines.texts.size()) << name;
    for (std::size_t k = 0; k < lines.texts.size(); ++k) {
      const std::vector<std::string> marks = Marks(lines.texts[k]);
      EXPECT_EQ(Marks(other->second.texts[k]), marks)
          << "[" << name << "] text " << k << ": " << lines.texts[k] << " / " << other->second.texts[k];
      ++compared;
      with_marks += !marks.empty();
    }
  }
  EXPECT_EQ(compared, kTextSlotCount - 2);
  EXPECT_GT(with_marks, 50u);  // the check sees the formats it is meant for
  // The check itself: conversions with flags and lengths are whole tokens.
  EXPECT_EQ(Marks("a %-5.2lf b %s\\\\n c 100%, d (%) %%"),
            (std::vector<std::string>{"%-5.2lf", "%s", "\\\\", "%", "%", "%%"}));
}

// Every section being present in en.txt is checked above, for every file.
TEST(ShippedLanguageFiles, EnglishTextsThatTheEngineRelyOn) {
  const std::string path = ShippedFolder() + "/en.txt";
  ASSERT_TRUE(testing::ReadFileText(path).starts_with("\xEF\xBB\xBF"))
      << path << " must be UTF-8 with a byte-order mark";
  TextCatalogue catalogue;
  ASSERT_EQ(catalogue.LoadFile(path, "UTF-8"), err::kOk);
  EXPECT_EQ(catalogue.Text(text::kProductName), "Tidemark");
  // Undo step names are stored in at most 64 UTF-16 units with a terminator.
  const TextSection& undo = *FindTextSection("undo");
  for (unsigned k = 0; k < undo.count; ++k)
    EXPECT_LT(Utf8ToUtf16(catalogue.Text(SlotInSection(undo, k))).size(), 64u) << k;

  // Each general code has a message of its own (77 to 79 share one).
  std::set<std::string> messages;
  for (unsigned k = 0; k < text_section::kError.count; ++k) {
    const std::string_view message = catalogue.Text(SlotInSection(text_section::kError, k));
    EXPECT_TRUE(messages.insert(std::string(message)).second) << "error text " << k << " repeats: " << message;
  }
  for (const auto& [code, word] : {std::pair<std::uint32_t, const char*>{2, "memory"}, {8, "read"}, {9, "written"},
                                   {25, "opened"}, {26, "disk is full"}, {39, "thread"},
                                   {40, "playback is already running"}, {77, "size limit"}, {78, "layout"},
                                   {60, "(error code = 60)"}, {0xFFFFFFFFu, "cancelled"}})
    EXPECT_NE(DescribeError(Error(code), catalogue).find(word), std::string::npos) << code << ": " << word;
}

}  // namespace
}  // namespace tidemark
