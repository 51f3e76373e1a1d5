#include "app/console_texts.h"

#include "config/text_catalogue.h"

namespace tidemark::console {
namespace {

struct HelpEntry {
  std::string_view key;
  std::string_view usage;
  TextSlot description;
  std::string_view details = {};  // further lines `help COMMAND` prints, each indented
};

constexpr HelpEntry kHelp[] = {
    {"open", "open PATH...", text::kKeyDescOpen},
    {"open-raw", "open-raw PATH FORMATWORD RATE CHANNELS [OFFSET]", text::kKeyDescOpenRaw},
    {"new", "new RATE CHANNELS [FORMATWORD]", text::kKeyDescNew},
    {"docs", "docs", text::kKeyDescDocs},
    {"use", "use N", text::kKeyDescUse},
    {"close", "close [N]", text::kKeyDescClose},
    {"close!", "close! [N]", text::kKeyDescCloseForce},
    {"info", "info", text::kKeyDescInfo},
    {"select", "select FROM TO | select all", text::kKeyDescSelect},
    {"channels", "channels MASK", text::kKeyDescChannels},
    {"delete", "delete", text::kKeyDescDelete},
    {"cut", "cut", text::kKeyDescCut},
    {"copy", "copy", text::kKeyDescCopy},
    {"paste", "paste", text::kKeyDescPaste},
    {"paste-over", "paste-over", text::kKeyDescPasteOver},
    {"paste-overwrite", "paste-overwrite", text::kKeyDescPasteOverwrite},
    {"mix-paste", "mix-paste", text::kKeyDescMixPaste},
    {"mix-paste-subtract", "mix-paste-subtract", text::kKeyDescMixPasteSubtract},
    {"silence", "silence", text::kKeyDescSilence},
    {"insert-silence", "insert-silence MS", text::kKeyDescInsertSilence},
    {"gain", "gain DB [DB]", text::kKeyDescGain},
    {"offset", "offset VALUE [VALUE]", text::kKeyDescOffset},
    {"undo", "undo [N]", text::kKeyDescUndo},
    {"redo", "redo [N]", text::kKeyDescRedo},
    {"history", "history", text::kKeyDescHistory},
    {"marker", "marker add POS NAME [COMMENT] | list | delete INDEX... | move INDEX POS | set INDEX POS NAME [COMMENT] | export PATH | import PATH", text::kKeyDescMarker},
    {"region", "region next | region prev", text::kKeyDescRegion},
    {"find-silence", "find-silence THRESHOLD_DB MIN_GAP_MS [MIN_SOUND_MS [BURST_MS [WINDOW_MS]]]",
     text::kCommandHelpFindSilence},
    {"delete-silence", "delete-silence THRESHOLD_DB MIN_GAP_MS [MIN_SOUND_MS [BURST_MS [WINDOW_MS]]]",
     text::kCommandHelpDeleteSilence},
    {"format", "format [RATE] [CHANNELS] [FORMATWORD] [mix|left|right]", text::kCommandHelpFormat},
    {"rate", "rate RATE", text::kCommandHelpRate},
    {"stretch", "stretch SPEED [smooth]", text::kCommandHelpStretch},
    {"pitch-speed", "pitch-speed PITCH SPEED [music]", text::kCommandHelpPitchSpeed},
    {"effects", "effects", text::kCommandHelpEffects},
    {"effect", "effect NAME|NUMBER [block=HEX] [FIELD=VALUE ...]", text::kKeyDescEffect},
    {"stats", "stats [WEIGHTING]", text::kKeyDescStatistics},
    {"preset", "preset list [EFFECT] | save EFFECT NAME | use EFFECT NAME | delete EFFECT NAME | effect EFFECT preset=NAME [FIELD=VALUE ...]", text::kCommandHelpPreset},
    {"chain", "chain list | show NAME | new NAME [mono] | add NAME EFFECT [block=HEX] [FIELD=VALUE ...] | remove NAME INDEX | delete NAME | apply NAME", text::kCommandHelpChain},
    {"noise-sample", "noise-sample [clear]", text::kCommandHelpNoiseSample},
    {"picture", "picture PATH [waveform|spectrogram] [WIDTHxHEIGHT] [FROM TO] [scale=linear|db] [range=DB] [fft=N] [window=hann|blackman-harris] [overlap=PERCENT] [freq=linear|log]",
     text::kCommandHelpPicture},
    {"show", "show [force|WIDTH] [ROWS]", text::kCommandHelpShow},
    {"play", "play [all|cursor|loop]", text::kCommandHelpPlay},
    {"pause", "pause", text::kCommandHelpPause},
    {"stop", "stop", text::kCommandHelpStop},
    {"volume", "volume PERCENT", text::kCommandHelpVolume},
    {"devices", "devices", text::kCommandHelpDevices},
    {"device", "device out|in NAME (ALSA PCM, null, file:PATH[?fast])", text::kCommandHelpDevice},
    {"speed", "speed FACTOR|off", text::kConsoleSpeedHelp},
    {"record", "record PATH [SECONDS] [pre=SECONDS] [rate=R] [channels=C] [format=WORD]", text::kConsoleRecordHelp},
    {"record!", "record! PATH [SECONDS] [pre=SECONDS] [rate=R] [channels=C] [format=WORD]", text::kCommandHelpRecordReplace},
    {"tag", "tag [KEY VALUE]", text::kKeyDescTag},
    {"save", "save", text::kKeyDescSave},
    {"saveas", "saveas PATH [FORMATWORD] [FIELD=VALUE ...]", text::kKeyDescSaveAs,
     ".flac/.fla or flac: level=0-8 bits=8|16|24 verify=0|1 wavmeta=0|1 replaygain=0|1 block=HEX\n"
     ".mp3 or mp3: mode=cbr|abr|vbr bitrate=KBPS maxbitrate=KBPS vbr=0-9 quality=-1..9"
     " channels=joint|stereo|mono crc= copyright= original= private= unicode= id3v1= 0|1 id3=3|4 block=HEX\n"
     "  block: the 12-byte LAMEEncode block: mode, quality, vbr, channels, bitrate u16, maxbitrate u16,"
     " flags crc|copyright<<1|original<<2|private<<3|unicode<<4|id3v2.4<<5|no-id3v1<<6, 3 zero bytes\n"
     ".opus or opus: bitrate=BPS mode=vbr|cvbr|cbr signal=auto|music|voice complexity=0-10 block=HEX\n"
     "  block: the 12-byte OpusEncode block: bitrate u32, mode, signal, complexity, 5 zero bytes\n"
     ".ogg/.oga or vorbis: quality=-1..10 bitrate= minbitrate= maxbitrate= BPS block=HEX\n"
     "  block: the 16-byte OggVorbisEncode block: quality i8, 3 zero bytes, bitrate, minbitrate, maxbitrate u32\n"
     ".m4a/.mp4 or m4a: bitrate=16-320 fdk=0|1 block=HEX\n"
     ".wma or wma: bitrate=24-320 block=HEX\n"
     "sysmp3 (MP3 through FFmpeg): bitrate=32-320 block=HEX\n"
     "acm (compressed WAV): format=msadpcm|imaadpcm|alaw|mulaw block=HEX"},
    {"encoders", "encoders", text::kCommandHelpEncoders},
    {"onerror", "onerror stop|continue", text::kKeyDescOnError},
    {"project", "project FOLDER", text::kCommandHelpProject},
    {"script", "script PATH [ARGS...]  (a path with blanks in double quotes; %NAME% expanded)", text::kScriptConsoleCommandDesc},
    {"help", "help [COMMAND] | help effect NAME", text::kKeyDescHelp},
    {"quit", "quit", text::kKeyDescQuit},
};

}  // namespace

std::string_view ConsoleText(TextSlot slot) { return UiText(slot); }

CommandHelp HelpFor(std::string_view key) {
  for (const HelpEntry& e : kHelp)
    if (e.key == key) return {e.usage, UiText(e.description), e.details};
  return {};
}

}  // namespace tidemark::console
