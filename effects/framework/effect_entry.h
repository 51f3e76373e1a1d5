// The entry interface every effect presents: its names and channel support,
// its settings, and the way it runs over a document's selection. Block-run
// effects derive from CEffEntry_Std (and CEffChain_Std to be chained),
// pull-run effects from CEffEntry_Resample; five effects implement their own
// Execute on CEffEntry alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "effects/framework/effect_run.h"
#include "effects/framework/settings_block.h"
#include "platform/error.h"

namespace tidemark {

struct SoundDocument;
class ProgressScope;
class CEffChain;
struct EffectDescription;

// Bits of an entry's channel support.
namespace channel_support {
inline constexpr std::uint32_t kMono = 1;          // a mono selection is processed as mono
inline constexpr std::uint32_t kMonoToStereo = 2;  // a mono selection becomes stereo
inline constexpr std::uint32_t kStereo = 4;        // a stereo selection is accepted
}  // namespace channel_support

enum class EntryKind : std::uint32_t { kBuiltIn = 0, kVst3 = 1, kDirectX = 2 };

class CEffEntry {
 public:
  // The run-time record an entry hands to its run. Each effect appends its
  // own fields in a derived record.
  struct SetupParams {
    virtual ~SetupParams() = default;
    SoundDocument* target = nullptr;
    std::uint32_t start = 0;   // first frame of the selection
    std::uint32_t length = 0;  // selection length in frames
    std::uint16_t input_channels = 0;
    std::uint16_t output_channels = 0;  // 2 when a mono selection becomes stereo
    std::uint16_t channel_mask = 0;     // bit c: channel c is processed
    std::uint8_t channels_forced = 0;   // the caller imposed the channel count
    std::uint8_t ready = 0;             // the effect's fields are filled
  };
  using SetupParamsPtr = std::unique_ptr<SetupParams>;

  // What the chain editor learns of an entry.
  struct ChainDescription {
    std::string_view key_name;
    SettingsStore* store = nullptr;
    SettingsBlock default_block;  // empty when the effect has no settings
    std::uint32_t default_size = 0;
    CEffChain* chain = nullptr;  // the chain-member face when chainable
  };

  // `command` names the entry's row in the registry's table. The most
  // derived class constructs this virtual base with it.
  explicit CEffEntry(std::uint32_t command);
  virtual ~CEffEntry() = default;
  CEffEntry(const CEffEntry&) = delete;
  CEffEntry& operator=(const CEffEntry&) = delete;

  virtual EntryKind GetKind() const { return EntryKind::kBuiltIn; }
  virtual std::string GetMenuPrefix() const;
  virtual std::uint32_t GetCommandId() const;
  virtual std::string GetHelpText() const;
  virtual std::string GetDisplayName() const;
  virtual std::string_view GetKeyName() const;
  virtual std::uint32_t GetChannelSupport() const;
  virtual SettingsStore& GetSettingsStore() { return store_; }
  virtual SettingsBlock& GetSettingsBlock() { return store_.block(); }
  virtual void DescribeForChain(ChainDescription* description);
  // Allocates the effect's params and fills the common fields from the
  // target's selection and channel mask, or with `forced_channels` (1 or 2)
  // all of that many channels. 2 when the params cannot be allocated.
  [[nodiscard]] virtual Error CreateSetupParams(SoundDocument* target, std::uint16_t forced_channels,
                                                SetupParamsPtr* params);
  virtual bool HasSetupDialog() const;
  virtual bool IsChainable() const;
  // Runs the effect on the target's selection: 0, 0xFFFFFFFB for no
  // selection, 0xFFFFFFFF when cancelled, 4 when the dialog was cancelled,
  // or the failure (the document then is as it was).
  [[nodiscard]] virtual Error Execute(SoundDocument* target) = 0;

  // The block's layout; null for an effect without settings.
  virtual const SettingsLayout* GetSettingsLayout() const { return nullptr; }
  const EffectDescription& description() const { return *row_; }

 protected:
  // For the intermediate classes only; never leaves the row unset in a
  // most derived entry.
  CEffEntry() = default;
  // A new params record of the effect's own type.
  [[nodiscard]] virtual Error NewSetupParams(SetupParamsPtr* params);

 private:
  const EffectDescription* row_ = nullptr;
  SettingsStore store_;
};

// The step of SetupEntrySettings that reads a loaded block into the
// effect's fields of the params. A borrowed callable: it never allocates,
// so every allocation of a setup stays one the memory-failure loops count.
class SettingsFill {
 public:
  template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, SettingsFill>)
  SettingsFill(F&& fill)  // implicit: a lambda passes as it stands
      : object_(&fill), call_([](const void* object, CEffEntry::SetupParams& params, const SettingsBlock& block) {
          return (*static_cast<const std::remove_reference_t<F>*>(object))(params, block);
        }) {}
  [[nodiscard]] Error operator()(CEffEntry::SetupParams& params, const SettingsBlock& block) const {
    return call_(object_, params, block);
  }

