// The console editor's effect commands: effects, effect, help effect and
// stats. Everything here is generic over the registry's rows and the
// entries' settings layouts; no effect is named.
#include "app/console_effect_commands.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>

#include "app/console_args.h"
#include "app/console_commands.h"
#include "app/console_effect_dialog.h"
#include "app/console_progress.h"
#include "app/response_loader.h"
#include "config/error_codes.h"
#include "config/error_messages.h"
#include "config/text_catalogue.h"
#include "config/text_slot.h"
#include "core/document/sound_document.h"
#include "effects/analysis/waveform_statistics.h"
#include "effects/dynamics/compress_effect.h"
#include "effects/dynamics/compress_if.h"
#include "effects/framework/effect_factory.h"
#include "effects/framework/progress_scope.h"
#include "effects/framework/recent_effects.h"
#include "platform/alloc.h"
#include "platform/ascii_case.h"
#include "platform/error_numbers.h"
#include "platform/ui_messages.h"
#include "playback/play_engine.h"
#include "playback/preview_source.h"

namespace tidemark::console {
namespace {

// The catalogue's error texts the console's refusals show.
constexpr Error kNeedsTwoChannels{48};
constexpr Error kEffectCannotProcess{52};
constexpr Error kNotAvailable{80};

constexpr std::uint32_t kHelpRate = 44100;  // ranges shown without a document

std::array<CEffEntry*, kBuiltInEffectCount> g_in_place{};

// "error: WHAT: message" with the catalogue's message of `error`, then
// `detail` when there is one.
Result Refuse(Session& s, std::string_view what, Error error, std::string_view detail = {}) {
  s.err() << "error: " << what << ": " << DescribeError(error);
  if (!detail.empty()) s.err() << ' ' << detail;
  s.err() << '\n';
  return Result::kFailed;
}

Result UnknownEffect(Session& s, std::string_view name) {
  return s.Fail(text::kConsoleUnknownCommand, "effect " + std::string(name));
}

// The display name from the catalogue, also for an entry this build lacks.
std::string DisplayName(const EffectDescription& row, const CEffEntry* entry) {
  if (entry) return entry->GetDisplayName();
  const std::size_t section = FindTextSectionIndex(row.text_key);
  if (section < kTextSectionCount && kTextSections[section].count > 0) {
    const std::string_view text = UiText(SlotInSection(kTextSections[section], 0));
    if (!text.empty()) return std::string(text);
  }
  return std::string(row.key_name);
}

std::string_view TypeName(FieldType type) {
  switch (type) {
    case FieldType::kI16: return "i16";
    case FieldType::kU8: return "u8";
    case FieldType::kF32: return "f32";
  }
  return "?";
}

// "-13.00..13.00", "peak|shortrms|rms" or "off|on".
std::string RangeColumn(const SettingsField& field, std::uint32_t rate) {
  if (field.flag) return "off|on";
  std::string text;
  if (!field.words.empty()) {
    for (std::size_t i = 0; i < field.words.size(); ++i) {
      if (i) text += '|';
      text += field.words[i];
    }
    return text;
  }
  // Low to high as the user types them: a negative display scale swaps the
  // stored ends.
  double low = field.min, high = FieldMax(field, rate);
  if (field.unit.scale < 0) std::swap(low, high);
  return FormatFieldValue(field, low) + ".." + FormatFieldValue(field, high);
}

// The main frame while an effect or a scan runs: keeps the status line the
// work leaves ("Time taken: ...") and passes every message on to the frame
// it stands in for.
class StatusFrame final : public Window {
 public:
  StatusFrame() : previous_(MainFrame()) { SetMainFrame(this); }
  ~StatusFrame() override { SetMainFrame(previous_); }
  // Prints the status line as a notice, when the work left one.
  void Print(Session& s) const {
    if (!status_.empty()) s.out() << status_ << '\n';
  }

 protected:
  MsgResult Handle(std::uint32_t msg, MsgParam wparam, MsgParam lparam) override {
    if (msg == frame_msg::kStatusText) status_ = lparam ? reinterpret_cast<const char*>(lparam) : "";
    return previous_ ? previous_->Send(msg, wparam, lparam) : 0;
  }

