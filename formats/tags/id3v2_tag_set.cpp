#include "formats/tags/internal/id3v2_tag_set.h"

#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/tags/internal/app_private.h"
#include "formats/chunks/byte_order.h"
#include "formats/tags/internal/id3_genres.h"
#include "formats/tags/internal/id3v2_text.h"
#include "platform/alloc.h"
#include "platform/error_numbers.h"

namespace tidemark {
namespace {

// Synchronised lyrics: encoding, language (3), time-stamp format, content
// type, then the descriptor and the entries.
constexpr std::size_t kSyltHeader = 6;
constexpr std::uint8_t kSyltMilliseconds = 2;
constexpr double kFirstInvalidFrame = 4294901760.0;  // 0xFFFF0000

// The text of a text frame ("T..." ids): the first string after the
// encoding byte.
std::string FrameText(const Id3v2Tag& tag, std::string_view id) {
  const Id3v2Frame* frame = tag.Find(id);
  if (!frame || frame->body.empty()) return {};
  std::size_t pos = 1;
  return ReadId3String(frame->body, &pos, frame->body[0]);
}

// The address of a URL frame: WXXX carries an encoding byte and a
// description before it; the others are the address alone. Addresses are
// single-byte text.
std::string FrameUrl(const Id3v2Tag& tag, std::string_view id) {
  const Id3v2Frame* frame = tag.Find(id);
  if (!frame) return {};
  std::size_t pos = 0;
  if (id == "WXXX") {
    if (frame->body.empty()) return {};
    pos = 1;
    ReadId3String(frame->body, &pos, frame->body[0]);
  }
  return ReadId3String(frame->body, &pos, 0);
}

// COMM: encoding, language (3), short description, text.
std::string CommentText(const Id3v2Tag& tag) {
  const Id3v2Frame* frame = tag.Find("COMM");
  if (!frame || frame->body.size() < 4) return {};
  std::size_t pos = 4;
  ReadId3String(frame->body, &pos, frame->body[0]);
  return ReadId3String(frame->body, &pos, frame->body[0]);
}

// A value that is a number, in parentheses or plain, names a genre of the
// list: it becomes that name, or nothing when the number is past the list.
// Any other value stays as it is.
std::string GenreText(std::string_view value) {
  std::string_view digits = value;
  if (digits.size() >= 2 && digits.front() == '(' && digits.back() == ')') digits = digits.substr(1, digits.size() - 2);
  if (digits.empty()) return std::string(value);
  std::size_t index = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::string(value);
    if (index < kId3GenreCount) index = index * 10 + static_cast<std::size_t>(c - '0');
  }
  return index < kId3GenreCount ? std::string(Id3GenreName(static_cast<int>(index))) : std::string();
}

const Id3v2Frame* MillisecondLyrics(const Id3v2Tag& tag) {
  for (const Id3v2Frame& frame : tag.frames)
    if (frame.Id() == "SYLT" && frame.body.size() >= kSyltHeader && frame.body[4] == kSyltMilliseconds) return &frame;
  return nullptr;
}

}  // namespace

Error Id3v2TagToSet(const Id3v2Tag& tag, TagSet* tags) {
  return TryAlloc([&] {
    *tags = TagSet{};
    TagSet set;
    SetTagText(set, InfoText::Name, FrameText(tag, "TIT2"));
    SetTagText(set, InfoText::Artist, FrameText(tag, "TPE1"));
    SetTagText(set, InfoText::Copyright, FrameText(tag, "TCOP"));
    SetTagText(set, InfoText::Comments, CommentText(tag));
    std::string year = FrameText(tag, "TYER");
    if (year.empty()) year = FrameText(tag, "TDRC");
    SetTagText(set, InfoText::CreationDate, year);
    SetTagText(set, InfoText::Genre, GenreText(FrameText(tag, "TCON")));

    std::string url;
    for (const char* id : {"WXXX", "WOAR", "WCOM", "WPUB", "WOAF"}) {
      if (tag.Find(id)) {
        url = FrameUrl(tag, id);
        break;
      }
    }
    std::string lyrics_type;
    if (const Id3v2Frame* sylt = MillisecondLyrics(tag)) lyrics_type = std::to_string(sylt->body[5]);
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {std::string(app_private_key::kIsrc), FrameText(tag, "TSRC")},
        {std::string(app_private_key::kAlbum), FrameText(tag, "TALB")},
        {std::string(app_private_key::kTrack), FrameText(tag, "TRCK")},
        {std::string(app_private_key::kWebUrl), std::move(url)},
        {std::string(app_private_key::kLyricsType), std::move(lyrics_type)}};
    SetTagText(set, InfoText::AppPrivate, BuildAppPrivate(pairs));
    *tags = std::move(set);
    return err::kOk;
  }, [&] { *tags = TagSet{}; });
}

Error Id3v2TagMarkers(const Id3v2Tag& tag, std::uint32_t sample_rate, MarkerList* markers) {
  markers->Clear();
  const Id3v2Frame* frame = MillisecondLyrics(tag);
  if (!frame) return err::kOk;
  return TryAlloc([&] {
    const std::span<const std::uint8_t> body = frame->body;
    const std::uint8_t encoding = body[0];
    std::size_t pos = kSyltHeader;
    bool terminated = false;
    ReadId3String(body, &pos, encoding, &terminated);  // content descriptor
    MarkerList list;
    Marker* last = nullptr;
    while (terminated && body.size() - pos >= 4) {
      const std::string text = ReadId3String(body, &pos, encoding, &terminated);
      if (!terminated || body.size() - pos < 4) break;
      const std::uint32_t ms = LoadBe32(body.data() + pos);
      pos += 4;
      const double position = std::round(ms / 1000.0 * sample_rate);
      if (position >= kFirstInvalidFrame) continue;
      Marker* marker = NewMarker(text, "", static_cast<std::uint32_t>(position));
      if (!marker) return err::kOutOfMemory;
      list.InsertAfterAdopt(last, marker);
      last = marker;
    }
    *markers = std::move(list);
    return err::kOk;
  });
}

}  // namespace tidemark