 private:
  const void* object_;
  Error (*call_)(const void*, CEffEntry::SetupParams&, const SettingsBlock&);
};

// Setup's steps, shared by every entry with settings: loads `block` (the
// defaults when empty) clamped to the entry's layout for the target's rate,
// lets the settings dialog edit it when `dialog` is set and the entry has
// one (clamping what it wrote), runs `fill`, and only then writes the result
// back into `block` and marks `params` ready. 3 when a dialog is needed and
// none can be shown, 4 when it is cancelled, 2 when memory runs out, or
// fill's error; `block` then is as it was.
[[nodiscard]] Error SetupEntrySettings(CEffEntry& entry, CEffEntry::SetupParams& params, SettingsBlock& block,
                                       bool dialog, SettingsFill fill);

// The chain-member face of an entry.
class CEffChain : public virtual CEffEntry {
 public:
};

// A chain member: the run with the format around it.
struct ChainNode {
  std::uint32_t rate = 0;
  std::uint16_t input_channels = 0;
  EffRunPtr run;
  std::uint16_t output_channels = 0;
  std::uint16_t channel_mask = 0;
  std::string name;  // the run's name, at most 64 UTF-16 units
};
using ChainNodePtr = std::unique_ptr<ChainNode>;

// The entry of a block-run effect.
class CEffEntry_Std : public virtual CEffEntry {
 public:
  [[nodiscard]] Error Execute(SoundDocument* target) override;

  // Loads `block` (the defaults when empty) clamped to its ranges, lets the
  // settings dialog edit it, writes the result back into `block` and fills
  // the effect's fields of `params`. 4 when the dialog was cancelled, 3 when
  // no dialog can be shown, 2 when memory runs out.
  [[nodiscard]] virtual Error Setup(SetupParams& params, SettingsBlock& block);
  // The same without the dialog; 0 at once when `params` are ready.
  [[nodiscard]] virtual Error SetupQuiet(ProgressScope* scope, SetupParams& params, SettingsBlock& block);
  [[nodiscard]] virtual Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run) = 0;

 protected:
  // Fills the effect's own fields of `params` (and may set its output
  // channels and mask) from a loaded block. A measuring pass runs under
  // `scope` when one is given.
  [[nodiscard]] virtual Error FillParams(ProgressScope* scope, SetupParams& params,
                                         const SettingsBlock& block) = 0;
};

// The chain-member face of a block-run entry: Setup, SetupQuiet and
// CreateRun of its entry, and the chain node around a new run.
class CEffChain_Std : public CEffChain {
 public:
  [[nodiscard]] Error Setup(SetupParams& params, SettingsBlock& block);
  [[nodiscard]] Error SetupQuiet(ProgressScope* scope, SetupParams& params, SettingsBlock& block);
  [[nodiscard]] Error CreateRun(ProgressScope* scope, SetupParams& params, EffRunPtr* run);
  // 2 when the node cannot be allocated, or CreateRun's error.
  [[nodiscard]] Error CreateChainNode(SetupParams& params, ChainNodePtr* node);

 private:
  CEffEntry_Std& Entry();
};

// The entry of a pull-run effect (resampling, pitch, speed); never chained.
class CEffEntry_Resample : public virtual CEffEntry {
 public:
  [[nodiscard]] Error Execute(SoundDocument* target) override;
  [[nodiscard]] virtual Error Setup(SetupParams& params, SettingsBlock& block);
  [[nodiscard]] virtual Error SetupQuiet(ProgressScope* scope, SetupParams& params, SettingsBlock& block);
  [[nodiscard]] virtual Error CreateRun(ProgressScope* scope, SetupParams& params, ResampleEffRunPtr* run) = 0;

 protected:
  [[nodiscard]] virtual Error FillParams(ProgressScope* scope, SetupParams& params,
                                         const SettingsBlock& block) = 0;
};

// What a settings dialog offers for preview: a block run from its current
// values.
class CEffFactory {
 public:
  virtual ~CEffFactory() = default;
  [[nodiscard]] virtual Error CreatePreviewRun(EffRunPtr* run) = 0;
};

// The same for pull runs.
class CResampleEffFactory {
 public:
  virtual ~CResampleEffFactory() = default;
  [[nodiscard]] virtual Error CreatePreviewRun(ResampleEffRunPtr* run) = 0;
};

}  // namespace tidemark
