#include "app/console_startup.h"

#include <string>

#include "config/option_bits.h"
#include "config/settings.h"
#include "app/settings_core_options.h"
#include "app/settings_effect_options.h"
#include "effects/framework/recent_effects.h"
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
  StartupSettings startup;
  startup.open.importable_audio_extensions = settings.importable_audio_extensions;
  startup.open.importable_video_extensions = settings.importable_video_extensions;
  startup.open.one_bit_max_48k = GetCoreOptions().one_bit_output_max_48k;
  startup.save.dither_16bit = settings.Option(OptionBit::kDitherTo16Bits);
  startup.save.move_work_file = settings.Option(OptionBit::kSaveByMovingWorkFile);
  startup.weighting = StatisticsWeighting(settings);
  return startup;
}

}  // namespace tidemark::console
