// The fixed table of UI text sections: every section path of the language
// files, how many texts it owns and the number of its first slot. Rows are
// sorted by path in byte order so that a path can be found by bisection; slot
// numbers were assigned once and do not follow that order. Slots 0 and 1
// belong to no section, slots 2 to 1652 belong to exactly one section each
// (1627 on: sections the console editor added).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tidemark {

struct TextSection {
  std::string_view path;    // lower-case ASCII, "/"-separated
  std::uint16_t count;      // texts owned by the section
  std::uint16_t first_slot;
};

inline constexpr std::size_t kTextSlotCount = 1653;
inline constexpr std::size_t kTextSectionCount = 195;
// The longest section path; a longer name in a language file cannot match.
inline constexpr std::size_t kMaxTextSectionPath = 32;

inline constexpr std::array<TextSection, kTextSectionCount> kTextSections = {{
    {"button", 9, 2},
    {"cderase", 7, 11},
    {"cderase/popup", 2, 18},
    {"cdread", 15, 20},
    {"cdread/popup", 1, 35},
    {"cdread/tooltip", 8, 36},
    {"cdwrite", 19, 44},
    {"cdwrite/menu", 5, 63},
    {"cdwrite/menu/tracklist", 3, 68},
    {"cdwrite/tooltip", 3, 71},
    {"cdwrite/track", 2, 74},
    {"cdwrite/tracklist/popup", 6, 76},
    {"cdwrite/wait", 4, 82},
    {"cdwritecheck/popup", 8, 86},
    {"cdwriteexec", 29, 94},
    {"cdwriteexec/popup", 1, 123},
    {"checkinput/popup", 1, 124},
    {"checkpcm/popup", 2, 125},
    {"chopandarrange", 8, 127},
    {"closepcm/popup", 5, 135},
    {"console/help", 21, 1632},
    {"console/playback", 4, 1627},
    {"createdirectory/popup", 1, 140},
    {"cuepoint/copy", 8, 141},
    {"cuepoint/new", 3, 149},
    {"cuepoint/popup", 1, 152},
    {"cuepoint/select", 5, 153},
    {"cuepoint/tooltip", 2, 158},
    {"effect/channelexchange", 2, 160},
    {"effect/clickremoval", 9, 162},
    {"effect/compress", 12, 171},
    {"effect/delay", 7, 183},
    {"effect/doppler", 13, 190},
    {"effect/fade", 7, 203},
    {"effect/firfile", 5, 210},
    {"effect/graphiceq", 2, 215},
    {"effect/hissreduction", 19, 217},
    {"effect/iirfilter", 4, 236},
    {"effect/iirfilter/descerror", 16, 240},
    {"effect/iirfilter/popup", 2, 256},
    {"effect/limiter", 7, 258},
    {"effect/lowpasshighpass", 12, 265},
    {"effect/midside", 2, 277},
    {"effect/monooutput", 10, 279},
    {"effect/noisegenerator", 3, 289},
    {"effect/normalize", 6, 292},
    {"effect/offset", 4, 298},
    {"effect/pan", 10, 302},
    {"effect/parametriceq", 10, 312},
    {"effect/parametriceq/label", 2, 322},
    {"effect/pitchchange", 6, 324},
    {"effect/plotfir", 17, 330},
    {"effect/reverb", 24, 347},
    {"effect/reverb/color", 14, 371},
    {"effect/reverb/color/label", 2, 385},
    {"effect/reverb/label", 2, 387},
    {"effect/reverb/popup", 1, 389},
    {"effect/signreverse", 2, 390},
    {"effect/silence", 2, 392},
    {"effect/sinegenerator", 16, 394},
    {"effect/sinegenerator/popup", 3, 410},
    {"effect/timereverse", 2, 413},
    {"effect/voicepitch", 8, 415},
    {"effect/volume", 5, 423},
    {"effectchain", 9, 428},
    {"effectchain/popup", 3, 437},
    {"encode", 15, 440},
    {"encode/aac", 3, 455},
    {"encode/acm", 3, 458},
    {"encode/acm/popup", 1, 461},
    {"encode/flac", 13, 462},
    {"encode/lamemp3", 19, 475},
    {"encode/mp3", 7, 494},
    {"encode/opus", 11, 501},
    {"encode/vorbis", 9, 512},
    {"encode/wma", 14, 521},
    {"error", 80, 1282},
    {"error/audioclient", 6, 535},
    {"error/cd", 20, 541},
    {"error/directsound", 4, 561},
    {"error/effectchain", 3, 565},
    {"error/script", 14, 568},
    {"error/silent", 3, 582},
    {"error/wavein", 2, 585},
    {"error/waveout", 2, 587},
    {"exclusiveformat", 1, 589},
    {"exit/popup", 3, 590},
    {"filerequest", 4, 593},
    {"filerequest/popup", 1, 597},
    {"formatchange", 13, 598},
    {"frame/menu", 7, 611},
    {"frame/menu/edit", 24, 618},
    {"frame/menu/edit/cuepoint", 10, 642},
    {"frame/menu/edit/encode", 7, 652},
    {"frame/menu/edit/marker", 6, 659},
    {"frame/menu/edit/marker/selectlen", 4, 665},
    {"frame/menu/effect", 26, 669},
    {"frame/menu/effect/channel", 3, 695},
    {"frame/menu/effect/extras", 7, 698},
    {"frame/menu/file", 9, 705},
    {"frame/menu/help", 3, 714},
    {"frame/menu/tools", 18, 717},
    {"frame/menu/tools/playbackscaler", 4, 735},
    {"frame/menu/tools/project", 1, 739},
    {"frame/menu/tools/toolbar", 3, 740},
    {"frame/menu/view", 11, 743},
    {"frame/menu/view/unit", 3, 754},
    {"frame/menu/view/videosize", 4, 757},
    {"frame/menu/view/xzoom", 3, 761},
    {"frame/menu/window", 7, 764},
    {"frame/rebar/marker", 6, 771},
    {"frame/rebar/marker/menu", 3, 777},
    {"frame/rebar/playbackscaler", 1, 780},
    {"frame/rebar/playbackscaler/menu", 2, 781},
    {"frame/rebar/playbackvolume", 1, 783},
    {"freqdomaingraph/menu", 5, 784},
    {"freqdomaingraph/menu/copy", 2, 789},
    {"gapsearch", 21, 791},
    {"gapsearch/popup", 1, 812},
    {"gapsearch/result", 10, 813},
    {"id3lyrics", 8, 823},
    {"id3text", 4, 831},
    {"insertsilence", 4, 835},
    {"jointnormalize", 6, 839},
    {"keyassign/desc", 71, 845},
    {"keyassign/group", 8, 916},
    {"keyassign/keyname", 21, 924},
    {"menu", 4, 945},
    {"menudesc", 114, 949},
    {"messagebox", 10, 1063},
    {"mixdown", 19, 1073},
    {"mixdown/menu", 3, 1092},
    {"mixdown/popup", 2, 1095},
    {"mixdown/tooltip", 3, 1097},
    {"newformat", 6, 1100},
    {"pcmtext", 10, 1106},
    {"pcmtextedit", 3, 1116},
    {"playbackspectrum", 5, 1119},
    {"playbox", 1, 1124},
    {"playbox/tooltip", 4, 1125},
    {"plugin/popup", 2, 1129},
    {"powercontrol", 4, 1131},
    {"presetbox", 3, 1135},
    {"presetbox/popup", 2, 1138},
    {"product", 2, 1140},
    {"progress", 12, 1142},
    {"project/popup", 8, 1154},
    {"rawpcmformat", 6, 1162},
    {"record", 26, 1168},
    {"record/popup", 2, 1194},
    {"record/tooltip", 4, 1196},
    {"savepcm/popup", 1, 1200},
    {"script", 9, 1201},
    {"script/console", 1, 1631},
    {"script/menu", 1, 1210},
    {"script/popup", 1, 1211},
    {"script/result", 8, 1212},
    {"sectionpickup", 9, 1220},
    {"settings", 1, 1229},
    {"settings/advanced", 19, 1230},
    {"settings/basic", 11, 1249},
    {"settings/color", 13, 1260},
    {"settings/display", 11, 1362},
    {"settings/import", 7, 1273},
    {"settings/keyboard", 8, 1373},
    {"settings/keyboard/popup", 2, 1280},
    {"settings/playback", 7, 1381},
    {"settings/plugin", 3, 1388},
    {"settings/quality", 19, 1391},
    {"settings/record", 11, 1410},
    {"sound", 4, 1421},
    {"sounddevice", 1, 1425},
    {"spectrogram", 11, 1426},
    {"spectrogram/label", 5, 1437},
    {"spectrogram/menu", 12, 1442},
    {"spectrogram/menu/frequencyaxis", 3, 1454},
    {"spectrum", 13, 1457},
    {"spectrum/label", 2, 1470},
    {"spectrum/menu", 4, 1472},
    {"spectrum/menu/fftbits", 2, 1476},
    {"spectrum/menu/windowfunc", 4, 1478},
    {"spectrum/menu/windowlen", 1, 1482},
    {"statistics/popup", 7, 1483},
    {"status", 6, 1490},
    {"text", 48, 1496},
    {"toolbar/icondesc", 36, 1544},
    {"undo", 19, 1580},
    {"unknownformat", 5, 1599},
    {"videoplayback", 1, 1604},
    {"vst/menu", 2, 1605},
    {"vst/menu/factorypreset", 2, 1607},
    {"wavegraph/cuepoint/menu", 2, 1609},
    {"wavegraph/menu", 10, 1611},
    {"wavegraph/mixenvelope", 3, 1621},
    {"wavegraph/mixenvelope/menu", 3, 1624},
}};

// The index of the row for `path` (exact, case-sensitive comparison), or
// kTextSectionCount when the table has no such row. Index based so that it
// can run in constant evaluation without pointer comparisons.
constexpr std::size_t FindTextSectionIndex(std::string_view path) {
  std::size_t lo = 0, hi = kTextSections.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    const std::string_view p = kTextSections[mid].path;
    if (p == path) return mid;
    if (p < path) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return kTextSectionCount;
}

// The row for `path`, or null.
inline const TextSection* FindTextSection(std::string_view path) {
  const std::size_t index = FindTextSectionIndex(path);
  return index < kTextSectionCount ? &kTextSections[index] : nullptr;
}

}  // namespace tidemark