 private:
  Window* previous_;
  std::string status_;
};

// Everything an effect or a scan shows while it runs on the console: the
// session's progress bar with Ctrl-C, and the status line.
struct RunScreen {
  explicit RunScreen(const Session& s) : display(s.progress_hooks()), in_force(&display) {}
  ConsoleProgressDisplay display;
  ScopedProgressDisplay in_force;
  StatusFrame frame;
};

// The recently used list's one call site: the entry just ran to the end.
void NoteRecentlyUsed(const CEffEntry& entry) { RecentlyUsedEffects().Use(entry); }

// Refuses a document the entry cannot act on; nothing when it can.
std::optional<Result> RefuseChannels(Session& s, const SoundDocument& d, const CEffEntry& entry,
                                     std::string_view name) {
  if (d.channels != 1 && d.channels != 2) return Refuse(s, name, kEffectCannotProcess);
  if (!ChannelsSupported(entry.GetChannelSupport(), d.channels))
    return Refuse(s, name, d.channels == 1 ? kNeedsTwoChannels : kEffectCannotProcess);
  return std::nullopt;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreAsciiCase(text.substr(0, prefix.size()), prefix);
}

void PrintValue(Session& s, const char* key, int channel, double value) {
  char line[96];
  if (channel < 0) {
    std::snprintf(line, sizeof line, "%s %.17g\n", key, value);
  } else {
    std::snprintf(line, sizeof line, "%s %d %.17g\n", key, channel, value);
  }
  s.out() << line;
}

// The preview's processor: the block run the entry's preview factory makes
// from the given settings.
class RunPreview final : public playback::PreviewProcessor {
 public:
  RunPreview(CEffEntry_Std& entry, SoundDocument& d, const SettingsBlock& block)
      : block_(block), factory_(entry, d, block_) {}
  [[nodiscard]] Error Create() { return factory_.CreatePreviewRun(&run_); }
  Error Process(float* frames_data, std::uint32_t frames, std::uint16_t channels) override {
    return run_->Process(frames_data, frames, channels, factory_.ChannelMask());
  }
  void Reset() override { run_->Reset(); }
  std::uint32_t Latency() const override { return run_->GetLatency(); }
  std::uint32_t ChannelMask() const override { return factory_.ChannelMask(); }
  std::uint16_t OutputChannels() const { return factory_.OutputChannels(); }
  // A compressor's live change: the delay lines stay, playback goes on.
  Error Reconfigure(const NS_EFFECT_COMPRESS::MySetupParams& v) {
    auto* run = dynamic_cast<NS_EFFECT::CCompressIf*>(run_.get());
    if (!run) return err::kLayoutMismatch;
    return run->Reconfigure(v.rate, v.input_channels, v.inv_ratio, v.threshold, v.window_ms, v.makeup);
  }

 private:
  SettingsBlock block_;  // before the factory, which reads it
  CEffFactory_Std factory_;
  EffRunPtr run_;
};

// The numbers a compressor's run is made of, read from `block` by its entry;
// none for any other effect.
std::optional<NS_EFFECT_COMPRESS::MySetupParams> CompressValues(CEffEntry_Std& entry, SoundDocument& d,
                                                                const SettingsBlock& block) {
  CEffEntry::SetupParamsPtr params;
  if (entry.CreateSetupParams(&d, 0, &params)) return std::nullopt;
  const auto* values = dynamic_cast<const NS_EFFECT_COMPRESS::MySetupParams*>(params.get());
  if (!values) return std::nullopt;
  SettingsBlock copy = block;
  ProgressScope scope;
  if (entry.SetupQuiet(&scope, *params, copy)) return std::nullopt;
  return *values;
}

class CompressChange final : public playback::PreviewChange {
 public:
  explicit CompressChange(const NS_EFFECT_COMPRESS::MySetupParams& values) : values_(values) {}
  Error ApplyTo(playback::PreviewProcessor& p) override { return static_cast<RunPreview&>(p).Reconfigure(values_); }

