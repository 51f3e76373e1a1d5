// The console editor's document and file commands: opening, listing,
// closing, information, saving, tags, the error policy, help and quit.
// The editing commands live in console_edit_commands.cpp.
#include <sys/stat.h>

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "app/console_session.h"
#include "config/error_messages.h"
#include "core/edit/document_properties.h"
#include "core/document/sound_document.h"
#include "core/undo/undo_history.h"
#include "formats/file_kind.h"
#include "formats/open_sound_file.h"
#include "formats/save_document.h"
#include "formats/tags/tag_set.h"
#include "platform/ascii_case.h"

namespace tidemark::console {
namespace {

using Args = std::vector<std::string>;

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

bool IsFolder(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DocumentName(const Session::Entry& e) {
  const SoundDocument& d = *e.document;
  const std::optional<std::string>& p = d.path ? d.path : d.second_path;
  if (p) return std::filesystem::path(*p).filename().string();
  return Session::Format(text::kConsoleUntitled, std::to_string(d.untitled_number ? d.untitled_number : e.number));
}

std::optional<int> DocumentNumber(const std::string& text) {
  const auto n = ParseCount(text, INT_MAX);
  if (!n) return std::nullopt;
  return static_cast<int>(*n);
}

// One line for each piece of metadata that opening `path` left out. Its
// words are fixed, as the field names of info are; the reason is the
// catalogue's message.
void ReportSkippedMetadata(Session& s, const std::string& path, const std::vector<SkippedMetadata>& skipped) {
  for (const SkippedMetadata& m : skipped) {
    const char* what = m.kind == SkippedMetadata::Kind::kMarkers ? "skipped markers"
                       : m.kind == SkippedMetadata::Kind::kTags  ? "skipped tags"
                                                                 : "silenced samples";
    s.out() << what << " (" << m.chunks << ") of " << path << ": " << DescribeError(m.error) << '\n';
  }
}

Result Open(Session& s, const Args& args) {
  bool failed = false;
  for (const std::string& arg : args) {
    const std::string path = Absolute(arg);
    if (IsFolder(path)) {
      s.Notice(text::kConsoleFolderSkipped, path);
      continue;
    }
    bool found = false;
    for (const Session::Entry& e : s.documents()) {
      const SoundDocument& d = *e.document;
      if ((d.path && *d.path == path) || (!d.path && d.second_path && *d.second_path == path)) {
        s.Activate(e.number);
        s.Notice(text::kConsoleAlreadyOpen, std::to_string(e.number));
        found = true;
        break;
      }
    }
    if (found) continue;
    SoundDocument* doc = nullptr;
    std::vector<SkippedMetadata> skipped;
    const ScopedCodecOpenProgress codec_progress(s);
    if (const Error rc = OpenSoundDocument(path, s.open_options(), &doc, &skipped)) {
      s.err() << Session::Format(text::kConsoleCannotOpenFile, path) << '\n';
      s.Fail(rc);
      ReportMissingCodec(s, rc);
      failed = true;
      continue;
    }
    s.Adopt(DocumentPtr(doc));
    ReportSkippedMetadata(s, path, skipped);
  }
  return failed ? Result::kFailed : Result::kDone;
}

Result OpenRaw(Session& s, const Args& args) {
  const auto type = ParseFormatWord(args[1]);
  if (!type) return s.Fail(text::kConsoleBadFormatWord, args[1]);
  const auto rate = ParseCount(args[2], UINT32_MAX);
  const auto channels = ParseCount(args[3], UINT16_MAX);
  const auto offset = args.size() > 4 ? ParseCount(args[4], UINT32_MAX) : std::optional<std::uint64_t>(0);
  if (!rate) return s.Fail(text::kConsoleBadNumber, args[2]);
  if (!channels) return s.Fail(text::kConsoleBadNumber, args[3]);
  if (!offset) return s.Fail(text::kConsoleBadNumber, args[4]);
  RawLayout layout;
  layout.code = type->code;
  layout.rate = static_cast<std::uint32_t>(*rate);
  layout.channels = static_cast<std::uint16_t>(*channels);
  layout.data_offset = static_cast<std::uint32_t>(*offset);
  const std::string path = Absolute(args[0]);
  if (IsFolder(path)) return s.Fail(text::kConsoleFolderSkipped, path);
  SoundDocument* doc = nullptr;
  if (const Error rc = OpenRawDocument(path, layout, &doc)) return s.Fail(rc);
  s.Adopt(DocumentPtr(doc));
  return Result::kDone;
}

Result New(Session& s, const Args& args) {
  const auto rate = ParseCount(args[0], UINT32_MAX);
  const auto channels = ParseCount(args[1], UINT16_MAX);
  if (!rate) return s.Fail(text::kConsoleBadNumber, args[0]);
  if (!channels) return s.Fail(text::kConsoleBadNumber, args[1]);
  if (!IsValidSampleRate(static_cast<std::uint32_t>(*rate)) || *channels < 1 || *channels > 2)
    return s.Fail(err::kUnsupportedFormat);
  DocumentDescription d;
  d.format.kind = PcmFileKind::Wave;
  d.format.rate = static_cast<std::uint32_t>(*rate);
  d.format.channels = static_cast<std::uint16_t>(*channels);
  d.format.code = sample_code::kS16;
  if (args.size() > 2) {
    const auto type = ParseFormatWord(args[2]);
    if (!type) return s.Fail(text::kConsoleBadFormatWord, args[2]);
    const NormalisedCode n = NormaliseForKind(type->kind, type->code);
    if (n.invalid) return s.Fail(text::kConsoleKindCannotStore, args[2]);
    d.format.kind = type->kind == PcmFileKind::Temp ? PcmFileKind::Wave : type->kind;
    d.format.code = n.code;
  }
  SoundDocument* doc = nullptr;
  if (const Error rc = CreateDocument(std::nullopt, SegmentList(), std::move(d), &doc)) return s.Fail(rc);
  doc->kind = d.format.kind;
  doc->code = d.format.code;
  s.Adopt(DocumentPtr(doc));
  return Result::kDone;
}

Result Docs(Session& s, const Args&) {
  if (s.documents().empty()) return s.Notice(text::kConsoleNoDocuments);
  for (const Session::Entry& e : s.documents()) {
    const SoundDocument& d = *e.document;
    char line[64];
    std::snprintf(line, sizeof line, "%c%c %3d  ", e.number == s.active_number() ? '>' : ' ',
                  IsDocumentSaved(d) ? ' ' : '*', e.number);
    s.out() << line << DocumentName(e) << "  " << PcmFileSample(d) << "  " << d.rate << " Hz  " << d.channels
            << " ch  " << d.length << " frames\n";
  }
  return Result::kDone;
}

Result Use(Session& s, const Args& args) {
  const auto n = DocumentNumber(args[0]);
  if (!n) return s.Fail(text::kConsoleBadNumber, args[0]);
  if (!s.Find(*n)) return s.Fail(text::kConsoleNoSuchDocument, args[0]);
  s.Activate(*n);
  return Result::kDone;
}

Result CloseDocument(Session& s, const Args& args, bool force) {
  int number = s.active_number();
  if (!args.empty()) {
    const auto n = DocumentNumber(args[0]);
    if (!n) return s.Fail(text::kConsoleBadNumber, args[0]);
    number = *n;
  }
  SoundDocument* doc = s.Find(number);
  if (!doc) return number == 0 ? s.Fail(text::kConsoleNoDocument) : s.Fail(text::kConsoleNoSuchDocument, std::to_string(number));
  if (!force && !IsDocumentSaved(*doc)) return s.Fail(text::kConsoleDocumentModified, std::to_string(number));
  s.Close(number);
  return Result::kDone;
}
Result Close(Session& s, const Args& args) { return CloseDocument(s, args, false); }
Result CloseForced(Session& s, const Args& args) { return CloseDocument(s, args, true); }

std::string RecordName(const UndoRecord* record) {
  std::string name;
  if (!record) return std::string(ConsoleText(text::kConsoleNoneWord));
  if (!record->GetName(&name).ok()) return "?";
  return name;
}

Result Info(Session& s, const Args&) {
  SoundDocument& d = *s.active();
  std::uint32_t from = 0, to = 0;
  GetSelection(d, &from, &to);
  std::ostream& o = s.out();
  o << "document " << s.active_number() << '\n';
  o << "path: " << (d.path ? *d.path : d.second_path ? *d.second_path + " (read only)" : "-") << '\n';
  o << "format: " << PcmFileSample(d) << ", " << d.rate << " Hz, " << d.channels << " channels\n";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.6f", LengthSeconds(d));
  o << "length: " << d.length << " frames, " << seconds << " s\n";
  o << "selection: " << from << " to " << to << " (" << (to - from) << " frames)\n";
  o << "channels: " << GetChannelMask(d) << '\n';
  o << "markers: " << d.markers.size() << '\n';
  o << "undo: " << RecordName(d.history.undo_record()) << '\n';
  o << "redo: " << RecordName(d.history.redo_record()) << '\n';
  o << "state: " << ConsoleText(IsDocumentSaved(d) ? text::kConsoleSavedWord : text::kConsoleModifiedWord) << '\n';
  return Result::kDone;
}

Result History(Session& s, const Args&) {
  const UndoHistory& h = s.active()->history;
  if (h.empty()) return s.Notice(text::kConsoleHistoryEmpty);
  for (std::size_t i = 0; i < h.size(); ++i) {
    const std::string mark = i == h.redo_count() ? std::string("> ")
                             : i < h.redo_count() ? "  " + std::string(ConsoleText(text::kConsoleUndoneMark)) + " "
                                                  : std::string("  ");
    s.out() << mark << RecordName(&h.at(i)) << '\n';
  }
  return Result::kDone;
}

SaveOptions ConsoleSaveOptions(Session& s) {
  SaveOptions options;
  options.move_work_file = s.save_settings().move_work_file;
  options.dither_16bit = s.save_settings().dither_16bit;
  options.dither = s.dither();
  options.progress = s.progress();
  options.confirm_detach = s.detach_confirm();
  return options;
}

Result Save(Session& s, const Args&) {
  SoundDocument& d = *s.active();
  if (!d.path) return s.Fail(text::kConsoleNoPathUseSaveAs);
  if (IsDocumentSaved(d)) return s.Notice(text::kConsoleNothingToSave);
  if (const Error rc = SaveAs(d, *d.path, d.kind, d.code, ConsoleSaveOptions(s))) return s.Fail(rc);
  return Result::kDone;
}

std::string Extension(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  return AsciiLower(name.substr(dot));
}

Result SaveAsCommand(Session& s, const Args& args) {
  SoundDocument& d = *s.active();
  const std::string path = Absolute(args[0]);
  if (const std::optional<Result> codec = SaveAsThroughCodec(s, path, args)) return *codec;
  PcmFileKind kind = d.kind == PcmFileKind::Temp ? PcmFileKind::Wave : d.kind;
  SampleCode code = d.code;
  if (args.size() > 1) {
    const auto type = ParseFormatWord(args[1]);
    if (!type) return s.Fail(text::kConsoleBadFormatWord, args[1]);
    kind = type->kind == PcmFileKind::Temp ? PcmFileKind::Wave : type->kind;
    code = type->code;
  } else {
    const std::string ext = Extension(path);
    switch (ReaderForPath(path)) {
      case SoundReader::kOneBit:
        return s.Fail(text::kConsoleOneBitSaveRefused, ext);
      case SoundReader::kPcmProbe:
      case SoundReader::kRefused:
        break;
      default:
        return s.Fail(text::kConsoleCodecSaveRefused, ext);
    }
    kind = FileTypeFromExtension(path, kind);
  }
  const NormalisedCode n = NormaliseForKind(kind, code);
  if (n.invalid) return s.Fail(text::kConsoleKindCannotStore, SampleTypeText(kind, code));
  if (IsFolder(path)) return s.Fail(err::kCreateFailed);
  if (const Error rc = SaveAs(d, path, kind, n.code, ConsoleSaveOptions(s))) return s.Fail(rc);
  return Result::kDone;
}

struct TagName {
  std::string_view name;
  InfoText slot;
};
constexpr TagName kTagNames[] = {
    {"title", InfoText::Name},        {"artist", InfoText::Artist},     {"copyright", InfoText::Copyright},
    {"comment", InfoText::Comments},  {"comments", InfoText::Comments}, {"genre", InfoText::Genre},
    {"date", InfoText::CreationDate}, {"engineer", InfoText::Engineer}, {"keywords", InfoText::Keywords},
    {"product", InfoText::Product},   {"album", InfoText::Product},     {"subject", InfoText::Subject},
    {"software", InfoText::Software}, {"source", InfoText::Source},     {"technician", InfoText::Technician},
};

std::optional<InfoText> TagSlot(std::string_view key) {
  const std::string lower = AsciiLower(key);
  for (std::size_t i = 0; i < kInfoTextCount; ++i) {
    const auto slot = static_cast<InfoText>(i);
    if (AsciiLower(kInfoIds[i]) == lower && slot != InfoText::AppPrivate) return slot;
  }
  // The names scripts use for the slots ("Name", "Artist", ...).
  if (const std::optional<InfoText> slot = TagSlotByName(key); slot && *slot != InfoText::AppPrivate) return slot;
  for (const TagName& t : kTagNames)
    if (t.name == lower) return t.slot;
  return std::nullopt;
}

Result Tag(Session& s, const Args& args) {
  SoundDocument& d = *s.active();
  if (args.empty()) {
    bool any = false;
    for (std::size_t i = 0; i < kInfoTextCount; ++i) {
      if (static_cast<InfoText>(i) == InfoText::AppPrivate) continue;
      const std::optional<std::string>& text = d.metadata.texts[i];
      if (!text || text->empty()) continue;
      s.out() << kInfoIds[i] << "  " << *text << '\n';
      any = true;
    }
    return any ? Result::kDone : s.Notice(text::kConsoleNoTags);
  }
  if (args.size() != 2) return s.Usage("tag");
  const std::optional<InfoText> slot = TagSlot(args[0]);
  if (!slot) return s.Fail(text::kConsoleUnknownTag, args[0]);
  SetDocumentTag(d, *slot, args[1].empty() ? std::nullopt : std::optional<std::string>(args[1]));
  return Result::kDone;
}

Result OnError(Session& s, const Args& args) {
  if (args[0] == "stop") s.set_stop_on_error(true);
  else if (args[0] == "continue") s.set_stop_on_error(false);
  else return s.Usage("onerror");
  return Result::kDone;
}

// Which runs keep the workspace (app/console_workspace.h).
constexpr std::string_view kWorkspaceRunTable =
    "Workspace (the open documents with their undo history, kept between runs):\n"
    "  tidemark [FILE...] on a terminal  restores it; keeps it at quit when the keep-workspace setting\n"
    "                                    says so (asked when confirmations are on); autosaves per setting\n"
    "  tidemark --workspace [--] [FILE...]  restores, keeps and autosaves it from any input\n"
    "  other runs (a pipe, a command file)  leave it alone\n";

Result Help(Session& s, const Args& args) {
  if (args.size() == 2) {
    if (args[0] != "effect") return s.Usage("help");
    return HelpEffect(s, args[1]);
  }
  if (!args.empty()) {
    const Command* c = FindCommand(args[0]);
    if (!c) return s.Fail(text::kConsoleUnknownCommand, args[0]);
    const CommandHelp h = HelpFor(c->name);
    s.out() << h.usage << '\n';
    for (std::string_view rest = h.details; !rest.empty();) {
      const std::size_t end = std::min(rest.find('\n'), rest.size());
      s.out() << "    " << rest.substr(0, end) << '\n';
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    s.out() << "  " << h.description << '\n';
    return Result::kDone;
  }
  s.out() << ConsoleText(text::kConsoleHelpHeader) << '\n';
  for (const Command& c : Commands()) s.out() << "  " << HelpFor(c.name).usage << '\n';
  s.out() << kWorkspaceRunTable;
  return Result::kDone;
}

Result Quit(Session& s, const Args&) { return s.ConfirmQuit() ? Result::kQuit : Result::kDone; }

Result Project(Session& s, const Args& args) {
  if (!s.project_switch()) return s.Fail(text::kProjectFolderUnusable, args[0]);
  return s.project_switch()(args[0]);
}

constexpr std::size_t kAny = SIZE_MAX;

}  // namespace

const std::vector<Command>& Commands() {
  static const std::vector<Command> table = {
      {"open", 1, kAny, false, Open},
      {"open-raw", 4, 5, false, OpenRaw},
      {"new", 2, 3, false, New},
      {"docs", 0, 0, false, Docs},
      {"use", 1, 1, false, Use},
      {"close", 0, 1, false, Close},
      {"close!", 0, 1, false, CloseForced},
      {"info", 0, 0, true, Info},
      {"select", 1, 2, true, SelectCommand},
      {"channels", 1, 1, true, ChannelsCommand},
      {"delete", 0, 0, true, DeleteCommand},
      {"cut", 0, 0, true, CutCommand},
      {"copy", 0, 0, true, CopyCommand},
      {"paste", 0, 0, true, PasteCommand},
      {"paste-over", 0, 0, true, PasteOverCommand},
      {"paste-overwrite", 0, 0, true, PasteOverwriteCommand},
      {"mix-paste", 0, 0, true, MixPasteCommand},
      {"mix-paste-subtract", 0, 0, true, MixPasteSubtractCommand},
      {"silence", 0, 0, true, SilenceCommand},
      {"insert-silence", 1, 1, true, InsertSilenceCommand},
      {"gain", 1, 2, true, GainCommand},
      {"offset", 1, 2, true, OffsetCommand},
      {"undo", 0, 1, true, UndoCommand},
      {"redo", 0, 1, true, RedoCommand},
      {"history", 0, 0, true, History},
      {"marker", 1, kAny, true, MarkerCommand},
      {"region", 1, 1, true, RegionCommand},
      {"find-silence", 2, 5, true, FindSilenceCommand},
      {"delete-silence", 2, 5, true, DeleteSilenceCommand},
      {"format", 1, 4, true, FormatCommand},
      {"rate", 1, 1, true, RateCommand},
      {"stretch", 1, 2, true, StretchCommand},
      {"pitch-speed", 2, 3, true, PitchSpeedCommand},
      {"effects", 0, 0, false, EffectsCommand},
      {"effect", 1, kAny, true, EffectCommand},
      {"stats", 0, 1, true, StatsCommand},
      {"preset", 1, 3, false, PresetCommand},
      {"chain", 1, kAny, false, ChainCommand},
      {"noise-sample", 0, 1, true, NoiseSampleCommand},
      {"picture", 1, kAny, true, PictureCommand},
      {"show", 0, 2, true, ShowCommand},
      {"play", 0, 1, true, PlayCommand},
      {"pause", 0, 0, false, PauseCommand},
      {"stop", 0, 0, false, StopCommand},
      {"volume", 1, 1, false, VolumeCommand},
      {"devices", 0, 0, false, DevicesCommand},
      {"device", 2, 2, false, DeviceCommand},
      {"speed", 1, 1, false, SpeedCommand},
      {"record", 1, 6, false, RecordCommand},
      {"record!", 1, 6, false, RecordReplaceCommand},
      {"tag", 0, 2, true, Tag},
      {"save", 0, 0, true, Save},
      {"saveas", 1, kAny, true, SaveAsCommand},
      {"encoders", 0, 0, false, EncodersCommand},
      {"onerror", 1, 1, false, OnError},
      {"project", 1, 1, false, Project},
      {"script", 1, kAny, false, ScriptCommand},
      {"help", 0, 2, false, Help},
      {"quit", 0, 0, false, Quit},
  };
  return table;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& c : Commands())
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace tidemark::console
