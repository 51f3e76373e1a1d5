#include "app/console_startup.h"

#include <omp.h>
#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <utility>

#include "config/error_messages.h"
#include "config/option_bits.h"
#include "config/settings.h"
#include "app/settings_core_options.h"
#include "app/response_loader.h"
#include "app/settings_effect_options.h"
#include "effects/framework/effect_registry.h"
#include "effects/framework/recent_effects.h"
#include "effects/presets/preset_store.h"
#include "app/console_commands.h"
#include "playback/play_engine.h"
#include "playback/recorder.h"
#include "config/text_catalogue.h"
#include "config/text_slots.h"
#include "core/core_options.h"
#include "core/document/core_text.h"

namespace tidemark::console {
namespace {

TextSlot SlotFor(CoreText id) {
  switch (id) {
    case CoreText::kUndoAdding: return text::kUndoAdd;
    case CoreText::kUndoDeleting: return text::kUndoRemove;
    case CoreText::kUndoChanging: return text::kUndoChange;
    case CoreText::kNoFurtherMarker: return text::kStatusNoFurtherMarker;
    case CoreText::kUndoDeleteSelection: return text::kUndoDelete;
    case CoreText::kUndoCut: return text::kUndoCut;
    case CoreText::kUndoSilence: return text::kUndoSilence;
    case CoreText::kUndoInsertSilence: return text::kUndoInsertSilence;
    case CoreText::kUndoPaste: return text::kUndoPaste;
    case CoreText::kUndoPasteOver: return text::kUndoPasteOverSelection;
    case CoreText::kUndoPasteOverwrite: return text::kUndoPasteOverwrite;
    case CoreText::kUndoMixPaste: return text::kUndoMixPaste;
    case CoreText::kUndoMixPasteSubtract: return text::kUndoMixPasteSubtract;
    case CoreText::kUndoGain: return text::kUndoGain;
    case CoreText::kUndoOffset: return text::kUndoOffset;
    case CoreText::kUndoReplaceChannels: return text::kUndoReplaceChannels;
    case CoreText::kUndoFormatChange: return text::kUndoFormatChange;
  }
  return text::kUndoChange;
}

std::string LookUp(CoreText id) { return std::string(UiText(SlotFor(id))); }

}  // namespace

void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }

void LoadStartupTexts() {
  LoadProcessTextCatalogue();
  SetCoreTextLookup(LookUp);
}

}  // namespace tidemark::console

namespace tidemark::console {

StartupSettings LoadStartupSettings() {
  Settings settings;
  (void)LoadSettings(&settings);  // failures keep the built-in settings
  FillCoreOptions(settings, &MutableCoreOptions());
  ApplyEffectSettings(settings);
  RecentlyUsedEffects().RestoreFrom(settings);
  RestoreRecentResponseFiles(settings);
  LoadStartupPresets();
  StartupSettings startup;
  startup.open.importable_audio_extensions = settings.importable_audio_extensions;
  startup.open.importable_video_extensions = settings.importable_video_extensions;
  startup.open.one_bit_max_48k = GetCoreOptions().one_bit_output_max_48k;
  // The MP4 row is on: this build decodes AAC itself.
  startup.open.mp4_decoder_enabled = true;
  startup.save.dither_16bit = settings.Option(OptionBit::kDitherTo16Bits);
  startup.save.move_work_file = settings.Option(OptionBit::kSaveByMovingWorkFile);
  startup.weighting = StatisticsWeighting(settings);
  SetRecordRingSeconds(playback::PrerecordSeconds(settings));
  SetPlaybackScalerMethod(playback::ScalerMethodSetting(settings));
  startup.settings = std::move(settings);
  return startup;
}

void ApplyThreadSetting(std::int32_t threads) {
  if (threads <= 0) return;
  cpu_set_t mask;
  CPU_ZERO(&mask);
  int processors = 1;
  if (::sched_getaffinity(0, sizeof mask, &mask) == 0) processors = std::max(1, CPU_COUNT(&mask));
  omp_set_num_threads(std::min<int>(threads, processors));
}

Error SaveSessionSettings(Settings& settings, bool always) {
  static Settings last_saved;
  static bool saved_once = false;
  RecentlyUsedEffects().SaveTo(settings);
  SaveRecentResponseFiles(settings);
  if (!always && saved_once && settings == last_saved) return err::kOk;
  if (!always && !saved_once) {
    // The first call only notes the state as loaded.
    last_saved = settings;
    saved_once = true;
    return err::kOk;
  }
  if (const Error rc = tidemark::SaveSettings(settings)) return rc;
  last_saved = settings;
  saved_once = true;
  return err::kOk;
}

}  // namespace tidemark::console

namespace tidemark::console {

void LoadStartupPresets() {
  // The presets' block sizes and defaults come from the entries.
  EffectRegistry::Install();
  std::uint32_t missing = 0;
  // A damaged file keeps the presets read before the damage; the whole file
  // was copied to its ".bak" name before any save can replace it.
  if (const Error rc = LoadProgramPresets(&missing))
    std::cerr << "notice: " << kPresetFileName << ": " << DescribeError(rc) << " (kept as "
              << PresetBackupPath(std::string(kPresetFileName)) << ")\n";
}

}  // namespace tidemark::console