 private:
  NS_EFFECT_COMPRESS::MySetupParams values_;
};

// The compressor preview that may be playing: a new one of the same entry
// on the same document, de-esser choice and frequency changes it live.
struct LivePreview {
  const CEffEntry* entry = nullptr;
  const SoundDocument* document = nullptr;
  std::uint8_t de_esser = 0;
  float frequency = 0.0f;
  bool Matches(const CEffEntry& e, const SoundDocument& d, const NS_EFFECT_COMPRESS::MySetupParams& v) const {
    return entry == &e && document == &d && de_esser == v.de_esser && frequency == v.frequency;
  }
};
LivePreview& Live() {
  static LivePreview live;
  return live;
}

// `effect NAME ... preview [SECONDS|loop]`: plays the selection (its first
// SECONDS, or over and over) through a run of the given settings; the
// document and the entry's last-used settings stay as they are. While a
// compressor's preview plays, a new one of it takes the settings live.
Result Preview(Session& s, CEffEntry& entry, const std::string& name, const SettingsBlock& block,
               std::optional<double> seconds, bool loop) {
  SoundDocument& d = *s.active();
  auto* std_entry = dynamic_cast<CEffEntry_Std*>(&entry);
  if (!std_entry) return Refuse(s, name, kNotAvailable);
  const std::optional<NS_EFFECT_COMPRESS::MySetupParams> values = CompressValues(*std_entry, d, block);
  if (values && playback::PreviewPlaying() && Live().Matches(entry, d, *values) &&
      playback::ChangePreview(std::make_unique<CompressChange>(*values)))
    return Result::kDone;
  playback::StopPlayback();
  playback::ClearNotices();
  Live() = {};
  std::uint32_t from = 0, to = 0;
  GetSelection(d, &from, &to);
  if (from == to) return s.Notice(text::kConsoleNothingSelected);
  std::uint32_t length = to - from;
  if (seconds) length = static_cast<std::uint32_t>(std::min<double>(length, std::floor(*seconds * d.rate + 0.5)));
  if (length == 0) return s.Notice(text::kConsoleNothingSelected);
  std::unique_ptr<RunPreview> preview;
  if (const Error rc = TryAlloc([&] { preview = std::make_unique<RunPreview>(*std_entry, d, block); })) return s.Fail(rc);
  {
    RunScreen screen(s);  // an effect that measures the selection first shows progress
    if (const Error rc = preview->Create()) return s.Fail(rc);
  }
  // The preview plays the document's channels; a mono selection the effect
  // would make stereo cannot be heard that way.
  if (preview->OutputChannels() != d.channels) return Refuse(s, name, kEffectCannotProcess);
  if (values) Live() = {&entry, &d, values->de_esser, values->frequency};
  return PlayPreviewRange(s, from, length, std::move(preview), loop);
}

}  // namespace

const EffectDescription* EffectRowNamed(std::string_view name) {
  if (const auto number = ParseCount(name, UINT32_MAX)) return DescribeEffect(static_cast<std::uint32_t>(*number));
  for (const EffectDescription& row : EffectDescriptions())
    if (EqualsIgnoreAsciiCase(row.key_name, name)) return &row;
  return nullptr;
}

CEffEntry* ConsoleEffectEntry(const EffectDescription& row) {
  const std::size_t index = row.command - kFirstEffectCommand;
  return g_in_place[index] ? g_in_place[index] : EffectRegistry::Find(row.command);
}

ScopedConsoleEffect::ScopedConsoleEffect(CEffEntry& entry)
    : command_(entry.GetCommandId()), previous_(g_in_place[command_ - kFirstEffectCommand]) {
  g_in_place[command_ - kFirstEffectCommand] = &entry;
}

ScopedConsoleEffect::~ScopedConsoleEffect() { g_in_place[command_ - kFirstEffectCommand] = previous_; }

Result EffectsCommand(Session& s, const CommandArgs&) {
  for (const EffectDescription& row : EffectDescriptions()) {
    const CEffEntry* entry = ConsoleEffectEntry(row);
    const std::uint32_t support = entry ? entry->GetChannelSupport() : row.channel_support;
    const bool chainable = entry ? entry->IsChainable() : row.chainable;
    const bool settings = entry ? entry->HasSetupDialog() : row.has_dialog;
    char line[128];
    std::snprintf(line, sizeof line, "%3u  %-16.*s  ch %u  chainable %-3s  settings %-3s  ", row.command,
                  static_cast<int>(row.key_name.size()), row.key_name.data(), support, chainable ? "yes" : "no",
                  settings ? "yes" : "no");
    s.out() << line << DisplayName(row, entry);
    if (!entry) s.out() << "  (not available yet)";
    s.out() << '\n';
  }
  return Result::kDone;
}

Result EffectCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  const EffectDescription* row = EffectRowNamed(args[0]);
  if (!row) return UnknownEffect(s, args[0]);
  CEffEntry* entry = ConsoleEffectEntry(*row);
  const std::string name = DisplayName(*row, entry);
  if (!entry) return Refuse(s, name, kNotAvailable);

