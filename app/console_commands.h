// The handlers of the console editor's editing commands (the command table
// in console_commands.cpp names them). Each acts on the session's active
// document; an empty selection or clip is a notice, not a failure.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/console_session.h"
#include "effects/framework/effect_entry.h"

namespace tidemark::playback {
class PreviewProcessor;
}

namespace tidemark::console {

using CommandArgs = std::vector<std::string>;

Result SelectCommand(Session& s, const CommandArgs& args);
Result ChannelsCommand(Session& s, const CommandArgs& args);
Result DeleteCommand(Session& s, const CommandArgs& args);
Result CutCommand(Session& s, const CommandArgs& args);
Result CopyCommand(Session& s, const CommandArgs& args);
Result PasteCommand(Session& s, const CommandArgs& args);
Result PasteOverCommand(Session& s, const CommandArgs& args);
Result PasteOverwriteCommand(Session& s, const CommandArgs& args);
Result MixPasteCommand(Session& s, const CommandArgs& args);
Result MixPasteSubtractCommand(Session& s, const CommandArgs& args);
Result SilenceCommand(Session& s, const CommandArgs& args);
Result InsertSilenceCommand(Session& s, const CommandArgs& args);
Result GainCommand(Session& s, const CommandArgs& args);
Result OffsetCommand(Session& s, const CommandArgs& args);
Result UndoCommand(Session& s, const CommandArgs& args);
Result RedoCommand(Session& s, const CommandArgs& args);
Result MarkerCommand(Session& s, const CommandArgs& args);
Result RegionCommand(Session& s, const CommandArgs& args);
// Hiss reduction's noise sample (console_noise_sample_command.cpp).
Result NoiseSampleCommand(Session& s, const CommandArgs& args);
// The silence commands (console_silence_commands.cpp).
Result FindSilenceCommand(Session& s, const CommandArgs& args);
Result DeleteSilenceCommand(Session& s, const CommandArgs& args);
// The format commands (console_format_commands.cpp).
Result FormatCommand(Session& s, const CommandArgs& args);
Result RateCommand(Session& s, const CommandArgs& args);
// The speed commands (console_stretch_commands.cpp).
Result StretchCommand(Session& s, const CommandArgs& args);
Result PitchSpeedCommand(Session& s, const CommandArgs& args);
// The effect commands (console_effect_commands.cpp).
Result EffectsCommand(Session& s, const CommandArgs& args);
Result EffectCommand(Session& s, const CommandArgs& args);
Result StatsCommand(Session& s, const CommandArgs& args);
Result HelpEffect(Session& s, std::string_view name);
// The view commands (console_view_commands.cpp).
Result PictureCommand(Session& s, const CommandArgs& args);
Result ShowCommand(Session& s, const CommandArgs& args);
// The preset commands (console_preset_commands.cpp) and the block of the
// preset `name` of `entry`, none when it has none of that name.
Result PresetCommand(Session& s, const CommandArgs& args);
std::optional<SettingsBlock> PresetBlockNamed(const CEffEntry& entry, std::string_view name);
// The playback commands (console_play_commands.cpp).
Result PlayCommand(Session& s, const CommandArgs& args);
Result PauseCommand(Session& s, const CommandArgs& args);
Result StopCommand(Session& s, const CommandArgs& args);
Result VolumeCommand(Session& s, const CommandArgs& args);
Result DevicesCommand(Session& s, const CommandArgs& args);
Result DeviceCommand(Session& s, const CommandArgs& args);
Result SpeedCommand(Session& s, const CommandArgs& args);
// Stops a playback before any command but those that act on it, so that no
// document changes or closes under it.
void StopPlaybackUnlessKept(std::string_view command);
// Plays [start, start + length) of the active document through `processor`
// with the session's play settings and waits until it has played out; with
// `loop` over and over, returning at once.
Result PlayPreviewRange(Session& s, std::uint32_t start, std::uint32_t length,
                        std::unique_ptr<playback::PreviewProcessor> processor, bool loop);
// The input device chosen with `device in`.
const std::string& RecordInputDevice();
// How often a play or take waiting for its end looks for Ctrl-C: the
// console's only timed wake while sound runs.
inline constexpr int kCancelPollMs = 250;
// The wait between notices where no Ctrl-C hook is set: any length will do.
inline constexpr int kNoticeWaitMs = 60'000;
// The recording commands (console_record_commands.cpp): record, record!;
// the take running in the background ends with StopRecording (none when
// there is none); the pre-record ring's length from the settings.
Result RecordCommand(Session& s, const CommandArgs& args);
Result RecordReplaceCommand(Session& s, const CommandArgs& args);
std::optional<Result> StopRecording(Session& s);
void DropRecording();
// Ctrl-C at the prompt ends the take running in the background as `stop`
// does; true when there was one to end.
bool InterruptBackgroundRecording(Session& s);
void SetRecordRingSeconds(std::uint32_t seconds);
// The playback scaler's time-scaling source from the settings (0 or 1).
void SetPlaybackScalerMethod(std::uint32_t method);
// The chain commands (console_chain_commands.cpp).
Result ChainCommand(Session& s, const CommandArgs& args);
// script PATH [ARGS...]: runs a script against the open documents.
Result ScriptCommand(Session& s, const CommandArgs& args);
// The codec commands (console_codec_commands.cpp): `encoders`; saveas into
// a compressed format (none when `args` ask for a PCM save); the package
// line under a 37; the open progress of the codecs while it lives.
Result EncodersCommand(Session& s, const CommandArgs& args);
std::optional<Result> SaveAsThroughCodec(Session& s, const std::string& path, const CommandArgs& args);
void ReportMissingCodec(Session& s, Error error);
class ScopedCodecOpenProgress {
 public:
  explicit ScopedCodecOpenProgress(const Session& s);
  ~ScopedCodecOpenProgress();
  ScopedCodecOpenProgress(const ScopedCodecOpenProgress&) = delete;
  ScopedCodecOpenProgress& operator=(const ScopedCodecOpenProgress&) = delete;
};

}  // namespace tidemark::console
