#include "formats/tags/vorbis_comments.h"

#include <array>
#include <charconv>
#include <string_view>
#include <utility>

#include "formats/tags/internal/app_private.h"
#include "formats/chunks/byte_order.h"
#include "platform/alloc.h"
#include "platform/ascii_case.h"
#include "platform/error_numbers.h"
#include "platform/utf.h"

namespace tidemark {
namespace {

struct SlotKey {
  std::string_view key;
  InfoText slot;
};
// Reading accepts both comment keys for Comments; writing uses the first.
constexpr std::array<SlotKey, 7> kSlotKeys = {{{"TITLE", InfoText::Name},
                                               {"ARTIST", InfoText::Artist},
                                               {"COPYRIGHT", InfoText::Copyright},
                                               {"DESCRIPTION", InfoText::Comments},
                                               {"COMMENT", InfoText::Comments},
                                               {"DATE", InfoText::CreationDate},
                                               {"GENRE", InfoText::Genre}}};

struct EntryKey {
  std::string_view comment_key;
  std::string_view entry_key;  // in AppPrivate
};
constexpr std::array<EntryKey, 4> kEntryKeys = {{{"ALBUM", app_private_key::kAlbum},
                                                 {"TRACKNUMBER", app_private_key::kTrack},
                                                 {"CONTACT", app_private_key::kWebUrl},
                                                 {"ISRC", app_private_key::kIsrc}}};

// A reader over a block that never passes its end.
class BlockReader {
 public:
  explicit BlockReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool U32(std::uint32_t* v) {
    if (bytes_.size() - at_ < 4) return false;
    *v = LoadLe32(&bytes_[at_]);
    at_ += 4;
    return true;
  }
  bool Text(std::uint32_t n, std::string* text) {
    if (bytes_.size() - at_ < n) return false;
    text->assign(reinterpret_cast<const char*>(bytes_.data() + at_), n);
    at_ += n;
    return true;
  }
  std::size_t left() const { return bytes_.size() - at_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

// `text` with every invalid UTF-8 part replaced by U+FFFD.
std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) AppendUtf8(out, DecodeUtf8Step(text, &pos));
  return out;
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t b[4];
  StoreLe32(b, v);
  out.insert(out.end(), b, b + 4);
}

// `value` in fixed notation with `precision` digits, with '.' as the
// decimal point whatever the locale, as printf's "%.*f" (with `plus`, "%+.*f").
std::string Fixed(double value, int precision, bool plus) {
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
  std::string out(buf, ec == std::errc() ? end : buf);
  if (plus && (out.empty() || out[0] != '-')) out.insert(out.begin(), '+');
  return out;
}

}  // namespace

Error ParseVorbisCommentBlock(std::span<const std::uint8_t> block, VorbisComments* out) {
  *out = VorbisComments{};
  return TryAlloc([&] {
    BlockReader reader(block);
    VorbisComments parsed;
    std::uint32_t n = 0, count = 0;
    if (!reader.U32(&n) || !reader.Text(n, &parsed.vendor) || !reader.U32(&count)) return err::kMalformed;
    // Each comment needs at least its 4 length bytes: checked before any room is taken.
    if (count > reader.left() / 4) return err::kMalformed;
    parsed.comments.resize(count);
    for (std::string& comment : parsed.comments)
      if (!reader.U32(&n) || !reader.Text(n, &comment)) return err::kMalformed;
    *out = std::move(parsed);
    return err::kOk;
  }, [&] { *out = VorbisComments{}; });
}

Error BuildVorbisCommentBlock(const VorbisComments& comments, std::vector<std::uint8_t>* block) {
  block->clear();
  return TryAlloc([&] {
    std::uint64_t total = 8 + std::uint64_t{comments.vendor.size()};
    for (const std::string& c : comments.comments) {
      if (c.size() > 0xFFFFFFFFu) return err::kMetadataTooLarge;
      total += 4 + std::uint64_t{c.size()};
    }
    if (comments.vendor.size() > 0xFFFFFFFFu || comments.comments.size() > 0xFFFFFFFFu)
      return err::kMetadataTooLarge;
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(total));
    PutU32(out, static_cast<std::uint32_t>(comments.vendor.size()));
    out.insert(out.end(), comments.vendor.begin(), comments.vendor.end());
    PutU32(out, static_cast<std::uint32_t>(comments.comments.size()));
    for (const std::string& c : comments.comments) {
      PutU32(out, static_cast<std::uint32_t>(c.size()));
      out.insert(out.end(), c.begin(), c.end());
    }
    *block = std::move(out);
    return err::kOk;
  });
}