  std::optional<SettingsBlock> given;
  std::string_view given_arg;
  std::vector<std::string> pairs;
  std::optional<std::string> save_response;
  bool preview = false;
  bool preview_loop = false;
  std::optional<double> preview_seconds;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (StartsWithIgnoreCase(arg, "save-ir=")) {
      if (save_response || arg.size() == 8) return s.Usage("effect");
      save_response = arg.substr(8);
      continue;
    }
    if (EqualsIgnoreAsciiCase(arg, "preview")) {
      if (preview) return s.Usage("effect");
      preview = true;
      // An optional length in seconds, or `loop`, follows.
      if (i + 1 < args.size() && EqualsIgnoreAsciiCase(args[i + 1], "loop")) {
        preview_loop = true;
        ++i;
      } else if (i + 1 < args.size() && args[i + 1].find('=') == std::string::npos) {
        preview_seconds = ParseNumber(args[i + 1]);
        if (!preview_seconds || !(*preview_seconds > 0.0)) return s.Fail(text::kConsoleBadNumber, args[i + 1]);
        ++i;
      }
      continue;
    }
    if (StartsWithIgnoreCase(arg, "preset=")) {
      if (given) return s.Usage("effect");
      given = PresetBlockNamed(*entry, std::string_view(arg).substr(7));
      if (!given) return Refuse(s, arg, kNotAvailable);
      given_arg = arg;
      continue;
    }
    if (StartsWithIgnoreCase(arg, "block=")) {
      if (given) return s.Usage("effect");
      given = ParseBlockHex(std::string_view(arg).substr(6));
      if (!given) return Refuse(s, arg, kSettingsNotValid);
      given_arg = arg;
      continue;
    }
    pairs.push_back(arg);
  }
  // A preview playing on (kept across `effect`) ends before anything but a preview.
  if (!preview) {
    playback::StopPlayback();
    playback::ClearNotices();
  }
  const SettingsLayout* layout = entry->GetSettingsLayout();
  if (!layout && given && !given->empty()) return Refuse(s, given_arg, kSettingsNotValid);
  SettingsRefusal refusal;
  const std::optional<SettingsBlock> block =
      CommandBlock(layout, given ? *given : entry->GetSettingsBlock(), d.rate, pairs, &refusal);
  if (!block) return Refuse(s, refusal.argument, refusal.error, refusal.ranges);
  if (const auto refused = RefuseChannels(s, d, *entry, name)) return *refused;
  // The synthesised response is saved before the run, also without a
  // selection.
  if (save_response) {
    std::uint32_t frames = 0;
    if (const Error rc = SaveSynthesisedResponse(*entry, *block, d.rate, *save_response, &frames))
      return Refuse(s, "save-ir=" + *save_response, rc);
    s.out() << "impulse response saved: " << *save_response << " (" << frames << " frames, 2 ch, " << d.rate
            << " Hz)\n";
  }
  if (preview) return Preview(s, *entry, name, *block, preview_seconds, preview_loop);
  std::uint32_t from = 0, to = 0;
  GetSelection(d, &from, &to);
  if (from == to) return s.Notice(text::kConsoleNothingSelected);

  // The block is the last-used one from here on, as a dialog that was
  // confirmed leaves it, whatever the run then does; settings the dialog
  // would have refused (a faulty description) leave the previous ones.
  const SettingsBlock previous = entry->GetSettingsStore().block();
  if (layout) entry->GetSettingsStore().Set(*block);
  ConsoleSettingsDialog dialog(layout ? *block : SettingsBlock{});
  const ScopedSettingsDialog dialog_in_force(&dialog);
  RunScreen screen(s);
  const Error rc = entry->Execute(&d);
  // Nothing to do on a selection that is there (Normalize of silence).
  if (rc == err::kNoSelection) return s.Notice(text::kSilentNothingDone);
  if (rc && !dialog.problem().empty()) {
    entry->GetSettingsStore().Set(previous);
    s.err() << "error: " << name << ": " << dialog.problem() << '\n';
    return Result::kFailed;
  }
  if (rc) return s.Fail(rc);
  NoteRecentlyUsed(*entry);
  screen.frame.Print(s);
  return Result::kDone;
}

