// The preview factory of a block-run effect's settings dialog (on this
// platform, the console's stand-in for it): a block run of the entry on the
// document, built from the settings the dialog currently holds.
#pragma once

#include "effects/framework/effect_entry.h"
#include "platform/error.h"

namespace tidemark {

class CEffFactory_Std : public CEffFactory {
 public:
  // `block` is the dialog's working block, read at each CreatePreviewRun.
  // All three must outlive the factory.
  CEffFactory_Std(CEffEntry_Std& entry, SoundDocument& document, const SettingsBlock& block)
      : entry_(entry), document_(document), block_(block) {}

  // CreateSetupParams on the document's selection and channels, SetupQuiet
  // with a copy of the current block (the dialog's block and the entry's
  // store stay as they are), CreateRun. A run may refer to its params: they
  // live until the next CreatePreviewRun or the factory's end.
  [[nodiscard]] Error CreatePreviewRun(EffRunPtr* run) override;
  // The channels the last run made processes (bit c: channel c); 0 before.
  std::uint16_t ChannelMask() const { return params_ ? params_->channel_mask : std::uint16_t{0}; }
  // The channels the last run made gives per frame; 0 before.
  std::uint16_t OutputChannels() const { return params_ ? params_->output_channels : std::uint16_t{0}; }

 private:
  CEffEntry_Std& entry_;
  SoundDocument& document_;
  const SettingsBlock& block_;
  CEffEntry::SetupParamsPtr params_;
};

}  // namespace tidemark
