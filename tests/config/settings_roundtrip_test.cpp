// "tide.ini" in memory: every key and section written and read back, the
// older key names, the file order and damaged values.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "config/ini_blob.h"
#include "config/ini_reader.h"
#include "config/ini_writer.h"
#include "config/option_bits.h"
#include "config/settings.h"
#include "config/settings_keys.h"
#include "config/text_decode.h"

namespace tidemark {
namespace {

// Settings with every field away from its built-in value.
Settings EverythingChanged() {
  Settings s;
  s.options = {0x89ABCDEF, 0x01234567, 0xFFFFFFFF};
  s.frame_box = {10, -20, 1280, 720, 1};
  s.rebar_band = {1, 300, 0, 2, 250, 1, 3, 100, 0, 4, 90, 1};
  s.wave_graph = {-7, 2147483647, 2, -2147483647 - 1};
  s.temporary_directory1 = "/srv/scratch dir";
  s.temporary_directory2 = "work";
  s.temporary_sample_bits = 24;
  s.wave_out_device = "pulse: Built-in Audio Analog Stereo \xE2\x80\x94 out";
  s.wave_in_device = "hw:1,0";
  s.wave_device_api = 2;
  s.wave_out_volume = 57;
  s.resample = {3, 150, 4000};
  s.channel_hues = {200, 45};
  s.weighting_filter = 'C';
  s.noise_shaping_filter = 4;
  for (std::size_t i = 0; i < kRecentPathCount; ++i)
    s.recent_paths[i] = "/music/\xE6\xBC\xA2\xE5\xAD\x97 " + std::to_string(i);
  s.recent_paths[3] = " leading and trailing ";
  s.vst_plugin_directory = "/usr/lib/vst";
  s.record_directory = "/home/u/Recordings";
  s.record_file_name_template = "rec-%Y%m%d";
  s.importable_audio_extensions = {"mka", "tta", "wv"};
  s.importable_video_extensions = {"mkv", "webm"};
  s.temporary_directories = {"/a", "/b/c", "%HOME%/w"};
  s.recent_files = {"/x/one.wav", "/x/two \"quoted\".flac", "\"/x/three.aiff\""};
  s.file_patterns = {"*.wav;*.aif", "*.*"};
  s.effect_popup_menu = {"Normalize", "Fade In", "Reverb"};
  s.fir_filters = {"/f/a.fir"};
  s.script_command_lines = {"Normalize(-1)", "Save(\"x.wav\")", "a=b"};
  for (std::size_t i = 0; i < kColorCount; ++i) s.colors[i] = static_cast<std::uint32_t>(0x00102030u * (i + 1) + i);
  s.keyboard = {{0x0041, 0x9C41}, {0x1070, 0x0001}, {0xFFFF, 0x0000}};
  s.toolbar = {0x9C40, 0x0000, 0xFFFF, 0x1234};
  s.box_sizes = {{"CDRead", {640, 480, 0}}, {"Spectrum", {-1, 2, 3}}};
  s.box_positions = {{"Mixdown", {100, 200, 1}}};
  for (std::size_t i = 0; i < kConsoleFontBytes; ++i)
    s.console_font[i] = static_cast<std::byte>(i % 5 == 0 ? 0 : i * 3);
  s.exclusive_mode = {1, 0, 100000, 200000};
  s.omp_num_threads = 6;
  s.dialogs = {{"Normalize", "1,-3,5.000000e-01"}, {"Fade", "0,2"}};
  s.debug = {1, 0, 1, 1, 1, 0, 0, 1, 1, 1, 0, 0, 0};
  return s;
}

std::string SettingsBytes(const Settings& s) {
  IniWriter w;
  w.Open("/unused", IniEncoding::kUtf16Le);
  WriteSettings(s, w);
  return w.EncodedBytes();
}

std::string SettingsText(const Settings& s) { return DecodeTextFile(SettingsBytes(s), "UTF-8"); }

Settings ReadFromText(std::string_view text, const Settings& start = Settings()) {
  Settings s = start;
  IniReader r;
  r.OpenText(std::string(text));
  ReadSettings(r, &s);
  return s;
}

Settings ReadFromBytes(std::string_view bytes, std::string_view codeset = "UTF-8") {
  Settings s;
  IniReader r;
  r.OpenBytes(bytes, codeset);
  ReadSettings(r, &s);
  return s;
}

// Each of `parts` appears in `text` after the one before it.
void ExpectInOrder(const std::string& text, std::initializer_list<std::string_view> parts) {
  std::size_t at = 0;
  for (std::string_view part : parts) {
    at = text.find(part, at);
    ASSERT_NE(at, std::string::npos) << part << " missing or out of order";
    ++at;
  }
}

TEST(SettingsRoundTripTest, EveryKeyAndSection) {
  const Settings changed = EverythingChanged();
  ASSERT_FALSE(changed == Settings());
  const Settings back = ReadFromBytes(SettingsBytes(changed), "CP1252");
  EXPECT_TRUE(back == changed);

  // The built-in values survive a round trip too, and writing is stable.
  EXPECT_TRUE(ReadFromBytes(SettingsBytes(Settings())) == Settings());
  EXPECT_EQ(SettingsBytes(back), SettingsBytes(changed));
}

TEST(SettingsRoundTripTest, FileLayoutAndForms) {
  Settings s = EverythingChanged();
  const std::string text = SettingsText(s);
  // UTF-16LE with the mark, CR LF line ends.
  const std::string bytes = SettingsBytes(s);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  for (const char* part :
       {"[Tidemark]\r\nOptions1=89abcdef\r\nOptions2=01234567\r\nOptions3=ffffffff\r\n"
        "FrameBox=10,-20,1280,720,1\r\n",
        "\r\nWaveGraph=-7,2147483647,2,-2147483648\r\n", "\r\nWeightingFilter=C\r\n",
        "\r\nRecordFileNameTemplate=\"rec-%Y%m%d\"\r\n", "\r\nImportableAudioExtensions=mka;tta;wv\r\n",
        "[Color]\r\n0=00102030\r\n", "[Keyboard]\r\n0041=9c41\r\n1070=0001\r\n", "[Toolbar]\r\n0=9c40\r\n1=0000\r\n",
        "[Box Size]\r\nCDRead=640,480,0\r\n", "[Font]\r\nConsole2=", "[OpenMP]\r\nOMP_NUM_THREADS=6\r\n",
        "[Exclusive Mode Audio]\r\nAlwaysSharedModeSampleRate=1\r\nEventDrivenExclusiveMode=0\r\n"
        "PlaybackDevicePeriod=100000\r\nCaptureDevicePeriod=200000\r\n"})
    EXPECT_NE(text.find(part), std::string::npos) << part;

  // The sections, the main keys and the thirteen debug switches in the
  // order the settings file writes them.
  ExpectInOrder(text, {"[Tidemark]", "[Temporary Directory]", "[File Menu]", "[File Pattern Menu]",
                       "[Effect Popup Menu]", "[FIR Filter]", "[Script Command Line]", "[Color]", "[Keyboard]",
                       "[Toolbar]", "[Box Size]", "[Box Position]", "[Font]", "[Exclusive Mode Audio]", "[OpenMP]",
                       "[Dialog]", "[Debug]"});
  ExpectInOrder(text, {"\nOptions1=", "\nOptions2=", "\nOptions3=", "\nFrameBox=", "\nRebarBand=", "\nWaveGraph=",
                       "\nTemporaryDirectory1=", "\nTemporaryDirectory2=", "\nTemporarySampleBits=",
                       "\nWaveOutDevice=", "\nWaveInDevice=", "\nWaveDeviceAPI=", "\nWaveOutVolume=",
                       "\nResample=", "\nChannelHues=", "\nWeightingFilter=", "\nNoiseShapingFilter=",
                       "\nRecentPath1=", "\nRecentPath8=", "\nVSTPlugInDirectory=", "\nRecordDirectory=",
                       "\nRecordFileNameTemplate=", "\nImportableAudioExtensions=", "\nImportableVideoExtensions="});
  ExpectInOrder(text, {"[Debug]", "\nHas3DNow=", "\nHasAVX=", "\nHugePlaybackDither=", "\nReverseSliderSlide=",
                       "\nSimpleOpusDecoding=", "\nSpectrogramAntiAliasing=", "\nUseAutoComplete=",
                       "\nUseBuiltinTheme=", "\nUseD3D11ForVideo=", "\nUseD3D12ForResampling=", "\nUseDirect2D=",
                       "\nUseVistaFileRequester=", "\nUseVistaSharedModeAudio="});
}

TEST(SettingsRoundTripTest, SectionsWithoutKeysAreNotWritten) {
  Settings s;  // empty lists, keyboard, toolbar, boxes and dialogs
  const std::string text = SettingsText(s);
  for (const char* section : {"[Temporary Directory]", "[File Menu]", "[Keyboard]", "[Toolbar]",
                              "[Box Size]", "[Box Position]", "[Dialog]"})
    EXPECT_EQ(text.find(section), std::string::npos) << section;
  for (const char* section : {"[Tidemark]", "[Color]", "[Font]", "[OpenMP]", "[Debug]"})
    EXPECT_NE(text.find(section), std::string::npos) << section;
  // The built-in console font is all zero: "5B5B".
  EXPECT_NE(text.find("Console2=5B5B\r\n"), std::string::npos);
  // The empty template is written without quotes.
  EXPECT_NE(text.find("\r\nRecordFileNameTemplate=\r\n"), std::string::npos);
}

TEST(SettingsRoundTripTest, EmptyProjectFolderIsWrittenAsTheBaseFolder) {
  Settings s;
  s.temporary_directory1 = "/base";
  s.temporary_directories = {"/a", "", "/c"};
  const std::string text = SettingsText(s);
  EXPECT_NE(text.find("[Temporary Directory]\r\n0=/a\r\n1=/base\r\n2=/c\r\n"), std::string::npos);
  const Settings back = ReadFromText(text);
  EXPECT_EQ(back.temporary_directories, (std::vector<std::string>{"/a", "/base", "/c"}));
}

TEST(SettingsRoundTripTest, OlderKeysOverrideAndAreNotWritten) {
  const Settings s = ReadFromText(
      "[Tidemark]\n"
      "TempDir1=/old1\nTemporaryDirectory1=/new1\n"
      "TemporaryDirectory2=new2\nTempDir2=old2\n"
      "TemporarySampleBits=16\nTempFileBits=24\n"
      "WaveOutDevice=newout\nWaveOutDev=oldout\n"
      "WaveInDevice=newin\nWaveInDev=oldin\n"
      "WaveDeviceAPI=1\nWaveDevIf=3\n"
      "VSTPlugInDirectory=/newvst\nVstPlugInDir=/oldvst\n"
      "RecordDirectory=/newrec\nRecDir=/oldrec\n"
      "RecordFileNameTemplate=\"new\"\nRecFileNameTmpl=\"old\"\n"
      "[Temp Dir]\n0=/oldlist\n"
      "[Temporary Directory]\n0=/newlist\n"
      "[Script Command Line]\n0=new\n"
      "[Script Lines]\n0=old\n1=older\n");
  EXPECT_EQ(s.temporary_directory1, "/old1");
  EXPECT_EQ(s.temporary_directory2, "old2");
  EXPECT_EQ(s.temporary_sample_bits, 24);
  EXPECT_EQ(s.wave_out_device, "oldout");
  EXPECT_EQ(s.wave_in_device, "oldin");
  EXPECT_EQ(s.wave_device_api, 3);
  EXPECT_EQ(s.vst_plugin_directory, "/oldvst");
  EXPECT_EQ(s.record_directory, "/oldrec");
  EXPECT_EQ(s.record_file_name_template, "old");
  EXPECT_EQ(s.temporary_directories, (std::vector<std::string>{"/oldlist"}));
  EXPECT_EQ(s.script_command_lines, (std::vector<std::string>{"old", "older"}));

  const std::string text = SettingsText(s);
  for (const char* old : {"TempDir1=", "TempDir2=", "TempFileBits=", "WaveOutDev=", "WaveInDev=",
                          "WaveDevIf=", "VstPlugInDir=", "RecDir=", "RecFileNameTmpl=",
                          "[Temp Dir]", "[Script Lines]"})
    EXPECT_EQ(text.find(old), std::string::npos) << old;
  EXPECT_NE(text.find("\nTemporaryDirectory1=/old1\r\n"), std::string::npos);

  // An older key that does not parse keeps the value read under the new name.
  const Settings t = ReadFromText("[Tidemark]\nTemporarySampleBits=16\nTempFileBits=x\n");
  EXPECT_EQ(t.temporary_sample_bits, 16);
  // The older key alone is enough.
  const Settings u = ReadFromText("[Tidemark]\nrecdir=/r\n");
  EXPECT_EQ(u.record_directory, "/r");
}

TEST(SettingsRoundTripTest, CaseBlanksAndCommentsInTheFile) {
  const Settings s = ReadFromText(
      "[tidemark]\n"
      "  recorddirectory \t=\t /rec \t\n"
      ";RecordDirectory=/commented\n"
      "\toptions1 = 00000001\n"
      "WEIGHTINGFILTER=b\n"
      "[debug]\nhasavx = 0\n"
      "[FONT]\nconsole2=5B5B\n");
  EXPECT_EQ(s.record_directory, "/rec");
  EXPECT_EQ(s.options[0], 1u);
  EXPECT_EQ(s.weighting_filter, 'B');
  EXPECT_EQ(s.debug.has_avx, 0);
}

TEST(SettingsRoundTripTest, ValuesThatDoNotParseKeepTheBuiltInValue) {
  const Settings s = ReadFromText(
      "[Tidemark]\n"
      "Options1=nothex\nOptions2=123456789\nFrameBox=1,2\nResample=1,x,3\n"
      "TemporarySampleBits=24bits\nWaveOutVolume=\nWeightingFilter=E\nNoiseShapingFilter=1.5\n"
      "ChannelHues=1;2\n"
      "[Color]\n0=zz\n1=00ff00\n"
      "[Font]\nConsole2=5B5C\n"  // wrong checksum
      "[OpenMP]\nOMP_NUM_THREADS=four\n"
      "[Exclusive Mode Audio]\nPlaybackDevicePeriod=99999999999\n"
      "[Debug]\nHasAVX=yes\n");
  Settings expected;  // only the one good value differs from the built-in ones
  expected.colors[1] = 0x00FF00u;
  EXPECT_TRUE(s == expected);
  EXPECT_EQ(s.colors[1], 0x00FF00u);
}

TEST(SettingsRoundTripTest, ConsoleFontBlob) {
  Settings start;
  start.console_font[0] = std::byte{9};
  // 92 zero bytes.
  EXPECT_EQ(ReadFromText("[Font]\nConsole2=5B5B\n", start).console_font, Settings().console_font);
  // A wrong checksum, a blob of the wrong size and a damaged text keep the font.
  for (const char* bad : {"5B5A", "5A5A", "5C5C", "5B", "5B5B5B", "XX5B", ""})
    EXPECT_EQ(ReadFromText(std::string("[Font]\nConsole2=") + bad + "\n", start).console_font,
              start.console_font)
        << bad;
  // A valid font description.
  std::array<std::byte, kConsoleFontBytes> font{};
  font[0] = std::byte{0xF4};
  font[1] = std::byte{0xFF};
  font[91] = std::byte{0x01};
  const Settings back = ReadFromText("[Font]\nConsole2=" + PackBlob(font) + "\n", start);
  EXPECT_EQ(back.console_font, font);
}

TEST(SettingsRoundTripTest, TextLimitsArePathMax) {
  const std::string long_path(5000, 'p');
  const Settings s = ReadFromText("[Tidemark]\nRecordDirectory=" + long_path +
                                  "\nWaveOutDevice=" + long_path + "\n[File Menu]\n0=" +
                                  long_path + "\n");
  EXPECT_EQ(s.record_directory.size(), kSettingTextMaxBytes);
  EXPECT_EQ(s.wave_out_device.size(), kSettingTextMaxBytes);
  ASSERT_EQ(s.recent_files.size(), 1u);
  EXPECT_EQ(s.recent_files[0].size(), kSettingTextMaxBytes);
  // 260 and 40 characters, the Win32 buffer sizes, are no limit here.
  const Settings t = ReadFromText("[Tidemark]\nWaveInDevice=" + std::string(300, 'd') + "\n");
  EXPECT_EQ(t.wave_in_device.size(), 300u);
}

TEST(SettingsRoundTripTest, NumberedListsAndKeyedSections) {
  const Settings s = ReadFromText(
      "[File Menu]\n0=/a\n1=/b\n3=/d\n"
      "[Toolbar]\n0=0010\n1=zz\n2=10000\n3=0020\n"
      "[Keyboard]\n0041=0001\nxyz=0002\n0042=fffff\n0043=0003\n"
      "[Box Size]\nCDRead=1,2,3\ncdread=4,5,6\nShort=1,2\n[x=1,2,3\n"
      "[Dialog]\nA=1\na=2\nB=3\n");
  EXPECT_EQ(s.recent_files, (std::vector<std::string>{"/a", "/b"}));
  EXPECT_EQ(s.toolbar, (std::vector<std::uint16_t>{0x10, 0x20}));
  EXPECT_EQ(s.keyboard, (std::vector<KeyAssignment>{{0x41, 1}, {0x43, 3}}));
  EXPECT_EQ(s.box_sizes, (std::vector<NamedBox>{{"CDRead", {1, 2, 3}}}));
  ASSERT_NE(FindNamedBox(s.box_sizes, "cdREAD"), nullptr);
  EXPECT_EQ(FindNamedBox(s.box_sizes, "Other"), nullptr);
  EXPECT_EQ(s.dialogs, (std::vector<DialogEntry>{{"A", "1"}, {"B", "3"}}));
  // A section that is present but empty empties the list; a missing one keeps it.
  Settings start;
  start.recent_files = {"/kept"};
  EXPECT_EQ(ReadFromText("[File Menu]\n", start).recent_files, std::vector<std::string>{});
  EXPECT_EQ(ReadFromText("[Other]\n", start).recent_files, std::vector<std::string>{"/kept"});
}

TEST(SettingsRoundTripTest, OptionBits) {
  Settings s;
  // The built-in values of the named preferences.
  for (const auto& [bit, on] : {std::pair{OptionBit::kExtensibleWavHeader, false}, {OptionBit::kCachedReadingOff, false},
                                {OptionBit::kUndoRecordingOff, false},           {OptionBit::kSystemClipboard, true},
                                {OptionBit::kSaveByMovingWorkFile, true},        {OptionBit::kOneBitOutputMax48k, false},
                                {OptionBit::kSoftwareNameStamp, true},           {OptionBit::kId3v2Version4, false},
                                {OptionBit::kId3v2Unicode, true},                {OptionBit::kId3v2Unsynchronisation, false},
                                {OptionBit::kConfirmations, true},               {OptionBit::kKeepWorkspace, false}})
    EXPECT_EQ(s.Option(bit), on) << static_cast<int>(bit);
  // Bit 16 of "Options1" is the kept workspace.
  EXPECT_EQ(OptionWordIndex(OptionBit::kKeepWorkspace), 0);
  EXPECT_EQ(OptionMask(OptionBit::kKeepWorkspace), 1u << 16);

  s.options = {0, 0, 0};
  s.SetOption(OptionBit::kKeepWorkspace, true);
  s.SetOption(OptionBit::kId3v2Version4, true);
  s.SetOption(OptionBit::kPlayback24Bit, true);
  EXPECT_EQ(s.options, (std::array<std::uint32_t, 3>{0x10000, 0x2, 0x1}));
  s.SetOption(OptionBit::kKeepWorkspace, false);
  EXPECT_EQ(s.options[0], 0u);
  // Bits without a name are kept as read.
  const Settings r = ReadFromText("[Tidemark]\nOptions1=80000000\n");
  EXPECT_EQ(r.options[0], 0x80000000u);
  EXPECT_NE(SettingsText(r).find("Options1=80000000\r\n"), std::string::npos);
}

// --- damaged files ---

TEST(SettingsRoundTripTest, DamagedFilesKeepBuiltInValues) {
  const Settings defaults;
  EXPECT_TRUE(ReadFromBytes("") == defaults);
  EXPECT_TRUE(ReadFromBytes("\xFF\xFE") == defaults);
  EXPECT_TRUE(ReadFromBytes("\xEF\xBB\xBF") == defaults);

  // A UTF-16 file cut in the middle of a unit: the keys before the cut count.
  std::string bytes = SettingsBytes(EverythingChanged());
  const std::size_t cut = bytes.find(std::string("O\0M\0P\0_\0", 8));
  ASSERT_NE(cut, std::string::npos);
  bytes.resize(cut + 1);
  const Settings partial = ReadFromBytes(bytes);
  EXPECT_EQ(partial.options, EverythingChanged().options);
  EXPECT_EQ(partial.exclusive_mode, EverythingChanged().exclusive_mode);
  EXPECT_EQ(partial.omp_num_threads, defaults.omp_num_threads);
  EXPECT_EQ(partial.debug, defaults.debug);
}

TEST(SettingsRoundTripTest, MegabyteLinesAndManySectionsStayBounded) {
  const std::string big(1 << 20, '7');
  std::string text = "[Tidemark]\nOptions1=" + big + "\nRecordDirectory=" + big +
                     "\nWaveOutVolume=" + big + "\n" + big + "\n[Box Size]\n" + big + "=1,2,3\n";
  for (int i = 0; i < 100000; ++i) text += "[Box Size]\nA" + std::to_string(i) + "=1,2,3\n";
  for (int i = 0; i < 100000; ++i) text += "[Dialog]\n";
  text += "[Dialog]\n";
  for (int i = 0; i < 100000; ++i) text.append("D").append(std::to_string(i)).append("=1\n");
  text += "[File Menu]\n";
  for (int i = 0; i < 100000; ++i) text += std::to_string(i) + "=/f\n";
  const Settings s = ReadFromText(text);
  EXPECT_EQ(s.options, Settings().options);
  EXPECT_EQ(s.record_directory.size(), kSettingTextMaxBytes);
  EXPECT_EQ(s.wave_out_volume, Settings().wave_out_volume);
  EXPECT_TRUE(s.box_sizes.empty());  // only the first [Box Size] counts; its name is too long
  EXPECT_EQ(s.dialogs.size(), 0u);   // the first [Dialog] is empty
  EXPECT_EQ(s.recent_files.size(), kMaxListEntries);
  // A section of many entries is capped.
  std::string many = "[Dialog]\n";
  for (int i = 0; i < 100000; ++i) many.append("D").append(std::to_string(i)).append("=1\n");
  EXPECT_EQ(ReadFromText(many).dialogs.size(), kMaxListEntries);
}

}  // namespace
}  // namespace tidemark