Result HelpEffect(Session& s, std::string_view name) {
  const EffectDescription* row = EffectRowNamed(name);
  if (!row) return UnknownEffect(s, name);
  CEffEntry* entry = ConsoleEffectEntry(*row);
  if (!entry) return Refuse(s, DisplayName(*row, entry), kNotAvailable);
  const std::uint32_t rate = s.active() ? s.active()->rate : kHelpRate;
  s.out() << "effect " << row->key_name << " [block=HEX] [FIELD=VALUE ...]\n";
  if (const std::string help = entry->GetHelpText(); !help.empty()) s.out() << "  " << help << '\n';
  const SettingsLayout* layout = entry->GetSettingsLayout();
  if (!layout) return Result::kDone;
  const SettingsBlock current = LoadBlock(*layout, entry->GetSettingsBlock(), rate);
  for (const SettingsField& field : layout->fields) {
    s.out() << "  " << field.name << "  offset " << field.offset << "  " << TypeName(field.type) << "  unit "
            << (field.unit.name.empty() ? "-" : field.unit.name) << "  range " << RangeColumn(field, rate)
            << "  default " << FormatFieldValue(field, field.def) << "  current "
            << FormatFieldValue(field, GetField(field, current.bytes)) << '\n';
  }
  if (layout->text) {
    s.out() << "  " << layout->text->name << "  offset " << layout->size
            << "  text to the block's end (UTF-16LE when wide is on)  current \"" << EscapeText(GetBlockText(*layout, current))
            << "\"  (or file=PATH)\n";
  }
  if (dynamic_cast<CEffEntry_Std*>(entry))
    s.out() << "  preview [SECONDS]  plays the selection (its first SECONDS) through the effect; changes nothing\n";
  if (dynamic_cast<CEffEntry_Std*>(entry))
    s.out() << "  preview loop  plays the selection over and over and returns; `stop` ends it"
            << (entry->GetCommandId() == NS_EFFECT_COMPRESS::Entry().GetCommandId()
                    ? "; a new preview of it while it plays changes it live"
                    : "")
            << "\n";
  if (SynthesisesResponse(*entry))
    s.out() << "  save-ir=PATH  also writes the synthesised impulse response (64-bit float WAV, \"DELAY=N\")\n";
  for (const std::string& path : RecentResponseFilesOf(*entry)) s.out() << "  recent \"" << EscapeText(path) << "\"\n";
  s.out() << "  block=" << BlockHex(current) << "  (" << current.size() << " bytes, ranges at " << rate << " Hz)\n";
  return Result::kDone;
}

Result StatsCommand(Session& s, const CommandArgs& args) {
  SoundDocument& d = *s.active();
  // Only the first character counts, as for the scripts' measurement.
  char weighting = s.weighting();
  if (!args.empty() && !args[0].empty()) {
    const auto first = static_cast<unsigned char>(args[0][0]);
    weighting = first < 128 ? static_cast<char>(first >= 'a' && first <= 'z' ? first - 32 : first) : '?';
    if (weighting != '0' && (weighting < 'A' || weighting > 'D')) return s.Usage("stats");
  }
  if (d.channels != 1 && d.channels != 2) return Refuse(s, "stats", kEffectCannotProcess);
  std::uint32_t from = 0, to = 0;
  GetSelection(d, &from, &to);
  if (from == to) return s.Notice(text::kConsoleNothingSelected);

  WaveformStatistics stats;
  RunScreen screen(s);
  const Error rc = [&] {
    ProgressScope scope;
    return MeasureWaveform(scope, d, from, to - from, std::string(1, weighting), &stats);
  }();
  if (rc == err::kSizeLimit) return Refuse(s, std::string(1, weighting), kNotAvailable);
  if (rc == err::kNoSelection) return s.Notice(text::kConsoleNothingSelected);
  if (rc) return s.Fail(rc);
  const double rate = d.rate;
  PrintValue(s, "InstantPeak", -1, stats.instant_peak);
  PrintValue(s, "InstantPeakPos", -1, stats.instant_peak_pos / rate);
  PrintValue(s, "Rms", -1, stats.rms);
  PrintValue(s, "ShortRmsPeak", -1, stats.short_rms_peak);
  PrintValue(s, "ShortRmsPeakPos", -1, stats.short_rms_peak_pos / rate);
  struct PerChannel {
    const char* key;
    double ChannelStatistics::*value;
  };
  static constexpr PerChannel kPerChannel[] = {
      {"InstantMax", &ChannelStatistics::instant_max}, {"InstantMin", &ChannelStatistics::instant_min},
      {"Offset", &ChannelStatistics::offset},          {"MeanSquare", &ChannelStatistics::mean_square},
      {"Variance", &ChannelStatistics::variance},
  };
  for (const PerChannel& key : kPerChannel)
    for (int c = 0; c < d.channels; ++c) PrintValue(s, key.key, c, stats.channel[std::size_t(c)].*key.value);
  screen.frame.Print(s);
  return Result::kDone;
}

}  // namespace tidemark::console