Error VorbisCommentsToTags(const VorbisComments& comments, TagSet* tags) {
  return TryAlloc([&] {
    TagSet out = *tags;
    const bool entries_wanted = TagText(out, InfoText::AppPrivate).empty();
    std::array<std::string, kEntryKeys.size()> entry_values;
    for (const std::string& comment : comments.comments) {
      const std::size_t eq = comment.find('=');
      if (eq == std::string::npos) continue;
      const std::string_view key = std::string_view(comment).substr(0, eq);
      const std::string_view value = std::string_view(comment).substr(eq + 1);
      if (value.empty()) continue;
      for (const SlotKey& k : kSlotKeys)
        if (EqualsIgnoreAsciiCase(key, k.key) && TagText(out, k.slot).empty()) SetTagText(out, k.slot, ValidUtf8(value));
      if (!entries_wanted) continue;
      for (std::size_t i = 0; i < kEntryKeys.size(); ++i)
        if (EqualsIgnoreAsciiCase(key, kEntryKeys[i].comment_key) && entry_values[i].empty())
          entry_values[i] = ValidUtf8(value);
    }
    if (entries_wanted) {
      std::vector<std::pair<std::string, std::string>> pairs;
      for (std::size_t i = 0; i < kEntryKeys.size(); ++i)
        if (!entry_values[i].empty()) pairs.emplace_back(std::string(kEntryKeys[i].entry_key), entry_values[i]);
      SetTagText(out, InfoText::AppPrivate, BuildAppPrivate(pairs));
    }
    if (TagText(out, InfoText::Software).empty()) SetTagText(out, InfoText::Software, ValidUtf8(comments.vendor));
    *tags = std::move(out);
    return err::kOk;
  });
}

Error TagsToVorbisComments(const TagSet& tags, const std::optional<ReplayGainValues>& gain,
                           std::vector<std::string>* comments) {
  comments->clear();
  return TryAlloc([&] {
    std::vector<std::string> out;
    auto put = [&out](std::string_view key, std::string_view value) {
      if (value.empty()) return;
      std::string c(key);
      c += '=';
      c += value;
      out.push_back(std::move(c));
    };
    for (const SlotKey& k : kSlotKeys)
      if (k.key != "COMMENT") put(k.key, TagText(tags, k.slot));
    const std::vector<AppPrivateEntry> entries = ParseAppPrivate(TagText(tags, InfoText::AppPrivate));
    for (const EntryKey& k : kEntryKeys)
      if (const std::optional<std::string> value = AppPrivateValue(entries, k.entry_key)) put(k.comment_key, *value);
    if (gain) {
      const std::string track_gain = Fixed(gain->track_gain, 2, true) + " dB";
      const std::string track_peak = Fixed(gain->track_peak, 6, false);
      put("REPLAYGAIN_REFERENCE_LOUDNESS", Fixed(gain->reference_loudness, 1, false) + " dB");
      put("REPLAYGAIN_TRACK_GAIN", track_gain);
      put("REPLAYGAIN_TRACK_PEAK", track_peak);
      put("REPLAYGAIN_ALBUM_GAIN", track_gain);
      put("REPLAYGAIN_ALBUM_PEAK", track_peak);
    }
    *comments = std::move(out);
    return err::kOk;
  });
}

}  // namespace tidemark
